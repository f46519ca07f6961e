#pragma once
#include "support/MediaMode.h"

namespace corvana {

// What the special keys do in the main dialog: its buttons' commands and the few dialog
// operations the keys need. The dialog implements it for the keys of one opening.
class ISpecialKeyCommands {
public:
    virtual ~ISpecialKeyCommands() = default;

    virtual MediaMode CurrentMode() const = 0;

    virtual void OnSolo() = 0;
    virtual void OnConference() = 0;
    virtual void OnVideoRecord() = 0;
    virtual void OnPhotoGrab() = 0;
    virtual void OnRecord() = 0;
    virtual void OnPlay() = 0;
    virtual void OnPrevious() = 0;
    virtual void OnNext() = 0;
    virtual void OnVolumeUp() = 0;
    virtual void OnVolumeDown() = 0;

    // Saves ModeState and ends the dialog with result 0.
    virtual void SaveModeAndEnd() = 0;
    // When the media player's window exists: sends it CloseKeys and returns true.
    virtual bool ClosePlayerIfRunning() = 0;
    virtual void TakeDialogForeground() = 0;
};

} // namespace corvana
