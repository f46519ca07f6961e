// A short soak of the resident program: dialog cycles and recordings leave its descriptors and
// threads exactly where they were, and no GStreamer object outlives the capture engine's
// shutdown (GStreamer's leak tracer watching this binary run one of its child cases).
#include "MessageBoxWatcher.h"
#include "SoakDriver.h"
#include "TestEnvironment.h"
#include "capture/CaptureEngine.h"
#include "capture/GstRuntime.h"

#include <QDir>
#include <QProcess>
#include <gst/gst.h>
#include <gtest/gtest.h>

using namespace corvana;

namespace {

// The dialogs of this process start the plug-in warm-up; it ends the way the program does.
class ProgramEnd : public ::testing::Environment {
public:
    void TearDown() override { GstRuntime::Shutdown(); }
};
[[maybe_unused]] ::testing::Environment* const kProgramEnd = ::testing::AddGlobalTestEnvironment(new ProgramEnd);

class SoakTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        TestEnvironment::Set("CORVANA_DEVICES", QStringLiteral("synthetic"));
        env.SetUserSettings("[General]\nModeState=0\n");
    }

    // One dialog: Video recordings with the preview running, Solo recordings, photo grabs; it
    // is left in Solo, so the next one opens without a camera.
    void UseCapture(CMainFrame& frame, int videos, int solos, int photos)
    {
        const bool closed = UseDialog(frame, [&](CCorvanaDlg& dialog) {
            for (const auto& [mode, uses] : {std::pair{MediaMode::Video, videos}, {MediaMode::Solo, solos}, {MediaMode::Photo, photos}}) {
                ASSERT_TRUE(EnterMode(dialog, mode));
                for (int i = 0; i < uses; ++i)
                    ASSERT_TRUE(RecordOnce(dialog, mode == MediaMode::Photo ? 0 : 0.3)) << "use " << i << " in mode " << int(mode);
            }
            ASSERT_TRUE(EnterMode(dialog, MediaMode::Solo));
        });
        ASSERT_TRUE(closed) << "the dialog did not open or close";
    }

    qsizetype Files(const char* folder) const { return QDir(env.MediaFolder(QString::fromLatin1(folder))).entryList(QDir::Files).size(); }

    TestEnvironment env;
    MessageBoxWatcher boxes;
};

void ExpectFlat(const ProcessFigures& before, const ProcessFigures& after, const char* what)
{
    EXPECT_EQ(after.descriptors, before.descriptors)
        << what << ", descriptors changed: " << KindsChanged(before.kinds, after.kinds).toStdString();
    EXPECT_EQ(after.threads, before.threads)
        << what << ", threads changed: " << KindsChanged(before.threadNames, after.threadNames).toStdString();
}

TEST_F(SoakTest, DialogCyclesAndRecordingsLeaveDescriptorsAndThreadsFlat)
{
    CMainFrame frame;
    // The first uses load plug-ins, fonts and the bus connections, and fill GStreamer's pools.
    for (int i = 0; i < 3; ++i)
        ASSERT_TRUE(UseDialog(frame, [](CCorvanaDlg&) {}));
    ASSERT_NO_FATAL_FAILURE(UseCapture(frame, 1, 1, 1));
    const ProcessFigures before = SettledFigures();

    for (int i = 0; i < 50; ++i)
        ASSERT_TRUE(UseDialog(frame, [](CCorvanaDlg&) {})) << "dialog cycle " << i;
    ExpectFlat(before, SettledFigures(before.threads, before.descriptors), "after 50 dialog cycles");

    ASSERT_NO_FATAL_FAILURE(UseCapture(frame, 10, 3, 3));
    ExpectFlat(before, SettledFigures(before.threads, before.descriptors), "after the recordings");
    // The uses really happened: every recording and photo is on disk.
    EXPECT_EQ(Files("Video"), 11);
    EXPECT_EQ(Files("AudioSolo"), 4);
    EXPECT_EQ(Files("Photo"), 4);
    EXPECT_TRUE(boxes.Seen().isEmpty()) << boxes.Texts().join(QLatin1Char('\n')).toStdString();
}

