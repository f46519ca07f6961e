// Playback through the real media player (mpv) under the window manager: Play starts it with the
// selected file and steers it with Ctrl+P and Ctrl+S on any keyboard layout, the play key's long
// press closes it, a player that cannot be made the active window is steered over its socket; the
// player stays open after Stop and at the end of a file; file names never reach a shell. On a
// Wayland session the player is steered over its socket alone.
#include "DialogRunner.h"
#include "MessageBoxWatcher.h"
#include "TestEnvironment.h"
#include "Xdotool.h"
#include "support/CDesktopWindows.h"
#include "support/CMediaPlayer.h"
#include "support/CSpecialKeys.h"
#include "ui/CHoverButton.h"
#include "ui/CMediaListBox.h"

#include <QDeadlineTimer>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocalSocket>
#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <memory>
#include <unistd.h>

using namespace corvana;

namespace {

// Where the test reaches the player's socket when it has been moved out of the program's reach.
QString movedSocket;

// One property of the running player, read over its socket; null when it does not answer.
QJsonValue PlayerProperty(const char* name)
{
    QLocalSocket socket;
    socket.connectToServer(movedSocket.isEmpty() ? CMediaPlayer::IpcSocketPath() : movedSocket);
    if (!socket.waitForConnected(500))
        return {};
    socket.write(QByteArray(R"({"command":["get_property",")") + name + R"("],"request_id":7})" + '\n');
    for (QDeadlineTimer deadline(2000); !deadline.hasExpired() && socket.waitForReadyRead(500);) {
        while (socket.canReadLine()) {
            const QJsonObject reply = QJsonDocument::fromJson(socket.readLine()).object();
            if (reply.value("request_id").toInt() == 7)
                return reply.value("data");
        }
    }
    return {};
}

std::optional<CDesktopWindows::WindowId> PlayerWindow() { return CDesktopWindows::FindWindowByClass(CMediaPlayer::kWindowClass); }
// Any player process of this test, alive or still ending: its socket path is the test's own.
bool PlayerProcessAlive() { return !RunTool("pgrep", {"-f", "--", CMediaPlayer::IpcSocketPath()}).isEmpty(); }
bool Paused() { return PlayerProperty("pause").toBool(); }
bool PlayingFrom(double seconds) { return !Paused() && PlayerProperty("time-pos").toDouble() > seconds; }
// Stop and the end of a file leave the file paused at its start.
bool StoppedAtStart() { return PlayerWindow() && Paused() && PlayerProperty("time-pos").toDouble() < 0.3; }

// The session's keyboard layout (us), switched for one scope.
struct KeyboardLayout {
    KeyboardLayout(const char* layout, const char* variant) { RunTool("setxkbmap", {"-layout", layout, "-variant", variant}); }
    ~KeyboardLayout() { RunTool("setxkbmap", {"-layout", "us", "-variant", ""}); }
};

// The running player's socket, moved for one scope to where only the test finds it: the program
// can reach the player with keys alone.
struct SocketOutOfReach {
    SocketOutOfReach()
    {
        if (QFile::rename(CMediaPlayer::IpcSocketPath(), CMediaPlayer::IpcSocketPath() + ".test"))
            movedSocket = CMediaPlayer::IpcSocketPath() + ".test";
    }
    ~SocketOutOfReach() { QFile::remove(std::exchange(movedSocket, QString())); }
};

// The session's window manager, stopped for one scope: requests to activate a window go unanswered.
struct StoppedWindowManager {
    StoppedWindowManager()
    {
        for (const QString& candidate : RunTool("pgrep", {"-x", "openbox"}).split('\n', Qt::SkipEmptyParts))
            if (TestEnvironment::ReadFile("/proc/" + candidate + "/environ").split('\0').contains("DISPLAY=" + qgetenv("DISPLAY")))
                pid = candidate.toInt();
        if (pid > 0)
            ::kill(pid, SIGSTOP);
    }
    ~StoppedWindowManager() { pid > 0 && ::kill(pid, SIGCONT); }
    bool Stopped() const { return pid > 0 && TestEnvironment::ReadFile(QStringLiteral("/proc/%1/status").arg(pid)).contains("State:\tT"); }
    pid_t pid = 0;
};

// Every key that reaches a widget of this process.
struct KeyRecorder : QObject {
    KeyRecorder() { qApp->installEventFilter(this); }
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::KeyPress)
            keys << static_cast<QKeyEvent*>(event)->key();
        return false;
    }
    QList<int> keys;
};

class PlaybackTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        TestEnvironment::WriteFile(env.Root() + "/mpv/mpv.conf",
                                   "vo=x11\nao=pulse\nosc=no\n# Beside the dialog, so clicks on its buttons reach it.\ngeometry=320x200+0+0\n");
        TestEnvironment::Set("MPV_HOME", env.Root() + "/mpv");
        TestEnvironment::Set("CORVANA_DEVICES", "synthetic");
        env.SetUserSettings("[General]\nModeState=0\n");
        QDir().mkpath(solo);
    }
    void TearDown() override
    {
        if (const auto player = PlayerWindow())
            Xdo({"windowkill", QString::number(*player)});
        else
            CMediaPlayer::PressKeys("alt+f4");
        ::unsetenv("XDG_SESSION_TYPE");
        WaitFor([] { return !PlayerProcessAlive(); }, 5000);
    }
    // A file of the given number of 23 ms buffers in the Solo folder.
    void MakeWma(const QString& name, int buffers) const
    {
        RunTool("gst-launch-1.0", {"-q", "audiotestsrc", QStringLiteral("num-buffers=%1").arg(buffers), "!", "audioconvert", "!",
                                   "avenc_wmav2", "!", "asfmux", "!", "filesink", "location=" + solo + name}, 30000);
    }

    TestEnvironment env;
    MessageBoxWatcher boxes;
    const QString solo = env.MediaFolder("AudioSolo");
};

// Every change of the player's pause state, as the player reports it over its socket.
struct PauseChanges {
    explicit PauseChanges(const QString& path)
    {
        socket.connectToServer(path);
        if (socket.waitForConnected(2000))
            socket.write(R"({"command":["observe_property",1,"pause"]})" "\n");
        QObject::connect(&socket, &QLocalSocket::readyRead, [this] {
            while (socket.canReadLine()) {
                const QJsonObject event = QJsonDocument::fromJson(socket.readLine()).object();
                if (event.value("event") == "property-change" && event.value("name") == "pause")
                    states << event.value("data").toBool();
            }
        });
    }
    QLocalSocket socket;
    QList<bool> states;  // the first is the state when observing began
};

