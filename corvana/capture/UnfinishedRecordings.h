#pragma once
#include <QString>

namespace corvana {

// The program's record of the recordings it is writing, so that one left unfinished by a crash or
// a power loss is repaired at the next start. Each recording has its own entry file in Folder(),
// named by a hash of the path and holding the path's bytes; a file there whose name is not the
// hash of its content is no entry and is ignored.
class UnfinishedRecordings {
public:
    // $XDG_STATE_HOME/corvana/unfinished (~/.local/state/... by default), private to the user.
    static QString Folder();
    // Before the first byte of the recording is written; true once the entry is safely on disk.
    static bool Begin(const QString& path);
    // After the recording was finished and synced to disk.
    static void End(const QString& path);
    // At start-up: repairs each recorded file that still exists and forgets the entry once the
    // file is complete or gone. A file that cannot be repaired is left as it is, keeps its entry
    // and is named in one line on standard error. Gives the number of files repaired.
    static int RepairAll();
};

} // namespace corvana
