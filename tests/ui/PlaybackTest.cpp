// Playback through the real media player (mpv) under the window manager: Play starts it with the
// selected file, steers it with Ctrl+P and Ctrl+S on any keyboard layout, Next and Previous hand
// it other files, the play key's long press closes it, a player that cannot be made the active
// window is steered over its socket; the player stays open after Stop and at the end of a file;
// file names never reach a shell.
#include "DialogRunner.h"
#include "MessageBoxWatcher.h"
#include "ProgramRunner.h"
#include "TestEnvironment.h"
#include "library/CMediaListBox.h"
#include "support/CSpecialKeys.h"
#include "ui/CCorvanaDlg.h"
#include "support/CDesktopWindows.h"
#include "ui/CHoverButton.h"
#include "ui/CMediaPlayer.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocalSocket>
#include <gtest/gtest.h>

#include <csignal>

using namespace corvana;

namespace {

void Click(QWidget* widget)
{
    const QPoint centre = widget->mapToGlobal(widget->rect().center());
    RunTool(QStringLiteral("xdotool"), {QStringLiteral("mousemove"), QString::number(centre.x()),
                                        QString::number(centre.y()), QStringLiteral("click"), QStringLiteral("1")});
}

// Where the test reaches the player's IPC socket, when it is not where the program looks for it.
QString& MovedSocketPath()
{
    static QString path;
    return path;
}

// One property of the running player, read over its IPC socket; null when it does not answer.
QJsonValue PlayerProperty(const char* name)
{
    QLocalSocket socket;
    socket.connectToServer(MovedSocketPath().isEmpty() ? CMediaPlayer::IpcSocketPath() : MovedSocketPath());
    if (!socket.waitForConnected(500))
        return {};
    const QJsonObject request{{QStringLiteral("command"), QJsonArray{QStringLiteral("get_property"), QLatin1String(name)}},
                              {QStringLiteral("request_id"), 7}};
    socket.write(QJsonDocument(request).toJson(QJsonDocument::Compact) + '\n');
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < 2000 && socket.waitForReadyRead(500)) {
        while (socket.canReadLine()) {
            const QJsonObject reply = QJsonDocument::fromJson(socket.readLine()).object();
            if (reply.value(QStringLiteral("request_id")).toInt() == 7)
                return reply.value(QStringLiteral("data"));
        }
    }
    return {};
}

bool PlayerRunning()
{
    return CDesktopWindows::FindWindowByClass(CMediaPlayer::kWindowClass).has_value();
}

// Any player process of this test, alive or still ending; its socket path is the test's own.
bool PlayerProcessAlive()
{
    return !RunTool(QStringLiteral("pgrep"), {QStringLiteral("-f"), QStringLiteral("--"), CMediaPlayer::IpcSocketPath()}).isEmpty();
}

bool Paused()
{
    return PlayerProperty("pause").toBool();
}

bool PlayingFrom(double seconds)
{
    return !Paused() && PlayerProperty("time-pos").toDouble() > seconds;
}

// Stop and the end of a file leave the file paused at its start.
bool StoppedAtStart()
{
    return PlayerRunning() && Paused() && PlayerProperty("time-pos").toDouble() < 0.3;
}

bool PlayerHoldsFocus()
{
    const auto player = CDesktopWindows::FindWindowByClass(CMediaPlayer::kWindowClass);
    return player && RunTool(QStringLiteral("xdotool"), {QStringLiteral("getwindowfocus")}).trimmed() == QString::number(*player);
}

void MakeWma(const QString& path, int buffers)
{
    RunTool(QStringLiteral("gst-launch-1.0"),
            {QStringLiteral("-q"), QStringLiteral("audiotestsrc"), QStringLiteral("num-buffers=%1").arg(buffers),
             QStringLiteral("!"), QStringLiteral("audioconvert"), QStringLiteral("!"), QStringLiteral("avenc_wmav2"),
             QStringLiteral("!"), QStringLiteral("asfmux"), QStringLiteral("!"), QStringLiteral("filesink"),
             QStringLiteral("location=%1").arg(path)},
            30000);
}

// The X keyboard layout of the session, switched for one scope and then put back.
class KeyboardLayout {
public:
    KeyboardLayout(const QString& layout, const QString& variant)
    {
        const QStringList query = RunTool(QStringLiteral("setxkbmap"), {QStringLiteral("-query")}).split(QLatin1Char('\n'));
        for (const QString& line : query) {
            if (line.startsWith(QLatin1String("layout:")))
                m_previousLayout = line.section(QLatin1Char(':'), 1).trimmed();
            else if (line.startsWith(QLatin1String("variant:")))
                m_previousVariant = line.section(QLatin1Char(':'), 1).trimmed();
        }
        Set(layout, variant);
    }
    KeyboardLayout(const KeyboardLayout&) = delete;
    KeyboardLayout& operator=(const KeyboardLayout&) = delete;
    ~KeyboardLayout() { Set(m_previousLayout, m_previousVariant); }

private:
    static void Set(const QString& layout, const QString& variant)
    {
        RunTool(QStringLiteral("setxkbmap"), {QStringLiteral("-layout"), layout, QStringLiteral("-variant"), variant});
    }

