// The capture objects against a real PipeWire (the session of scripts/with-session.sh with
// CORVANA_SOUND=pipewire): its cameras, the session's own and ones that are unplugged or whose
// program ends, and its microphones, of which the sound server names the default.
#include "CaptureTestSupport.h"
#include "PipeWireNodes.h"

#include "capture/DeviceList.h"
#include "capture/DeviceMonitorSource.h"

#include <QFileInfo>

using namespace corvana;
using namespace capturetest;

namespace {

std::vector<CaptureDevice> Listed(DeviceCategory category)
{
    return DeviceMonitorSource::List(category).value_or(std::vector<CaptureDevice>());
}

std::vector<CaptureDevice> Named(const std::vector<CaptureDevice>& devices, const QString& name)
{
    std::vector<CaptureDevice> found;
    std::copy_if(devices.begin(), devices.end(), std::back_inserter(found), [&](const CaptureDevice& device) { return device.name == name; });
    return found;
}

// The element a device makes, by factory name ("pipewiresrc", "pulsesrc").
QString FactoryOf(const CaptureDevice& device)
{
    const ElementHandle element = device.Bind();
    GstElementFactory* factory = element ? gst_element_get_factory(element.get()) : nullptr;
    return factory ? QString::fromUtf8(gst_plugin_feature_get_name(factory)) : QString();
}

class OnPipeWireTest : public FedDevices {
protected:
    void SetUp() override
    {
        if (!OnPipeWire())
            GTEST_SKIP() << "needs the PipeWire session (CORVANA_SOUND=pipewire scripts/with-session.sh)";
        qunsetenv("CORVANA_DEVICES");
    }
    void TearDown() override
    {
        FedDevices::TearDown();
        qputenv("CORVANA_DEVICES", "synthetic");
        Pactl({QStringLiteral("set-default-source"), QStringLiteral("mic")});
    }

    // Records with the running preview for about three seconds, then takes `camera` away while
    // the recording runs: the recording ends by itself, said within 5 s, and keeps what it had.
    void LoseCameraWhileRecording(const std::function<void()>& takeAway)
    {
        CCaptureGraph& graph = CCaptureGraph::Instance();
        std::optional<CaptureFailure> told;
        graph.SetFailureHandler([&](CaptureFailure failure) { told = failure; });
        ASSERT_EQ(StartPreview(surface), S_OK);
        ASSERT_TRUE(surface.Advances());
        ASSERT_EQ(graph.StartRecording(), S_OK);
        ASSERT_TRUE(QTest::qWaitFor([&] { return graph.RecordedSeconds() >= 3.0; }, 10000));
        const QString path = graph.OutputPath();
        takeAway();
        QElapsedTimer noticed;
        noticed.start();
        ASSERT_TRUE(QTest::qWaitFor([&] { return told.has_value(); }, 8000)) << "the lost camera was never noticed";
        EXPECT_LT(noticed.elapsed(), 5000);
        EXPECT_EQ(*told, CaptureFailure::CameraLost);
        EXPECT_EQ(graph.IsRecording(), 0);
        EXPECT_EQ(graph.LastFailure().failure, CaptureFailure::CameraLost);
        EXPECT_EQ(graph.LastFailure().detail, path);
        // Stop, a new start and closing after the loss are safe; nothing is recorded without a camera.
        graph.StopRecording();
        EXPECT_NE(graph.StartRecording(), S_OK);
        graph.CloseInterfaces();
        graph.SetFailureHandler(nullptr);

        const ProbedFile probed = ProbeMedia(path);
        EXPECT_EQ(probed.video.codec, QStringLiteral("wmv2"));
        EXPECT_GE(probed.duration, 2.5);
        EXPECT_EQ(DecodeErrors(path), QString());
    }
};

} // namespace

