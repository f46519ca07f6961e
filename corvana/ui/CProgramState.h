#pragma once
// State the main dialog keeps for the whole program: it outlives each opening of the dialog.

namespace corvana {

struct CProgramState {
    static inline bool consoleConnected = true;
    static inline bool busy = false;  // a mode switch or Exit runs
};

} // namespace corvana
