#include "library/FolderListing.h"

#include "library/LongPath.h"
#include "library/NativeName.h"

#include <QFile>

#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <memory>

namespace corvana {

namespace {

struct DirCloser {
    void operator()(DIR* dir) const { ::closedir(dir); }
};
using DirHandle = std::unique_ptr<DIR, DirCloser>;

bool IsAscii(const char* bytes, size_t length)
{
    for (size_t i = 0; i < length; ++i) {
        if (static_cast<unsigned char>(bytes[i]) >= 0x80)
            return false;
    }
    return true;
}

} // namespace

bool FolderListing::WildcardMatch(QStringView name, QStringView wildcard)
{
    qsizetype n = 0;
    qsizetype w = 0;
    qsizetype starW = -1;
    qsizetype starN = 0;
    while (n < name.size()) {
        if (w < wildcard.size() && wildcard[w] == QLatin1Char('*')) {
            starW = w++;
            starN = n;
        } else if (w < wildcard.size()
                   && (wildcard[w] == QLatin1Char('?') || wildcard[w].toCaseFolded() == name[n].toCaseFolded())) {
            ++w;
            ++n;
        } else if (starW >= 0) {
            w = starW + 1;
            n = ++starN;
        } else {
            return false;
        }
    }
    while (w < wildcard.size() && wildcard[w] == QLatin1Char('*'))
        ++w;
    return w == wildcard.size();
}

QStringList FolderListing::Matching(const QString& pattern)
{
    const qsizetype slash = pattern.lastIndexOf(QLatin1Char('/'));
    const QString folder = slash < 0 ? QStringLiteral(".") : pattern.left(slash + 1);
    const QString wildcard = pattern.mid(slash + 1);

    UniqueFd fd = LongPath::Open(folder, O_RDONLY | O_DIRECTORY);
    if (!fd)
        return {};
    DirHandle dir(::fdopendir(fd.Get()));
    if (!dir)
        return {};
    fd.Release();

    QStringList names;
    while (const dirent* entry = ::readdir(dir.get())) {
        const size_t length = std::strlen(entry->d_name);
        if (entry->d_name[0] == '.' && (length == 1 || (length == 2 && entry->d_name[1] == '.')))
            continue;
        QString name = IsAscii(entry->d_name, length) ? QString::fromLatin1(entry->d_name, qsizetype(length))
                                                      : NativeName::Decode(QByteArrayView(entry->d_name, qsizetype(length)));
        if (WildcardMatch(name, wildcard))
            names.append(std::move(name));
    }
    return names;
}

} // namespace corvana
