#include "capture/AsfRepair.h"

#include "capture/AsfObjects.h"

#include "library/ExclusiveFile.h"
#include "library/LongPath.h"
#include "support/Logging.h"

#include <QByteArray>

#include <algorithm>
#include <array>
#include <bitset>
#include <vector>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace corvana {

namespace {

using namespace asf;

constexpr quint32 kBroadcast = 1;
constexpr quint32 kSeekable = 2;
constexpr qint64 kMaxHeaderSize = 16 << 20;
constexpr quint64 kIndexInterval = 1000 * kTicksPerMs; // one entry per second, as the muxer writes them

struct Header {
    qint64 size = 0;       // of the Header object; the Data object follows it
    qint64 properties = 0; // where the File Properties object starts
    quint64 sendDuration = 0;
    quint64 preroll = 0;
    quint32 flags = 0;
    quint32 packetSize = 0;
    quint32 bitrate = 0;   // what the muxer puts as the file's maximum: its streams' bitrates summed
    std::bitset<128> streams;
    std::bitset<128> video;
    QByteArray fileId;
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

// One payload of a data packet: a media object or a part of one.
struct Payload {
    quint64 stream = 0;
    bool keyFrame = false;
    quint64 offset = 0;
    quint64 size = 0;
    quint64 objectSize = 0;
    quint64 time = 0; // ms, the preroll included
};

// The Simple Index the muxer appends for a video stream when it finishes a file: an entry for
// every second of presentation time, naming the packet where the key frame last completed before
// it starts and how many packets that frame spans. Fed the payloads in the order of the packets.
class SimpleIndex {
public:
    explicit SimpleIndex(quint64 stream) : m_stream(stream) {}

    void Add(const Payload& payload, quint32 packet)
    {
        if (payload.stream != m_stream)
            return;
        if (payload.offset == 0)
            m_object = {packet, 0};
        ++m_object.packets;
        if (payload.offset + payload.size != payload.objectSize)
            return;
        if (m_haveKeyFrame)
            for (; m_nextTime <= payload.time * kTicksPerMs; m_nextTime += kIndexInterval) {
                m_entries.push_back(m_keyFrame);
                m_maxPackets = std::max<quint32>(m_maxPackets, m_keyFrame.packets);
            }
        if (payload.keyFrame) {
            m_keyFrame = m_object;
            m_haveKeyFrame = true;
        }
    }

    QByteArray Object(const QByteArray& fileId) const
    {
        QByteArray bytes(kSimpleIndexSize + 6 * static_cast<qint64>(m_entries.size()), '\0');
        std::memcpy(bytes.data(), kSimpleIndex.data(), kSimpleIndex.size());
        Put(bytes, 16, static_cast<quint64>(bytes.size()), 8);
        bytes.replace(24, 16, fileId);
        Put(bytes, 40, kIndexInterval, 8);
        Put(bytes, 48, m_maxPackets, 4);
        Put(bytes, 52, m_entries.size(), 4);
        qint64 at = kSimpleIndexSize;
        for (const Entry& entry : m_entries) {
            Put(bytes, at, entry.packet, 4);
            Put(bytes, at + 4, std::min<quint32>(entry.packets, 0xFFFF), 2);
            at += 6;
        }
        return bytes;
    }

private:
    struct Entry {
        quint32 packet = 0;
        quint32 packets = 0;
    };
    quint64 m_stream;
    Entry m_object;   // the media object being read
    Entry m_keyFrame; // the last complete key frame
    bool m_haveKeyFrame = false;
    quint64 m_nextTime = 0;
    quint32 m_maxPackets = 0;
    std::vector<Entry> m_entries;
};

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
    quint64 objects = 0;
    const bool sound = ForEachObject(bytes, 30, header.size, &objects, [&](qint64 start, qint64 length) {
        Cursor object{bytes, start};
        if (object.Is(kFileProperties)) {
            if (length != kFilePropertiesSize || header.properties)
                return false;
            header.properties = start;
            header.fileId = bytes.mid(start + kFileId, 16);
            object.at = start + kSendDuration;
            header.sendDuration = object.Take(8);
            header.preroll = object.Take(8);
            header.flags = static_cast<quint32>(object.Take(4));
            const quint64 minimum = object.Take(4);
            header.packetSize = static_cast<quint32>(object.Take(4));
            return minimum == header.packetSize && header.packetSize >= 32 && header.packetSize <= (1u << 20);
        }
        if (object.Is(kStreamProperties)) {
            object.at = start + kStreamNumber;
            const quint64 number = object.Take(2) & 0x7f;
            header.streams.set(number);
            if (Cursor{bytes, start + kStreamType}.Is(kVideoMedia))
                header.video.set(number);
            return object.ok && object.at <= start + length && number != 0;
        }
        if (object.Is(kHeaderExtension)) {
            object.at = start + 42;
            quint64 inner = 0;
            return object.Take(4) + 46 == static_cast<quint64>(length)
                && ForEachObject(bytes, start + 46, start + length, &inner, [&](qint64 at, qint64 innerLength) {
                       if (!Cursor{bytes, at}.Is(kExtendedStreamProperties))
                           return true;
                       Cursor extended{bytes, at + kDataBitrate};
                       header.bitrate += static_cast<quint32>(extended.Take(4));
                       return extended.ok && innerLength >= 44;
                   });
        }
        return true;
    });
    if (!sound || objects != count || !header.properties || header.streams.none())
        return damaged;

