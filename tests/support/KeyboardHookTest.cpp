#include "HookKeyRecorder.h"

#include "support/CKeyboardHook.h"
#include "support/CXInputKeySource.h"

#include <QCoreApplication>
#include <QProcess>
#include <QRegularExpression>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>

using namespace corvana;

namespace {

// Types through the X server's test extension, as another program would; returns once the
// server has taken the keys. Arguments are xdotool commands ("key", "keydown", ...) or keys.
void Xdotool(const QStringList& arguments)
{
    QProcess xdotool;
    xdotool.start(QStringLiteral("xdotool"), arguments);
    ASSERT_TRUE(xdotool.waitForFinished(10000)) << "xdotool did not finish";
    ASSERT_EQ(xdotool.exitCode(), 0) << xdotool.readAllStandardError().toStdString();
}

void TypeKeys(const QStringList& keys)
{
    Xdotool(QStringList{QStringLiteral("key")} + keys);
}

QString RunXdotool(const QStringList& arguments)
{
    QProcess xdotool;
    xdotool.start(QStringLiteral("xdotool"), arguments);
    if (!xdotool.waitForFinished(10000))
        return {};
    return QString::fromUtf8(xdotool.readAllStandardOutput()).trimmed();
}

// Another application with the keyboard focus: xev, which prints every key it receives.
class KeyWitness {
public:
    KeyWitness()
    {
        m_process.setProgram(QStringLiteral("stdbuf"));
        const QString command = QStringLiteral("-oL xev -name corvana-key-witness -event keyboard");
        m_process.setArguments(command.split(QLatin1Char(' ')));
        m_process.start();
    }
    ~KeyWitness()
    {
        m_process.kill();
        m_process.waitForFinished(5000);
    }
    bool Focus()
    {
        if (!m_process.waitForStarted(5000))
            return false;
        const QString window = RunXdotool({QStringLiteral("search"), QStringLiteral("--sync"), QStringLiteral("--name"),
                                           QStringLiteral("^corvana-key-witness$")})
                                   .section(QLatin1Char('\n'), 0, 0);
        if (window.isEmpty())
            return false;
        // The window may be found before the window manager has mapped it.
        return QTest::qWaitFor(
            [&] {
                RunXdotool({QStringLiteral("windowactivate"), window});
                return RunXdotool({QStringLiteral("getwindowfocus")}) == window;
            },
            5000);
    }
    // X keycodes of the key presses the window received so far.
    QList<int> PressedKeycodes()
    {
        m_output += QString::fromUtf8(m_process.readAllStandardOutput());
        QList<int> keycodes;
        static const QRegularExpression press(
            QStringLiteral("KeyPress event[^\\n]*\\n[^\\n]*\\n[^\\n]*keycode (\\d+)"));
        for (auto it = press.globalMatch(m_output); it.hasNext();)
            keycodes << it.next().captured(1).toInt();
        return keycodes;
    }

private:
    QProcess m_process;
    QString m_output;
};

class KeyboardHookTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_FALSE(qgetenv("DISPLAY").isEmpty()) << "run under scripts/with-session.sh";
    }
    void TearDown() override { m_hook.RemoveKeyboardHook(); }

    CKeyboardHook m_hook;
};

} // namespace

TEST_F(KeyboardHookTest, KeysTypedIntoAnotherProgramArriveInOrderAndStillReachIt)
{
    KeyWitness witness;
    ASSERT_TRUE(witness.Focus()) << "xev did not get the focus";

    HookKeyRecorder target;
    ASSERT_EQ(m_hook.InstallKeyboardHook(&target), 1);
    Xdotool(QStringLiteral("key a XF86Launch1 XF86AudioNext Up F4 XF86AudioRecord keydown Alt_L key b keyup Alt_L")
                .split(QLatin1Char(' ')));

    const std::vector<ReceivedKey> expected{
        {0x00, 0x1E}, {0x80, 0x1E},             // a
        {0x01, 0x79}, {0x81, 0x79},             // mode key
        {0x01, 0x39}, {0x81, 0x39},             // next key
        {0x01, 0x48}, {0x81, 0x48},             // Up
        {0x00, 0x3E}, {0x80, 0x3E},             // F4
        {0x01, 0x08}, {0x81, 0x08},             // record key
        {0x20, 0x38}, {0x20, 0x30}, {0xA0, 0x30}, // Alt down, b with Alt held
        {0x80, 0x38},                           // Alt up
    };
    EXPECT_TRUE(QTest::qWaitFor([&] { return target.keys.size() >= expected.size(); }, 5000));
    QCoreApplication::sendPostedEvents();
    // xdotool releases a modifier twice; the server reports both releases and so do we.
    std::vector<ReceivedKey> received = target.keys;
    while (received.size() > expected.size() && received.back() == ReceivedKey{0x80, 0x38})
        received.pop_back();
    EXPECT_EQ(received, expected);

    // Nothing was grabbed or swallowed: the focused program saw every press.
    const QList<int> expectedPresses{38, 156, 171, 111, 70, 175, 64, 56};
    EXPECT_TRUE(QTest::qWaitFor([&] { return witness.PressedKeycodes().size() >= expectedPresses.size(); }, 5000));
    EXPECT_EQ(witness.PressedKeycodes(), expectedPresses);
}

