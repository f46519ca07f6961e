// A short soak of the resident program: dialog cycles and recordings leave its descriptors and
// threads exactly where they were, and no GStreamer object outlives the capture engine's
// shutdown (GStreamer's leak tracer in a child process).
#include "MessageBoxWatcher.h"
#include "SoakDriver.h"
#include "TestEnvironment.h"
#include "capture/GstRuntime.h"

#include <QDir>
#include <QProcess>
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

    int Files(const char* folder, const char* pattern) const
    {
        return static_cast<int>(QDir(env.MediaFolder(QString::fromLatin1(folder)))
                                    .entryList({QString::fromLatin1(pattern)}, QDir::Files)
                                    .size());
    }

    // One dialog: Video recordings with the preview running, Solo recordings, photo grabs; it
    // is left in Solo, so the next one opens without a camera.
    void UseCapture(CMainFrame& frame, int videos, int solos, int photos)
    {
        const bool closed = UseDialog(frame, [&](CCorvanaDlg& dialog) {
            ASSERT_TRUE(EnterMode(dialog, MediaMode::Video));
            for (int i = 0; i < videos; ++i)
                ASSERT_TRUE(RecordOnce(dialog, 0.3)) << "video recording " << i;
            ASSERT_TRUE(EnterMode(dialog, MediaMode::Solo));
            for (int i = 0; i < solos; ++i)
                ASSERT_TRUE(RecordOnce(dialog, 0.3)) << "solo recording " << i;
            ASSERT_TRUE(EnterMode(dialog, MediaMode::Photo));
            for (int i = 0; i < photos; ++i)
                ASSERT_TRUE(RecordOnce(dialog, 0)) << "photo " << i;
            ASSERT_TRUE(EnterMode(dialog, MediaMode::Solo));
        });
        ASSERT_TRUE(closed) << "the dialog did not open or close";
    }

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
    EXPECT_EQ(Files("Video", "*.wmv"), 11);
    EXPECT_EQ(Files("AudioSolo", "*.wma"), 4);
    EXPECT_EQ(Files("Photo", "*.jpg"), 4);
    EXPECT_TRUE(boxes.Seen().isEmpty()) << boxes.Texts().join(QLatin1Char('\n')).toStdString();
}

struct TracerReport {
    bool finished = false;
    int exitCode = -1;
    bool summarised = false;  // the tracer reached gst_deinit and listed what is alive
    QStringList alive;        // one "object-alive" record per object
};

// Runs the child under the leak tracer; it writes its records to standard error.
TracerReport RunUnderLeakTracer(const QStringList& arguments)
{
    QProcess child;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("GST_TRACERS"), QStringLiteral("leaks"));
    environment.insert(QStringLiteral("GST_DEBUG"), QStringLiteral("GST_TRACER:7,leaks:7"));
    environment.insert(QStringLiteral("GST_DEBUG_NO_COLOR"), QStringLiteral("1"));
    child.setProcessEnvironment(environment);
    child.setStandardOutputFile(QProcess::nullDevice());
    child.start(QStringLiteral(SOAK_CHILD), arguments);
    TracerReport report;
    report.finished = child.waitForFinished(300000);
    if (!report.finished) {
        child.kill();
        child.waitForFinished();
    }
    report.exitCode = child.exitStatus() == QProcess::NormalExit ? child.exitCode() : -1;
    for (const QByteArray& line : child.readAllStandardError().split('\n')) {
        if (line.contains("process_leaks") && line.contains(" alive objects"))
            report.summarised = true;
        // The record's format is announced once at start-up; the records follow at gst_deinit.
        if (const qsizetype at = line.indexOf(" object-alive, "); at >= 0 && !line.contains("build_format"))
            report.alive << QString::fromUtf8(line.mid(at + 1));
    }
    return report;
}

TEST_F(SoakTest, NoGStreamerObjectIsAliveOnceTheCaptureEngineIsShutDown)
{
    const TracerReport report = RunUnderLeakTracer({});
    ASSERT_TRUE(report.finished) << "the child did not end";
    EXPECT_EQ(report.exitCode, 0) << "the child's recordings and photo did not all work out";
    ASSERT_TRUE(report.summarised) << "the leak tracer did not report at gst_deinit";
    EXPECT_TRUE(report.alive.isEmpty()) << report.alive.size() << " objects alive:\n"
                                        << report.alive.join(QLatin1Char('\n')).toStdString();
}

TEST_F(SoakTest, TheLeakCheckFindsADeliberatelyLeakedElement)
{
    const TracerReport report = RunUnderLeakTracer({QStringLiteral("--leak-one")});
    ASSERT_TRUE(report.finished);
    ASSERT_TRUE(report.summarised);
    // The element and its two pads, nothing else.
    ASSERT_EQ(report.alive.size(), 3) << report.alive.join(QLatin1Char('\n')).toStdString();
    EXPECT_EQ(report.alive.filter(QStringLiteral("type-name=(string)GstIdentity")).size(), 1);
    EXPECT_EQ(report.alive.filter(QStringLiteral("<deliberately-leaked")).size(), 3);
}

} // namespace
