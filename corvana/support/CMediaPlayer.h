#pragma once
#include <QString>

namespace corvana {

// The system's media player (mpv): started detached with the file as one argument, never through
// a shell, its window named "WMPlayerApp", steered by the keys of its input configuration. While
// one runs, a new file is handed to it over its IPC socket instead of starting a second. It stays
// open after Stop and at the end of a file, with the file stopped at its start.
class CMediaPlayer {
public:
    static constexpr const char* kWindowClass = "WMPlayerApp";

    // Plays the file; false when no player could be reached or started.
    static bool Open(const QString& path);
    // Has the running player act on the chord ("ctrl+p") as its input configuration binds it,
    // through the IPC socket; false when no player took the request.
    static bool PressKeys(const char* chord);
    // A player answers on the IPC socket.
    static bool IsRunning();

    static QString IpcSocketPath();
    static QString InputConfigPath();
    static QString EndOfFileScriptPath();

private:
    static QString NameThePlayerCanOpen(const QString& path);
};

} // namespace corvana
