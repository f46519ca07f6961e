// Playback through the real media player (mpv) under the window manager: Play starts it with the
// selected file, steers it with Ctrl+P and Ctrl+S, Next and Previous hand it other files, the
// play key's long press closes it; file names never reach a shell.
#include "DialogRunner.h"
#include "MessageBoxWatcher.h"
#include "ProgramRunner.h"
#include "TestEnvironment.h"
#include "library/CMediaListBox.h"
#include "support/CSpecialKeys.h"
#include "ui/CCorvanaDlg.h"
#include "ui/CDesktopWindows.h"
#include "ui/CHoverButton.h"
#include "ui/CMediaPlayer.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocalSocket>
#include <gtest/gtest.h>

using namespace corvana;

namespace {

void Click(QWidget* widget)
{
    const QPoint centre = widget->mapToGlobal(widget->rect().center());
    RunTool(QStringLiteral("xdotool"), {QStringLiteral("mousemove"), QString::number(centre.x()),
                                        QString::number(centre.y()), QStringLiteral("click"), QStringLiteral("1")});
}

// One property of the running player, read over its IPC socket; null when it does not answer.
QJsonValue PlayerProperty(const char* name)
{
    QLocalSocket socket;
    socket.connectToServer(CMediaPlayer::IpcSocketPath());
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

void MakeWma(const QString& path, int buffers)
{
    RunTool(QStringLiteral("gst-launch-1.0"),
            {QStringLiteral("-q"), QStringLiteral("audiotestsrc"), QStringLiteral("num-buffers=%1").arg(buffers),
             QStringLiteral("!"), QStringLiteral("audioconvert"), QStringLiteral("!"), QStringLiteral("avenc_wmav2"),
             QStringLiteral("!"), QStringLiteral("asfmux"), QStringLiteral("!"), QStringLiteral("filesink"),
             QStringLiteral("location=%1").arg(path)},
            30000);
}

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
        WaitFor([] { return !PlayerRunning(); }, 5000);
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
        EXPECT_FALSE(PlayerProperty("pause").toBool());

        // With the player running Play sends Ctrl+P: pause, and again: play.
        Click(dialog.Button(CCorvanaDlg::IDC_PLAY));
        EXPECT_TRUE(WaitFor([] { return PlayerProperty("pause").toBool(); }, 5000));
        Click(dialog.Button(CCorvanaDlg::IDC_PLAY));
        EXPECT_TRUE(WaitFor([] { return !PlayerProperty("pause").toBool(); }, 5000));

        // Next wraps to the first file and hands it to the running player; Previous wraps back.
        Click(dialog.Button(CCorvanaDlg::IDC_NEXT));
        EXPECT_TRUE(WaitFor([&] { return dialog.List()->GetCurSel() == 0; }));
        EXPECT_TRUE(WaitFor([&] { return PlayerProperty("path").toString() == solo + QStringLiteral("061231-235905.wma"); }, 5000));
        Click(dialog.Button(CCorvanaDlg::IDC_PREVIOUS));
        EXPECT_TRUE(WaitFor([&] { return dialog.List()->GetCurSel() == 1; }));
        EXPECT_TRUE(WaitFor([&] { return PlayerProperty("path").toString() == solo + QStringLiteral("070101-000000.wma"); }, 5000));

        // Stop sends Ctrl+S: the player stops and, with nothing left to play, closes.
        Click(dialog.Button(CCorvanaDlg::IDC_STOP));
        EXPECT_TRUE(WaitFor([] { return !PlayerRunning(); }, 8000));
    });
}

TEST_F(PlaybackTest, HoldingThePlayKeyClosesThePlayer)
{
    MakeWma(solo + QStringLiteral("061231-235905.wma"), 1200);
    WithDialog([&](CCorvanaDlg& dialog) {
        Click(dialog.Button(CCorvanaDlg::IDC_PLAY));
        ASSERT_TRUE(WaitFor([] { return PlayerRunning() && PlayerProperty("path").isString(); }, 15000));
        RunTool(QStringLiteral("xdotool"), {QStringLiteral("keydown"), QStringLiteral("XF86AudioPlay")});
        EXPECT_TRUE(WaitFor([] { return !PlayerRunning(); }, 8000)) << "Alt+F4 did not close the player";
        RunTool(QStringLiteral("xdotool"), {QStringLiteral("keyup"), QStringLiteral("XF86AudioPlay")});
        // The release after the long press plays nothing.
        QTest::qWait(800);
        EXPECT_FALSE(PlayerRunning());
        EXPECT_FALSE(CSpecialKeys::ProgramState().longPressDonePlay);
    });
}

TEST_F(PlaybackTest, FileNamesAreOneArgumentAndAnEmptyListDoesNothing)
{
    const QString strange = QStringLiteral("-$(touch pwned) `id`.wma");
    MakeWma(solo + strange, 300);
    WithDialog([&](CCorvanaDlg& dialog) {
        ASSERT_EQ(dialog.List()->GetText(dialog.List()->GetCurSel()), strange);
        Click(dialog.Button(CCorvanaDlg::IDC_PLAY));
        ASSERT_TRUE(WaitFor([] { return PlayerRunning() && PlayerProperty("path").isString(); }, 15000));
        EXPECT_EQ(PlayerProperty("path").toString(), solo + strange);
        EXPECT_FALSE(QFileInfo::exists(QStringLiteral("pwned")));
        EXPECT_FALSE(QFileInfo::exists(env.Home() + QStringLiteral("/pwned")));
        Click(dialog.Button(CCorvanaDlg::IDC_STOP));
        ASSERT_TRUE(WaitFor([] { return !PlayerRunning(); }, 8000));

        // Conference has no files: Play, Next, Previous and a double click change nothing.
        Click(dialog.Button(CCorvanaDlg::IDC_CONFERENCE));
        ASSERT_TRUE(WaitFor([&] { return dialog.Mode() == MediaMode::Conference; }));
        ASSERT_EQ(dialog.List()->GetCount(), 0);
        for (int id : {CCorvanaDlg::IDC_PLAY, CCorvanaDlg::IDC_NEXT, CCorvanaDlg::IDC_PREVIOUS})
            Click(dialog.Button(id));
        QTest::qWait(500);
        EXPECT_FALSE(PlayerRunning());
        EXPECT_EQ(dialog.List()->GetCurSel(), -1);
        EXPECT_TRUE(boxes.Seen().isEmpty());
    });
}

} // namespace