// PipeWire's own camera and one that another program provides through PipeWire's GStreamer sink:
// each listed once, previewed, recorded with sound and photographed (the provided one offers
// 640x480 only, so its photo is of that size).
TEST_F(OnPipeWireTest, ItsCamerasAreListedOncePreviewedRecordedAndPhotographed)
{
    const ProvidedCamera provided(QStringLiteral("ProvidedCamera"));
    ASSERT_TRUE(provided.Exists());
    for (const auto& [name, photoSize] : {std::pair{QStringLiteral("PipeWire Test Camera"), QSize(1024, 768)},
                                          std::pair{QStringLiteral("ProvidedCamera"), QSize(640, 480)}}) {
        SCOPED_TRACE(name.toStdString());
        ASSERT_TRUE(QTest::qWaitFor([&] { return Named(Listed(DeviceCategory::VideoInput), name).size() == 1; }, 10000));
        const std::vector<CaptureDevice> camera = Named(Listed(DeviceCategory::VideoInput), name);
        EXPECT_EQ(FactoryOf(camera.front()), QStringLiteral("pipewiresrc"));
        Feed(camera, Listed(DeviceCategory::AudioInput));

        ASSERT_EQ(StartPreview(surface), S_OK);
        ASSERT_TRUE(surface.Advances());
        const QString path = RecordAtLeast(2.0);
        const ProbedFile probed = ProbeMedia(path);
        EXPECT_EQ(std::tuple(probed.video.codec, probed.video.width, probed.video.height), std::tuple(QStringLiteral("wmv2"), 640, 480));
        EXPECT_EQ(probed.audio.codec, QStringLiteral("wmav2"));
        EXPECT_GE(probed.duration, 1.9);
        EXPECT_EQ(DecodeErrors(path), QString());
        CCaptureGraph::Instance().CloseInterfaces();

        CPhotoCapture& photo = CPhotoCapture::Instance();
        ASSERT_EQ(photo.StartPreview(0, &surface, 1024, 768), S_OK);
        ASSERT_TRUE(surface.Advances());
        photo.GrabPhoto();
        ASSERT_FALSE(photo.LastPhotoPath().isEmpty()) << static_cast<int>(photo.LastFailure().failure);
        EXPECT_EQ(QImage(photo.LastPhotoPath()).size(), photoSize);
        photo.StopPreview();
    }
}

// A camera node destroyed in the middle of a recording, as when it is unplugged, and one whose
// program ends.
TEST_F(OnPipeWireTest, ACameraGoneMidRecordingEndsItWithWhatWasRecorded)
{
    for (const bool unplugged : {true, false}) {
        SCOPED_TRACE(unplugged ? "destroyed" : "its program ended");
        const auto camera = OwnedNode::Camera(QStringLiteral("DoomedCamera"), unplugged);
        ASSERT_TRUE(camera->Exists());
        Feed(Named(Listed(DeviceCategory::VideoInput), QStringLiteral("DoomedCamera")), Listed(DeviceCategory::AudioInput));
        LoseCameraWhileRecording([&] { unplugged ? camera->Destroy() : camera->End(); });
        ASSERT_TRUE(QTest::qWaitFor([] { return Named(Listed(DeviceCategory::VideoInput), QStringLiteral("DoomedCamera")).empty(); }, 5000));
    }
}

// Opening, recording and closing again and again, each time with a camera node made for it;
// under the sanitizers this is where a buffer outliving its memory shows. (PipeWire's live test
// picture stops for good once a consumer has held all of its buffers, and only a node that went
// idle in between starts afresh; a real camera goes on once the buffers come back.)
TEST_F(OnPipeWireTest, FiftyOpenRecordCloseCycles)
{
    const std::vector<CaptureDevice> microphones = Listed(DeviceCategory::AudioInput);
    CCaptureGraph& graph = CCaptureGraph::Instance();
    for (int cycle = 0; cycle < 50; ++cycle) {
        SCOPED_TRACE(cycle);
        const QString name = QStringLiteral("Camera%1").arg(cycle);
        const auto camera = OwnedNode::Camera(name);
        ASSERT_TRUE(camera->Exists());
        // Listed anew for each opening, as the program does.
        ASSERT_TRUE(QTest::qWaitFor([&] { return Named(Listed(DeviceCategory::VideoInput), name).size() == 1; }, 10000));
        Feed(Named(Listed(DeviceCategory::VideoInput), name), microphones);
        ASSERT_EQ(StartPreview(surface), S_OK);
        ASSERT_EQ(graph.StartRecording(), S_OK);
        ASSERT_TRUE(QTest::qWaitFor([&] { return graph.RecordedSeconds() >= 0.3; }, 8000));
        graph.StopRecording();
        graph.CloseInterfaces();
        ASSERT_GT(QFileInfo(graph.OutputPath()).size(), 0);
    }
}

