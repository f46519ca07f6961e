#include "support/CMediaPlayer.h"

#include "library/MediaFolders.h"
#include "library/NativeName.h"
#include "support/DataFolder.h"
#include "support/Logging.h"
#include "support/RuntimeFolder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocalSocket>
#include <QProcess>

#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>

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

// The player is handed names as text, which cannot carry a name that is not valid UTF-8: such a
// file is handed over as a link in the private runtime folder named as the list shows it.
QString CMediaPlayer::NameThePlayerCanOpen(const QString& path)
{
    if (NativeName::IsPlain(path))
        return path;
    const QString folder = RuntimeFolder();
    if (folder.isEmpty())
        return {};
    const QString links = folder + QStringLiteral("/corvana-player-files");
    if (::mkdir(QFile::encodeName(links).constData(), 0700) != 0 && errno != EEXIST)
        return {};
    // One link at a time: the player has opened the file by the time the next one is made.
    for (const QString& old : QDir(links).entryList(QDir::Files | QDir::System | QDir::Hidden))
        QFile::remove(links + QLatin1Char('/') + old);
    const QString link = links + QLatin1Char('/') + NativeName::Shown(QFileInfo(path).fileName());
    if (::symlink(NativeName::Encode(path).constData(), QFile::encodeName(link).constData()) != 0)
        return {};
    return link;
}

bool CMediaPlayer::Open(const QString& file)
{
    const QString path = NameThePlayerCanOpen(file);
    if (path.isEmpty()) {
        qCDebug(lcUi) << "no name the media player can open for" << NativeName::Shown(file);
        return false;
    }
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