TEST_F(KeyboardHookTest, InstallingTwiceLeavesOneSourceAndTheSecondTargetGetsTheKeys)
{
    HookKeyRecorder first;
    HookKeyRecorder second;
    ASSERT_EQ(m_hook.InstallKeyboardHook(&first), 1);
    CKeyboardHook otherHolder; // instances share one hook
    ASSERT_EQ(otherHolder.InstallKeyboardHook(&second), 1);
    EXPECT_EQ(CXInputKeySource::LiveCount(), 1);

    TypeKeys({QStringLiteral("F4")});
    EXPECT_TRUE(QTest::qWaitFor([&] { return second.keys.size() >= 2; }, 5000));
    QCoreApplication::sendPostedEvents();
    EXPECT_EQ(second.keys, (std::vector<ReceivedKey>{{0x00, 0x3E}, {0x80, 0x3E}}));
    EXPECT_TRUE(first.keys.empty());
}

TEST_F(KeyboardHookTest, RemoveReportsWhetherASourceWasInstalled)
{
    HookKeyRecorder target;
    ASSERT_EQ(m_hook.InstallKeyboardHook(&target), 1);
    EXPECT_TRUE(CKeyboardHook::IsInstalled());
    EXPECT_NE(m_hook.RemoveKeyboardHook(), 0);
    EXPECT_FALSE(CKeyboardHook::IsInstalled());
    EXPECT_EQ(CXInputKeySource::LiveCount(), 0);
    EXPECT_EQ(m_hook.RemoveKeyboardHook(), 0);
    EXPECT_EQ(CXInputKeySource::LiveCount(), 0);
}

TEST_F(KeyboardHookTest, KeysTypedWhileRemovedAreNotDeliveredLater)
{
    HookKeyRecorder target;
    ASSERT_EQ(m_hook.InstallKeyboardHook(&target), 1);
    ASSERT_NE(m_hook.RemoveKeyboardHook(), 0);
    TypeKeys({QStringLiteral("a"), QStringLiteral("b")});

    ASSERT_EQ(m_hook.InstallKeyboardHook(&target), 1);
    TypeKeys({QStringLiteral("F4")});
    EXPECT_TRUE(QTest::qWaitFor([&] { return target.keys.size() >= 2; }, 5000));
    QCoreApplication::sendPostedEvents();
    EXPECT_EQ(target.keys, (std::vector<ReceivedKey>{{0x00, 0x3E}, {0x80, 0x3E}}));
}

TEST_F(KeyboardHookTest, ATargetThatIsGoneIsSkippedQuietly)
{
    auto doomed = std::make_unique<HookKeyRecorder>();
    ASSERT_EQ(m_hook.InstallKeyboardHook(doomed.get()), 1);
    doomed.reset();
    const long long before = CXInputKeySource::ReadCount();
    TypeKeys({QStringLiteral("a")});
    EXPECT_TRUE(QTest::qWaitFor([&] { return CXInputKeySource::ReadCount() >= before + 2; }, 5000));
    QCoreApplication::sendPostedEvents();

    // The source stays installed, and the next target set gets the next keys.
    HookKeyRecorder next;
    ASSERT_EQ(m_hook.InstallKeyboardHook(&next), 1);
    TypeKeys({QStringLiteral("F4")});
    EXPECT_TRUE(QTest::qWaitFor([&] { return next.keys.size() >= 2; }, 5000));
    QCoreApplication::sendPostedEvents();
    EXPECT_EQ(next.keys, (std::vector<ReceivedKey>{{0x00, 0x3E}, {0x80, 0x3E}}));
}

TEST_F(KeyboardHookTest, WithoutAnXDisplayTheInstallIsRefused)
{
    const QByteArray display = qgetenv("DISPLAY");
    qunsetenv("DISPLAY");
    HookKeyRecorder target;
    const int installed = m_hook.InstallKeyboardHook(&target);
    const bool present = CKeyboardHook::IsInstalled();
    qputenv("DISPLAY", display);
    EXPECT_EQ(installed, 0);
    EXPECT_FALSE(present);
    EXPECT_EQ(CXInputKeySource::LiveCount(), 0);
    EXPECT_EQ(m_hook.RemoveKeyboardHook(), 0);
}

TEST_F(KeyboardHookTest, AltF4GrabbedByTheWindowManagerStillArrives)
{
    // The window manager holds a passive grab on Alt+F4; raw events are reported regardless.
    HookKeyRecorder target;
    ASSERT_EQ(m_hook.InstallKeyboardHook(&target), 1);
    Xdotool(QStringLiteral("keydown Alt_L key F4 keyup Alt_L").split(QLatin1Char(' ')));
    EXPECT_TRUE(QTest::qWaitFor([&] { return target.keys.size() >= 4; }, 5000));
    QCoreApplication::sendPostedEvents();
    ASSERT_GE(target.keys.size(), 4u);
    EXPECT_EQ(std::vector<ReceivedKey>(target.keys.begin(), target.keys.begin() + 4),
              (std::vector<ReceivedKey>{{0x20, 0x38}, {0x20, 0x3E}, {0xA0, 0x3E}, {0x80, 0x38}}));
}
