// Ending the resident program through the real binary while menus and boxes are open, and the
// lights left alone by starts that only hand their request on.
#include "ProgramRunner.h"
#include "TestEnvironment.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <gtest/gtest.h>

#include <csignal>

namespace {

constexpr int kEndWithinMs = 3000;
const QString kKept = QStringLiteral("240101-120000.wma");

// The top-left corner of the visible window with exactly this title.
QPoint WindowPosition(const QString& title)
{
    const QString id = RunTool(QStringLiteral("xdotool"), {QStringLiteral("search"), QStringLiteral("--onlyvisible"),
                                                           QStringLiteral("--name"), QStringLiteral("^%1$").arg(title)})
                           .trimmed();
    const QString shell = RunTool(QStringLiteral("xdotool"), {QStringLiteral("getwindowgeometry"), QStringLiteral("--shell"), id});
    QPoint at;
    for (const QString& line : shell.split(QLatin1Char('\n'))) {
        if (line.startsWith(QLatin1String("X=")))
            at.setX(line.mid(2).toInt());
        else if (line.startsWith(QLatin1String("Y=")))
            at.setY(line.mid(2).toInt());
    }
    return at;
}

void ClickAt(QPoint at, const char* button)
{
    RunTool(QStringLiteral("xdotool"), {QStringLiteral("mousemove"), QString::number(at.x()), QString::number(at.y()),
                                        QStringLiteral("click"), QString::fromLatin1(button)});
}

int VisibleWindowsOf(qint64 pid)
{
    const QString out = RunTool(QStringLiteral("xdotool"), {QStringLiteral("search"), QStringLiteral("--onlyvisible"),
                                                            QStringLiteral("--pid"), QString::number(pid)});
    return static_cast<int>(out.split(QLatin1Char('\n'), Qt::SkipEmptyParts).size());
}

class CloseTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        env.SetUserSettings("[General]\nModeState=0\n");
        TestEnvironment::WriteFile(env.MediaFolder(QStringLiteral("AudioSolo")) + kKept, QByteArray(4096, 'x'));
    }
    void TearDown() override
    {
        if (m_resident && m_resident->state() != QProcess::NotRunning) {
            ::kill(static_cast<pid_t>(Pid(m_resident)), SIGCONT);
            m_resident->kill();
            m_resident->waitForFinished(5000);
        }
    }

    // The resident instance with its main dialog open; returns the dialog's top-left corner.
    QPoint OpenDialog()
    {
        m_resident = StartCorvana();
        EXPECT_TRUE(WaitForListener(env.RuntimeDir() + QStringLiteral("/corvana.socket")));
        EXPECT_EQ(RunCorvana(), 0);
        EXPECT_TRUE(WaitFor([] { return VisibleWindowsNamed(QStringLiteral("Corvana")) == 1; }));
        return WindowPosition(QStringLiteral("Corvana"));
    }

    // Right-clicks the list's selected (only) item and waits for the menu.
    void OpenContextMenu(QPoint dialog)
    {
        ClickAt(dialog + QPoint(48 + 40, 464 + 8), "3");
        ASSERT_TRUE(WaitFor([&] { return VisibleWindowsOf(Pid(m_resident)) == 2; })) << "no context menu";
    }

    // Closes with "Close", which must see the instance end; returns how long that took.
    qint64 CloseAndTime()
    {
        QElapsedTimer clock;
        clock.start();
        EXPECT_EQ(RunCorvana({QStringLiteral("Close")}), 0);
        EXPECT_TRUE(m_resident->waitForFinished(5000));
        return clock.elapsed();
    }

    QStringList LastTwoLightBytes() const
    {
        const QStringList bytes = env.JournalBytes(Pid(m_resident));
        return bytes.mid(bytes.size() - 2);
    }

    TestEnvironment env;
    std::unique_ptr<QProcess> m_resident;
};

// With the list's context menu open, and with the delete confirmation it leads to.
TEST_F(CloseTest, CloseWithTheContextMenuOrTheDeleteConfirmationOpenEndsAtOnceAndDeletesNothing)
{
    for (const bool confirming : {false, true}) {
        SCOPED_TRACE(confirming ? "confirmation" : "context menu");
        OpenContextMenu(OpenDialog());
        if (confirming) {
            RunTool(QStringLiteral("xdotool"), {QStringLiteral("key"), QStringLiteral("Down"), QStringLiteral("Return")});
            // The dialog and the "Cancel the file?" box.
            ASSERT_TRUE(WaitFor([] { return VisibleWindowsNamed(QStringLiteral("Corvana")) == 2; })) << "no confirmation";
        }
        EXPECT_LT(CloseAndTime(), kEndWithinMs);
        EXPECT_EQ(LastTwoLightBytes(), (QStringList{QStringLiteral("D1"), QStringLiteral("D3")}));
        EXPECT_TRUE(QFileInfo::exists(env.MediaFolder(QStringLiteral("AudioSolo")) + kKept));
    }
}

