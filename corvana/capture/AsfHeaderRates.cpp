#include "capture/AsfHeaderRates.h"

#include "capture/AsfObjects.h"

#include <QList>

#include <bitset>

namespace corvana {

namespace {

// The muxer rewrites the File Properties object from its file size field on: 64 bytes.
constexpr qint64 kRewriteOffset = asf::kFileSize;
constexpr gsize kRewriteSize = asf::kFilePropertiesSize - kRewriteOffset;

struct OutputWatch {
    quint32 videoBitrate;
    quint32 bufferWindowMs;
    bool headerSeen = false;
    quint32 sum = 0;
    qint64 fileProperties = -1;
    guint64 segmentStart = 0;
};

GstPadProbeReturn OnOutput(GstPad*, GstPadProbeInfo* info, gpointer data)
{
    auto* watch = static_cast<OutputWatch*>(data);
    if (info->type & GST_PAD_PROBE_TYPE_EVENT_DOWNSTREAM) {
        GstEvent* event = GST_PAD_PROBE_INFO_EVENT(info);
        if (GST_EVENT_TYPE(event) == GST_EVENT_SEGMENT) {
            const GstSegment* segment = nullptr;
            gst_event_parse_segment(event, &segment);
            watch->segmentStart = segment->format == GST_FORMAT_BYTES ? segment->start : 0;
        }
        return GST_PAD_PROBE_OK;
    }
    GstBuffer* buffer = GST_PAD_PROBE_INFO_BUFFER(info);
    if (!buffer)
        return GST_PAD_PROBE_OK;
    if (!watch->headerSeen) {
        // The first buffer is the whole header with the Data object's fields.
        watch->headerSeen = true;
        GstMapInfo map;
        if (!gst_buffer_map(buffer, &map, GST_MAP_READ))
            return GST_PAD_PROBE_OK;
        QByteArray header(reinterpret_cast<const char*>(map.data), static_cast<qsizetype>(map.size));
        gst_buffer_unmap(buffer, &map);
        watch->sum = AsfHeaderRates::Complete(header, watch->videoBitrate, watch->bufferWindowMs, &watch->fileProperties);
        if (watch->sum == 0)
            return GST_PAD_PROBE_OK;
        buffer = gst_buffer_make_writable(buffer);
        gst_buffer_fill(buffer, 0, header.constData(), static_cast<gsize>(header.size()));
        GST_PAD_PROBE_INFO_DATA(info) = buffer;
        return GST_PAD_PROBE_OK;
    }
    if (watch->sum == 0 || watch->segmentStart != static_cast<guint64>(watch->fileProperties + kRewriteOffset)
        || gst_buffer_get_size(buffer) != kRewriteSize)
        return GST_PAD_PROBE_OK;
    buffer = gst_buffer_make_writable(buffer);
    QByteArray maximum(4, '\0');
    asf::Put(maximum, 0, watch->sum, 4);
    gst_buffer_fill(buffer, asf::kMaxBitrate - kRewriteOffset, maximum.constData(), 4);
    GST_PAD_PROBE_INFO_DATA(info) = buffer;
    return GST_PAD_PROBE_OK;
}

} // namespace

quint32 AsfHeaderRates::Complete(QByteArray& bytes, quint32 videoBitrate, quint32 bufferWindowMs, qint64* fileProperties)
{
    asf::Cursor top{bytes};
    if (!top.Is(asf::kHeaderObject))
        return 0;
    top.at = 16;
    const quint64 size = top.Take(8);
    if (!top.ok || size < 30 || size > static_cast<quint64>(bytes.size()))
        return 0;
    const qint64 end = static_cast<qint64>(size);

    std::bitset<128> video;
    qint64 properties = -1;
    QList<qint64> extended;
    quint64 objects = 0;
    const bool sound = asf::ForEachObject(bytes, 30, end, &objects, [&](qint64 start, qint64 length) {
        asf::Cursor object{bytes, start};
        if (object.Is(asf::kFileProperties)) {
            properties = start;
            return length == asf::kFilePropertiesSize;
        }
        if (object.Is(asf::kStreamProperties)) {
            asf::Cursor type{bytes, start + asf::kStreamType};
            object.at = start + asf::kStreamNumber;
            if (type.Is(asf::kVideoMedia))
                video.set(object.Take(2) & 0x7f);
            return object.ok;
        }
        if (object.Is(asf::kHeaderExtension)) {
            quint64 inner = 0;
            return asf::ForEachObject(bytes, start + 46, start + length, &inner, [&](qint64 at, qint64 innerLength) {
                if (asf::Cursor{bytes, at}.Is(asf::kExtendedStreamProperties)) {
                    if (innerLength < asf::kExtendedMinimumSize)
                        return false;
                    extended << at;
                }
                return true;
            });
        }
        return true;
    });
    if (!sound || properties < 0 || extended.isEmpty())
        return 0;

    QByteArray completed = bytes;
    quint64 sum = 0;
    for (const qint64 at : extended) {
        asf::Cursor stream{bytes, at + asf::kExtendedStreamNumber};
        if (video[stream.Take(2) & 0x7f]) {
            asf::Put(completed, at + asf::kDataBitrate, videoBitrate, 4);
            asf::Put(completed, at + asf::kBufferSize, bufferWindowMs, 4);
            asf::Put(completed, at + asf::kAlternateBitrate, videoBitrate, 4);
            asf::Put(completed, at + asf::kAlternateBufferSize, bufferWindowMs, 4);
        }
        asf::Cursor bitrate{completed, at + asf::kDataBitrate};
        sum += bitrate.Take(4);
    }
    if (sum == 0 || sum > 0xFFFFFFFFu)
        return 0;
    asf::Put(completed, properties + asf::kMaxBitrate, sum, 4);
    bytes = completed;
    if (fileProperties)
        *fileProperties = properties;
    return static_cast<quint32>(sum);
}

void AsfHeaderRates::Watch(GstPad* muxerOutput, quint32 videoBitrate, quint32 bufferWindowMs)
{
    gst_pad_add_probe(muxerOutput, static_cast<GstPadProbeType>(GST_PAD_PROBE_TYPE_BUFFER | GST_PAD_PROBE_TYPE_EVENT_DOWNSTREAM),
                      &OnOutput, new OutputWatch{videoBitrate, bufferWindowMs},
                      [](gpointer data) { delete static_cast<OutputWatch*>(data); });
}

} // namespace corvana
