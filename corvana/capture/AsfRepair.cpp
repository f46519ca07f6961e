#include "capture/AsfRepair.h"

#include "library/ExclusiveFile.h"
#include "library/LongPath.h"
#include "support/Logging.h"

#include <QByteArray>

#include <algorithm>
#include <array>
#include <bitset>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace corvana {

namespace {

using Guid = std::array<unsigned char, 16>;
// As stored in the file: the first three fields little-endian.
constexpr Guid kHeaderObject{0x30, 0x26, 0xB2, 0x75, 0x8E, 0x66, 0xCF, 0x11, 0xA6, 0xD9, 0x00, 0xAA, 0x00, 0x62, 0xCE, 0x6C};
constexpr Guid kDataObject{0x36, 0x26, 0xB2, 0x75, 0x8E, 0x66, 0xCF, 0x11, 0xA6, 0xD9, 0x00, 0xAA, 0x00, 0x62, 0xCE, 0x6C};
constexpr Guid kFileProperties{0xA1, 0xDC, 0xAB, 0x8C, 0x47, 0xA9, 0xCF, 0x11, 0x8E, 0xE4, 0x00, 0xC0, 0x0C, 0x20, 0x53, 0x65};
constexpr Guid kStreamProperties{0x91, 0x07, 0xDC, 0xB7, 0xB7, 0xA9, 0xCF, 0x11, 0x8E, 0xE6, 0x00, 0xC0, 0x0C, 0x20, 0x53, 0x65};
constexpr Guid kHeaderExtension{0xB5, 0x03, 0xBF, 0x5F, 0x2E, 0xA9, 0xCF, 0x11, 0x8E, 0xE3, 0x00, 0xC0, 0x0C, 0x20, 0x53, 0x65};
constexpr Guid kExtendedStreamProperties{0xCB, 0xA5, 0xE6, 0x14, 0x72, 0xC6, 0x32, 0x43, 0x83, 0x99, 0xA9, 0x69, 0x52, 0x06, 0x5B, 0x5A};

// Offsets into the File Properties object.
enum : qint64 {
    kFileId = 24, kFileSize = 40, kPacketCount = 56, kPlayDuration = 64, kSendDuration = 72, kFlags = 88, kMaxBitrate = 100,
    kFilePropertiesSize = 104
};
constexpr quint32 kBroadcast = 1;
constexpr quint32 kSeekable = 2;
constexpr qint64 kDataObjectSize = 50; // the Data object's own fields, ahead of its packets
constexpr qint64 kMaxHeaderSize = 16 << 20;
constexpr quint64 kTicksPerMs = 10000; // durations are in 100 ns units, presentation times in ms

// Little-endian fields of a block of bytes; a read past its end gives 0 and clears ok.
struct Cursor {
    const QByteArray& bytes;
    qint64 at = 0;
    bool ok = true;

