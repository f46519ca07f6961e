#include "capture/V4l2Probe.h"

#include <QFile>

#include <fcntl.h>
#include <linux/videodev2.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace corvana {

namespace {

class FileDescriptor {
public:
    explicit FileDescriptor(int fd) : m_fd(fd) {}
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    ~FileDescriptor() { if (m_fd >= 0) ::close(m_fd); }
    int get() const { return m_fd; }

private:
    int m_fd;
};

} // namespace

bool V4l2Probe::HasAnalogVideoInput(const QString& devicePath)
{
    if (devicePath.isEmpty())
        return false;
    FileDescriptor fd(::open(QFile::encodeName(devicePath).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    if (fd.get() < 0)
        return false;
    v4l2_capability capability{};
    if (::ioctl(fd.get(), VIDIOC_QUERYCAP, &capability) == 0) {
        const __u32 caps = (capability.capabilities & V4L2_CAP_DEVICE_CAPS) ? capability.device_caps : capability.capabilities;
        if (caps & V4L2_CAP_TUNER)
            return true;
    }
    for (__u32 index = 0; index < 64; ++index) {
        v4l2_input input{};
        input.index = index;
        if (::ioctl(fd.get(), VIDIOC_ENUMINPUT, &input) != 0)
            break;
        if (input.type == V4L2_INPUT_TYPE_TUNER || input.std != 0)
            return true;
    }
    return false;
}

} // namespace corvana