TEST_F(PlaybackTest, PlayAndStopSteerThePlayerOnEveryKeyboardLayoutThePlayKeyTogglesItOnceAndALongPressClosesIt)
{
    MakeWma("070101-000000.wma", 1200);
    RunDialog([&](CCorvanaDlg& dialog) {
        Click(dialog.Button(CCorvanaDlg::IDC_PLAY));
        ASSERT_TRUE(WaitFor([] { return PlayingFrom(0.5); }, 15000));
        const SocketOutOfReach keysOnly;
        ASSERT_FALSE(movedSocket.isEmpty());
        const auto playerFocused = [] { return PlayerWindow() && Xdo({"getwindowfocus"}) == QString::number(*PlayerWindow()); };
        // Dvorak and AZERTY move P and S; Russian has no Latin letters at all.
        for (const auto& [layout, variant] : {std::pair{"us", ""}, {"us", "dvorak"}, {"fr", ""}, {"ru", ""}}) {
            SCOPED_TRACE(std::string(layout) + " " + variant);
            const KeyboardLayout switched{layout, variant};
            // Play sends Ctrl+P to the player made the active window: pause, and again: play.
            Click(dialog.Button(CCorvanaDlg::IDC_PLAY));
            EXPECT_TRUE(WaitFor(Paused, 5000));
            EXPECT_TRUE(WaitFor(playerFocused, 5000));
            Click(dialog.Button(CCorvanaDlg::IDC_PLAY));
            ASSERT_TRUE(WaitFor([] { return PlayingFrom(1.0); }, 5000));
            // Stop sends Ctrl+S: the player stays open with the file at its start; Play plays it again.
            Click(dialog.Button(CCorvanaDlg::IDC_STOP));
            EXPECT_TRUE(WaitFor(StoppedAtStart, 5000));
            Click(dialog.Button(CCorvanaDlg::IDC_PLAY));
            EXPECT_TRUE(WaitFor([] { return PlayingFrom(0.5); }, 5000));
        }

        // The play key steers the focused player through Corvana alone: one press pauses it, the
        // next plays it, and the player toggles nothing of its own on top (that second toggle
        // would follow the first within milliseconds).
        ASSERT_TRUE(WaitFor(playerFocused, 5000));
        PauseChanges changes(movedSocket);
        ASSERT_TRUE(WaitFor([&] { return changes.states == QList<bool>{false}; }, 5000));
        Xdo({"key", "XF86AudioPlay"});
        ASSERT_TRUE(WaitFor([&] { return changes.states == QList<bool>{false, true} && Paused(); }, 5000)) << changes.states.size();
        Xdo({"key", "XF86AudioPlay"});
        ASSERT_TRUE(WaitFor([&] { return changes.states.size() >= 3 && PlayingFrom(1.0); }, 5000));
        EXPECT_EQ(changes.states, (QList<bool>{false, true, false}));

        // Holding the play key closes the player; the release after the long press plays nothing.
        Xdo({"keydown", "XF86AudioPlay"});
        EXPECT_TRUE(WaitFor([] { return !PlayerProcessAlive(); }, 8000)) << "Alt+F4 did not close the player";
        EXPECT_TRUE(CSpecialKeys::ProgramState().longPressDonePlay);
        Xdo({"keyup", "XF86AudioPlay"});
        ASSERT_TRUE(WaitFor([] { return !CSpecialKeys::ProgramState().longPressDonePlay; }, 5000));
        EXPECT_FALSE(PlayerProcessAlive());
    });
}

TEST_F(PlaybackTest, APlayerThatCannotBeActivatedGetsTheCommandsOverItsSocket)
{
    MakeWma("061231-235905.wma", 1200);
    RunDialog([&](CCorvanaDlg& dialog) {
        Click(dialog.Button(CCorvanaDlg::IDC_PLAY));
        ASSERT_TRUE(WaitFor([] { return PlayingFrom(0.0); }, 15000));
        const StoppedWindowManager windowManager;
        ASSERT_TRUE(WaitFor([&] { return windowManager.Stopped(); }, 5000));
        // With nobody to move it, the focus stays where it is put: on the dialog.
        const QString dialogWindow = QString::number(dialog.winId());
        Xdo({"windowfocus", dialogWindow});
        ASSERT_EQ(Xdo({"getwindowfocus"}), dialogWindow);
        KeyRecorder recorder;

        dialog.OnPlay();
        EXPECT_TRUE(WaitFor(Paused, 5000));
        Xdo({"keydown", "XF86AudioPlay"});
        EXPECT_TRUE(WaitFor([] { return !PlayerProcessAlive(); }, 8000)) << "the player was not closed";
        Xdo({"keyup", "XF86AudioPlay"});
        // A key typed now reaches the dialog after any key typed into it before.
        Xdo({"key", "shift"});
        ASSERT_TRUE(WaitFor([&] { return recorder.keys.contains(Qt::Key_Shift); }, 5000));
        recorder.keys.removeAll(Qt::Key_Shift);
        recorder.keys.removeAll(Qt::Key_MediaPlay);
        EXPECT_TRUE(recorder.keys.isEmpty()) << recorder.keys.size() << " keys reached the dialog";
    });
}

