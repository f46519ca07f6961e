// Which microphone the device monitor offers, against the private PulseAudio server's real
// sources; and what discovery does when no device list can be had at all.
#include "CaptureTestSupport.h"
#include "Pactl.h"

#include "capture/CAudioRecorder.h"
#include "capture/CCaptureGraph.h"
#include "capture/DeviceList.h"
#include "capture/DeviceMonitorSource.h"

#include <QProcess>
#include <QTest>
#include <gtest/gtest.h>

using namespace corvana;
using namespace capturetest;

namespace {

// A source module of the sound server for the life of the object.
class PulseSource {
public:
    explicit PulseSource(const QStringList& arguments) : m_index(Pactl(QStringList{QStringLiteral("load-module")} + arguments).value_or(QString())) {}
    ~PulseSource()
    {
        if (!m_index.isEmpty())
            Pactl({QStringLiteral("unload-module"), m_index});
    }
    bool Loaded() const { return !m_index.isEmpty(); }

private:
    QString m_index;
};

QStringList MicrophoneNames()
{
    QStringList names;
    const auto devices = DeviceMonitorSource::List(DeviceCategory::AudioInput);
    if (!devices)
        return {QStringLiteral("<no list>")};
    for (const CaptureDevice& device : *devices)
        names << device.name;
    return names;
}

class MicrophoneChoice : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR") || !Pactl({QStringLiteral("info")}))
            GTEST_SKIP() << "no private PulseAudio server (run under scripts/with-session.sh)";
        qunsetenv("CORVANA_DEVICES");
    }
    void TearDown() override
    {
        CAudioRecorder::Instance().ReleaseAll();
        qputenv("CORVANA_DEVICES", "synthetic");
    }
};

} // namespace

TEST_F(MicrophoneChoice, NeverTheMonitorOfAnOutputAndTheDefaultSourceFirst)
{
    // The session's server has a null sink only: its monitor is no microphone.
    EXPECT_EQ(MicrophoneNames(), QStringList());
    CAudioRecorder& recorder = CAudioRecorder::Instance();
    ASSERT_EQ(recorder.CreateGraph(), S_OK);
    EXPECT_EQ(recorder.AddCaptureSource(DeviceCategory::AudioInput, QString()), S_FALSE);

    // Two real sources: a silent one, then one that hears what the sink plays.
    const PulseSource quiet({QStringLiteral("module-null-source"), QStringLiteral("source_name=quiet"),
                             QStringLiteral("description=QuietMic")});
    const PulseSource hearing({QStringLiteral("module-remap-source"), QStringLiteral("master=spk.monitor"),
                               QStringLiteral("source_name=hearing"),
                               QStringLiteral("source_properties=device.description=HearingMic")});
    ASSERT_TRUE(quiet.Loaded() && hearing.Loaded());
    Pactl({QStringLiteral("set-default-source"), QStringLiteral("quiet")});
    EXPECT_EQ(MicrophoneNames(), (QStringList{QStringLiteral("QuietMic"), QStringLiteral("HearingMic")}));
    Pactl({QStringLiteral("set-default-source"), QStringLiteral("hearing")});
    EXPECT_EQ(MicrophoneNames(), (QStringList{QStringLiteral("HearingMic"), QStringLiteral("QuietMic")}));

    // Recording "the first device" records the default source.
    QProcess tone;
    tone.start(QStringLiteral("gst-launch-1.0"), {QStringLiteral("-q"), QStringLiteral("audiotestsrc"), QStringLiteral("is-live=true"),
                                                   QStringLiteral("freq=1000"), QStringLiteral("volume=0.5"), QStringLiteral("!"),
                                                   QStringLiteral("pulsesink"), QStringLiteral("device=spk")});
    ASSERT_TRUE(tone.waitForStarted());
    ASSERT_TRUE(QTest::qWaitFor([] { return !Pactl({QStringLiteral("list"), QStringLiteral("short"), QStringLiteral("sink-inputs")}).value_or(QString()).isEmpty(); }, 10000));
    ASSERT_EQ(recorder.CreateGraph(), S_OK);
    ASSERT_EQ(recorder.AddCaptureSource(DeviceCategory::AudioInput, QString()), S_OK);
    ASSERT_EQ(recorder.SetOutputAndRender(QStringLiteral("AudioSolo")), S_OK);
    ASSERT_EQ(recorder.Start(), S_OK);
    EXPECT_TRUE(QTest::qWaitFor([&] { return recorder.RecordedSeconds() > 1.5; }, 8000));
    recorder.Stop();
    tone.kill();
    tone.waitForFinished();
    const std::vector<qint16> samples = DecodeAudio(recorder.OutputPath(), 8000);
    ASSERT_GT(samples.size(), 2000u);
    EXPECT_GT(ToneShare(samples, 8000, 1000), 0.5);
}

TEST_F(FedDevices, ADeviceListThatCannotBeHadIsAFailureNotAnAbsentDevice)
{
    DeviceList::SetProvider([](DeviceCategory) { return DeviceList::Listing(); });
    DebugLines debug;
    CCaptureGraph& graph = CCaptureGraph::Instance();
    const int stateBefore = graph.GetDeviceState();
    graph.SetOwnerWindow(&surface);
    EXPECT_LT(graph.StartPreview(), 0);
    EXPECT_EQ(debug.Containing(QStringLiteral("Couldn't create Video enumerator!")), 1);
    EXPECT_EQ(graph.GetDeviceState(), stateBefore);

    CAudioRecorder& recorder = CAudioRecorder::Instance();
    ASSERT_EQ(recorder.CreateGraph(), S_OK);
    EXPECT_EQ(recorder.AddCaptureSource(DeviceCategory::AudioInput, QString()), E_FAIL);
    // A box would have been shown and answered before the calls returned.
    EXPECT_TRUE(boxes.Seen().isEmpty());
}