    quint64 Take(qint64 width)
    {
        if (at < 0 || at > bytes.size() - width) {
            ok = false;
            return 0;
        }
        quint64 value = 0;
        for (qint64 i = width - 1; i >= 0; --i)
            value = value << 8 | static_cast<unsigned char>(bytes[at + i]);
        at += width;
        return value;
    }
    // A data packet's two-bit length types: absent, byte, word, dword.
    quint64 TakeSized(quint64 type) { return Take(type == 3 ? 4 : static_cast<qint64>(type)); }
    bool Is(const Guid& guid) const
    {
        return at >= 0 && at + 16 <= bytes.size() && std::memcmp(bytes.constData() + at, guid.data(), 16) == 0;
    }
};

struct Header {
    qint64 size = 0;       // of the Header object; the Data object follows it
    qint64 properties = 0; // where the File Properties object starts
    quint64 sendDuration = 0;
    quint64 preroll = 0;
    quint32 flags = 0;
    quint32 packetSize = 0;
    quint32 bitrate = 0;   // what the muxer puts as the file's maximum: its streams' bitrates summed
    std::bitset<128> streams;
};

// Presentation times (ms) of a stream's last complete media object and the step to it; one more
// step is how long that object plays.
struct StreamEnd {
    quint64 last = 0;
    quint64 step = 0;
    bool seen = false;
    void Add(quint64 time)
    {
        if (seen && time <= last)
            return;
        step = seen ? time - last : 0;
        last = time;
        seen = true;
    }
};
using StreamEnds = std::array<StreamEnd, 128>;

QByteArray ReadAt(int fd, qint64 offset, qint64 size)
{
    QByteArray bytes(size, Qt::Uninitialized);
    qint64 done = 0;
    while (done < size) {
        const ssize_t n = ::pread(fd, bytes.data() + done, static_cast<size_t>(size - done), offset + done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        done += n;
    }
    bytes.truncate(done);
    return bytes;
}

bool WriteAt(int fd, qint64 offset, quint64 value, int width)
{
    unsigned char bytes[8];
    for (int i = 0; i < width; ++i)
        bytes[i] = static_cast<unsigned char>(value >> (8 * i));
    return ::pwrite(fd, bytes, static_cast<size_t>(width), offset) == width;
}

// Walks the objects that fill [from, to) exactly; false when one does not fit or visit refuses it.
template <typename Visit>
bool ForEachObject(const QByteArray& bytes, qint64 from, qint64 to, quint64* count, Visit visit)
{
    Cursor in{bytes, from};
    while (in.at < to) {
        const qint64 start = in.at;
        in.at += 16;
        const quint64 length = in.Take(8);
        if (!in.ok || length < 24 || length > static_cast<quint64>(to - start) || !visit(start, static_cast<qint64>(length)))
            return false;
        in.at = start + static_cast<qint64>(length);
        ++*count;
    }
    return in.at == to;
}

// Reads and checks the Header object and the Data object's fields; empty when both are sound.
QString ReadHeader(int fd, qint64 fileSize, Header& header)
{
    const QString damaged = QStringLiteral("its header is damaged");
    const QByteArray top = ReadAt(fd, 0, 30);
    Cursor in{top};
    if (fileSize == 0)
        return QStringLiteral("the file is empty");
    if (top.size() < 30 || !in.Is(kHeaderObject))
        return QStringLiteral("it is not an ASF file");
    in.at = 16;
    const quint64 size = in.Take(8);
    const quint64 count = in.Take(4);
    if (size < 30 || size > kMaxHeaderSize)
        return damaged;
    if (static_cast<qint64>(size) + kDataObjectSize > fileSize)
        return QStringLiteral("the file ends inside its header");
    header.size = static_cast<qint64>(size);

    const QByteArray bytes = ReadAt(fd, 0, header.size + kDataObjectSize);
    if (bytes.size() != header.size + kDataObjectSize)
        return QStringLiteral("it cannot be read");
    if (bytes[28] != 1 || bytes[29] != 2)
        return damaged;
    QByteArray fileId;
    quint64 objects = 0;
    const bool sound = ForEachObject(bytes, 30, header.size, &objects, [&](qint64 start, qint64 length) {
        Cursor object{bytes, start};
        if (object.Is(kFileProperties)) {
            if (length != kFilePropertiesSize || header.properties)
                return false;
            header.properties = start;
            fileId = bytes.mid(start + kFileId, 16);
            object.at = start + kSendDuration;
            header.sendDuration = object.Take(8);
            header.preroll = object.Take(8);
            header.flags = static_cast<quint32>(object.Take(4));
            const quint64 minimum = object.Take(4);
            header.packetSize = static_cast<quint32>(object.Take(4));
            return minimum == header.packetSize && header.packetSize >= 32 && header.packetSize <= (1u << 20);
        }
        if (object.Is(kStreamProperties)) {
            object.at = start + 72;
            const quint64 number = object.Take(2) & 0x7f;
            header.streams.set(number);
            return object.ok && object.at <= start + length && number != 0;
        }
        if (object.Is(kHeaderExtension)) {
            object.at = start + 42;
            quint64 inner = 0;
            return object.Take(4) + 46 == static_cast<quint64>(length)
                && ForEachObject(bytes, start + 46, start + length, &inner, [&](qint64 at, qint64 innerLength) {
                       if (!Cursor{bytes, at}.Is(kExtendedStreamProperties))
                           return true;
                       Cursor extended{bytes, at + 40};
                       header.bitrate += static_cast<quint32>(extended.Take(4));
                       return extended.ok && innerLength >= 44;
                   });
        }
        return true;
    });
    if (!sound || objects != count || !header.properties || header.streams.none())
        return damaged;

    Cursor data{bytes, header.size};
    if (!data.Is(kDataObject) || bytes.mid(header.size + 24, 16) != fileId || bytes[header.size + 48] != 1
        || bytes[header.size + 49] != 1)
        return QStringLiteral("its data does not belong to its header");
    return {};
}

// Reads one data packet as the muxer writes them, noting the times of the media objects that end
// in it; false when it is not such a packet.
bool ReadPacket(const QByteArray& packet, const Header& header, StreamEnds& ends)
{
    Cursor in{packet};
    quint64 lengthTypes = in.Take(1);
    if (lengthTypes & 0x80) {
        // Error correction data comes first; only its plain form has a known length.
        if (lengthTypes & 0x70)
            return false;
        in.at += static_cast<qint64>(lengthTypes & 0x0f);
        lengthTypes = in.Take(1);
        if (lengthTypes & 0x80)
            return false;
    }
    const quint64 properties = in.Take(1);
    const quint64 length = in.TakeSized(lengthTypes >> 5 & 3);
    in.TakeSized(lengthTypes >> 1 & 3); // sequence
    const quint64 padding = in.TakeSized(lengthTypes >> 3 & 3);
    in.Take(6);                         // send time and duration
    if (!in.ok || (properties >> 6 & 3) != 1 || length > static_cast<quint64>(packet.size()) || padding > static_cast<quint64>(packet.size() - in.at))
        return false;
    const qint64 end = packet.size() - static_cast<qint64>(padding);
    const bool multiple = lengthTypes & 1;
    const quint64 payloadFlags = multiple ? in.Take(1) : 1;
    const quint64 count = payloadFlags & 0x3f;
    if (count == 0 || (multiple && (payloadFlags >> 6) == 0))
        return false;
    for (quint64 i = 0; i < count; ++i) {
        const quint64 stream = in.Take(1) & 0x7f;
        in.TakeSized(properties >> 4 & 3); // media object number
        const quint64 offset = in.TakeSized(properties >> 2 & 3);
        const quint64 replicated = in.TakeSized(properties & 3);
        // The muxer always gives the object's size and time, never compressed payloads.
        const quint64 objectSize = in.Take(4);
        const quint64 time = in.Take(4);
        in.at += static_cast<qint64>(replicated) - 8;
        if (!in.ok || replicated < 8 || in.at > end)
            return false;
        const quint64 size = multiple ? in.TakeSized(payloadFlags >> 6) : static_cast<quint64>(end - in.at);
        in.at += static_cast<qint64>(size);
        if (!in.ok || in.at > end || !header.streams[stream] || offset + size > objectSize)
            return false;
        if (offset + size == objectSize)
            ends[stream].Add(time);
    }
    return true;
}

bool AllZero(int fd, qint64 from, qint64 to)
{
    for (qint64 at = from; at < to; at += 1 << 20) {
        const QByteArray block = ReadAt(fd, at, std::min<qint64>(1 << 20, to - at));
        if (block.isEmpty() || block.count('\0') != block.size())
            return false;
    }
    return true;
}

AsfRepair::Result Failed(const QString& reason)
{
    return {AsfRepair::Outcome::Failed, reason, 0};
}

} // namespace

AsfRepair::Result AsfRepair::Repair(const QString& path)
{
    const UniqueFd file = LongPath::Open(path, O_RDWR | O_NOFOLLOW | O_NOCTTY | O_NONBLOCK);
    if (!file)
        return Failed(QStringLiteral("it cannot be opened (%1)").arg(QString::fromLocal8Bit(std::strerror(errno))));
    const int fd = file.Get();
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode))
        return Failed(QStringLiteral("it is not a regular file"));
    Header header;
    if (const QString problem = ReadHeader(fd, info.st_size, header); !problem.isEmpty())
        return Failed(problem);
    if (!(header.flags & kBroadcast))
        return {Outcome::AlreadyComplete, QStringLiteral("it is already complete"),
                static_cast<double>(header.sendDuration) / 1e7};
    if (ExclusiveFile::IsOpenAnywhere(info.st_dev, info.st_ino, fd))
        return Failed(QStringLiteral("a program still has it open"));

    // The recording is the run of sound packets from the start. What follows them may only be a
    // packet cut short, or zeros where the file system had grown the file but not yet its data.
    const qint64 packetSize = header.packetSize;
    const qint64 dataStart = header.size + kDataObjectSize;
    const qint64 whole = (info.st_size - dataStart) / packetSize;
    StreamEnds ends{};
    qint64 packets = 0;
    for (; packets < whole; ++packets) {
        const QByteArray packet = ReadAt(fd, dataStart + packets * packetSize, packetSize);
        StreamEnds next = ends;
        if (packet.size() != packetSize || !ReadPacket(packet, header, next))
            break;
        ends = next;
    }
    const qint64 length = dataStart + packets * packetSize;
    if (info.st_size - length >= packetSize && !AllZero(fd, length, info.st_size))
        return Failed(QStringLiteral("data packet %1 is damaged").arg(packets + 1));
    if (packets == 0)
        return Failed(QStringLiteral("it holds no recorded data"));
    quint64 endMs = 0;
    for (const StreamEnd& end : ends)
        if (end.seen)
            endMs = std::max(endMs, end.last + end.step);
    if (endMs == 0)
        return Failed(QStringLiteral("it holds no complete frame"));

    // As the muxer finishes a file: play duration counts the preroll, send duration does not.
    const quint64 send = (endMs - std::min(endMs, header.preroll)) * kTicksPerMs;
    const qint64 p = header.properties;
    const bool written = (length == info.st_size || ::ftruncate(fd, length) == 0)
        && WriteAt(fd, header.size + 16, static_cast<quint64>(length - header.size), 8)
        && WriteAt(fd, header.size + 40, static_cast<quint64>(packets), 8)
        && WriteAt(fd, p + kFileSize, static_cast<quint64>(length), 8)
        && WriteAt(fd, p + kPacketCount, static_cast<quint64>(packets), 8)
        && WriteAt(fd, p + kPlayDuration, send + header.preroll * kTicksPerMs, 8)
        && WriteAt(fd, p + kSendDuration, send, 8)
        && WriteAt(fd, p + kMaxBitrate, header.bitrate, 4)
        && ::fsync(fd) == 0
        && WriteAt(fd, p + kFlags, (header.flags & ~kBroadcast) | kSeekable, 4)
        && ::fsync(fd) == 0;
    if (!written)
        return Failed(QStringLiteral("it cannot be written (%1)").arg(QString::fromLocal8Bit(std::strerror(errno))));
    const double seconds = static_cast<double>(send) / 1e7;
    qCInfo(lcCapture).noquote() << "Repaired unfinished recording" << path << "of" << seconds << "s in"
                                << packets << "packets," << info.st_size - length << "bytes cut off";
    return {Outcome::Repaired, QString(), seconds};
}

} // namespace corvana
