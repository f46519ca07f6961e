#include "ui/CMediaPlayer.h"

#include "app/CInstanceChannel.h"
#include "library/MediaFolders.h"
#include "support/Logging.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocalSocket>
#include <QProcess>

namespace corvana {

namespace {

// Writes one command to the running player; false when none listens on the socket.
bool SendCommand(const QJsonValue& command)
{
    QLocalSocket socket;
    socket.connectToServer(CMediaPlayer::IpcSocketPath());
    if (!socket.waitForConnected(300))
        return false;
    socket.write(QJsonDocument(QJsonObject{{QStringLiteral("command"), command}}).toJson(QJsonDocument::Compact) + '\n');
    const bool written = socket.waitForBytesWritten(300);
    socket.disconnectFromServer();
    return written;
}

} // namespace

QString CMediaPlayer::IpcSocketPath()
{
    return CInstanceChannel::RuntimeFolder() + QStringLiteral("/corvana-player.socket");
}

QString CMediaPlayer::InputConfigPath()
{
    const QString installed =
        QCoreApplication::applicationDirPath() + QStringLiteral("/../share/corvana/mpv-input.conf");
    if (QFileInfo::exists(installed))
        return QFileInfo(installed).canonicalFilePath();
    return QStringLiteral(CORVANA_BUILD_DATA_DIR "/mpv-input.conf");
}

bool CMediaPlayer::PressKeys(const char* chord)
{
    return SendCommand(QJsonArray{QStringLiteral("keypress"), QLatin1String(chord)});
}

bool CMediaPlayer::Open(const QString& path)
{
    if (SendCommand(QJsonArray{QStringLiteral("loadfile"), path}))
        return true;
    const QStringList arguments{
        QStringLiteral("--x11-name=%1").arg(QLatin1String(kWindowClass)),
        QStringLiteral("--input-conf=%1").arg(InputConfigPath()),
        QStringLiteral("--input-ipc-server=%1").arg(IpcSocketPath()),
        QStringLiteral("--force-window=yes"),
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