// The leak tracer's children, run only by AliveUnderLeakTracer. The first uses every capture mode
// through the dialog, then ends as the program does: the capture engine's shutdown, then
// GStreamer's (gst_deinit), where the tracer lists every GStreamer object still alive. It ends in
// Video mode, so the dialog's own teardown of the webcam graph is covered too.
TEST_F(SoakTest, DISABLED_ChildUsesEveryModeAndEnds)
{
    {
        CMainFrame frame;
        EXPECT_TRUE(UseDialog(frame, [](CCorvanaDlg& dialog) {
            EXPECT_TRUE(EnterMode(dialog, MediaMode::Solo) && RecordOnce(dialog, 0.3) && EnterMode(dialog, MediaMode::Photo)
                        && RecordOnce(dialog, 0) && EnterMode(dialog, MediaMode::Video) && RecordOnce(dialog, 0.3)
                        && RecordOnce(dialog, 0.3));
        }));
    }
    EXPECT_TRUE(boxes.Seen().isEmpty()) << boxes.Texts().join(QLatin1Char('\n')).toStdString();
    CaptureEngine::Shutdown();
    GstRuntime::Shutdown();
}

TEST_F(SoakTest, DISABLED_ChildLeaksOneElement)
{
    gst_init(nullptr, nullptr);
    gst_object_ref_sink(gst_element_factory_make("identity", "deliberately-leaked"));
    gst_deinit();
}

// Runs one child case of this binary under GStreamer's leak tracer, which writes its records to
// standard error; returns one "object-alive" record per object still alive at gst_deinit.
QStringList AliveUnderLeakTracer(const char* childCase)
{
    QProcess child;  // killed, if need be, when it goes
    child.setEnvironment(QProcess::systemEnvironment() << QStringLiteral("GST_TRACERS=leaks")
                         << QStringLiteral("GST_DEBUG=GST_TRACER:7,leaks:7") << QStringLiteral("GST_DEBUG_NO_COLOR=1"));
    child.setStandardOutputFile(QProcess::nullDevice());
    child.start(QCoreApplication::applicationFilePath(),
                {QStringLiteral("--gtest_also_run_disabled_tests"), QStringLiteral("--gtest_filter=SoakTest.%1").arg(QLatin1String(childCase))});
    EXPECT_TRUE(child.waitForFinished(300000) && child.exitStatus() == QProcess::NormalExit && child.exitCode() == 0)
        << "the child did not end, or its uses did not all work out";
    bool summarised = false;
    QStringList alive;
    for (const QByteArray& line : child.readAllStandardError().split('\n')) {
        summarised = summarised || (line.contains("process_leaks") && line.contains(" alive objects"));
        // The record's format is announced once at start-up; the records follow at gst_deinit.
        if (const qsizetype at = line.indexOf(" object-alive, "); at >= 0 && !line.contains("build_format"))
            alive << QString::fromUtf8(line.mid(at + 1));
    }
    EXPECT_TRUE(summarised) << "the leak tracer did not report at gst_deinit";
    return alive;
}

TEST_F(SoakTest, NoGStreamerObjectIsAliveOnceTheCaptureEngineIsShutDown)
{
    // First the proof that the check can fail: the deliberately leaked element and its two pads.
    const QStringList leaked = AliveUnderLeakTracer("DISABLED_ChildLeaksOneElement");
    ASSERT_EQ(leaked.size(), 3) << leaked.join(QLatin1Char('\n')).toStdString();
    EXPECT_EQ(leaked.filter(QStringLiteral("type-name=(string)GstIdentity")).size(), 1);
    EXPECT_EQ(leaked.filter(QStringLiteral("<deliberately-leaked")).size(), 3);

    const QStringList alive = AliveUnderLeakTracer("DISABLED_ChildUsesEveryModeAndEnds");
    EXPECT_TRUE(alive.isEmpty()) << alive.size() << " objects alive:\n" << alive.join(QLatin1Char('\n')).toStdString();
}

} // namespace
