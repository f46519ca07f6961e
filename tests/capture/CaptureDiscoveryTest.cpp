// Discovery rules fed with device lists through the same code that reads the device monitor,
// the "no devices" messages and states, and a source that fails in the middle of a recording.
#include "CaptureTestSupport.h"
#include "MediaProbe.h"

#include "capture/CAudioRecorder.h"
#include "capture/CCaptureGraph.h"
#include "capture/CPhotoCapture.h"
#include "capture/DeviceList.h"
#include "capture/DiscoveryRules.h"

#include <QTest>
#include <gtest/gtest.h>

using namespace corvana;
using namespace capturetest;

namespace {

CaptureDevice Unbindable(const QString& name, DeviceCategory category)
{
    CaptureDevice device;
    device.name = name;
    device.category = category;
    device.makeElement = [] { return static_cast<GstElement*>(nullptr); };
    return device;
}

// A device whose source fails after a number of buffers, as a device that goes away does.
CaptureDevice Failing(CaptureDevice device, int buffers)
{
    auto inner = device.makeElement;
    device.makeElement = [inner, buffers]() -> GstElement* {
        GstElement* src = inner();
        GstElement* breaker = gst_element_factory_make("identity", nullptr);
        g_object_set(breaker, "error-after", buffers, nullptr);
        GstElement* bin = gst_bin_new(nullptr);
        gst_bin_add_many(GST_BIN(bin), src, breaker, nullptr);
        gst_element_link(src, breaker);
        GstPad* pad = gst_element_get_static_pad(breaker, "src");
        gst_element_add_pad(bin, gst_ghost_pad_new("src", pad));
        gst_object_unref(pad);
        return bin;
    };
    return device;
}

} // namespace

TEST_F(FedDevices, AudioSourceRule)
{
    BoundDevice chosen;
    EXPECT_EQ(DiscoveryRules::ChooseAudioSource({}, QString(), chosen), S_FALSE);
    EXPECT_EQ(DiscoveryRules::ChooseAudioSource({Microphone("A"), Microphone("B")}, QStringLiteral("C"), chosen), E_ABORT);
    EXPECT_FALSE(chosen.element);
    EXPECT_EQ(DiscoveryRules::ChooseAudioSource({Microphone("A"), Microphone("B")}, QStringLiteral("B"), chosen), S_OK);
    EXPECT_EQ(chosen.device.name, QStringLiteral("B"));
    EXPECT_TRUE(chosen.element);
    // Names compare case-sensitively; an unbindable match leaves its failure as the result.
    EXPECT_EQ(DiscoveryRules::ChooseAudioSource({Microphone("A")}, QStringLiteral("a"), chosen), E_ABORT);
    EXPECT_EQ(DiscoveryRules::ChooseAudioSource({Unbindable("X", DeviceCategory::AudioInput)}, QString(), chosen), E_FAIL);
    EXPECT_EQ(DiscoveryRules::ChooseAudioSource({Unbindable("X", DeviceCategory::AudioInput), Microphone("Y")}, QString(), chosen), S_OK);
    EXPECT_EQ(chosen.device.name, QStringLiteral("Y"));

    // Through the recorder: an empty category adds nothing and a record start fails.
    Feed({}, {});
    CAudioRecorder& recorder = CAudioRecorder::Instance();
    ASSERT_EQ(recorder.CreateGraph(), S_OK);
    EXPECT_EQ(recorder.AddCaptureSource(DeviceCategory::AudioInput, QString()), S_FALSE);
    EXPECT_EQ(recorder.EnableInputPin(QStringLiteral("Microphone")), E_NOINTERFACE);
    EXPECT_EQ(recorder.SetOutputAndRender(QStringLiteral("AudioSolo")), E_POINTER);
    EXPECT_LT(recorder.Start(), 0);
    EXPECT_EQ(recorder.IsRunning(), 0);
    EXPECT_TRUE(boxes.Seen().isEmpty());
}

