// The resident program from outside, through the real binary in a private session: one instance
// serving every start through its socket, its end by Close, a termination signal or a kill while
// menus, boxes or a recording are open, and a start without a display.
#include "MediaProbe.h"
#include "ResidentFixture.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLocalSocket>

#include <algorithm>
#include <sys/stat.h>

namespace {

constexpr int kEndWithinMs = 3000;

QString WindowId(const QString& title) { return Xdotool(QStringLiteral("search --onlyvisible --name \"^%1$\"").arg(title)).trimmed(); }
// Clicks with the given button at a point of the visible dialog.
void ClickInDialog(int x, int y, int button)
{
    Xdotool(QStringLiteral("mousemove --window %1 %2 %3 click %4").arg(WindowId(QStringLiteral("Corvana"))).arg(x).arg(y).arg(button));
}

class ProgramTest : public ResidentTest {
protected:
    // The dialog in the given mode with the synthetic devices and a recording started with the
    // record key; returns the file being written into the (so far empty) folder.
    QString StartRecording(int mode, const char* folder)
    {
        TestEnvironment::Set("CORVANA_DEVICES", QStringLiteral("synthetic"));
        env.SetUserSettings(QStringLiteral("[General]\nModeState=%1\n").arg(mode).toLatin1());
        OpenDialog();
        const QString path = env.MediaFolder(QString::fromLatin1(folder));
        m_sincePress.start();
        Xdotool(QStringLiteral("key XF86AudioRecord"));
        QString file;
        EXPECT_TRUE(WaitFor([&] {
            const QStringList files = QDir(path).entryList(QDir::Files);
            file = files.isEmpty() ? QString() : path + files.first();
            return !file.isEmpty() && QFileInfo(file).size() > 12000;  // data is flowing into it
        }, 20000));
        return file;
    }
    // Finished by the writer: decodable, with frames, and the header no longer calls it a
    // broadcast still being written (left for a repair).
    static void ExpectFinished(const QString& file)
    {
        const ProbedFile probed = ProbeMedia(file);
        ASSERT_TRUE(probed.ok) << "the recording was not finished";
        EXPECT_GT(probed.video.frames, 5);
        const QByteArray bytes = TestEnvironment::ReadFile(file);
        const qsizetype properties = bytes.indexOf(QByteArray::fromHex("a1dcab8c47a9cf118ee400c00c205365"));
        ASSERT_GT(properties, 0);
        EXPECT_EQ(bytes[properties + 88] & 1, 0) << "left for a repair";
    }

