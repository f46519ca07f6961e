#include "capture/SyntheticDevices.h"

namespace corvana {

namespace {

const char kWebcamCaps[] = "video/x-raw,format=YUY2,width=1024,height=768,framerate=30/1,pixel-aspect-ratio=1/1; "
                           "video/x-raw,format=YUY2,width=640,height=480,framerate=30/1,pixel-aspect-ratio=1/1";

GstElement* MakeMicrophone()
{
    GstElement* src = gst_element_factory_make("audiotestsrc", nullptr);
    if (src)
        g_object_set(src, "is-live", TRUE, "freq", 440.0, "volume", 0.3, nullptr);
    return src;
}

// The picture source restricted to what the camera offers, so format choice works as with a
// real camera.
GstElement* MakeWebcam()
{
    GstElement* src = gst_element_factory_make("videotestsrc", nullptr);
    GstElement* filter = gst_element_factory_make("capsfilter", nullptr);
    if (!src || !filter) {
        if (src)
            gst_object_unref(gst_object_ref_sink(src));
        if (filter)
            gst_object_unref(gst_object_ref_sink(filter));
        return nullptr;
    }
    g_object_set(src, "is-live", TRUE, "horizontal-speed", 4, nullptr);
    gst_util_set_object_arg(G_OBJECT(src), "pattern", "smpte100");
    GstCapsPtr caps(gst_caps_from_string(kWebcamCaps));
    g_object_set(filter, "caps", caps.get(), nullptr);
    GstElement* bin = gst_bin_new(nullptr);
    gst_bin_add_many(GST_BIN(bin), src, filter, nullptr);
    gst_element_link(src, filter);
    PadHandle pad = PadHandle::Adopt(gst_element_get_static_pad(filter, "src"));
    gst_element_add_pad(bin, gst_ghost_pad_new("src", pad.get()));
    return bin;
}

} // namespace

std::vector<CaptureDevice> SyntheticDevices::List(DeviceCategory category)
{
    CaptureDevice device;
    device.category = category;
    if (category == DeviceCategory::AudioInput) {
        device.name = QStringLiteral("Synthetic Microphone");
        device.deviceClass = QStringLiteral("Audio/Source");
        device.caps = QStringLiteral("audio/x-raw,rate=44100,channels=2");
        device.makeElement = MakeMicrophone;
    } else {
        device.name = QStringLiteral("Synthetic Webcam");
        device.deviceClass = QStringLiteral("Video/Source");
        device.caps = QString::fromLatin1(kWebcamCaps);
        device.makeElement = MakeWebcam;
    }
    return {device};
}

} // namespace corvana
