// Which device each capture object takes: fed device lists through the same code that reads the
// device monitor, the private sound server's real sources, and the form a camera is asked for.
// Also what is said when devices are missing, and a camera that fails in the middle of a recording.
#include "CaptureTestSupport.h"
#include "Pactl.h"

#include "capture/CameraFormat.h"
#include "capture/DeviceList.h"
#include "capture/DeviceMonitorSource.h"

using namespace corvana;
using namespace capturetest;

TEST_F(FedDevices, TheGraphTakesTheLastWebcamNeverATunerAndSaysWhatIsMissing)
{
    CCaptureGraph& graph = CCaptureGraph::Instance();
    const auto preview = [&](std::vector<CaptureDevice> video, std::vector<CaptureDevice> audio) {
        Feed(std::move(video), std::move(audio));
        return StartPreview(surface);
    };
    CaptureDevice unbindable = Microphone("Unbindable");
    unbindable.makeElement = [] { return static_cast<GstElement*>(nullptr); };
    EXPECT_EQ(preview({Webcam("Tuner", true), Webcam("First"), Webcam("Second")}, {unbindable, Microphone("Mic one"), Microphone("Mic two")}), S_OK);
    EXPECT_EQ(graph.VideoDeviceName() + QStringLiteral(" + ") + graph.AudioDeviceName(), QStringLiteral("Second + Mic one"));
    EXPECT_EQ(graph.AnalogDeviceCount(), 1);
    EXPECT_TRUE(graph.IsPreviewing());
    // An analog capture card alone is never previewed or recorded.
    EXPECT_EQ(preview({Webcam("Tuner", true)}, {Microphone("Mic")}), S_OK);
    EXPECT_FALSE(graph.IsPreviewing());
    EXPECT_LT(graph.StartRecording(), 0);
    EXPECT_EQ(graph.GetDeviceState(), 2);

    // No list at all is no absent device: the last discovery's state stays.
    DeviceList::SetProvider([](DeviceCategory) { return DeviceList::Listing(); });
    DebugLines debug;
    EXPECT_LT(StartPreview(surface), 0);
    EXPECT_EQ(debug.Containing(QStringLiteral("Couldn't create Video enumerator!")), 1);
    EXPECT_EQ(graph.GetDeviceState(), 2);
    EXPECT_EQ(graph.LastFailure().failure, CaptureFailure::NoCamera);
    EXPECT_EQ(PrepareAudio(), E_FAIL);
    EXPECT_EQ(CAudioRecorder::Instance().LastFailure().failure, CaptureFailure::NoMicrophone);

    EXPECT_EQ(preview({Webcam("USB cam")}, {}), E_FAIL);
    EXPECT_EQ(graph.LastFailure().failure, CaptureFailure::NoAudioDevice);
    EXPECT_EQ(preview({}, {}), E_FAIL);
    EXPECT_EQ(graph.LastFailure().failure, CaptureFailure::NoVideoDevice);
    EXPECT_EQ(graph.GetDeviceState(), 1);
    CPhotoCapture& photo = CPhotoCapture::Instance();
    EXPECT_EQ(photo.StartPreview(0, &surface, 1024, 768), S_FALSE);
    EXPECT_EQ(photo.LastFailure().failure, CaptureFailure::NoVideoDevice);
}

