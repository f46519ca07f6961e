#include "ui/CMediaPlayer.h"

#include "library/MediaFolders.h"
#include "support/DataFolder.h"
#include "support/Logging.h"
#include "support/RuntimeFolder.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocalSocket>
#include <QProcess>

namespace corvana {

namespace {

bool Connect(QLocalSocket& socket)
{
    socket.connectToServer(CMediaPlayer::IpcSocketPath());
    return socket.waitForConnected(300);
}

// Writes one command to the running player; false when none listens on the socket.
bool SendCommand(const QJsonValue& command)
{
    QLocalSocket socket;
    if (!Connect(socket))
        return false;
    socket.write(QJsonDocument(QJsonObject{{QStringLiteral("command"), command}}).toJson(QJsonDocument::Compact) + '\n');
    const bool written = socket.waitForBytesWritten(300);
    socket.disconnectFromServer();
    return written;
}

} // namespace

QString CMediaPlayer::IpcSocketPath()
{
    return RuntimeFolder() + QStringLiteral("/corvana-player.socket");
}

QString CMediaPlayer::InputConfigPath()
{
    return DataFilePath(QStringLiteral("mpv-input.conf"));
}

QString CMediaPlayer::EndOfFileScriptPath()
{
    return DataFilePath(QStringLiteral("mpv-end-of-file.lua"));
}

bool CMediaPlayer::PressKeys(const char* chord)
{
    return SendCommand(QJsonArray{QStringLiteral("keypress"), QLatin1String(chord)});
}

bool CMediaPlayer::IsRunning()
{
    QLocalSocket socket;
    return Connect(socket);
}

bool CMediaPlayer::Open(const QString& path)
{
    // The handed file plays, as one on the command line does, even in a stopped or paused player.
    const QJsonObject load{{QStringLiteral("name"), QStringLiteral("loadfile")},
                           {QStringLiteral("url"), path},
                           {QStringLiteral("options"), QStringLiteral("pause=no")}};
    if (SendCommand(load))
        return true;
    const QStringList arguments{
        QStringLiteral("--x11-name=%1").arg(QLatin1String(kWindowClass)),
        QStringLiteral("--input-conf=%1").arg(InputConfigPath()),
        QStringLiteral("--input-ipc-server=%1").arg(IpcSocketPath()),
        QStringLiteral("--force-window=yes"),
        // mpv would quit at the end of the file: it stays, stopped at the start as after Stop.
        QStringLiteral("--keep-open=yes"),
        QStringLiteral("--script=%1").arg(EndOfFileScriptPath()),
        QStringLiteral("--no-terminal"),
        // Everything after this is a file, even a name that starts with a dash.
        QStringLiteral("--"),
        path,
    };
    const bool started = QProcess::startDetached(MediaFolders::PlayerPath(), arguments);
    if (!started)
        qCDebug(lcUi) << "the media player could not be started";
    return started;
}

} // namespace corvana
