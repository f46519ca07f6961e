#include "library/ExclusiveFile.h"

#include "library/LongPath.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>

namespace corvana {

namespace {

struct DirCloser {
    void operator()(DIR* dir) const { ::closedir(dir); }
};
using DirHandle = std::unique_ptr<DIR, DirCloser>;

bool IsNumber(const char* text)
{
    if (!*text)
        return false;
    for (; *text; ++text) {
        if (*text < '0' || *text > '9')
            return false;
    }
    return true;
}

} // namespace

ExclusiveFile::ExclusiveFile(const QString& path)
{
    m_folder = LongPath::OpenParent(path, &m_name);
    if (!m_folder) {
        m_error = errno;
        return;
    }
    struct stat info {};
    if (::fstatat(m_folder.Get(), m_name.constData(), &info, 0) != 0) {
        m_error = errno;
        return;
    }
    if (!S_ISREG(info.st_mode)) {
        m_error = S_ISDIR(info.st_mode) ? EISDIR : EINVAL;
        return;
    }
    m_device = info.st_dev;
    m_inode = info.st_ino;

    // Non-blocking: a name may have been replaced by a FIFO since it was listed.
    m_file.Reset(::openat(m_folder.Get(), m_name.constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    const int openError = m_file ? 0 : errno;
    if (m_file) {
        struct stat opened {};
        if (::fstat(m_file.Get(), &opened) != 0 || opened.st_dev != m_device || opened.st_ino != m_inode) {
            m_error = EBUSY;
            return;
        }
        // A process opening the file while we hold the lease makes the kernel signal us; the
        // default SIGIO would end the program, SIGURG is ignored by default.
        ::fcntl(m_file.Get(), F_SETSIG, SIGURG);
        if (::fcntl(m_file.Get(), F_SETLEASE, F_WRLCK) != 0 && errno == EAGAIN) {
            m_error = EBUSY;
            return;
        }
    }
    if (IsOpenAnywhere(m_device, m_inode, m_file ? m_file.Get() : -1)) {
        m_error = EBUSY;
        return;
    }
    m_error = openError;
}

int ExclusiveFile::Remove()
{
    if (!IsHeld())
        return m_error;
    int result = 0;
    struct stat info {};
    if (::fstatat(m_folder.Get(), m_name.constData(), &info, 0) != 0)
        result = errno;
    else if (info.st_dev != m_device || info.st_ino != m_inode)
        result = ESTALE;
    else if (::unlinkat(m_folder.Get(), m_name.constData(), 0) != 0)
        result = errno;
    // Whatever happened, nobody who opens the file now may have to wait for our lease.
    m_file.Reset();
    m_error = result == 0 ? ENOENT : result;
    return result;
}

int ExclusiveFile::RemovePath(const QString& path)
{
    QByteArray name;
    const UniqueFd folder = LongPath::OpenParent(path, &name);
    if (!folder)
        return errno;
    return ::unlinkat(folder.Get(), name.constData(), 0) == 0 ? 0 : errno;
}

bool ExclusiveFile::IsOpenAnywhere(dev_t device, ino_t inode, int exceptFd)
{
    DirHandle processes(::opendir("/proc"));
    if (!processes)
        return false;
    const pid_t self = ::getpid();
    while (const dirent* process = ::readdir(processes.get())) {
        if (!IsNumber(process->d_name))
            continue;
        const bool isSelf = std::atol(process->d_name) == self;
        const QByteArray fdFolder = QByteArray("/proc/") + process->d_name + "/fd";
        DirHandle descriptors(::opendir(fdFolder.constData()));
        if (!descriptors)
            continue;
        const int descriptorsFd = ::dirfd(descriptors.get());
        while (const dirent* descriptor = ::readdir(descriptors.get())) {
            if (!IsNumber(descriptor->d_name))
                continue;
            if (isSelf && (std::atoi(descriptor->d_name) == exceptFd || std::atoi(descriptor->d_name) == descriptorsFd))
                continue;
            struct stat target {};
            if (::fstatat(descriptorsFd, descriptor->d_name, &target, 0) == 0 && target.st_dev == device
                && target.st_ino == inode)
                return true;
        }
    }
    return false;
}

} // namespace corvana