// A camera failing in the middle of a recording ends it with the file kept; a camera that sends
// JPEG only records again, decoded.
TEST_F(FedDevices, ACameraFailingMidRecordingStopsTheRecordingCleanly)
{
    // The camera's source fails after 45 frames, as a camera that goes away does.
    CaptureDevice flaky = Webcam(QStringLiteral("Flaky cam"));
    flaky.makeElement = [] {
        return gst_parse_bin_from_description("videotestsrc is-live=true ! capsfilter caps=\"video/x-raw,format=YUY2,width=1024,height=768,"
                                              "framerate=30/1; video/x-raw,format=YUY2,width=640,height=480,framerate=30/1\" "
                                              "! identity error-after=45", TRUE, nullptr);
    };
    Feed({flaky}, {Microphone("Mic")});
    CCaptureGraph& graph = CCaptureGraph::Instance();
    ASSERT_EQ(StartPreview(surface), S_OK);
    ASSERT_EQ(graph.StartRecording(), S_OK);
    EXPECT_TRUE(QTest::qWaitFor([&] { return graph.IsRecording() == 0; }, 5000));
    const ProbedFile probed = ProbeMedia(graph.OutputPath());
    EXPECT_EQ(probed.video.codec, QStringLiteral("wmv2"));
    EXPECT_GT(probed.video.frames, 5);
    EXPECT_GT(surface.placeholders, 0);

    // A fresh preview with a working camera records again.
    Feed({JpegWebcam()}, {Microphone("Mic")});
    ASSERT_EQ(StartPreview(surface), S_OK);
    ASSERT_TRUE(surface.Advances());
    const ProbedFile again = ProbeMedia(RecordAtLeast(1.5));
    EXPECT_EQ(std::tuple(again.video.width, again.video.height, again.audio.codec), std::tuple(640, 480, QStringLiteral("wmav2")));
    EXPECT_GT(again.video.frames, 30);
}

// The wanted size raw, else that size as JPEG (decoded), else the camera's raw default, else its
// JPEG default; a camera that says nothing about itself is asked for raw video.
TEST(CameraFormat, PrefersTheWantedSizeRawThenAsJpegThenTheCamerasDefault)
{
    const QString mixed = QStringLiteral("video/x-raw,format=YUY2,width=640,height=480,framerate=30/1; "
                                         "image/jpeg,width=1024,height=768,framerate=30/1; image/jpeg,width=640,height=480,framerate=30/1");
    // As the device monitor lists a camera: JPEG for the large size, raw for the small one.
    const QString monitor = QStringLiteral("image/jpeg, width=(int)1280, height=(int)720, framerate=(fraction){ 30/1, 15/1 }; "
                                           "video/x-raw, format=(string)YUY2, width=(int)320, height=(int)240, framerate=(fraction)30/1");
    const QString jpegOnly = QStringLiteral("image/jpeg,width=1024,height=768,framerate=30/1");
    const std::tuple<QString, QSize, QString> cases[] = {
        {mixed, {640, 480}, QStringLiteral("video/x-raw, width=(int)640, height=(int)480")},
        {mixed, {1024, 768}, QStringLiteral("image/jpeg, width=(int)1024, height=(int)768")},
        {monitor, {1280, 720}, QStringLiteral("image/jpeg, width=(int)1280, height=(int)720")},
        {monitor, {640, 480}, QStringLiteral("video/x-raw")},
        {jpegOnly, {640, 480}, QStringLiteral("image/jpeg")},
        {QStringLiteral("not caps at all"), {640, 480}, QStringLiteral("video/x-raw")},
    };
    for (const auto& [offered, wanted, caps] : cases)
        EXPECT_EQ(CameraFormat::Choose(offered, wanted).Caps(), caps) << offered.toStdString() << " wanted " << wanted.width();
}

