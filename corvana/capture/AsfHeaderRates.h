#pragma once
#include <QByteArray>
#include <QtGlobal>

#include <gst/gst.h>

namespace corvana {

// The rates the muxer leaves out of the header it writes. It takes a stream's bitrate only from
// the audio encoder's caps, so the video stream's bitrate and buffer window stay 0 and the file's
// maximum bitrate is the audio's alone. They are filled in as the header passes to the file at
// the start, so a recording cut short carries them too, and again when the muxer rewrites the
// file properties at the end.
class AsfHeaderRates {
public:
    // Completes the header at the start of `bytes`: each video stream gets the bitrate and buffer
    // window (ms), and the file's maximum bitrate becomes the sum of its streams' bitrates. Gives
    // that sum and where the File Properties object starts, or 0 when the bytes hold no whole
    // header (they are then left as they are).
    static quint32 Complete(QByteArray& bytes, quint32 videoBitrate, quint32 bufferWindowMs, qint64* fileProperties = nullptr);

    // Completes what passes the muxer's output pad, for as long as the pad lives.
    static void Watch(GstPad* muxerOutput, quint32 videoBitrate, quint32 bufferWindowMs);
};

} // namespace corvana
