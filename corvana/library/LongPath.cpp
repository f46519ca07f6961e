#include "library/LongPath.h"

#include "library/NativeName.h"

#include <QFile>

#include <cerrno>
#include <fcntl.h>

namespace corvana {

namespace {

UniqueFd OpenNative(const QByteArray& native, int flags)
{
    UniqueFd fd(::open(native.constData(), flags | O_CLOEXEC, 0));
    if (fd || errno != ENAMETOOLONG)
        return fd;

    const bool absolute = native.startsWith('/');
    UniqueFd dir(::open(absolute ? "/" : ".", O_PATH | O_DIRECTORY | O_CLOEXEC));
    if (!dir)
        return {};
    const QList<QByteArray> parts = native.split('/');
    qsizetype last = parts.size() - 1;
    while (last > 0 && parts.at(last).isEmpty())
        --last;
    for (qsizetype i = 0; i < last; ++i) {
        if (parts.at(i).isEmpty())
            continue;
        UniqueFd next(::openat(dir.Get(), parts.at(i).constData(), O_PATH | O_DIRECTORY | O_CLOEXEC));
        if (!next)
            return {};
        dir = std::move(next);
    }
    const QByteArray leaf = parts.at(last).isEmpty() ? QByteArray(".") : parts.at(last);
    return UniqueFd(::openat(dir.Get(), leaf.constData(), flags | O_CLOEXEC, 0));
}

} // namespace

UniqueFd LongPath::Open(const QString& path, int flags)
{
    if (path.isEmpty()) {
        errno = ENOENT;
        return {};
    }
    return OpenNative(NativeName::Encode(path), flags);
}

UniqueFd LongPath::OpenParent(const QString& path, QByteArray* name)
{
    const QByteArray native = NativeName::Encode(path);
    const qsizetype slash = native.lastIndexOf('/');
    const QByteArray leaf = native.mid(slash + 1);
    if (leaf.isEmpty()) {
        errno = ENOENT;
        return {};
    }
    *name = leaf;
    QByteArray folder = slash < 0 ? QByteArray(".") : native.left(slash);
    if (folder.isEmpty())
        folder = "/";
    return OpenNative(folder, O_PATH | O_DIRECTORY);
}

} // namespace corvana
