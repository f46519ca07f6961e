#include "capture/UnfinishedRecordings.h"

#include "capture/AsfRepair.h"
#include "library/LongPath.h"
#include "library/UniqueFd.h"
#include "support/Logging.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace corvana {

namespace {

QByteArray EntryName(const QByteArray& path)
{
    return QCryptographicHash::hash(path, QCryptographicHash::Sha256).toHex();
}

UniqueFd OpenFolder(const QByteArray& folder)
{
    return UniqueFd(::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
}

// Creates the folder and any missing one above it, private to the user; each new name is synced
// into its parent so that the entries below survive a power loss.
bool MakeFolder(const QByteArray& folder)
{
    struct stat info {};
    if (::stat(folder.constData(), &info) == 0)
        return S_ISDIR(info.st_mode);
    const qsizetype slash = folder.lastIndexOf('/');
    const QByteArray parent = slash > 0 ? folder.left(slash) : QByteArray("/");
    if (slash < 0 || !MakeFolder(parent) || (::mkdir(folder.constData(), 0700) != 0 && errno != EEXIST))
        return false;
    const UniqueFd parentFd = OpenFolder(parent);
    return parentFd && ::fsync(parentFd.Get()) == 0;
}

QByteArray ReadEntry(int folder, const QByteArray& name)
{
    const UniqueFd entry(::openat(folder, name.constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    struct stat info {};
    QFile file;
    if (!entry || ::fstat(entry.Get(), &info) != 0 || !S_ISREG(info.st_mode) || info.st_size > (1 << 20)
        || !file.open(entry.Get(), QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

bool IsGone(const QString& path)
{
    QByteArray leaf;
    const UniqueFd parent = LongPath::OpenParent(path, &leaf);
    if (!parent)
        return errno == ENOENT || errno == ENOTDIR;
    struct stat info {};
    return ::fstatat(parent.Get(), leaf.constData(), &info, AT_SYMLINK_NOFOLLOW) != 0 && errno == ENOENT;
}

// A path may hold line breaks; the message about it must stay one line.
QByteArray OneLine(QByteArray path)
{
    for (char& c : path)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f)
            c = '?';
    return path;
}

} // namespace

QString UnfinishedRecordings::Folder()
{
    QString state = qEnvironmentVariable("XDG_STATE_HOME");
    // A relative setting is to be ignored, as if it were not set.
    if (!QDir::isAbsolutePath(state))
        state = QDir::homePath() + QStringLiteral("/.local/state");
    return QDir::cleanPath(state + QStringLiteral("/corvana/unfinished"));
}

bool UnfinishedRecordings::Begin(const QString& path)
{
    const QByteArray native = QFile::encodeName(path);
    const QByteArray name = EntryName(native);
    const QByteArray temporary = '.' + name + ".new";
    const QByteArray folderName = QFile::encodeName(Folder());
    errno = EINVAL;
    const UniqueFd folder = QDir::isAbsolutePath(path) && MakeFolder(folderName) ? OpenFolder(folderName) : UniqueFd();
    bool noted = folder.IsValid();
    if (noted) {
        {
            const UniqueFd entry(::openat(folder.Get(), temporary.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0600));
            noted = entry && ::write(entry.Get(), native.constData(), static_cast<size_t>(native.size())) == native.size()
                && ::fsync(entry.Get()) == 0;
        }
        // The rename makes the entry appear whole or not at all.
        noted = noted && ::renameat(folder.Get(), temporary.constData(), folder.Get(), name.constData()) == 0
            && ::fsync(folder.Get()) == 0;
    }
    if (!noted) {
        const int error = errno;
        if (folder)
            ::unlinkat(folder.Get(), temporary.constData(), 0);
        qCWarning(lcCapture).noquote() << "Could not note the recording" << path << "as in progress:" << std::strerror(error);
    }
    return noted;
}

void UnfinishedRecordings::End(const QString& path)
{
    const QByteArray entry = QFile::encodeName(Folder()) + '/' + EntryName(QFile::encodeName(path));
    if (::unlink(entry.constData()) != 0 && errno != ENOENT)
        qCWarning(lcCapture).noquote() << "Could not forget the finished recording" << path << ":" << std::strerror(errno);
}

int UnfinishedRecordings::RepairAll()
{
    const QString folderName = Folder();
    const UniqueFd folder = OpenFolder(QFile::encodeName(folderName));
    if (!folder)
        return 0;
    int repaired = 0;
    for (const QString& name : QDir(folderName).entryList(QDir::Files)) {
        const QByteArray entryName = QFile::encodeName(name);
        const QByteArray native = ReadEntry(folder.Get(), entryName);
        if (native.isEmpty() || EntryName(native) != entryName)
            continue;
        const QString path = QFile::decodeName(native);
        // Killed before its first byte: nothing was recorded, and the empty name goes as it does
        // after any recording that wrote nothing.
        if (const QFileInfo info(path); !info.isSymLink() && info.isFile() && info.size() == 0)
            QFile::remove(path);
        else if (!IsGone(path)) {
            const AsfRepair::Result result = AsfRepair::Repair(path);
            if (result.outcome == AsfRepair::Outcome::Failed) {
                std::fprintf(stderr, "corvana: could not repair %s: %s\n", OneLine(native).constData(),
                             result.reason.toUtf8().constData());
                continue;
            }
            repaired += result.outcome == AsfRepair::Outcome::Repaired;
        }
        ::unlinkat(folder.Get(), entryName.constData(), 0);
    }
    return repaired;
}

} // namespace corvana