    QString m_previousLayout;
    QString m_previousVariant;
};

// The running player's socket, moved for one scope to where only the test finds it: the program
// can reach the player with keys alone.
class SocketOutOfReach {
public:
    SocketOutOfReach() : m_moved(CMediaPlayer::IpcSocketPath() + QStringLiteral(".test"))
    {
        m_done = QFile::rename(CMediaPlayer::IpcSocketPath(), m_moved);
        MovedSocketPath() = m_moved;
    }
    SocketOutOfReach(const SocketOutOfReach&) = delete;
    SocketOutOfReach& operator=(const SocketOutOfReach&) = delete;
    ~SocketOutOfReach()
    {
        MovedSocketPath().clear();
        QFile::remove(m_moved);
    }
    bool Done() const { return m_done; }

private:
    QString m_moved;
    bool m_done = false;
};

// The session's window manager, stopped for one scope: requests to activate a window go unanswered.
class StoppedWindowManager {
public:
    StoppedWindowManager()
    {
        const QByteArray display = "DISPLAY=" + qgetenv("DISPLAY");
        for (const QString& pid : RunTool(QStringLiteral("pgrep"), {QStringLiteral("-x"), QStringLiteral("openbox")}).split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
            QFile environment(QStringLiteral("/proc/%1/environ").arg(pid));
            if (environment.open(QIODevice::ReadOnly) && environment.readAll().split('\0').contains(display))
                m_pid = pid.toInt();
        }
        if (m_pid > 0)
            ::kill(m_pid, SIGSTOP);
    }
    StoppedWindowManager(const StoppedWindowManager&) = delete;
    StoppedWindowManager& operator=(const StoppedWindowManager&) = delete;
    ~StoppedWindowManager()
    {
        if (m_pid > 0)
            ::kill(m_pid, SIGCONT);
    }
    bool Stopped() const
    {
        QFile status(QStringLiteral("/proc/%1/status").arg(m_pid));
        return m_pid > 0 && status.open(QIODevice::ReadOnly) && status.readAll().contains("State:\tT");
    }

private:
    pid_t m_pid = 0;
};

// Every key that reaches a widget of this process.
class KeyRecorder : public QObject {
public:
    KeyRecorder() { qApp->installEventFilter(this); }
    QList<int> keys;

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::KeyPress)
            keys.append(static_cast<QKeyEvent*>(event)->key());
        return false;
    }
};

class PlaybackTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        QDir().mkpath(env.Root() + QStringLiteral("/mpv"));
        TestEnvironment::WriteFile(env.Root() + QStringLiteral("/mpv/mpv.conf"), "vo=x11\nao=pulse\nosc=no\n# Beside the dialog, so clicks on its buttons reach it.\ngeometry=320x200+0+0\n");
        TestEnvironment::Set("MPV_HOME", env.Root() + QStringLiteral("/mpv"));
        TestEnvironment::Set("CORVANA_DEVICES", QStringLiteral("synthetic"));
        solo = env.MediaFolder(QStringLiteral("AudioSolo"));
        QDir().mkpath(solo);
    }
    void TearDown() override
    {
        if (const auto player = CDesktopWindows::FindWindowByClass(CMediaPlayer::kWindowClass))
            RunTool(QStringLiteral("xdotool"), {QStringLiteral("windowkill"), QString::number(*player)});
        WaitFor([] { return !PlayerProcessAlive(); }, 5000);
    }

    void WithDialog(const std::function<void(CCorvanaDlg&)>& check)
    {
        env.SetUserSettings("[General]\nModeState=0\n");
        RunDialog(check);
    }

    TestEnvironment env;
    MessageBoxWatcher boxes;
    QString solo;
};

