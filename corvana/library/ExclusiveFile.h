#pragma once
#include "library/UniqueFd.h"

#include <QByteArray>
#include <QString>

#include <sys/types.h>

namespace corvana {

// Holds a file only when no process at all, this one included, has it open.
//
// Removing an open file on Linux succeeds and the other program silently loses it, so before a
// file is deleted we ask the kernel: a write lease (F_SETLEASE F_WRLCK) is granted only while no
// other descriptor of the file exists, and while it is held anyone who opens the file waits for
// us. Where leases are refused (a file of another owner, a file system without leases) the open
// descriptors of every process under /proc are compared with the file instead; the scan also
// runs after a granted lease, to be sure of kernels that do not count readers for leases.
class ExclusiveFile {
public:
    explicit ExclusiveFile(const QString& path);
    ExclusiveFile(const ExclusiveFile&) = delete;
    ExclusiveFile& operator=(const ExclusiveFile&) = delete;

    bool IsHeld() const { return m_error == 0; }

    // EBUSY when a process has the file open; otherwise why it could not be held (ENOENT, EACCES,
    // EISDIR for a folder, EINVAL for another kind of entry that is not a regular file).
    int Error() const { return m_error; }

    // Removes the held file's name; 0 or an errno value. The file is no longer held afterwards,
    // whether or not the removal succeeded.
    int Remove();

    // Removes a name without any test (any kind of entry except a folder); 0 or an errno value.
    static int RemovePath(const QString& path);

    // True when a descriptor of any process other than `exceptFd` of this one refers to the file.
    static bool IsOpenAnywhere(dev_t device, ino_t inode, int exceptFd = -1);

private:
    UniqueFd m_folder;
    QByteArray m_name;
    UniqueFd m_file;
    dev_t m_device = 0;
    ino_t m_inode = 0;
    int m_error = 0;
};

} // namespace corvana