TEST_F(FedDevices, TwoWebcamsTheGraphKeepsTheLastAndThePhotoTakesTheFirst)
{
    Feed({Webcam("First"), Webcam("Second")}, {Microphone("Mic one"), Microphone("Mic two")});
    CCaptureGraph& graph = CCaptureGraph::Instance();
    graph.SetOwnerWindow(&surface);
    ASSERT_EQ(graph.StartPreview(), S_OK);
    EXPECT_EQ(graph.VideoDeviceName(), QStringLiteral("Second"));
    EXPECT_EQ(graph.AudioDeviceName(), QStringLiteral("Mic one"));
    EXPECT_EQ(graph.VideoDeviceCount(), 2);
    EXPECT_EQ(graph.AnalogDeviceCount(), 0);
    EXPECT_TRUE(graph.IsPreviewing());
    graph.CloseInterfaces();

    const DiscoveryRules::PhotoChoice photo = DiscoveryRules::ChoosePhotoDevice({Webcam("First"), Webcam("Second")}, 0);
    EXPECT_TRUE(photo.found);
    EXPECT_EQ(photo.video.device.name, QStringLiteral("First"));
    EXPECT_FALSE(DiscoveryRules::ChoosePhotoDevice({Webcam("First")}, -1).found);
    const DiscoveryRules::PhotoChoice past = DiscoveryRules::ChoosePhotoDevice({Webcam("First")}, 3);
    EXPECT_TRUE(past.found);
    EXPECT_FALSE(past.video.element);
}

TEST_F(FedDevices, AnalogCaptureCardsAreCountedOnceAndNeverPreviewed)
{
    CCaptureGraph& graph = CCaptureGraph::Instance();
    Feed({Webcam("Tuner", true), Webcam("USB cam")}, {Microphone("Mic")});
    graph.SetOwnerWindow(&surface);
    EXPECT_EQ(graph.StartPreview(), S_OK);
    EXPECT_EQ(graph.VideoDeviceCount(), 2);
    EXPECT_EQ(graph.AnalogDeviceCount(), 1);
    EXPECT_TRUE(graph.IsPreviewing());

    // Only a tuner: counts equal, no preview and no recording, on every rebuild.
    Feed({Webcam("Tuner", true)}, {Microphone("Mic")});
    for (int attempt = 0; attempt < 2; ++attempt) {
        graph.SetOwnerWindow(&surface);
        EXPECT_EQ(graph.StartPreview(), S_OK);
        EXPECT_EQ(graph.VideoDeviceCount(), 1);
        EXPECT_EQ(graph.AnalogDeviceCount(), 1);
        EXPECT_FALSE(graph.IsPreviewing());
        EXPECT_EQ(graph.GetDeviceState(), 2);
    }
    EXPECT_LT(graph.StartRecording(), 0);
    EXPECT_EQ(graph.IsRecording(), 0);

    // Two tuners: the test stops at the first.
    Feed({Webcam("Tuner 1", true), Webcam("Tuner 2", true)}, {Microphone("Mic")});
    graph.SetOwnerWindow(&surface);
    graph.StartPreview();
    EXPECT_EQ(graph.VideoDeviceCount(), 2);
    EXPECT_EQ(graph.AnalogDeviceCount(), 1);
    EXPECT_TRUE(boxes.Seen().isEmpty());
}

TEST_F(FedDevices, WebcamWithoutMicrophoneSaysSoAndBuildsNothing)
{
    Feed({Webcam("USB cam")}, {});
    CCaptureGraph& graph = CCaptureGraph::Instance();
    graph.SetOwnerWindow(&surface);
    EXPECT_EQ(graph.StartPreview(), E_FAIL);
    EXPECT_EQ(graph.GetDeviceState(), 2);
    EXPECT_FALSE(graph.IsPreviewing());
    ASSERT_EQ(boxes.Seen().size(), 1);
    EXPECT_EQ(boxes.Seen().first().text, QStringLiteral("No Audio capture device was detected."));
    EXPECT_EQ(boxes.Seen().first().caption, QStringLiteral("Corvana"));
    EXPECT_EQ(boxes.Seen().first().icon, QMessageBox::Information);
}

