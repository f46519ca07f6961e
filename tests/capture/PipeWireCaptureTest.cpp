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

// One camera of PipeWire's own, listed once, previewed, recorded with sound and photographed.
TEST_F(OnPipeWireTest, ItsCameraIsListedOncePreviewedRecordedAndPhotographed)
{
    const std::vector<CaptureDevice> cameras = Listed(DeviceCategory::VideoInput);
    ASSERT_EQ(Named(cameras, QStringLiteral("PipeWire Test Camera")).size(), 1u);
    EXPECT_EQ(FactoryOf(Named(cameras, QStringLiteral("PipeWire Test Camera")).front()), QStringLiteral("pipewiresrc"));
    Feed(Named(cameras, QStringLiteral("PipeWire Test Camera")), Listed(DeviceCategory::AudioInput));

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
    EXPECT_EQ(QImage(photo.LastPhotoPath()).size(), QSize(1024, 768));
    photo.StopPreview();
    EXPECT_TRUE(boxes.Seen().isEmpty()) << boxes.Texts().join(QLatin1Char('\n')).toStdString();
}

// The camera node destroyed in the middle of a recording, as when it is unplugged.
TEST_F(OnPipeWireTest, ACameraNodeDestroyedMidRecordingEndsItWithWhatWasRecorded)
{
    const auto camera = OwnedNode::Camera(QStringLiteral("DoomedCamera"), true);
    ASSERT_TRUE(camera->Exists());
    Feed(Named(Listed(DeviceCategory::VideoInput), QStringLiteral("DoomedCamera")), Listed(DeviceCategory::AudioInput));
    LoseCameraWhileRecording([&] { camera->Destroy(); });
}

// The program providing the camera ends in the middle of a recording.
TEST_F(OnPipeWireTest, ACameraWhoseProgramEndsMidRecordingEndsIt)
{
    const auto camera = OwnedNode::Camera(QStringLiteral("ProvidedCamera"));
    ASSERT_TRUE(camera->Exists());
    Feed(Named(Listed(DeviceCategory::VideoInput), QStringLiteral("ProvidedCamera")), Listed(DeviceCategory::AudioInput));
    LoseCameraWhileRecording([&] { camera->End(); });
}

// Opening, recording and closing again and again, with PipeWire's own camera and with one that
// another program made; under the sanitizers this is where a buffer outliving its memory shows.
TEST_F(OnPipeWireTest, FiftyOpenRecordCloseCycles)
{
    const auto owned = OwnedNode::Camera(QStringLiteral("OwnedCamera"));
    ASSERT_TRUE(owned->Exists());
    const std::vector<CaptureDevice> microphones = Listed(DeviceCategory::AudioInput);
    CCaptureGraph& graph = CCaptureGraph::Instance();
    for (int cycle = 0; cycle < 50; ++cycle) {
        SCOPED_TRACE(cycle);
        // Listed anew for each opening, as the program does.
        Feed(Named(Listed(DeviceCategory::VideoInput), cycle % 2 ? QStringLiteral("OwnedCamera") : QStringLiteral("PipeWire Test Camera")),
             microphones);
        ASSERT_EQ(StartPreview(surface), S_OK);
        ASSERT_EQ(graph.StartRecording(), S_OK);
        ASSERT_TRUE(QTest::qWaitFor([&] { return graph.RecordedSeconds() >= 0.3; }, 8000));
        graph.StopRecording();
        graph.CloseInterfaces();
        ASSERT_GT(QFileInfo(graph.OutputPath()).size(), 0);
    }
    EXPECT_TRUE(boxes.Seen().isEmpty()) << boxes.Texts().join(QLatin1Char('\n')).toStdString();
}

// The server's default source is recorded, whichever provider lists it; an output, a monitor of
// one or the element that plays into a virtual microphone is never taken for a microphone.
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
    ASSERT_EQ(recorder.Start(), S_OK);
    EXPECT_TRUE(QTest::qWaitFor([&] { return recorder.RecordedSeconds() > 1.5; }, 8000));
    recorder.Stop();
    const std::vector<qint16> samples = DecodeAudio(recorder.OutputPath(), 8000);
    ASSERT_GT(samples.size(), 8000u);
    EXPECT_GT(ToneShare(samples, 8000, 440), 0.5);
    EXPECT_EQ(DecodeErrors(recorder.OutputPath()), QString());
}

// A microphone that stops delivering without an error (suspended by the sound server) ends the
// recording with what it has, as one that fails does.
TEST_F(OnPipeWireTest, AMicrophoneThatFallsSilentEndsTheRecordingWithWhatItHas)
{
    const auto tone = OwnedNode::ToneMicrophone(QStringLiteral("StoppingMic"));
    ASSERT_TRUE(tone->Exists());
    ASSERT_TRUE(Pactl({QStringLiteral("set-default-source"), QStringLiteral("StoppingMic")}));
    CAudioRecorder& recorder = CAudioRecorder::Instance();
    std::optional<CaptureFailure> told;
    recorder.SetFailureHandler([&](CaptureFailure failure) { told = failure; });
    ASSERT_EQ(PrepareAudio(), S_OK);
    ASSERT_EQ(recorder.Start(), S_OK);
    ASSERT_TRUE(QTest::qWaitFor([&] { return recorder.RecordedSeconds() >= 2.0; }, 8000));
    tone->End();
    ASSERT_TRUE(QTest::qWaitFor([&] { return told.has_value(); }, 8000));
    recorder.SetFailureHandler(nullptr);
    EXPECT_EQ(*told, CaptureFailure::MicrophoneLost);
    EXPECT_EQ(recorder.IsRunning(), 0);
    recorder.Stop();
    recorder.ReleaseAll();
    const ProbedFile probed = ProbeMedia(recorder.OutputPath());
    EXPECT_GE(probed.duration, 1.8);
    EXPECT_EQ(DecodeErrors(recorder.OutputPath()), QString());
}

// A camera that another program provides through PipeWire's GStreamer sink.
TEST_F(OnPipeWireTest, AProvidedCameraIsPreviewedRecordedAndPhotographed)
{
    const ProvidedCamera camera(QStringLiteral("ProvidedCamera"));
    ASSERT_TRUE(camera.Exists());
    ASSERT_TRUE(QTest::qWaitFor([] { return !Named(Listed(DeviceCategory::VideoInput), QStringLiteral("ProvidedCamera")).empty(); }, 10000));
    Feed(Named(Listed(DeviceCategory::VideoInput), QStringLiteral("ProvidedCamera")), Listed(DeviceCategory::AudioInput));
    ASSERT_EQ(StartPreview(surface), S_OK);
    ASSERT_TRUE(surface.Advances());
    const ProbedFile probed = ProbeMedia(RecordAtLeast(1.0));
    EXPECT_EQ(std::tuple(probed.video.codec, probed.video.width, probed.video.height), std::tuple(QStringLiteral("wmv2"), 640, 480));
    CCaptureGraph::Instance().CloseInterfaces();

    // It offers 640x480 only: the photo is of that size.
    CPhotoCapture& photo = CPhotoCapture::Instance();
    ASSERT_EQ(photo.StartPreview(0, &surface, 1024, 768), S_OK);
    ASSERT_TRUE(surface.Advances());
    photo.GrabPhoto();
    ASSERT_FALSE(photo.LastPhotoPath().isEmpty());
    EXPECT_EQ(QImage(photo.LastPhotoPath()).size(), QSize(640, 480));
    EXPECT_TRUE(boxes.Seen().isEmpty()) << boxes.Texts().join(QLatin1Char('\n')).toStdString();
}
