#include "library/MediaFolders.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStandardPaths>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace corvana {

namespace {

TimestampClock& Clock()
{
    static TimestampClock clock;
    return clock;
}

QDateTime Now()
{
    const TimestampClock& clock = Clock();
    return clock ? clock() : QDateTime::currentDateTime();
}

// Creates the file only if it does not exist yet. Returns false with errno EEXIST when it is taken.
bool ReserveExclusive(const QString& path)
{
    const QByteArray native = QFile::encodeName(path);
    // A link at the name, even one to nowhere, counts as taken: nothing is written through it.
    const int fd = ::open(native.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
    if (fd < 0)
        return false;
    ::close(fd);
    return true;
}

QString StemCandidate(const QString& stem, int attempt)
{
    return attempt == 1 ? stem : stem + QLatin1Char('_') + QString::number(attempt);
}

} // namespace

QString MediaFolders::DocumentsFolder()
{
    QString folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (folder.isEmpty())
        folder = QDir::homePath() + QStringLiteral("/Documents");
    QDir().mkpath(folder);
    return folder;
}

QString MediaFolders::MediaRoot()
{
    return DocumentsFolder() + QStringLiteral("/Corvana/");
}

QString MediaFolders::SubfolderName(MediaMode mode)
{
    switch (mode) {
    case MediaMode::Solo: return QStringLiteral("AudioSolo");
    case MediaMode::Conference: return QStringLiteral("AudioConference");
    case MediaMode::Video: return QStringLiteral("Video");
    case MediaMode::Photo: return QStringLiteral("Photo");
    }
    return {};
}

QString MediaFolders::ModeFolder(MediaMode mode)
{
    return MediaRoot() + SubfolderName(mode) + QLatin1Char('/');
}

QString MediaFolders::Extension(MediaMode mode)
{
    switch (mode) {
    case MediaMode::Solo:
    case MediaMode::Conference: return QStringLiteral("wma");
    case MediaMode::Video: return QStringLiteral("wmv");
    case MediaMode::Photo: return QStringLiteral("jpg");
    }
    return {};
}

QString MediaFolders::ListingPattern(MediaMode mode)
{
    return QStringLiteral("*.") + Extension(mode);
}

QString MediaFolders::PlayerPath()
{
    const QString player = QStandardPaths::findExecutable(QStringLiteral("mpv"));
    return player.isEmpty() ? QStringLiteral("/usr/bin/mpv") : player;
}

void MediaFolders::CreateAll()
{
    QDir dir;
    dir.mkdir(MediaRoot());
    for (MediaMode mode : {MediaMode::Solo, MediaMode::Conference, MediaMode::Video, MediaMode::Photo})
        dir.mkdir(ModeFolder(mode));
}

void SetTimestampClock(TimestampClock clock)
{
    Clock() = std::move(clock);
}

QString TimestampStem(const QDateTime& localTime)
{
    const QDate date = localTime.date();
    const QTime time = localTime.time();
    // The year part is the third and fourth digit of the four-digit year.
    const QString year = QString::number(date.year()).mid(2, 2);
    return QString::asprintf("%s%02d%02d-%02d%02d%02d", qPrintable(year), date.month(), date.day(),
                             time.hour(), time.minute(), time.second());
}

QString MakeTimestampedStem(const QString& folder, const QStringList& extensions)
{
    if (extensions.isEmpty())
        return {};
    const QString stem = folder + TimestampStem(Now());
    for (int attempt = 1; attempt < 10000; ++attempt) {
        const QString candidate = StemCandidate(stem, attempt);
        // Every name of the stem is reserved, or none: a name taken by anything, a link included,
        // moves on to the next stem.
        qsizetype reserved = 0;
        while (reserved < extensions.size() && ReserveExclusive(candidate + QLatin1Char('.') + extensions.at(reserved)))
            ++reserved;
        if (reserved == extensions.size())
            return candidate;
        const int error = errno;
        for (qsizetype i = 0; i < reserved; ++i)
            QFile::remove(candidate + QLatin1Char('.') + extensions.at(i));
        if (error != EEXIST)
            return {};
    }
    return {};
}

QString MakeTimestampedPath(const QString& extension, const QString& subfolder)
{
    const QString stem = MakeTimestampedStem(MediaFolders::MediaRoot() + subfolder + QLatin1Char('/'), {extension});
    return stem.isEmpty() ? QString() : stem + QLatin1Char('.') + extension;
}

bool MediaFolders::MakeWritable(const QString& folder)
{
    QDir().mkpath(folder);
    const QFileInfo info(folder);
    return info.isDir() && info.isWritable();
}

QStringList MediaFolders::RemoveGrabIntermediates()
{
    // The grab names its bitmaps YYMMDD-hhmmss[_N].bmp; nothing else in the folder is ours.
    static const QRegularExpression ours(QStringLiteral("^\\d{6}-\\d{6}(_\\d+)?\\.bmp$"),
                                         QRegularExpression::CaseInsensitiveOption);
    const QString folder = ModeFolder(MediaMode::Photo);
    QStringList failures;
    const QStringList names = QDir(folder).entryList({QStringLiteral("*.bmp")}, QDir::Files | QDir::Hidden | QDir::System);
    for (const QString& name : names) {
        if (!ours.match(name).hasMatch())
            continue;
        if (::unlink(QFile::encodeName(folder + name).constData()) != 0 && errno != ENOENT)
            failures << folder + name + QStringLiteral("\n") + QString::fromLocal8Bit(std::strerror(errno));
    }
    return failures;
}

} // namespace corvana