TEST_F(FedDevices, NoDevicesAtAllShowsTheMessagesAndSetsTheStates)
{
    DeviceList::SetProvider({});
    qputenv("CORVANA_DEVICES", "none");
    CCaptureGraph& graph = CCaptureGraph::Instance();
    graph.SetOwnerWindow(&surface);
    EXPECT_EQ(graph.StartPreview(), E_FAIL);
    EXPECT_EQ(graph.GetDeviceState(), 1);
    EXPECT_LT(graph.StartRecording(), 0);

    CPhotoCapture& photo = CPhotoCapture::Instance();
    EXPECT_EQ(photo.StartPreview(0, &surface, 1024, 768), S_FALSE);
    EXPECT_EQ(photo.GetDeviceState(), 1);
    photo.GrabPhoto();
    EXPECT_TRUE(photo.LastPhotoPath().isEmpty());

    CAudioRecorder& recorder = CAudioRecorder::Instance();
    ASSERT_EQ(recorder.CreateGraph(), S_OK);
    EXPECT_EQ(recorder.AddCaptureSource(DeviceCategory::AudioInput, QString()), S_FALSE);
    qputenv("CORVANA_DEVICES", "synthetic");

    ASSERT_EQ(boxes.Seen().size(), 2);
    for (const SeenMessageBox& box : boxes.Seen()) {
        EXPECT_EQ(box.text, QStringLiteral("No video capture device was detected."));
        EXPECT_EQ(box.icon, QMessageBox::Information);
        EXPECT_EQ(box.buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
    }
    // The state stays until a discovery overwrites it.
    graph.SetOwnerWindow(&surface);
    EXPECT_EQ(graph.StartPreview(), S_OK);
    EXPECT_EQ(graph.GetDeviceState(), 2);
    EXPECT_EQ(photo.GetDeviceState(), 1);
}

TEST_F(FedDevices, ASourceFailingMidRecordingKeepsTheFileAndTheRecorderWorks)
{
    // About 1.5 s of audio (buffers of 1024 samples at 44.1 kHz) before the source fails.
    Feed({}, {Failing(Microphone("Flaky"), 64)});
    CAudioRecorder& recorder = CAudioRecorder::Instance();
    ASSERT_EQ(recorder.CreateGraph(), S_OK);
    ASSERT_EQ(recorder.AddCaptureSource(DeviceCategory::AudioInput, QString()), S_OK);
    ASSERT_EQ(recorder.SetOutputAndRender(QStringLiteral("AudioSolo")), S_OK);
    const QString broken = recorder.OutputPath();
    ASSERT_EQ(recorder.Start(), S_OK);
    EXPECT_TRUE(QTest::qWaitFor([&] { return recorder.IsRunning() == 0; }, 5000));
    recorder.Stop();
    const ProbedFile probed = ProbeMedia(broken);
    EXPECT_EQ(probed.audio.codec, QStringLiteral("wmav2"));
    EXPECT_NEAR(probed.duration, 64 * 1024 / 44100.0, 0.3);
    EXPECT_GT(DecodeAudio(broken, 8000).size(), 8000u);

    Feed({}, {Microphone("Good")});
    ASSERT_EQ(recorder.CreateGraph(), S_OK);
    ASSERT_EQ(recorder.AddCaptureSource(DeviceCategory::AudioInput, QString()), S_OK);
    ASSERT_EQ(recorder.SetOutputAndRender(QStringLiteral("AudioSolo")), S_OK);
    ASSERT_EQ(recorder.Start(), S_OK);
    EXPECT_TRUE(QTest::qWaitFor([&] { return recorder.RecordedSeconds() >= 0.8; }, 5000));
    EXPECT_EQ(recorder.IsRunning(), 1);
    recorder.Stop();
    EXPECT_NEAR(ProbeMedia(recorder.OutputPath()).duration, 0.8, 0.3);
}

TEST_F(FedDevices, ACameraFailingMidRecordingStopsTheRecordingCleanly)
{
    Feed({Failing(Webcam("Flaky cam"), 45)}, {Microphone("Mic")});
    CCaptureGraph& graph = CCaptureGraph::Instance();
    graph.SetOwnerWindow(&surface);
    ASSERT_EQ(graph.StartPreview(), S_OK);
    ASSERT_EQ(graph.StartRecording(), S_OK);
    EXPECT_TRUE(QTest::qWaitFor([&] { return graph.IsRecording() == 0; }, 5000));
    const ProbedFile probed = ProbeMedia(graph.OutputPath());
    EXPECT_EQ(probed.video.codec, QStringLiteral("wmv2"));
    EXPECT_GT(probed.video.frames, 5);
    EXPECT_GT(surface.placeholders, 0);

    Feed({Webcam("Good cam")}, {Microphone("Mic")});
    graph.SetOwnerWindow(&surface);
    ASSERT_EQ(graph.StartPreview(), S_OK);
    ASSERT_EQ(graph.StartRecording(), S_OK);
    EXPECT_TRUE(QTest::qWaitFor([&] { return graph.RecordedSeconds() >= 0.7; }, 5000));
    EXPECT_EQ(graph.IsRecording(), 1);
    graph.StopRecording();
    EXPECT_EQ(ProbeMedia(graph.OutputPath()).video.width, 640);
}
