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

bool HandToRunningPlayer(const QString& path)
{
    QLocalSocket socket;
    socket.connectToServer(CMediaPlayer::IpcSocketPath());
    if (!socket.waitForConnected(300))
        return false;
    const QJsonObject command{{QStringLiteral("command"), QJsonArray{QStringLiteral("loadfile"), path}}};
    socket.write(QJsonDocument(command).toJson(QJsonDocument::Compact) + '\n');
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

bool CMediaPlayer::Open(const QString& path)
{
    if (HandToRunningPlayer(path))
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
