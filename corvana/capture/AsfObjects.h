#pragma once
// The ASF objects the recordings' writer produces and the program reads or completes itself.
#include <QByteArray>
#include <QtGlobal>

#include <array>
#include <cstring>

namespace corvana::asf {

using Guid = std::array<unsigned char, 16>;
// As stored in the file: the first three fields little-endian.
inline constexpr Guid kHeaderObject{0x30, 0x26, 0xB2, 0x75, 0x8E, 0x66, 0xCF, 0x11, 0xA6, 0xD9, 0x00, 0xAA, 0x00, 0x62, 0xCE, 0x6C};
inline constexpr Guid kDataObject{0x36, 0x26, 0xB2, 0x75, 0x8E, 0x66, 0xCF, 0x11, 0xA6, 0xD9, 0x00, 0xAA, 0x00, 0x62, 0xCE, 0x6C};
inline constexpr Guid kSimpleIndex{0x90, 0x08, 0x00, 0x33, 0xB1, 0xE5, 0xCF, 0x11, 0x89, 0xF4, 0x00, 0xA0, 0xC9, 0x03, 0x49, 0xCB};
inline constexpr Guid kFileProperties{0xA1, 0xDC, 0xAB, 0x8C, 0x47, 0xA9, 0xCF, 0x11, 0x8E, 0xE4, 0x00, 0xC0, 0x0C, 0x20, 0x53, 0x65};
inline constexpr Guid kStreamProperties{0x91, 0x07, 0xDC, 0xB7, 0xB7, 0xA9, 0xCF, 0x11, 0x8E, 0xE6, 0x00, 0xC0, 0x0C, 0x20, 0x53, 0x65};
inline constexpr Guid kHeaderExtension{0xB5, 0x03, 0xBF, 0x5F, 0x2E, 0xA9, 0xCF, 0x11, 0x8E, 0xE3, 0x00, 0xC0, 0x0C, 0x20, 0x53, 0x65};
inline constexpr Guid kExtendedStreamProperties{0xCB, 0xA5, 0xE6, 0x14, 0x72, 0xC6, 0x32, 0x43, 0x83, 0x99, 0xA9, 0x69, 0x52, 0x06, 0x5B, 0x5A};
inline constexpr Guid kVideoMedia{0xC0, 0xEF, 0x19, 0xBC, 0x4D, 0x5B, 0xCF, 0x11, 0xA8, 0xFD, 0x00, 0x80, 0x5F, 0x5C, 0x44, 0x2B};

// Offsets into the File Properties object.
enum : qint64 {
    kFileId = 24, kFileSize = 40, kPacketCount = 56, kPlayDuration = 64, kSendDuration = 72, kFlags = 88, kMaxBitrate = 100,
    kFilePropertiesSize = 104
};
// Offsets into a Stream Properties object and an Extended Stream Properties object.
enum : qint64 { kStreamType = 24, kStreamNumber = 72, kDataBitrate = 40, kBufferSize = 44, kAlternateBitrate = 52,
                kAlternateBufferSize = 56, kExtendedStreamNumber = 72, kExtendedMinimumSize = 88 };
// The Data object's own fields, ahead of its packets; the Simple Index object's, ahead of its entries.
inline constexpr qint64 kDataObjectSize = 50;
inline constexpr qint64 kSimpleIndexSize = 56;
inline constexpr quint64 kTicksPerMs = 10000; // durations are in 100 ns units, presentation times in ms

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

inline void Put(QByteArray& bytes, qint64 at, quint64 value, int width)
{
    for (int i = 0; i < width; ++i)
        bytes[at + i] = static_cast<char>(value >> (8 * i));
}

} // namespace corvana::asf
