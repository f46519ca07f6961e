#pragma once
#include <QByteArray>
#include <QString>

namespace corvana {

// Writes a capture's bytes into its reserved file, never through a link, and makes sure they are
// on the disk before it counts as written.
class SyncedFile {
public:
    // 0, or the errno of the first open, write, sync or close that failed: a full disk often shows
    // only at the sync or the close.
    static int Write(const QString& path, const QByteArray& bytes);
};

} // namespace corvana
