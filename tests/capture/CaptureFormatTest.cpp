// Cameras that send Motion-JPEG: which form and size each graph asks for, and a webcam offering
// only JPEG that still previews, grabs and records.
#include "CaptureTestSupport.h"
#include "MediaProbe.h"

#include "capture/CCaptureGraph.h"
#include "capture/CPhotoCapture.h"
#include "capture/CameraFormat.h"

#include <QImageReader>
#include <QTest>
#include <mutex>

using namespace corvana;
using namespace capturetest;

namespace {

const char kJpegOnly[] = "image/jpeg,width=1024,height=768,framerate=30/1; image/jpeg,width=640,height=480,framerate=30/1";

// What the camera element actually sent downstream, as seen on its output pad.
struct Delivered {
    std::mutex mutex;
    QString mediaType;
    QSize size;

    std::pair<QString, QSize> Get()
    {
        std::lock_guard lock(mutex);
        return {mediaType, size};
    }
};

GstPadProbeReturn OnCameraCaps(GstPad*, GstPadProbeInfo* info, gpointer data)
{
    GstEvent* event = GST_PAD_PROBE_INFO_EVENT(info);
    if (GST_EVENT_TYPE(event) != GST_EVENT_CAPS)
        return GST_PAD_PROBE_OK;
    GstCaps* caps = nullptr;
    gst_event_parse_caps(event, &caps);
    const GstStructure* s = gst_caps_get_structure(caps, 0);
    int width = 0, height = 0;
    gst_structure_get_int(s, "width", &width);
    gst_structure_get_int(s, "height", &height);
    auto* delivered = static_cast<Delivered*>(data);
    std::lock_guard lock(delivered->mutex);
    delivered->mediaType = QString::fromUtf8(gst_structure_get_name(s));
    delivered->size = QSize(width, height);
    return GST_PAD_PROBE_OK;
}

// A webcam that sends JPEG only, in 1024x768 and 640x480, as many USB cameras do.
CaptureDevice JpegWebcam(const QString& name, const std::shared_ptr<Delivered>& delivered)
{
    CaptureDevice device;
    device.name = name;
    device.category = DeviceCategory::VideoInput;
    device.deviceClass = QStringLiteral("Video/Source");
    device.caps = QString::fromLatin1(kJpegOnly);
    device.makeElement = [delivered]() -> GstElement* {
        GError* error = nullptr;
        GstElement* bin = gst_parse_bin_from_description(
            "videotestsrc is-live=true pattern=smpte100 "
            "! capsfilter caps=\"video/x-raw,width=1024,height=768,framerate=30/1; video/x-raw,width=640,height=480,framerate=30/1\" "
            "! jpegenc name=camera",
            TRUE, &error);
        if (error) {
            ADD_FAILURE() << error->message;
            g_error_free(error);
            return nullptr;
        }
        GstElement* encoder = gst_bin_get_by_name(GST_BIN(bin), "camera");
        GstPad* pad = gst_element_get_static_pad(encoder, "src");
        gst_pad_add_probe(pad, GST_PAD_PROBE_TYPE_EVENT_DOWNSTREAM, &OnCameraCaps, delivered.get(), nullptr);
        gst_object_unref(pad);
        gst_object_unref(encoder);
        return bin;
    };
    return device;
}

} // namespace