TEST_F(PlaybackTest, FileNamesAreOneArgumentAndAnEndedFileStaysInThePlayer)
{
    const QString strange = "-$(touch pwned) `id`.wma";
    MakeWma(strange, 100);
    const QByteArray latin1 = "+caf\xe9.wma";
    MakeWma("latin1.wma", 400);
    ASSERT_EQ(::rename(QFile::encodeName(solo + "latin1.wma").constData(), (QFile::encodeName(solo) + latin1).constData()), 0);
    // The temporary folder is removed by text names, which cannot name this one.
    const std::shared_ptr<void> unlink(nullptr, [&](void*) { ::unlink((QFile::encodeName(solo) + latin1).constData()); });
    RunDialog([&](CCorvanaDlg& dialog) {
        ASSERT_EQ(dialog.List()->GetText(dialog.List()->GetCurSel()), strange);
        Click(dialog.Button(CCorvanaDlg::IDC_PLAY));
        ASSERT_TRUE(WaitFor([] { return PlayerWindow() && PlayerProperty("path").isString(); }, 15000));
        EXPECT_EQ(PlayerProperty("path").toString(), solo + strange);
        EXPECT_FALSE(QFileInfo::exists("pwned"));
        EXPECT_FALSE(QFileInfo::exists(env.Home() + "/pwned"));
        // Nobody pauses the player: paused means the file has ended, and it is back at its start.
        EXPECT_TRUE(WaitFor(StoppedAtStart, 15000));
        Click(dialog.Button(CCorvanaDlg::IDC_PLAY));
        EXPECT_TRUE(WaitFor([] { return PlayingFrom(0.5); }, 5000));

        // A name that is not valid UTF-8 reaches the player as a link to exactly that file, named
        // as the list shows it.
        Click(dialog.Button(CCorvanaDlg::IDC_PREVIOUS));
        const QString link = env.RuntimeDir() + QString::fromUtf8("/corvana-player-files/+caf\xef\xbf\xbd.wma");
        ASSERT_TRUE(WaitFor([&] { return PlayerProperty("path").toString() == link; }, 15000))
            << PlayerProperty("path").toString().toStdString();
        char target[4096] = {};
        ASSERT_GT(::readlink(QFile::encodeName(link).constData(), target, sizeof target - 1), 0);
        EXPECT_EQ(QByteArray(target), QFile::encodeName(solo) + latin1);
        EXPECT_TRUE(WaitFor([] { return PlayingFrom(0.5); }, 5000));
        EXPECT_TRUE(boxes.Seen().isEmpty());
    });
}

TEST_F(PlaybackTest, OnAWaylandSessionThePlayerIsPausedStoppedAndClosedOverItsSocket)
{
    // A player with no X window, as a native Wayland one is to the program: only its socket reaches it.
    TestEnvironment::WriteFile(env.Root() + "/mpv/mpv.conf", "vo=null\nao=pulse\n");
    TestEnvironment::Set("XDG_SESSION_TYPE", "wayland");
    MakeWma("061231-235905.wma", 1200);
    RunDialog([&](CCorvanaDlg& dialog) {
        Click(dialog.Button(CCorvanaDlg::IDC_PLAY));
        ASSERT_TRUE(WaitFor([] { return PlayingFrom(0.5); }, 15000));
        ASSERT_FALSE(PlayerWindow());
        // Play pauses it, and plays it again; Stop leaves it paused at the start; the long press closes it.
        Click(dialog.Button(CCorvanaDlg::IDC_PLAY));
        EXPECT_TRUE(WaitFor(Paused, 5000));
        Click(dialog.Button(CCorvanaDlg::IDC_PLAY));
        ASSERT_TRUE(WaitFor([] { return PlayingFrom(1.0); }, 5000));
        Click(dialog.Button(CCorvanaDlg::IDC_STOP));
        EXPECT_TRUE(WaitFor([] { return Paused() && PlayerProperty("time-pos").toDouble() < 0.3; }, 5000));
        Xdo({"keydown", "XF86AudioPlay"});
        EXPECT_TRUE(WaitFor([] { return !PlayerProcessAlive(); }, 8000)) << "the player was not closed";
        Xdo({"keyup", "XF86AudioPlay"});
    });
}

} // namespace
