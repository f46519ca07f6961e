#pragma once
#include <QString>

namespace corvana {

// The three stored values: "ModeState" per user, "ArrayMic" and "Version" for the machine.
// Numbers that are missing, malformed or out of the signed 32-bit range read -1; a "Version"
// longer than 255 bytes reads empty.
class CSettingsStore {
public:
    static int LoadModeState();
    static int LoadArrayMic();
    static void SaveModeState(int mode);
    static QString LoadVersion();

    // Files behind the two scopes.
    static QString UserFile();     // $XDG_CONFIG_HOME/Tessaly/Corvana.conf
    static QString MachineFile();  // first of $XDG_CONFIG_DIRS (or /etc/xdg) + /Tessaly/Corvana.conf
};

} // namespace corvana
