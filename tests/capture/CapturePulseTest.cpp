// The real microphone path: the device monitor finds the private PulseAudio server's sources and
// a tone played into its null sink ends up in the recording.
#include "CaptureTestSupport.h"

#include "capture/CAudioRecorder.h"

#include <QProcess>
#include <QTest>
#include <gtest/gtest.h>

using namespace corvana;
using namespace capturetest;

TEST(PulseMicrophone, ToneIntoTheNullSinkIsRecordedThroughTheDeviceMonitor)
{
    if (qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR") || QProcess::execute(QStringLiteral("pactl"), {QStringLiteral("info")}) != 0)
        GTEST_SKIP() << "no private PulseAudio server (run under scripts/with-session.sh)";
    qunsetenv("CORVANA_DEVICES");
    // The sink's monitor is no microphone: a source of its own hears what the sink plays.
    QProcess::execute(QStringLiteral("pactl"), {QStringLiteral("load-module"), QStringLiteral("module-remap-source"),
                                                QStringLiteral("master=spk.monitor"), QStringLiteral("source_name=heard")});
    QProcess tone;
    tone.start(QStringLiteral("gst-launch-1.0"), {QStringLiteral("-q"), QStringLiteral("audiotestsrc"), QStringLiteral("is-live=true"),
                                                   QStringLiteral("freq=1000"), QStringLiteral("volume=0.5"), QStringLiteral("!"),
                                                   QStringLiteral("pulsesink"), QStringLiteral("device=spk")});
    ASSERT_TRUE(tone.waitForStarted());
    // The tone is playing into the sink once its stream shows up there.
    ASSERT_TRUE(QTest::qWaitFor([] {
        QProcess list;
        list.start(QStringLiteral("pactl"), {QStringLiteral("list"), QStringLiteral("short"), QStringLiteral("sink-inputs")});
        list.waitForFinished();
        return !list.readAllStandardOutput().trimmed().isEmpty();
    }, 10000));

    CAudioRecorder& recorder = CAudioRecorder::Instance();
    ASSERT_EQ(recorder.CreateGraph(), S_OK);
    EXPECT_EQ(recorder.AddCaptureSource(DeviceCategory::AudioInput, QStringLiteral("No such microphone")), E_ABORT);
    ASSERT_EQ(recorder.AddCaptureSource(DeviceCategory::AudioInput, QString()), S_OK);
    recorder.EnableInputPin(QStringLiteral("Microphone"));
    ASSERT_EQ(recorder.SetOutputAndRender(QStringLiteral("AudioSolo")), S_OK);
    ASSERT_EQ(recorder.Start(), S_OK);
    // The null sink hands its monitor data over in blocks, so sound may reach the writer late:
    // record until a second and a half of it has been encoded.
    EXPECT_TRUE(QTest::qWaitFor([&] { return recorder.RecordedSeconds() > 1.5; }, 8000));
    recorder.Stop();
    recorder.ReleaseAll();
    tone.kill();
    tone.waitForFinished();
    QProcess::execute(QStringLiteral("pactl"), {QStringLiteral("unload-module"), QStringLiteral("module-remap-source")});
    qputenv("CORVANA_DEVICES", "synthetic");

    const QString path = recorder.OutputPath();
    const QJsonObject audio = StreamOfType(Probe(path), QStringLiteral("audio"));
    EXPECT_EQ(audio.value(QStringLiteral("codec_name")).toString(), QStringLiteral("wmav2"));
    // What counts is that the tone is there and nothing else is.
    const std::vector<qint16> samples = DecodeAudio(path, 8000);
    ASSERT_GT(samples.size(), 2000u);
    const double share = ToneShare(samples, 8000, 1000);
    EXPECT_GT(share, 0.5);
    EXPECT_LT(ToneShare(samples, 8000, 440), 0.05);
    EXPECT_LT(ToneShare(samples, 8000, 1500), 0.05);
}
