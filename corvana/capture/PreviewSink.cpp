#include "capture/PreviewSink.h"

#include "support/Logging.h"

#include <gst/app/gstappsink.h>
#include <gst/video/video.h>

#include <utility>

namespace corvana {

namespace {

void UnmapFrame(void* info)
{
    auto* frame = static_cast<GstVideoFrame*>(info);
    gst_video_frame_unmap(frame);
    delete frame;
}

// Wraps the frame's pixels without copying; the image keeps the buffer mapped while it lives.
QImage ImageFromSample(GstSample* sample)
{
    GstVideoInfo info;
    GstCaps* caps = gst_sample_get_caps(sample);
    GstBuffer* buffer = gst_sample_get_buffer(sample);
    if (!caps || !buffer || !gst_video_info_from_caps(&info, caps))
        return {};
    auto* frame = new GstVideoFrame;
    if (!gst_video_frame_map(frame, &info, buffer, GST_MAP_READ)) {
        delete frame;
        return {};
    }
    return QImage(static_cast<const uchar*>(GST_VIDEO_FRAME_PLANE_DATA(frame, 0)), GST_VIDEO_FRAME_WIDTH(frame),
                  GST_VIDEO_FRAME_HEIGHT(frame), GST_VIDEO_FRAME_PLANE_STRIDE(frame, 0), QImage::Format_RGB32, UnmapFrame,
                  frame);
}

GstElement* Make(const char* factory)
{
    return gst_element_factory_make(factory, nullptr);
}

} // namespace

PreviewSink::PreviewSink(PreviewSurfaceRef surface, QSize scaleTo) : m_surface(std::move(surface)), m_receiver(std::make_unique<QObject>())
{
    GstElement* queue = Make("queue");
    // Scaling and conversion to the painter's format in one pass over the picture.
    GstElement* convert = Make("videoconvertscale");
    GstElement* sink = Make("appsink");
    if (!queue || !convert || !sink) {
        for (GstElement* e : {queue, convert, sink})
            if (e)
                gst_object_unref(gst_object_ref_sink(e));
        return;
    }
    // The painter only wants the newest frame: never let the preview hold the camera back.
    g_object_set(queue, "leaky", 2, "max-size-buffers", 1, "max-size-bytes", 0, "max-size-time", G_GUINT64_CONSTANT(0), nullptr);
    GstCapsPtr caps(gst_caps_new_simple("video/x-raw", "format", G_TYPE_STRING, "BGRx", nullptr));
    if (!scaleTo.isEmpty()) {
        // A preview of a few hundred pixels needs neither filtered scaling nor resampled colour
        // or dithering; they would cost more than everything else the preview does.
        g_object_set(convert, "add-borders", FALSE, nullptr);
        gst_util_set_object_arg(G_OBJECT(convert), "method", "nearest-neighbour");
        gst_util_set_object_arg(G_OBJECT(convert), "chroma-mode", "none");
        gst_util_set_object_arg(G_OBJECT(convert), "dither", "none");
        gst_caps_set_simple(caps.get(), "width", G_TYPE_INT, scaleTo.width(), "height", G_TYPE_INT, scaleTo.height(),
                            "pixel-aspect-ratio", GST_TYPE_FRACTION, 1, 1, nullptr);
    }
    // An appsink nobody pulls from would hold end-of-stream back; never wait on it.
    g_object_set(sink, "caps", caps.get(), "sync", FALSE, "max-buffers", 1, "drop", TRUE, "emit-signals", TRUE,
                 "wait-on-eos", FALSE, "enable-last-sample", FALSE, nullptr);
    g_signal_connect(sink, "new-sample", G_CALLBACK(&PreviewSink::OnNewSample), this);

    m_bin = ElementHandle::Adopt(gst_bin_new("preview"));
    gst_bin_add_many(GST_BIN(m_bin.get()), queue, convert, sink, nullptr);
    gst_element_link_many(queue, convert, sink, nullptr);
    PadHandle pad = PadHandle::Adopt(gst_element_get_static_pad(queue, "sink"));
    gst_element_add_pad(m_bin.get(), gst_ghost_pad_new("sink", pad.get()));
}

PreviewSink::~PreviewSink() = default;

QImage PreviewSink::NewestFrame() const
{
    std::lock_guard lock(m_mutex);
    return m_newest;
}

GstFlowReturn PreviewSink::OnNewSample(GstElement* appsink, gpointer self)
{
    auto* sink = static_cast<PreviewSink*>(self);
    GstSamplePtr sample(gst_app_sink_pull_sample(GST_APP_SINK(appsink)));
    if (!sample)
        return GST_FLOW_OK;
    QImage image = ImageFromSample(sample.get());
    if (image.isNull())
        return GST_FLOW_OK;
    {
        std::lock_guard lock(sink->m_mutex);
        sink->m_newest = std::move(image);
    }
    if (!sink->m_pending.exchange(true))
        QMetaObject::invokeMethod(sink->m_receiver.get(), [sink] { sink->Present(); }, Qt::QueuedConnection);
    return GST_FLOW_OK;
}

void PreviewSink::Present()
{
    m_pending = false;
    if (m_paused)
        return;
    if (!m_surface) {
        // The area was closed before the preview stopped: the frame goes nowhere.
        if (m_surface.Gone() && !std::exchange(m_toldSurfaceGone, true))
            CORVANA_DEBUG_LINE(lcCapture, "preview frames dropped: the preview surface is gone");
        return;
    }
    const QImage frame = NewestFrame();
    if (frame.isNull())
        return;
    m_surface->PresentFrame(frame);
    ++m_presented;
}

} // namespace corvana