    Cursor data{bytes, header.size};
    if (!data.Is(kDataObject) || bytes.mid(header.size + 24, 16) != header.fileId || bytes[header.size + 48] != 1
        || bytes[header.size + 49] != 1)
        return QStringLiteral("its data does not belong to its header");
    return {};
}

// Reads one data packet as the muxer writes them, noting the times of the media objects that end
// in it; false when it is not such a packet.
bool ReadPacket(const QByteArray& packet, const Header& header, StreamEnds& ends, std::vector<Payload>& payloads)
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
        const quint64 streamByte = in.Take(1);
        const quint64 stream = streamByte & 0x7f;
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
        payloads.push_back({stream, (streamByte & 0x80) != 0, offset, size, objectSize, time});
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
    std::vector<SimpleIndex> indexes; // highest stream first, as the muxer writes them
    for (quint64 stream = header.video.size(); stream-- > 0;)
        if (header.video[stream])
            indexes.emplace_back(stream);
    std::vector<Payload> payloads;
    qint64 packets = 0;
    for (; packets < whole; ++packets) {
        const QByteArray packet = ReadAt(fd, dataStart + packets * packetSize, packetSize);
        StreamEnds next = ends;
        payloads.clear();
        if (packet.size() != packetSize || !ReadPacket(packet, header, next, payloads))
            break;
        ends = next;
        for (SimpleIndex& index : indexes)
            for (const Payload& payload : payloads)
                index.Add(payload, static_cast<quint32>(packets));
    }
    const qint64 length = dataStart + packets * packetSize;
    // An index after the packets was written by an earlier repair that did not get to its end.
    const bool indexFollows = Cursor{ReadAt(fd, length, 16)}.Is(kSimpleIndex);
    if (info.st_size - length >= packetSize && !AllZero(fd, length, info.st_size) && !indexFollows)
        return Failed(QStringLiteral("data packet %1 is damaged").arg(packets + 1));
    if (packets == 0)
        return Failed(QStringLiteral("it holds no recorded data"));
    quint64 endMs = 0;
    for (const StreamEnd& end : ends)
        if (end.seen)
            endMs = std::max(endMs, end.last + end.step);
    if (endMs == 0)
        return Failed(QStringLiteral("it holds no complete frame"));

    // A video gets its simple index after the data, as a finished one has it: players that seek
    // by it can seek the repaired file too.
    QByteArray index;
    for (const SimpleIndex& stream : indexes)
        index += stream.Object(header.fileId);
    const qint64 fileSize = length + index.size();
    // As the muxer finishes a file: play duration counts the preroll, send duration does not.
    const quint64 send = (endMs - std::min(endMs, header.preroll)) * kTicksPerMs;
    const qint64 p = header.properties;
    const bool written = (length == info.st_size || ::ftruncate(fd, length) == 0)
        && (index.isEmpty() || ::pwrite(fd, index.constData(), static_cast<size_t>(index.size()), length) == index.size())
        && WriteAt(fd, header.size + 16, static_cast<quint64>(length - header.size), 8)
        && WriteAt(fd, header.size + 40, static_cast<quint64>(packets), 8)
        && WriteAt(fd, p + kFileSize, static_cast<quint64>(fileSize), 8)
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