// The microphones the device monitor offers from the private sound server, whose only sink is a
// null sink: its monitor is no microphone, and the default source comes first.
TEST(MicrophoneChoice, NeverTheMonitorOfAnOutputAndTheDefaultSourceFirst)
{
    if (!Pactl({QStringLiteral("info")}))
        GTEST_SKIP() << "no private PulseAudio server (run under scripts/with-session.sh)";
    // Its sources are made with PulseAudio's own modules; PipeWire's session has its own case.
    if (qgetenv("CORVANA_SOUND") == "pipewire")
        GTEST_SKIP() << "the PipeWire session's microphones are checked by OnPipeWireTest";
    qunsetenv("CORVANA_DEVICES");
    const std::shared_ptr<void> restore(nullptr, [](void*) {
        CAudioRecorder::Instance().ReleaseAll();
        qputenv("CORVANA_DEVICES", "synthetic");
    });
    const auto names = [] {
        QStringList listed;
        for (const CaptureDevice& device : DeviceMonitorSource::List(DeviceCategory::AudioInput).value_or(std::vector<CaptureDevice>()))
            listed << device.name;
        return listed;
    };
    EXPECT_EQ(names(), QStringList());
    EXPECT_EQ(PrepareAudio(), S_FALSE);

    // Two real sources: a silent one, then one that hears what the sink plays.
    const auto load = [](const QStringList& arguments) { return Pactl(QStringList{QStringLiteral("load-module")} + arguments).value_or(QString()); };
    const QStringList modules{load({"module-null-source", "source_name=quiet", "description=QuietMic"}),
                              load({"module-remap-source", "master=spk.monitor", "source_name=hearing", "source_properties=device.description=HearingMic"})};
    const std::shared_ptr<void> unload(nullptr, [&](void*) { for (const QString& index : modules) Pactl({QStringLiteral("unload-module"), index}); });
    ASSERT_FALSE(modules.contains(QString()));
    Pactl({QStringLiteral("set-default-source"), QStringLiteral("quiet")});
    EXPECT_EQ(names(), (QStringList{QStringLiteral("QuietMic"), QStringLiteral("HearingMic")}));
    Pactl({QStringLiteral("set-default-source"), QStringLiteral("hearing")});
    EXPECT_EQ(names(), (QStringList{QStringLiteral("HearingMic"), QStringLiteral("QuietMic")}));

    // Recording "the first device" records the default source, which hears a 1000 Hz tone.
    QProcess tone;
    tone.start(QStringLiteral("gst-launch-1.0"), {"-q", "audiotestsrc", "is-live=true", "freq=1000", "volume=0.5", "!", "pulsesink", "device=spk"});
    ASSERT_TRUE(QTest::qWaitFor([] { return !Pactl({QStringLiteral("list"), QStringLiteral("short"), QStringLiteral("sink-inputs")}).value_or(QString()).isEmpty(); }, 10000));
    ASSERT_EQ(PrepareAudio(), S_OK);
    CAudioRecorder& recorder = CAudioRecorder::Instance();
    ASSERT_EQ(recorder.Start(), S_OK);
    EXPECT_TRUE(QTest::qWaitFor([&] { return recorder.RecordedSeconds() > 1.5; }, 8000));
    recorder.Stop();
    tone.kill();
    tone.waitForFinished();
    const std::vector<qint16> samples = DecodeAudio(recorder.OutputPath(), 8000);
    ASSERT_GT(samples.size(), 2000u);
    EXPECT_GT(ToneShare(samples, 8000, 1000), 0.5);
}

// A camera or microphone that stops delivering without an error, as a PipeWire node that is
// destroyed or a suspended source does, is lost like one that fails: a recording ends with what it
// has, a preview shows its placeholder, and the user is told through the failure handler.
TEST_F(FedDevices, ASourceThatFallsSilentIsLostLikeOneThatFails)
{
    // Sources whose data can be shut off, each made with its valve open.
    static GstElement* s_cameraValve = nullptr;
    static GstElement* s_microphoneValve = nullptr;
    const auto silenceable = [](const char* description, GstElement** valve) {
        return [description, valve] {
            GstElement* bin = gst_parse_bin_from_description(description, TRUE, nullptr);
            *valve = gst_bin_get_by_name(GST_BIN(bin), "valve");
            gst_object_unref(*valve);  // the bin keeps it
            return bin;
        };
    };
    CaptureDevice camera = Webcam(QStringLiteral("Silenced cam"));
    camera.makeElement = silenceable("videotestsrc is-live=true ! capsfilter caps=\"video/x-raw,format=YUY2,width=640,height=480,"
                                     "framerate=30/1\" ! valve name=valve", &s_cameraValve);
    CaptureDevice microphone = Microphone(QStringLiteral("Silenced mic"));
    microphone.makeElement = silenceable("audiotestsrc is-live=true freq=440 ! valve name=valve", &s_microphoneValve);
    std::vector<CaptureFailure> told;
    const auto tell = [&](CaptureFailure failure) { told.push_back(failure); };
    // Shuts the valve once the capture has run a while, and waits for the one failure told.
    const auto silence = [&](GstElement* valve, const std::function<bool()>& running) {
        told.clear();
        if (!QTest::qWaitFor(running, 8000))
            return false;
        g_object_set(valve, "drop", TRUE, nullptr);
        return QTest::qWaitFor([&] { return !told.empty(); }, 6000);
    };

    // The microphone of a sound recording.
    Feed({camera}, {microphone});
    CAudioRecorder& recorder = CAudioRecorder::Instance();
    recorder.SetFailureHandler(tell);
    ASSERT_EQ(PrepareAudio(), S_OK);
    ASSERT_EQ(recorder.Start(), S_OK);
    ASSERT_TRUE(silence(s_microphoneValve, [&] { return recorder.RecordedSeconds() >= 1.0; }));
    EXPECT_EQ(told, std::vector{CaptureFailure::MicrophoneLost});
    EXPECT_EQ(recorder.IsRunning(), 0);
    EXPECT_GE(ProbeMedia(recorder.OutputPath()).duration, 0.9);
    EXPECT_EQ(DecodeErrors(recorder.OutputPath()), QString());
    recorder.SetFailureHandler(nullptr);
    recorder.ReleaseAll();

    // The camera of a video recording, then of a preview alone.
    CCaptureGraph& graph = CCaptureGraph::Instance();
    graph.SetFailureHandler(tell);
    ASSERT_EQ(StartPreview(surface), S_OK);
    ASSERT_EQ(graph.StartRecording(), S_OK);
    ASSERT_TRUE(silence(s_cameraValve, [&] { return graph.RecordedSeconds() >= 1.0; }));
    EXPECT_EQ(told, std::vector{CaptureFailure::CameraLost});
    EXPECT_EQ(graph.IsRecording(), 0);
    const ProbedFile probed = ProbeMedia(graph.OutputPath());
    EXPECT_GT(probed.video.frames, 20);
    EXPECT_EQ(DecodeErrors(graph.OutputPath()), QString());
    graph.StopRecording();

    const int placeholders = surface.placeholders;
    ASSERT_EQ(StartPreview(surface), S_OK);
    ASSERT_TRUE(silence(s_cameraValve, [&] { return surface.Advances(); }));
    EXPECT_EQ(told, std::vector{CaptureFailure::CameraLost});
    EXPECT_GT(surface.placeholders, placeholders);
    graph.SetFailureHandler(nullptr);
}

