#pragma once
#include "support/MediaMode.h"

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <functional>

namespace corvana {

// The media tree under the user's documents folder: Corvana/AudioSolo/, Corvana/AudioConference/,
// Corvana/Video/ and Corvana/Photo/. Every folder string ends with a separator.
class MediaFolders {
public:
    static QString DocumentsFolder();
    static QString MediaRoot();
    static QString SubfolderName(MediaMode mode);   // "AudioSolo", without separator
    static QString ModeFolder(MediaMode mode);      // root + "AudioSolo/"
    static QString Extension(MediaMode mode);       // "wma", without the dot
    static QString ListingPattern(MediaMode mode);  // "*.wma"
    static QString PlayerPath();                    // the system's media player

    // Creates the root and then the Solo, Conference, Video and Photo folders; failures ignored.
    static void CreateAll();
    // Makes the folder where it is missing; whether it is a folder that can be written to.
    static bool MakeWritable(const QString& folder);
    // Removes the intermediate bitmaps of grabs from the Photo folder; a user's own ".bmp" files
    // there stay. Each bitmap that could not be removed, as its path and the system's reason.
    static QStringList RemoveGrabIntermediates();
};

using TimestampClock = std::function<QDateTime()>;

// Replaces the clock that names new captures (tests); an empty function restores local time.
void SetTimestampClock(TimestampClock clock);

// YYMMDD-hhmmss of a local time.
QString TimestampStem(const QDateTime& localTime);

// A new full path: root + subfolder + "/" + YYMMDD-hhmmss + "." + extension. The name is reserved
// on disk (created empty and exclusively), so two captures begun in the same second never share a
// file: the later one gets the stem with "_2", "_3", ... appended, which sorts after it.
// Returns an empty string when no file could be created in the folder.
QString MakeTimestampedPath(const QString& extension, const QString& subfolder);

// Like MakeTimestampedPath for a capture written under several extensions that share one stem
// (the photo grab's ".bmp" and ".jpg"): returns folder + stem without extension, with the stem
// chosen so that none of the extensions exists yet; the file of every extension is reserved
// (created empty, never through a link).
QString MakeTimestampedStem(const QString& folder, const QStringList& extensions);

} // namespace corvana