TEST_F(PlaybackTest, PlayStartsThePlayerAndTheKeysSteerIt)
{
    MakeWma(solo + QStringLiteral("061231-235905.wma"), 1200);
    MakeWma(solo + QStringLiteral("070101-000000.wma"), 1200);
    WithDialog([&](CCorvanaDlg& dialog) {
        ASSERT_EQ(dialog.List()->GetCount(), 2);
        Click(dialog.Button(CCorvanaDlg::IDC_PLAY));
        ASSERT_TRUE(WaitFor([] { return PlayerRunning() && PlayerProperty("path").isString(); }, 15000));
        EXPECT_EQ(PlayerProperty("path").toString(), solo + QStringLiteral("070101-000000.wma"));
        EXPECT_FALSE(Paused());

        // With the player running Play sends Ctrl+P, to the player made the active window: pause,
        // and again: play.
        Click(dialog.Button(CCorvanaDlg::IDC_PLAY));
        EXPECT_TRUE(WaitFor(Paused, 5000));
        EXPECT_TRUE(WaitFor(PlayerHoldsFocus, 5000));
        Click(dialog.Button(CCorvanaDlg::IDC_PLAY));
        EXPECT_TRUE(WaitFor([] { return !Paused(); }, 5000));

        // Stop sends Ctrl+S: the player stays open with the file stopped at its start; Play plays it again.
        ASSERT_TRUE(WaitFor([] { return PlayingFrom(1.0); }, 5000));
        Click(dialog.Button(CCorvanaDlg::IDC_STOP));
        EXPECT_TRUE(WaitFor(StoppedAtStart, 5000));
        EXPECT_EQ(PlayerProperty("path").toString(), solo + QStringLiteral("070101-000000.wma"));
        Click(dialog.Button(CCorvanaDlg::IDC_PLAY));
        EXPECT_TRUE(WaitFor([] { return PlayingFrom(0.5); }, 5000));

        // Next wraps to the first file and hands it to the running player, which plays it even
        // when stopped; Previous wraps back.
        Click(dialog.Button(CCorvanaDlg::IDC_STOP));
        ASSERT_TRUE(WaitFor(StoppedAtStart, 5000));
        Click(dialog.Button(CCorvanaDlg::IDC_NEXT));
        EXPECT_TRUE(WaitFor([&] { return dialog.List()->GetCurSel() == 0; }));
        EXPECT_TRUE(WaitFor([&] { return PlayerProperty("path").toString() == solo + QStringLiteral("061231-235905.wma") && PlayingFrom(0.3); }, 5000));
        Click(dialog.Button(CCorvanaDlg::IDC_PREVIOUS));
        EXPECT_TRUE(WaitFor([&] { return dialog.List()->GetCurSel() == 1; }));
        EXPECT_TRUE(WaitFor([&] { return PlayerProperty("path").toString() == solo + QStringLiteral("070101-000000.wma"); }, 5000));
    });
}

TEST_F(PlaybackTest, PlayAndStopKeysWorkOnEveryKeyboardLayout)
{
    MakeWma(solo + QStringLiteral("061231-235905.wma"), 1200);
    WithDialog([&](CCorvanaDlg& dialog) {
        // Dvorak and AZERTY move P and S; Russian has no Latin letters at all.
        for (const auto& [layout, variant] : {std::pair{"us", "dvorak"}, {"fr", ""}, {"ru", ""}}) {
            SCOPED_TRACE(std::string(layout) + " " + variant);
            KeyboardLayout switched{QLatin1String(layout), QLatin1String(variant)};
            Click(dialog.Button(CCorvanaDlg::IDC_PLAY));
            ASSERT_TRUE(WaitFor([] { return PlayingFrom(0.5); }, 15000));
            const SocketOutOfReach keysOnly;
            ASSERT_TRUE(keysOnly.Done());
            Click(dialog.Button(CCorvanaDlg::IDC_PLAY));
            EXPECT_TRUE(WaitFor(Paused, 5000));
            Click(dialog.Button(CCorvanaDlg::IDC_STOP));
            EXPECT_TRUE(WaitFor(StoppedAtStart, 5000));
            Click(dialog.Button(CCorvanaDlg::IDC_PLAY));
            EXPECT_TRUE(WaitFor([] { return PlayingFrom(0.5); }, 5000));
            EXPECT_TRUE(dialog.ClosePlayerIfRunning());
            ASSERT_TRUE(WaitFor([] { return !PlayerProcessAlive(); }, 8000)) << "Alt+F4 did not close the player";
        }
    });
}

TEST_F(PlaybackTest, HoldingThePlayKeyClosesThePlayer)
{
    MakeWma(solo + QStringLiteral("061231-235905.wma"), 1200);
    WithDialog([&](CCorvanaDlg& dialog) {
        Click(dialog.Button(CCorvanaDlg::IDC_PLAY));
        ASSERT_TRUE(WaitFor([] { return PlayerRunning() && PlayerProperty("path").isString(); }, 15000));
        RunTool(QStringLiteral("xdotool"), {QStringLiteral("keydown"), QStringLiteral("XF86AudioPlay")});
        EXPECT_TRUE(WaitFor([] { return !PlayerProcessAlive(); }, 8000)) << "Alt+F4 did not close the player";
        EXPECT_TRUE(CSpecialKeys::ProgramState().longPressDonePlay);
        RunTool(QStringLiteral("xdotool"), {QStringLiteral("keyup"), QStringLiteral("XF86AudioPlay")});
        // The release after the long press plays nothing.
        ASSERT_TRUE(WaitFor([] { return !CSpecialKeys::ProgramState().longPressDonePlay; }, 5000));
        EXPECT_FALSE(PlayerProcessAlive());
    });
}

