#pragma once
#include "support/CDesktopWindows.h"

#include <QString>

#include <array>
#include <optional>

namespace corvana {

// Four key records by key symbol: press and release of a modifier around a key, sent in one go.
// The chord is the same keys as the player's input configuration names them.
struct PlayerKeySequence {
    std::array<SymbolKey, 4> keys;
    const char* chord;
};

// The system's media player as the dialog steers it. On X11 the player is its window and gets
// keys; on Wayland, where its window is out of sight and reach, it is its IPC socket.
class CPlayerSteering {
public:
    static bool PlayerRunning();
    // False when no player took the keys.
    static bool SteerPlayer(const PlayerKeySequence& keys);
    static bool ClosePlayerIfRunning();
    // Plays the file: in the running player, or in one started for it.
    static void Open(const QString& path);

    static const PlayerKeySequence PlayPauseKeys;  // Ctrl+P
    static const PlayerKeySequence StopKeys;       // Ctrl+S
    static const PlayerKeySequence CloseKeys;      // Alt+F4

private:
    static std::optional<CDesktopWindows::WindowId> FindPlayerWindow();
    static void SendPlayerKeys(CDesktopWindows::WindowId window, const PlayerKeySequence& keys);
};

} // namespace corvana