TEST(CameraFormat, PrefersTheWantedSizeRawThenAsJpegThenTheCamerasDefault)
{
    const QString mixed = QStringLiteral("video/x-raw,format=YUY2,width=640,height=480,framerate=30/1; "
                                         "image/jpeg,width=1024,height=768,framerate=30/1; image/jpeg,width=640,height=480,framerate=30/1");
    // A camera as the device monitor lists it: JPEG for the large sizes, raw for the small one.
    const QString monitor = QStringLiteral("image/jpeg, width=(int)1280, height=(int)720, framerate=(fraction){ 30/1, 15/1 }; "
                                           "video/x-raw, format=(string)YUY2, width=(int)320, height=(int)240, framerate=(fraction)30/1");
    struct Case {
        QString offered;
        QSize wanted;
        bool compressed;
        QString caps;
    } const cases[] = {
        {QString::fromLatin1(kJpegOnly), {1024, 768}, true, QStringLiteral("image/jpeg, width=(int)1024, height=(int)768")},
        {QString::fromLatin1(kJpegOnly), {640, 480}, true, QStringLiteral("image/jpeg, width=(int)640, height=(int)480")},
        {QString::fromLatin1(kJpegOnly), {800, 600}, true, QStringLiteral("image/jpeg")},
        {QString::fromLatin1(kJpegOnly), {}, true, QStringLiteral("image/jpeg")},
        {mixed, {640, 480}, false, QStringLiteral("video/x-raw, width=(int)640, height=(int)480")},
        {mixed, {1024, 768}, true, QStringLiteral("image/jpeg, width=(int)1024, height=(int)768")},
        {monitor, {1280, 720}, true, QStringLiteral("image/jpeg, width=(int)1280, height=(int)720")},
        {monitor, {640, 480}, false, QStringLiteral("video/x-raw")},
        {QStringLiteral(""), {640, 480}, false, QStringLiteral("video/x-raw")},
        {QStringLiteral("not caps at all"), {640, 480}, false, QStringLiteral("video/x-raw")},
    };
    for (const Case& c : cases) {
        const CameraFormat format = CameraFormat::Choose(c.offered, c.wanted);
        EXPECT_EQ(format.Compressed(), c.compressed) << c.offered.toStdString() << " wanted " << c.wanted.width();
        EXPECT_EQ(format.Caps(), c.caps) << c.offered.toStdString() << " wanted " << c.wanted.width();
        EXPECT_EQ(format.Elements().contains(QStringLiteral("jpegdec")), c.compressed);
    }
}

TEST_F(FedDevices, AJpegOnlyWebcamPreviewsGrabsAndRecords)
{
    auto delivered = std::make_shared<Delivered>();
    Feed({JpegWebcam(QStringLiteral("MJPEG cam"), delivered)}, {Microphone(QStringLiteral("Mic"))});

    CPhotoCapture& photo = CPhotoCapture::Instance();
    ASSERT_EQ(photo.StartPreview(0, &surface, 1024, 768), S_OK);
    ASSERT_TRUE(QTest::qWaitFor([&] { return surface.frames > 2; }, 3000));
    EXPECT_EQ(delivered->Get(), std::make_pair(QStringLiteral("image/jpeg"), QSize(1024, 768)));
    EXPECT_EQ(surface.lastFrame.size(), QSize(1024, 768));
    photo.GrabPhoto();
    ASSERT_FALSE(photo.LastPhotoPath().isEmpty());
    EXPECT_TRUE(photo.LastPhotoPath().endsWith(QStringLiteral(".jpg")));
    const QImage grabbed = QImageReader(photo.LastPhotoPath()).read();
    EXPECT_EQ(grabbed.size(), QSize(1024, 768));
    // The decoded picture, not a blank frame: the still test pattern's first bar is white.
    EXPECT_GT(qGray(grabbed.pixel(20, 20)), 150);
    photo.StopPreview();

    surface.frames = 0;
    CCaptureGraph& graph = CCaptureGraph::Instance();
    graph.SetOwnerWindow(&surface);
    ASSERT_EQ(graph.StartPreview(), S_OK);
    ASSERT_TRUE(QTest::qWaitFor([&] { return surface.frames > 2; }, 3000));
    EXPECT_EQ(delivered->Get(), std::make_pair(QStringLiteral("image/jpeg"), QSize(640, 480)));
    EXPECT_EQ(surface.lastFrame.size(), surface.ClientSize());
    ASSERT_EQ(graph.StartRecording(), S_OK);
    EXPECT_TRUE(QTest::qWaitFor([&] { return graph.RecordedSeconds() >= 1.5; }, 5000));
    EXPECT_EQ(graph.IsRecording(), 1);
    graph.StopRecording();
    const ProbedFile probed = ProbeMedia(graph.OutputPath());
    EXPECT_EQ(probed.video.codec, QStringLiteral("wmv2"));
    EXPECT_EQ(QSize(probed.video.width, probed.video.height), QSize(640, 480));
    EXPECT_GT(probed.video.frames, 30);
    EXPECT_EQ(probed.audio.codec, QStringLiteral("wmav2"));
}
