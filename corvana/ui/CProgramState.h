#pragma once
// State the main dialog keeps for the whole program: it outlives each opening of the dialog.
#include <functional>

namespace corvana {

struct CProgramState {
    static inline bool consoleConnected = true;
    static inline bool busy = false;             // a mode switch or Exit runs
    static inline int PhotoShown = 0;            // a still photo is shown, the live picture paused
    static inline int ShownPhotoIndex = -1;      // list index of the photo shown

    // The one way PhotoShown changes, so that the open dialog can show it.
    static void SetPhotoShown(int shown)
    {
        PhotoShown = shown;
        if (photoShownChanged)
            photoShownChanged(shown);
    }
    static inline std::function<void(int)> photoShownChanged;
};

} // namespace corvana
