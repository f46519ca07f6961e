#pragma once
#include "support/MediaMode.h"
#include "support/CDesktopWindows.h"

#include <QString>

#include <array>
#include <optional>

namespace corvana {

class CCorvanaDlg;

// Four key records by key symbol: press and release of a modifier around a key, sent in one go.
// The chord is the same keys as the player's input configuration names them.
struct PlayerKeySequence {
    std::array<SymbolKey, 4> keys;
    const char* chord;
};

// Play, Previous, Next and the list's double click: recordings go to the system's media player,
// photos are shown in the preview area over the paused live picture.
class CPlaybackControl {
public:
    explicit CPlaybackControl(CCorvanaDlg& dialog);

    void OnPlay();
    void OnPrevious();
    void OnNext();
    void OnListDoubleClick();

    void TakeForeground();
    // On X11 the player is its window and gets keys; on Wayland, where its window is out of
    // sight and reach, it is its IPC socket. SteerPlayer is false when no player took the keys.
    bool PlayerRunning() const;
    bool SteerPlayer(const PlayerKeySequence& keys);
    void LaunchPlayer(MediaMode mode, const QString& name);
    void ShowPhoto(const QString& name);
    bool ClosePlayerIfRunning();

    static const PlayerKeySequence PlayPauseKeys;  // Ctrl+P
    static const PlayerKeySequence StopKeys;       // Ctrl+S
    static const PlayerKeySequence CloseKeys;      // Alt+F4

private:
    std::optional<CDesktopWindows::WindowId> FindPlayerWindow() const;
    void SendPlayerKeys(CDesktopWindows::WindowId window, const PlayerKeySequence& keys);
    void Step(int direction);
    void PauseLivePicture();
    void ResumeLivePicture();

    CCorvanaDlg& m_dialog;
};

} // namespace corvana