TEST_F(CloseTest, TerminationSignalWithTheAboutBoxOpenEndsTheInstance)
{
    const QPoint dialog = OpenDialog();
    ClickAt(dialog + QPoint(412 + 26, 120 + 10), "1");
    ASSERT_TRUE(WaitFor([] { return VisibleWindowsNamed(QStringLiteral("About Corvana")) == 1; }));
    // A modal frame: it asks the window manager for a close button only and cannot be resized,
    // so it is never offered to be maximised.
    const QString id = RunTool(QStringLiteral("xdotool"), {QStringLiteral("search"), QStringLiteral("--onlyvisible"),
                                                           QStringLiteral("--name"), QStringLiteral("^About Corvana$")})
                           .trimmed();
    const QStringList motif = RunTool(QStringLiteral("xprop"), {QStringLiteral("-id"), id, QStringLiteral("-notype"),
                                                                QStringLiteral("_MOTIF_WM_HINTS")})
                                  .section(QLatin1Char('='), 1)
                                  .split(QLatin1Char(','));
    ASSERT_EQ(motif.size(), 5);
    const unsigned functions = motif[1].trimmed().toUInt(nullptr, 0);
    const unsigned decorations = motif[2].trimmed().toUInt(nullptr, 0);
    EXPECT_EQ(functions & (8u | 16u), 0u) << "minimise or maximise offered";
    EXPECT_NE(functions & 32u, 0u) << "no close";
    EXPECT_EQ(decorations & (32u | 64u), 0u) << "minimise or maximise button asked for";
    QString actions;
    ASSERT_TRUE(WaitFor([&] {
        actions = RunTool(QStringLiteral("xprop"), {QStringLiteral("-id"), id, QStringLiteral("_NET_WM_ALLOWED_ACTIONS")});
        return actions.contains(QLatin1String("_NET_WM_ACTION_CLOSE"));
    }));
    EXPECT_FALSE(actions.contains(QLatin1String("MAXIMIZE"))) << actions.toStdString();

    QElapsedTimer clock;
    clock.start();
    ::kill(static_cast<pid_t>(Pid(m_resident)), SIGTERM);
    ASSERT_TRUE(m_resident->waitForFinished(5000));
    EXPECT_LT(clock.elapsed(), kEndWithinMs);
    EXPECT_EQ(m_resident->exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(LastTwoLightBytes(), (QStringList{QStringLiteral("D1"), QStringLiteral("D3")}));
}

TEST_F(CloseTest, ASecondStartDuringARecordingLeavesTheLightsAlone)
{
    TestEnvironment::Set("CORVANA_DEVICES", QStringLiteral("synthetic"));
    OpenDialog();
    RunTool(QStringLiteral("xdotool"), {QStringLiteral("key"), QStringLiteral("XF86AudioRecord")});
    ASSERT_TRUE(WaitFor([&] { return env.JournalBytes().endsWith(QStringLiteral("D2")); }, 20000));
    const QStringList before = env.JournalBytes();

    auto second = StartCorvana();
    ASSERT_TRUE(second->waitForFinished(10000));
    EXPECT_EQ(second->exitCode(), 0);
    EXPECT_EQ(env.JournalBytes(), before);
    // The instance went on with the recording and handles the next key after the request.
    RunTool(QStringLiteral("xdotool"), {QStringLiteral("key"), QStringLiteral("XF86AudioRecord")});
    ASSERT_TRUE(WaitFor([&] { return env.JournalBytes().size() > before.size(); }, 20000));
    EXPECT_EQ(env.JournalBytes(), before + QStringList{QStringLiteral("D3")});
    EXPECT_LT(CloseAndTime(), kEndWithinMs);
}

TEST_F(CloseTest, CloseThatDoesNotSeeTheInstanceEndFailsAndSaysSo)
{
    OpenDialog();
    ::kill(static_cast<pid_t>(Pid(m_resident)), SIGSTOP);
    QProcess closing;
    closing.start(CorvanaBinary(), {QStringLiteral("Close")});
    ASSERT_TRUE(closing.waitForStarted(5000));
    const qint64 closingPid = closing.processId();
    ASSERT_TRUE(closing.waitForFinished(20000));
    EXPECT_EQ(closing.exitCode(), 1);
    EXPECT_TRUE(closing.readAllStandardError().contains("did not end")) << "no message";
    // Once it runs again the instance carries out the Close it was sent.
    ::kill(static_cast<pid_t>(Pid(m_resident)), SIGCONT);
    EXPECT_TRUE(m_resident->waitForFinished(5000));
    EXPECT_EQ(env.JournalBytes(closingPid), QStringList());
}

} // namespace