    QElapsedTimer m_sincePress;
};

TEST_F(ProgramTest, OneInstanceStaysResidentAndLaterStartsHandItTheirRequests)
{
    StartResident();
    struct stat info {};  // only the user may reach the socket
    ASSERT_EQ(::stat(QFile::encodeName(SocketPath()).constData(), &info), 0);
    EXPECT_EQ(info.st_mode & 077, 0u);
    // It takes nothing but its two requests, complete: the rest is dropped, and only once that
    // is seen does "no window" mean something.
    for (const QByteArray& junk : {QByteArray("Open /etc/passwd\n"), QByteArray(100000, 'A'), QByteArray("Show"),
                                   QByteArray("\x00\x01\x02\n", 4), QByteArray("close\n")}) {
        QLocalSocket socket;
        socket.connectToServer(SocketPath());
        ASSERT_TRUE(socket.waitForConnected(2000));
        socket.write(junk);
        socket.waitForBytesWritten(2000);
        EXPECT_TRUE(socket.state() == QLocalSocket::UnconnectedState || socket.waitForDisconnected(15000))
            << "the instance never dropped " << junk.left(20).toStdString();
    }
    EXPECT_EQ(resident->state(), QProcess::Running);
    EXPECT_EQ(Windows(), 0);

    // Keys reach the program in the order typed: a dialog opened by the lone release would take
    // the following press as a mode step, and Solo would not be the mode saved at the end.
    Xdotool(QStringLiteral("keyup XF86Launch1"));
    Xdotool(QStringLiteral("key XF86Launch1"));
    ASSERT_TRUE(WaitFor(DialogOpen));
    // The window's opening readies what a recording needs, but not the encoders' library: that
    // would stay in the waiting program, tens of megabytes, for weeks.
    const QString maps = QStringLiteral("/proc/%1/maps").arg(Pid(resident));
    ASSERT_TRUE(WaitFor([&] { return TestEnvironment::ReadFile(maps).contains("libgstvideorate.so"); }));
    EXPECT_FALSE(TestEnvironment::ReadFile(maps).contains("libavcodec"));

    // Further starts never open a second dialog, and "close" is not "Close". Each returns once the
    // resident instance has acted on it, and an opening switches the mode light on, so a second
    // opening would be in the journal by then.
    EXPECT_EQ(RunCorvana(), 0);
    EXPECT_EQ(RunCorvana({QStringLiteral("close")}), 0);
    EXPECT_EQ(resident->state(), QProcess::Running);
    EXPECT_EQ(Lights().count(QStringLiteral("D0")), 1);
    EXPECT_EQ(Windows(), 1);

    // "Close" closes the dialog (mode saved, lights off), then ends the program, and the closing
    // start returns only after that.
    ASSERT_NO_FATAL_FAILURE(Close());
    EXPECT_EQ(LastLights(), kLightsOff);
    EXPECT_TRUE(Saved("ModeState=0")) << "a release opened the dialog";
}

// Starts that end by themselves: the help, printed in the language of the user's locale as the
// window's texts are, and a start without a display, which says so and fails. Neither leaves
// anything behind that blocks a real start.
TEST_F(ProgramTest, TheHelpIsInTheUsersLanguageAndWithoutADisplayAStartSaysSoAndFails)
{
    const auto run = [](QProcess& process, const QProcessEnvironment& environment, const QStringList& arguments) {
        process.setProcessEnvironment(environment);
        process.start(CorvanaBinary(), arguments);
        return process.waitForFinished(20000) && process.exitStatus() == QProcess::NormalExit;
    };
    for (const auto& [locale, first] : {std::pair{"C", "Usage: corvana [Close]"}, {"de_DE.UTF-8", "Aufruf: corvana [Close]"}}) {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        for (const char* name : {"LC_ALL", "LANG", "LANGUAGE"})
            environment.insert(QString::fromLatin1(name), QString::fromLatin1(locale));
        QProcess help;
        ASSERT_TRUE(run(help, environment, {QStringLiteral("--help")}));
        EXPECT_EQ(help.exitCode(), 0);
        EXPECT_EQ(QString::fromUtf8(help.readAllStandardOutput()).section(QLatin1Char('\n'), 0, 0), QString::fromLatin1(first));
    }
    EXPECT_FALSE(QFileInfo::exists(SocketPath())) << "the help started an instance";
    for (const char* display : {"", ":79"}) {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.remove(QStringLiteral("QT_QPA_PLATFORM"));
        environment.remove(QStringLiteral("DISPLAY"));
        if (*display)
            environment.insert(QStringLiteral("DISPLAY"), QString::fromLatin1(display));
        QProcess process;
        ASSERT_TRUE(run(process, environment, {})) << "it crashed";
        EXPECT_EQ(process.exitCode(), 1);
        EXPECT_TRUE(process.readAllStandardError().contains("corvana: no display")) << display;
    }
    EXPECT_EQ(StartResident()->state(), QProcess::Running);
}

TEST_F(ProgramTest, TwentySimultaneousStartsLeaveOneInstanceAndOneDialog)
{
    for (int i = 0; i < 20; ++i)
        started.push_back(StartCorvana());
    const auto running = [&] {
        return std::count_if(started.begin(), started.end(), [](auto& p) { return p->state() != QProcess::NotRunning; });
    };
    ASSERT_TRUE(WaitFor([&] { return running() == 1; }, 30000)) << "not all but one ended by themselves";
    ASSERT_TRUE(WaitFor(DialogOpen));
    resident = std::find_if(started.begin(), started.end(), [](auto& p) { return p->state() != QProcess::NotRunning; })->get();
    // Every other start returned once its request had been acted on: one opening, one mode light.
    EXPECT_EQ(Lights().count(QStringLiteral("D0")), 1);
    EXPECT_EQ(Windows(), 1);
    Close();
}

// With the list's context menu open, and with the delete confirmation it leads to.
TEST_F(ProgramTest, CloseWithTheContextMenuOrTheDeleteConfirmationOpenEndsAtOnceAndDeletesNothing)
{
    const QString kept = env.MediaFolder(QStringLiteral("AudioSolo")) + QStringLiteral("240101-120000.wma");
    TestEnvironment::WriteFile(kept, QByteArray(4096, 'x'));  // listed in Solo, the first mode
    for (const bool confirming : {false, true}) {
        SCOPED_TRACE(confirming ? "confirmation" : "context menu");
        OpenDialog();
        ClickInDialog(48 + 40, 464 + 8, 3);  // the list's selected (only) item
        const QString windowsOfResident = QStringLiteral("search --onlyvisible --pid %1").arg(Pid(resident));
        ASSERT_TRUE(WaitFor([&] { return Xdotool(windowsOfResident).split(QLatin1Char('\n'), Qt::SkipEmptyParts).size() == 2; }))
            << "no context menu";
        if (confirming) {
            Xdotool(QStringLiteral("key Down Return"));
            // The dialog and the "Cancel the file?" box.
            ASSERT_TRUE(WaitFor([] { return Windows() == 2; })) << "no confirmation";
        }
        QElapsedTimer clock;
        clock.start();
        EXPECT_EQ(RunCorvana({QStringLiteral("Close")}), 0);
        EXPECT_TRUE(Ended(5000));
        EXPECT_LT(clock.elapsed(), kEndWithinMs);
        EXPECT_EQ(LastLights(), kLightsOff);
        EXPECT_TRUE(QFileInfo::exists(kept));
    }
}

// Close with the About box open, first while the instance is stopped: the closing start does not
// see it end, says so and fails; the instance carries out the Close once it runs again.
TEST_F(ProgramTest, CloseWithTheAboutBoxOpenEndsTheInstanceAndACloseThatDoesNotSeeThatFails)
{
    OpenDialog();
    ClickInDialog(412 + 26, 120 + 10, 1);
    ASSERT_TRUE(WaitFor([] { return Windows(QStringLiteral("About Corvana")) == 1; }));
    // A fixed modal frame: the window manager offers to close it, never to maximise it.
    const QString id = WindowId(QStringLiteral("About Corvana"));
    QString actions;
    ASSERT_TRUE(WaitFor([&] {
        actions = RunTool(QStringLiteral("xprop"), {QStringLiteral("-id"), id, QStringLiteral("_NET_WM_ALLOWED_ACTIONS")});
        return actions.contains(QLatin1String("_NET_WM_ACTION_CLOSE"));
    }));
    EXPECT_FALSE(actions.contains(QLatin1String("MAXIMIZE"))) << actions.toStdString();

    Signal(SIGSTOP);
    QProcess closing;
    closing.start(CorvanaBinary(), {QStringLiteral("Close")});
    ASSERT_TRUE(closing.waitForStarted(5000));
    const qint64 closingPid = closing.processId();
    ASSERT_TRUE(closing.waitForFinished(20000));
    EXPECT_EQ(closing.exitCode(), 1);
    EXPECT_TRUE(closing.readAllStandardError().contains("did not end")) << "no message";
    EXPECT_EQ(env.JournalBytes(closingPid), QStringList());

    QElapsedTimer clock;
    clock.start();
    Signal(SIGCONT);
    ASSERT_TRUE(Ended(5000));
    EXPECT_LT(clock.elapsed(), kEndWithinMs);
    EXPECT_EQ(resident->exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(LastLights(), kLightsOff);
}

// A locked desk: the special keys are dropped before the frame or the dialog sees them, a dialog
// opened meanwhile by a start starts no camera, and the unlock brings both back. The recording
// made then goes on through a forwarding start and is finished by a termination signal.
TEST_F(ProgramTest, OnALockedDeskNothingIsCapturedUntilTheUnlockAndATerminationSignalFinishesTheRecording)
{
    TestEnvironment::Set("CORVANA_DEVICES", QStringLiteral("synthetic"));
    TestEnvironment::Set("QT_LOGGING_RULES", QStringLiteral("corvana.support.debug=true\ncorvana.ui.debug=true"));
    env.SetUserSettings("[General]\nModeState=2\n");  // Video: an opening would start the camera
    StartResident(true);
    ::unsetenv("QT_LOGGING_RULES");
    const auto screenSaver = [](const char* active) {
        RunTool(QStringLiteral("dbus-send"), {"--session", "--type=signal", "/org/freedesktop/ScreenSaver",
                                              "org.freedesktop.ScreenSaver.ActiveChanged", QStringLiteral("boolean:") + active});
    };
    const QString videos = env.MediaFolder(QStringLiteral("Video"));

    screenSaver("true");
    ASSERT_TRUE(Said("session locked"));
    Xdotool(QStringLiteral("key XF86Launch1 XF86AudioRecord"));
    ASSERT_TRUE(Said("key 0x79 ignored") && Said("key 0x8 ignored")) << errors.toStdString();
    EXPECT_EQ(Windows(), 0) << "the mode key opened the dialog";
    EXPECT_TRUE(Lights().isEmpty()) << "a light or the microphone was switched";

    EXPECT_EQ(RunCorvana(), 0);
    ASSERT_TRUE(WaitFor(DialogOpen));
    ASSERT_TRUE(Said("camera not started: the session is locked")) << errors.toStdString();
    Xdotool(QStringLiteral("key XF86AudioRecord"));
    ASSERT_TRUE(Said("key 0x8 ignored", 2)) << errors.toStdString();
    EXPECT_TRUE(QDir(videos).entryList(QDir::Files).isEmpty());

    // The unlock restores Video with its camera (the mode light goes on again), and the record key
    // records.
    screenSaver("false");
    ASSERT_TRUE(Said("session unlocked"));
    ASSERT_TRUE(WaitFor([&] { return Lights().count(QStringLiteral("D0")) == 2; }));
    Xdotool(QStringLiteral("key XF86AudioRecord"));
    QString file;
    ASSERT_TRUE(WaitFor([&] {
        const QStringList files = QDir(videos).entryList(QDir::Files);
        file = files.size() == 1 ? videos + files.first() : QString();
        return !file.isEmpty() && QFileInfo(file).size() > 12000 && Lights().endsWith(QStringLiteral("D2"));
    }, 20000));

    // A forwarding start leaves the lights alone, and the recording goes on: a second more of it.
    const QStringList before = env.JournalBytes();
    EXPECT_EQ(RunCorvana(), 0);
    EXPECT_EQ(env.JournalBytes(), before);
    const qint64 size = QFileInfo(file).size();
    ASSERT_TRUE(WaitFor([&] { return QFileInfo(file).size() > size + 45000; }, 20000));
    Signal(SIGTERM);
    ASSERT_TRUE(Ended());
    ExpectFinished(file);
    EXPECT_EQ(LastLights(), kLightsOff);
    EXPECT_TRUE(Saved("ModeState=2"));
}

// The display server ends in the middle of a recording (Qt and Xlib then end the process from
// inside): the recording is finished as on any other end, not left for the next start to repair,
// and the lights go off.
TEST_F(ProgramTest, ADisplayThatEndsDuringARecordingLeavesItFinishedAndTheLightsOff)
{
    QProcess xvfb;
    xvfb.start(QStringLiteral("Xvfb"), {"-displayfd", "1", "-screen", "0", "1024x768x24", "-nolisten", "tcp"});
    ASSERT_TRUE(WaitFor([&] { return xvfb.canReadLine(); }, 20000)) << "Xvfb did not start";
    const QByteArray display = xvfb.readLine().trimmed();
    const QByteArray previous = qgetenv("DISPLAY");
    const std::shared_ptr<void> restore(nullptr, [&](void*) { qputenv("DISPLAY", previous); });
    TestEnvironment::Set("DISPLAY", QStringLiteral(":") + QString::fromLatin1(display));

    const QString file = StartRecording(2, "Video");
    ASSERT_FALSE(file.isEmpty());
    xvfb.terminate();
    ASSERT_TRUE(xvfb.waitForFinished(10000));
    ASSERT_TRUE(Ended());
    ExpectFinished(file);
    EXPECT_EQ(LastLights(), kLightsOff);
}

// Audio in Solo (mode 0) or video (mode 2), killed after some eight seconds.
struct KilledRecording {
    const char* folder;
    int mode;
    qint64 bytesForEightSeconds;
};

class KilledRecordingTest : public ProgramTest, public ::testing::WithParamInterface<KilledRecording> {};

TEST_P(KilledRecordingTest, KeepsWhatWasRecordedAndIsRepairedAtTheNextStart)
{
    const KilledRecording& kind = GetParam();
    // Seconds of sound or picture ffmpeg can decode from the file.
    const auto decodable = [&](const QString& path) {
        const ProbedFile probed = ProbeMedia(path);
        return kind.mode == 2 ? probed.video.frames * 1001.0 / 30000.0 : probed.audio.frames * 2048.0 / 44100.0;
    };
    const QString file = StartRecording(kind.mode, kind.folder);
    ASSERT_TRUE(WaitFor([&] { return QFileInfo(file).size() > kind.bytesForEightSeconds; }, 30000));
    Signal(SIGKILL);
    const double recorded = m_sincePress.elapsed() / 1000.0;
    ASSERT_TRUE(Ended());
    ASSERT_TRUE(QFileInfo::exists(SocketPath())) << "the dead instance's socket file stays behind";

    // Counted from the press, so the microphone's start is in it, and the packet the writer was
    // filling dies with the process: together well under a second.
    EXPECT_GE(decodable(file), recorded - 1.0) << recorded << " s recorded";
    // An unfinished file of the same kind that was not the program's own recording stays as it is.
    const QString foreign = env.MediaFolder(QString::fromLatin1(kind.folder)) + QStringLiteral("foreign.") + QFileInfo(file).suffix();
    ASSERT_TRUE(QFile::copy(file, foreign));
    const QByteArray foreignBytes = TestEnvironment::ReadFile(foreign);

    // The next start is not blocked by the leftovers and makes the file whole before it listens.
    StartResident();
    EXPECT_NEAR(ProbeMedia(file).duration, decodable(file), 0.15);
    // The header gives the rates a finished recording gives, and a video has its index again.
    const DeclaredRates declared = ReadDeclaredRates(file);
    EXPECT_EQ(declared.general.value(QStringLiteral("OverallBitRate_Maximum")).toString(), kind.mode == 2 ? "700000" : "64000");
    EXPECT_EQ(TestEnvironment::ReadFile(file).contains(QByteArray::fromHex("90080033b1e5cf1189f400a0c90349cb")), kind.mode == 2);
    EXPECT_EQ(TestEnvironment::ReadFile(foreign), foreignBytes);
    EXPECT_EQ(RunCorvana({QStringLiteral("Close")}), 0);
}

INSTANTIATE_TEST_SUITE_P(Recordings, KilledRecordingTest,
                         ::testing::Values(KilledRecording{"AudioSolo", 0, 8 * 8400}, KilledRecording{"Video", 2, 8 * 45000}),
                         [](const auto& test) { return std::string(test.param.folder); });

} // namespace
