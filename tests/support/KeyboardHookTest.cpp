// The global key source against the X server of the test session.
#include "ProgramRunner.h"
#include "Xdotool.h"
#include "support/CKeyboardHook.h"
#include "support/CXInputKeySource.h"
#include "support/WindowMessages.h"

#include <QCoreApplication>
#include <QTest>

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <utility>
#include <vector>

using namespace corvana;

namespace {

using Keys = std::vector<std::pair<std::uint32_t, std::uint32_t>>; // flags, scan code

// A hook target: records every WM_HOOKKEY it receives, in order.
class HookKeyRecorder : public QObject {
public:
    Keys keys;

    bool event(QEvent* event) override
    {
        if (event->type() != EventTypeOf(WM_HOOKKEY))
            return QObject::event(event);
        const auto* message = static_cast<const CMessageEvent*>(event);
        keys.push_back({static_cast<std::uint32_t>(message->wParam()), static_cast<std::uint32_t>(message->lParam())});
        return true;
    }
};

// Waits until `target` has at least `count` keys and hands over what is still queued.
bool WaitForKeys(const HookKeyRecorder& target, size_t count)
{
    const bool arrived = QTest::qWaitFor([&] { return target.keys.size() >= count; }, 5000);
    QCoreApplication::sendPostedEvents();
    return arrived;
}

class KeyboardHookTest : public ::testing::Test {
protected:
    void TearDown() override { m_hook.RemoveKeyboardHook(); }

    CKeyboardHook m_hook;
};

} // namespace

// Scan codes follow the key's place, not its symbol: on AZERTY "a" is the key of US "q".
TEST_F(KeyboardHookTest, KeysArriveInOrderWithTheirFlagsOnAnyLayout)
{
    struct French {
        French() { RunTool("setxkbmap", {"-layout", "fr"}); }
        ~French() { RunTool("setxkbmap", {"-layout", "us"}); }
    } layout;
    HookKeyRecorder target;
    ASSERT_EQ(m_hook.InstallKeyboardHook(&target), 1);
    Xdotool("key a XF86Launch1 Up keydown Alt_L key b keyup Alt_L");
    const Keys expected{
        {0x00, 0x10}, {0x80, 0x10},               // a
        {0x01, 0x79}, {0x81, 0x79},               // mode key
        {0x01, 0x48}, {0x81, 0x48},               // Up, extended but no special key
        {0x20, 0x38}, {0x20, 0x30}, {0xA0, 0x30}, // Alt down, b with Alt held
        {0x80, 0x38},                             // Alt up
    };
    EXPECT_TRUE(WaitForKeys(target, expected.size()));
    // xdotool releases a modifier twice; the server reports both releases and so do we.
    Keys received = target.keys;
    while (received.size() > expected.size() && received.back() == Keys::value_type{0x80, 0x38})
        received.pop_back();
    EXPECT_EQ(received, expected);
}

// One source at a time whoever installs it; a target that is gone is skipped quietly, and keys
// typed while the source is removed are never delivered later.
TEST_F(KeyboardHookTest, TheOneSourceServesTheLatestTargetOnly)
{
    auto doomed = std::make_unique<HookKeyRecorder>();
    ASSERT_EQ(m_hook.InstallKeyboardHook(doomed.get()), 1);
    doomed.reset();
    const long long before = CXInputKeySource::ReadCount();
    Xdotool("key a");
    EXPECT_TRUE(QTest::qWaitFor([&] { return CXInputKeySource::ReadCount() >= before + 2; }, 5000));
    QCoreApplication::sendPostedEvents();

    HookKeyRecorder first, second;
    ASSERT_EQ(m_hook.InstallKeyboardHook(&first), 1);
    CKeyboardHook otherHolder; // holders share one source
    ASSERT_EQ(otherHolder.InstallKeyboardHook(&second), 1);
    EXPECT_EQ(CXInputKeySource::LiveCount(), 1);
    // The window manager holds a passive grab on Alt+F4; raw events are reported regardless.
    Xdotool("keydown Alt_L key F4 keyup Alt_L");
    ASSERT_TRUE(WaitForKeys(second, 4));
    EXPECT_EQ(Keys(second.keys.begin(), second.keys.begin() + 4),
              (Keys{{0x20, 0x38}, {0x20, 0x3E}, {0xA0, 0x3E}, {0x80, 0x38}}));
    EXPECT_TRUE(first.keys.empty());

    ASSERT_NE(m_hook.RemoveKeyboardHook(), 0);
    EXPECT_EQ(CXInputKeySource::LiveCount(), 0);
    Xdotool("key a b");
    ASSERT_EQ(m_hook.InstallKeyboardHook(&first), 1);
    Xdotool("key F4");
    EXPECT_TRUE(WaitForKeys(first, 2));
    EXPECT_EQ(first.keys, (Keys{{0x00, 0x3E}, {0x80, 0x3E}}));
}

TEST_F(KeyboardHookTest, WithoutAnXDisplayTheInstallIsRefused)
{
    const QByteArray display = qgetenv("DISPLAY");
    qunsetenv("DISPLAY");
    HookKeyRecorder target;
    EXPECT_EQ(m_hook.InstallKeyboardHook(&target), 0);
    EXPECT_FALSE(CKeyboardHook::IsInstalled());
    qputenv("DISPLAY", display);
    EXPECT_EQ(CXInputKeySource::LiveCount(), 0);
    EXPECT_EQ(m_hook.RemoveKeyboardHook(), 0);
}