TEST_F(PlaybackTest, APlayerThatCannotBeActivatedGetsTheCommandsOverItsSocket)
{
    MakeWma(solo + QStringLiteral("061231-235905.wma"), 1200);
    WithDialog([&](CCorvanaDlg& dialog) {
        Click(dialog.Button(CCorvanaDlg::IDC_PLAY));
        ASSERT_TRUE(WaitFor([] { return PlayingFrom(0.0); }, 15000));
        StoppedWindowManager windowManager;
        ASSERT_TRUE(WaitFor([&] { return windowManager.Stopped(); }, 5000));
        // With nobody to move it, the focus stays where it is put: on the dialog.
        const QString dialogWindow = QString::number(dialog.winId());
        RunTool(QStringLiteral("xdotool"), {QStringLiteral("windowfocus"), dialogWindow});
        ASSERT_EQ(RunTool(QStringLiteral("xdotool"), {QStringLiteral("getwindowfocus")}).trimmed(), dialogWindow);
        KeyRecorder recorder;

        dialog.OnPlay();
        EXPECT_TRUE(WaitFor(Paused, 5000));
        RunTool(QStringLiteral("xdotool"), {QStringLiteral("keydown"), QStringLiteral("XF86AudioPlay")});
        EXPECT_TRUE(WaitFor([] { return !PlayerProcessAlive(); }, 8000)) << "the player was not closed";
        RunTool(QStringLiteral("xdotool"), {QStringLiteral("keyup"), QStringLiteral("XF86AudioPlay")});

        // A key typed now reaches the dialog after any key typed into it before.
        RunTool(QStringLiteral("xdotool"), {QStringLiteral("key"), QStringLiteral("shift")});
        ASSERT_TRUE(WaitFor([&] { return recorder.keys.contains(Qt::Key_Shift); }, 5000));
        recorder.keys.removeAll(Qt::Key_Shift);
        recorder.keys.removeAll(Qt::Key_MediaPlay);
        EXPECT_TRUE(recorder.keys.isEmpty()) << recorder.keys.size() << " keys reached the dialog";
    });
}

TEST_F(PlaybackTest, FileNamesAreOneArgumentAndAnEndedFileStaysInThePlayer)
{
    const QString strange = QStringLiteral("-$(touch pwned) `id`.wma");
    MakeWma(solo + strange, 100);
    WithDialog([&](CCorvanaDlg& dialog) {
        // Conference has no files: Play, Next and Previous start nothing. Clicks are handled in
        // order, so once Solo is back the three before it have been handled.
        Click(dialog.Button(CCorvanaDlg::IDC_CONFERENCE));
        ASSERT_TRUE(WaitFor([&] { return dialog.Mode() == MediaMode::Conference; }));
        ASSERT_EQ(dialog.List()->GetCount(), 0);
        for (int id : {CCorvanaDlg::IDC_PLAY, CCorvanaDlg::IDC_NEXT, CCorvanaDlg::IDC_PREVIOUS, CCorvanaDlg::IDC_SOLO})
            Click(dialog.Button(id));
        ASSERT_TRUE(WaitFor([&] { return dialog.Mode() == MediaMode::Solo; }));
        EXPECT_FALSE(PlayerProcessAlive());
        EXPECT_TRUE(boxes.Seen().isEmpty());

        ASSERT_EQ(dialog.List()->GetText(dialog.List()->GetCurSel()), strange);
        Click(dialog.Button(CCorvanaDlg::IDC_PLAY));
        ASSERT_TRUE(WaitFor([] { return PlayerRunning() && PlayerProperty("path").isString(); }, 15000));
        EXPECT_EQ(PlayerProperty("path").toString(), solo + strange);
        EXPECT_FALSE(QFileInfo::exists(QStringLiteral("pwned")));
        EXPECT_FALSE(QFileInfo::exists(env.Home() + QStringLiteral("/pwned")));

        // Nobody pauses the player: paused means the file has ended, and it is back at its start.
        EXPECT_TRUE(WaitFor(StoppedAtStart, 15000));
        Click(dialog.Button(CCorvanaDlg::IDC_PLAY));
        EXPECT_TRUE(WaitFor([] { return PlayingFrom(0.5); }, 5000));
    });
}

} // namespace
