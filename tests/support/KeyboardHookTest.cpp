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

using Keys = std::vector<ReceivedKey>;
const Keys kF4{{0x00, 0x3E}, {0x80, 0x3E}};

// Runs xdotool, by default requiring success, and returns what it printed. Typing through the X
// server's test extension is what another program would do; xdotool returns once the server has
// taken the keys.
QString Xdotool(const QString& arguments, bool mustSucceed = true)
{
    QProcess xdotool;
    xdotool.start(QStringLiteral("xdotool"), arguments.split(QLatin1Char(' ')));
    const bool finished = xdotool.waitForFinished(10000);
    if (mustSucceed) {
        EXPECT_TRUE(finished) << "xdotool did not finish: " << arguments.toStdString();
        EXPECT_EQ(xdotool.exitCode(), 0) << xdotool.readAllStandardError().toStdString();
    }
    return finished ? QString::fromUtf8(xdotool.readAllStandardOutput()).trimmed() : QString();
}

// Waits until `target` has at least `count` keys and hands over what is still queued.
bool WaitForKeys(const HookKeyRecorder& target, size_t count)
{
    const bool arrived = QTest::qWaitFor([&] { return target.keys.size() >= count; }, 5000);
    QCoreApplication::sendPostedEvents();
    return arrived;
}

// Another application with the keyboard focus: xev, which prints every key it receives.
class KeyWitness {
public:
    KeyWitness()
    {
        m_process.start(QStringLiteral("stdbuf"),
                        QStringLiteral("-oL xev -name corvana-key-witness -event keyboard").split(QLatin1Char(' ')));
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
        const QString window =
            Xdotool(QStringLiteral("search --sync --name ^corvana-key-witness$"), false).section(QLatin1Char('\n'), 0, 0);
        // The window may be found before the window manager has mapped it; where the manager
        // does not hand over the focus on request, it is set directly.
        return !window.isEmpty() && QTest::qWaitFor([&] {
            Xdotool(QStringLiteral("windowactivate ") + window, false);
            if (Xdotool(QStringLiteral("getwindowfocus"), false) == window)
                return true;
            Xdotool(QStringLiteral("windowfocus ") + window, false);
            return Xdotool(QStringLiteral("getwindowfocus"), false) == window;
        }, 10000);
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
    Xdotool(QStringLiteral("key a XF86Launch1 XF86AudioNext Up F4 XF86AudioRecord keydown Alt_L key b keyup Alt_L"));

    const Keys expected{
        {0x00, 0x1E}, {0x80, 0x1E},             // a
        {0x01, 0x79}, {0x81, 0x79},             // mode key
        {0x01, 0x39}, {0x81, 0x39},             // next key
        {0x01, 0x48}, {0x81, 0x48},             // Up
        {0x00, 0x3E}, {0x80, 0x3E},             // F4
        {0x01, 0x08}, {0x81, 0x08},             // record key
        {0x20, 0x38}, {0x20, 0x30}, {0xA0, 0x30}, // Alt down, b with Alt held
        {0x80, 0x38},                           // Alt up
    };
    EXPECT_TRUE(WaitForKeys(target, expected.size()));
    // xdotool releases a modifier twice; the server reports both releases and so do we.
    Keys received = target.keys;
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
    HookKeyRecorder first, second;
    ASSERT_EQ(m_hook.InstallKeyboardHook(&first), 1);
    CKeyboardHook otherHolder; // instances share one hook
    ASSERT_EQ(otherHolder.InstallKeyboardHook(&second), 1);
    EXPECT_EQ(CXInputKeySource::LiveCount(), 1);

    Xdotool(QStringLiteral("key F4"));
    EXPECT_TRUE(WaitForKeys(second, 2));
    EXPECT_EQ(second.keys, kF4);
    EXPECT_TRUE(first.keys.empty());
}

TEST_F(KeyboardHookTest, KeysTypedWhileRemovedAreNotDeliveredLater)
{
    HookKeyRecorder target;
    ASSERT_EQ(m_hook.InstallKeyboardHook(&target), 1);
    ASSERT_NE(m_hook.RemoveKeyboardHook(), 0);
    Xdotool(QStringLiteral("key a b"));

    ASSERT_EQ(m_hook.InstallKeyboardHook(&target), 1);
    Xdotool(QStringLiteral("key F4"));
    EXPECT_TRUE(WaitForKeys(target, 2));
    EXPECT_EQ(target.keys, kF4);
}

TEST_F(KeyboardHookTest, ATargetThatIsGoneIsSkippedQuietly)
{
    auto doomed = std::make_unique<HookKeyRecorder>();
    ASSERT_EQ(m_hook.InstallKeyboardHook(doomed.get()), 1);
    doomed.reset();
    const long long before = CXInputKeySource::ReadCount();
    Xdotool(QStringLiteral("key a"));
    EXPECT_TRUE(QTest::qWaitFor([&] { return CXInputKeySource::ReadCount() >= before + 2; }, 5000));
    QCoreApplication::sendPostedEvents();

    // The source stays installed, and the next target set gets the next keys.
    HookKeyRecorder next;
    ASSERT_EQ(m_hook.InstallKeyboardHook(&next), 1);
    Xdotool(QStringLiteral("key F4"));
    EXPECT_TRUE(WaitForKeys(next, 2));
    EXPECT_EQ(next.keys, kF4);
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
    Xdotool(QStringLiteral("keydown Alt_L key F4 keyup Alt_L"));
    ASSERT_TRUE(WaitForKeys(target, 4));
    EXPECT_EQ(Keys(target.keys.begin(), target.keys.begin() + 4), (Keys{{0x20, 0x38}, {0x20, 0x3E}, {0xA0, 0x3E}, {0x80, 0x38}}));
}