// The server's default source is recorded, whichever provider lists it, until it goes away; an
// output, a monitor of one or the element that plays into a virtual microphone is never taken for
// a microphone.
TEST_F(OnPipeWireTest, TheDefaultSourceIsRecordedAndNeverAnOutputOrItsMonitor)
{
    const auto tone = OwnedNode::ToneMicrophone(QStringLiteral("ToneMic"));
    ASSERT_TRUE(tone->Exists());
    for (const QString& source : {QStringLiteral("spk.monitor"), QStringLiteral("ToneMic")}) {
        SCOPED_TRACE(source.toStdString());
        ASSERT_TRUE(Pactl({QStringLiteral("set-default-source"), source}));
        const std::vector<CaptureDevice> microphones = Listed(DeviceCategory::AudioInput);
        ASSERT_FALSE(microphones.empty());
        for (const CaptureDevice& microphone : microphones) {
            EXPECT_NE(microphone.name, QStringLiteral("Monitor of Speakers"));
            const ElementHandle element = microphone.Bind();
            ASSERT_TRUE(element);
            EXPECT_FALSE(GST_OBJECT_FLAG_IS_SET(element.get(), GST_ELEMENT_FLAG_SINK)) << microphone.name.toStdString();
        }
        if (source == QStringLiteral("ToneMic")) {
            EXPECT_EQ(microphones.front().name, source);
        }
    }

    // Recorded from the default, the tone (the session's own virtual microphone is silent), through PipeWire's list alone as on a machine
    // where PipeWire manages the sound hardware and hides PulseAudio's list.
    std::vector<CaptureDevice> pipeWireOnly = Listed(DeviceCategory::AudioInput);
    std::erase_if(pipeWireOnly, [](const CaptureDevice& device) { return FactoryOf(device) != QStringLiteral("pipewiresrc"); });
    ASSERT_GE(pipeWireOnly.size(), 1u);
    Feed({}, pipeWireOnly);
    ASSERT_EQ(PrepareAudio(), S_OK);
    CAudioRecorder& recorder = CAudioRecorder::Instance();
    std::optional<CaptureFailure> told;
    recorder.SetFailureHandler([&](CaptureFailure failure) { told = failure; });
    ASSERT_EQ(recorder.Start(), S_OK);
    ASSERT_TRUE(QTest::qWaitFor([&] { return recorder.RecordedSeconds() >= 2.0; }, 8000));

    // The microphone's program ends: it stops delivering without an error, which ends the
    // recording with what it has, as a failing microphone does.
    tone->End();
    ASSERT_TRUE(QTest::qWaitFor([&] { return told.has_value(); }, 8000));
    recorder.SetFailureHandler(nullptr);
    EXPECT_EQ(*told, CaptureFailure::MicrophoneLost);
    EXPECT_EQ(recorder.IsRunning(), 0);
    recorder.Stop();
    EXPECT_GE(ProbeMedia(recorder.OutputPath()).duration, 1.8);
    const std::vector<qint16> samples = DecodeAudio(recorder.OutputPath(), 8000);
    ASSERT_GT(samples.size(), 8000u);
    EXPECT_GT(ToneShare(samples, 8000, 440), 0.5);
    EXPECT_EQ(DecodeErrors(recorder.OutputPath()), QString());
}