// The level the dialog's meter shows is measured on what is recorded: the synthetic microphone's
// tone is loud, a silent PulseAudio source gives silence, and both are measured within moments.
TEST(RecordingLevel, AToneIsWellAboveSilenceAndASilentSourceGivesNone)
{
    if (!Pactl({QStringLiteral("info")}))
        GTEST_SKIP() << "no private PulseAudio server (run under scripts/with-session.sh)";
    if (qgetenv("CORVANA_SOUND") == "pipewire")
        GTEST_SKIP() << "the silent source is made with a PulseAudio module";
    CAudioRecorder& recorder = CAudioRecorder::Instance();
    const auto measure = [&] {
        EXPECT_EQ(PrepareAudio(), S_OK);
        EXPECT_EQ(recorder.Start(), S_OK);
        // A second of sound, measured thirty times a second.
        EXPECT_TRUE(QTest::qWaitFor([&] { return recorder.RecordedSeconds() > 1.0 && recorder.SoundLevel(); }, 8000));
        const std::optional<std::pair<double, double>> level = recorder.SoundLevel();
        recorder.Stop();
        recorder.ReleaseAll();
        return level.value_or(std::pair(0.0, 0.0));
    };
    const auto [tonePeak, toneDecay] = measure();  // 440 Hz at 0.3 of full scale: about -10 dB
    EXPECT_GT(tonePeak, -20);
    EXPECT_LT(tonePeak, 0.5);
    EXPECT_GE(toneDecay, tonePeak - 1);

    qunsetenv("CORVANA_DEVICES");
    const std::shared_ptr<void> restore(nullptr, [](void*) { qputenv("CORVANA_DEVICES", "synthetic"); });
    const QString module = Pactl({"load-module", "module-null-source", "source_name=quiet", "description=QuietMic"}).value_or(QString());
    ASSERT_FALSE(module.isEmpty());
    const std::shared_ptr<void> unload(nullptr, [&](void*) { Pactl({QStringLiteral("unload-module"), module}); });
    Pactl({QStringLiteral("set-default-source"), QStringLiteral("quiet")});
    const auto [quietPeak, quietDecay] = measure();
    EXPECT_LT(quietPeak, -80);
    EXPECT_LT(quietDecay, -80);
}
