// The resident program from outside: single instance, "Close", forwarding starts, crashes,
// signals and the instance socket, each through the real binary in a private session.
#include "MediaProbe.h"
#include "ProgramRunner.h"
#include "TestEnvironment.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLocalSocket>
#include <gtest/gtest.h>

#include <csignal>
#include <sys/stat.h>

namespace {

class ProgramTest : public ::testing::Test {
protected:
    void TearDown() override
    {
        for (auto& process : m_started) {
            if (process->state() != QProcess::NotRunning) {
                process->kill();
                process->waitForFinished(5000);
            }
        }
    }

    QProcess* StartResident()
    {
        m_started.push_back(StartCorvana());
        QProcess* resident = m_started.back().get();
        EXPECT_TRUE(WaitForListener(SocketPath())) << "no instance listening";
        return resident;
    }

    QString SocketPath() const { return env.RuntimeDir() + QStringLiteral("/corvana.socket"); }

    static bool Ended(QProcess* process, int timeoutMs = 20000)
    {
        return process->state() == QProcess::NotRunning || process->waitForFinished(timeoutMs);
    }

    TestEnvironment env;
    std::vector<std::unique_ptr<QProcess>> m_started;
};

TEST_F(ProgramTest, FirstStartStaysResidentAndInvisible)
{
    QProcess* resident = StartResident();
    EXPECT_EQ(resident->state(), QProcess::Running);
    EXPECT_EQ(VisibleWindowsNamed(QStringLiteral("Corvana")), 0);
    // Only the user may reach the socket.
    struct stat info {};
    ASSERT_EQ(::stat(QFile::encodeName(SocketPath()).constData(), &info), 0);
    EXPECT_EQ(info.st_mode & 077, 0u);
}

TEST_F(ProgramTest, SecondStartOpensTheDialogOnceAndEndsWithLightsOff)
{
    QProcess* resident = StartResident();
    auto second = StartCorvana();
    ASSERT_TRUE(second->waitForFinished(10000));
    EXPECT_EQ(second->exitCode(), 0);
    ASSERT_TRUE(WaitFor([] { return VisibleWindowsNamed(QStringLiteral("Corvana")) == 1; }));
    // The resident instance switched the mode light on; the forwarding start left the lights alone.
    EXPECT_TRUE(env.JournalBytes(Pid(resident)).contains(QStringLiteral("D0")));
    EXPECT_EQ(env.JournalBytes(Pid(second)), QStringList());

    // Further starts while the dialog is open never open a second one; "close" is not "Close".
    // Each returns once the resident instance has acted on it, and an opening switches the mode
    // light on, so a second opening would be in the journal by then.
    const qsizetype lightsBefore = env.JournalBytes(Pid(resident)).count(QStringLiteral("D0"));
    EXPECT_EQ(RunCorvana(), 0);
    EXPECT_EQ(RunCorvana({QStringLiteral("close")}), 0);
    EXPECT_EQ(resident->state(), QProcess::Running);
    EXPECT_EQ(env.JournalBytes(Pid(resident)).count(QStringLiteral("D0")), lightsBefore);
    EXPECT_EQ(VisibleWindowsNamed(QStringLiteral("Corvana")), 1);

    // "Close" closes the dialog first (mode saved, lights off), then ends the program, and the
    // closing start returns only after that.
    EXPECT_EQ(RunCorvana({QStringLiteral("Close")}), 0);
    EXPECT_TRUE(Ended(resident));
    const QStringList residentBytes = env.JournalBytes(Pid(resident));
    ASSERT_GE(residentBytes.size(), 3);
    EXPECT_EQ(residentBytes.mid(residentBytes.size() - 2), (QStringList{QStringLiteral("D1"), QStringLiteral("D3")}));
    EXPECT_TRUE(TestEnvironment::ReadFile(env.UserSettings()).contains("ModeState="));
}

TEST_F(ProgramTest, TheModeKeyOpensTheDialogOnItsPressOnly)
{
    QProcess* resident = StartResident();
    // Keys reach the program in the order typed: a dialog opened by the lone release would take
    // the following press as a mode step, and Solo would not be the mode saved at the end.
    RunTool(QStringLiteral("xdotool"), {QStringLiteral("keyup"), QStringLiteral("XF86Launch1")});
    RunTool(QStringLiteral("xdotool"), {QStringLiteral("key"), QStringLiteral("XF86Launch1")});
    ASSERT_TRUE(WaitFor([] { return VisibleWindowsNamed(QStringLiteral("Corvana")) == 1; }));
    EXPECT_EQ(env.JournalBytes(Pid(resident)).count(QStringLiteral("D0")), 1);
    EXPECT_EQ(RunCorvana({QStringLiteral("Close")}), 0);
    EXPECT_TRUE(Ended(resident));
    EXPECT_TRUE(TestEnvironment::ReadFile(env.UserSettings()).contains("ModeState=0")) << "a release opened the dialog";
}

TEST_F(ProgramTest, CloseWithoutInstanceEndsAtOnceWithLightsOff)
{
    auto closing = StartCorvana({QStringLiteral("Close")});
    ASSERT_TRUE(closing->waitForFinished(10000));
    EXPECT_EQ(closing->exitCode(), 0);
    EXPECT_EQ(env.JournalBytes(Pid(closing)), (QStringList{QStringLiteral("D1"), QStringLiteral("D3")}));
    EXPECT_FALSE(QFileInfo::exists(SocketPath()));
}

TEST_F(ProgramTest, WithoutADisplayItSaysSoAndEndsWithAnError)
{
    for (const char* display : {"", ":79"}) {
        QProcess process;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.remove(QStringLiteral("QT_QPA_PLATFORM"));
        if (*display)
            environment.insert(QStringLiteral("DISPLAY"), QString::fromLatin1(display));
        else
            environment.remove(QStringLiteral("DISPLAY"));
        process.setProcessEnvironment(environment);
        process.start(CorvanaBinary());
        ASSERT_TRUE(process.waitForFinished(10000));
        EXPECT_EQ(process.exitStatus(), QProcess::NormalExit) << "it crashed";
        EXPECT_EQ(process.exitCode(), 1);
        EXPECT_TRUE(process.readAllStandardError().contains("corvana: no display")) << display;
    }
    // The failed start left nothing behind that blocks a real one.
    QProcess* resident = StartResident();
    EXPECT_EQ(resident->state(), QProcess::Running);
}

TEST_F(ProgramTest, AKilledInstanceNeverBlocksTheNextStart)
{
    QProcess* first = StartResident();
    ::kill(static_cast<pid_t>(first->processId()), SIGKILL);
    ASSERT_TRUE(first->waitForFinished(5000));
    ASSERT_TRUE(QFileInfo::exists(SocketPath())) << "the dead instance's socket file stays behind";

    QProcess* next = StartResident();
    EXPECT_EQ(next->state(), QProcess::Running);
    EXPECT_EQ(RunCorvana({QStringLiteral("Close")}), 0);
    EXPECT_TRUE(Ended(next));
}

TEST_F(ProgramTest, TwentySimultaneousStartsLeaveOneInstanceAndOneDialog)
{
    std::vector<std::unique_ptr<QProcess>> starts;
    for (int i = 0; i < 20; ++i)
        starts.push_back(StartCorvana());
    // All but one end by themselves.
    ASSERT_TRUE(WaitFor(
        [&] {
            int running = 0;
            for (auto& process : starts)
                running += process->state() != QProcess::NotRunning ? 1 : 0;
            return running == 1;
        },
        30000));
    ASSERT_TRUE(WaitFor([] { return VisibleWindowsNamed(QStringLiteral("Corvana")) == 1; }));
    for (auto& process : starts)
        if (process->state() != QProcess::NotRunning)
            m_started.push_back(std::move(process));
    // Every other start returned once its request had been acted on: one opening, one mode light.
    EXPECT_EQ(env.JournalBytes(Pid(m_started.back().get())).count(QStringLiteral("D0")), 1);
    EXPECT_EQ(VisibleWindowsNamed(QStringLiteral("Corvana")), 1);
    EXPECT_EQ(RunCorvana({QStringLiteral("Close")}), 0);
    EXPECT_TRUE(Ended(m_started.back().get()));
}

// Opens the dialog in the given mode with the synthetic devices and starts a recording with the
// record key; returns the file being written.
QString StartRecordingThroughTheProgram(TestEnvironment& env, const char* folder, const char* pattern,
                                        QElapsedTimer* sincePress = nullptr)
{
    EXPECT_EQ(RunCorvana(), 0);
    EXPECT_TRUE(WaitFor([] { return VisibleWindowsNamed(QStringLiteral("Corvana")) == 1; }));
    const QString path = env.MediaFolder(QString::fromLatin1(folder));
    if (sincePress)
        sincePress->start();
    RunTool(QStringLiteral("xdotool"), {QStringLiteral("key"), QStringLiteral("XF86AudioRecord")});
    QString file;
    EXPECT_TRUE(WaitFor([&] {
        const QStringList files = QDir(path).entryList({QString::fromLatin1(pattern)}, QDir::Files);
        if (files.isEmpty())
            return false;
        file = path + files.first();
        return QFileInfo(file).size() > 12000;  // data is flowing into it
    }, 20000));
    return file;
}

TEST_F(ProgramTest, TerminationSignalDuringAVideoRecordingLeavesAFinishedFile)
{
    TestEnvironment::Set("CORVANA_DEVICES", QStringLiteral("synthetic"));
    env.SetUserSettings("[General]\nModeState=2\n");
    QProcess* resident = StartResident();
    const QString file = StartRecordingThroughTheProgram(env, "Video", "*.wmv");
    ASSERT_FALSE(file.isEmpty());
    ASSERT_TRUE(WaitFor([&] { return QFileInfo(file).size() > 100000; }));  // more than a second
    ::kill(static_cast<pid_t>(resident->processId()), SIGTERM);
    ASSERT_TRUE(Ended(resident));
    const ProbedFile probed = ProbeMedia(file);
    ASSERT_TRUE(probed.ok) << "the recording was not finished";
    EXPECT_EQ(probed.video.codec, QStringLiteral("wmv2"));
    EXPECT_EQ(probed.audio.codec, QStringLiteral("wmav2"));
    EXPECT_GT(probed.video.frames, 5);
    const QStringList bytes = env.JournalBytes(Pid(resident));
    EXPECT_TRUE(bytes.contains(QStringLiteral("D2")));
    EXPECT_EQ(bytes.mid(bytes.size() - 2), (QStringList{QStringLiteral("D1"), QStringLiteral("D3")}));
    EXPECT_TRUE(TestEnvironment::ReadFile(env.UserSettings()).contains("ModeState=2"));
}

// Seconds of sound or picture ffmpeg can decode from the file.
double DecodableSeconds(const QString& path, bool video)
{
    const ProbedFile probed = ProbeMedia(path);
    return video ? probed.video.frames * 1001.0 / 30000.0 : probed.audio.frames * 2048.0 / 44100.0;
}

struct KilledRecording {
    const char* name;
    int mode;
    const char* folder;
    const char* pattern;
    bool video;
    qint64 bytesForEightSeconds;
};

class KilledRecordingTest : public ProgramTest, public ::testing::WithParamInterface<KilledRecording> {};

TEST_P(KilledRecordingTest, KeepsWhatWasRecordedAndIsRepairedAtTheNextStart)
{
    const KilledRecording& kind = GetParam();
    TestEnvironment::Set("CORVANA_DEVICES", QStringLiteral("synthetic"));
    env.SetUserSettings(QStringLiteral("[General]\nModeState=%1\n").arg(kind.mode).toLatin1());
    QProcess* resident = StartResident();
    QElapsedTimer sincePress;
    const QString file = StartRecordingThroughTheProgram(env, kind.folder, kind.pattern, &sincePress);
    ASSERT_FALSE(file.isEmpty());
    ASSERT_TRUE(WaitFor([&] { return QFileInfo(file).size() > kind.bytesForEightSeconds; }, 30000));
    ::kill(static_cast<pid_t>(resident->processId()), SIGKILL);
    const double recorded = sincePress.elapsed() / 1000.0;
    ASSERT_TRUE(Ended(resident));

    EXPECT_GE(DecodableSeconds(file, kind.video), 0.95 * recorded) << recorded << " s recorded";
    // An unfinished file of the same kind that was not the program's own recording stays as it is.
    const QString foreign = env.MediaFolder(QString::fromLatin1(kind.folder)) + QStringLiteral("foreign") + QFileInfo(file).suffix();
    ASSERT_TRUE(QFile::copy(file, foreign));
    const QByteArray foreignBytes = TestEnvironment::ReadFile(foreign);

    // The next start makes the file whole before it listens.
    StartResident();
    const double decodable = DecodableSeconds(file, kind.video);
    EXPECT_NEAR(ProbeMedia(file).duration, decodable, 0.15);
    EXPECT_EQ(TestEnvironment::ReadFile(foreign), foreignBytes);
    EXPECT_EQ(RunCorvana({QStringLiteral("Close")}), 0);
}

INSTANTIATE_TEST_SUITE_P(Recordings, KilledRecordingTest,
                         ::testing::Values(KilledRecording{"Solo", 0, "AudioSolo", "*.wma", false, 8 * 8400},
                                           KilledRecording{"Video", 2, "Video", "*.wmv", true, 8 * 45000}),
                         [](const auto& test) { return std::string(test.param.name); });

TEST_F(ProgramTest, TheSocketAcceptsOnlyItsTwoRequests)
{
    QProcess* resident = StartResident();
    for (const QByteArray& junk : {QByteArray("Open /etc/passwd\n"), QByteArray(100000, 'A'), QByteArray("Show"),
                                   QByteArray("\x00\x01\x02\n", 4), QByteArray("close\n")}) {
        QLocalSocket socket;
        socket.connectToServer(SocketPath());
        ASSERT_TRUE(socket.waitForConnected(2000));
        socket.write(junk);
        socket.waitForBytesWritten(2000);
        // Dropped, so handled: only then does "no window" mean something.
        EXPECT_TRUE(socket.state() == QLocalSocket::UnconnectedState || socket.waitForDisconnected(15000))
            << "the instance never dropped " << junk.left(20).toStdString();
    }
    EXPECT_EQ(resident->state(), QProcess::Running);
    EXPECT_EQ(VisibleWindowsNamed(QStringLiteral("Corvana")), 0);

    QLocalSocket socket;
    socket.connectToServer(SocketPath());
    ASSERT_TRUE(socket.waitForConnected(2000));
    socket.write("Show\n");
    ASSERT_TRUE(socket.waitForReadyRead(5000));
    EXPECT_EQ(socket.readAll(), QByteArray("done\n"));
    EXPECT_TRUE(WaitFor([] { return VisibleWindowsNamed(QStringLiteral("Corvana")) == 1; }));
}

} // namespace
