// The special keys' quick and long presses, against a stand-in for the dialog's commands.
#include "support/CSpecialKeys.h"
#include "support/ISpecialKeyCommands.h"

#include <QElapsedTimer>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

using namespace corvana;
using namespace std::chrono_literals;

namespace {

using Calls = std::vector<std::string>;
constexpr std::chrono::milliseconds kUnit = 100ms;
constexpr int kDeadlineMs = 6000;  // far beyond the longest wait, five units

// Stands in for the main dialog: records the commands the keys run, and follows the mode
// buttons the way the dialog does.
class RecordingCommands : public ISpecialKeyCommands {
public:
    MediaMode mode = MediaMode::Solo;
    bool playerRunning = false;
    Calls calls;
    std::vector<qint64> volumeTimes;
    QElapsedTimer clock;
    std::function<void()> afterVolume;

    RecordingCommands() { clock.start(); }

    MediaMode CurrentMode() const override { return mode; }
    void OnSolo() override { Call("Solo", MediaMode::Solo); }
    void OnConference() override { Call("Conference", MediaMode::Conference); }
    void OnVideoRecord() override { Call("Video", MediaMode::Video); }
    void OnPhotoGrab() override { Call("Photo", MediaMode::Photo); }
    void OnRecord() override { Call("Record"); }
    void OnPlay() override { Call("Play"); }
    void OnPrevious() override { Call("Previous"); }
    void OnNext() override { Call("Next"); }
    void OnVolumeUp() override { Volume("VolumeUp"); }
    void OnVolumeDown() override { Volume("VolumeDown"); }
    void SaveModeAndEnd() override { Call("SaveModeAndEnd"); }
    bool ClosePlayerIfRunning() override
    {
        Call(playerRunning ? "ClosePlayer" : "NoPlayer");
        return playerRunning;
    }
    void TakeDialogForeground() override { Call("Foreground"); }

    long Count(const std::string& call) const { return std::count(calls.begin(), calls.end(), call); }

private:
    void Call(const char* call, std::optional<MediaMode> to = {})
    {
        calls.emplace_back(call);
        mode = to.value_or(mode);
    }
    void Volume(const char* call)
    {
        Call(call);
        volumeTimes.push_back(clock.elapsed());
        if (afterVolume)
            afterVolume();
    }
};

class SpecialKeysTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        CSpecialKeys::ResetProgramState();
        CSpecialKeys::SetTimeUnit(kUnit);
        Reopen(MediaMode::Solo);
    }
    void TearDown() override { CSpecialKeys::SetTimeUnit(1000ms); }

    // A new opening of the dialog in `mode`; the key state belongs to the program and stays.
    void Reopen(MediaMode mode)
    {
        m_keys.reset();
        m_commands = std::make_unique<RecordingCommands>();
        m_commands->mode = mode;
        m_keys = std::make_unique<CSpecialKeys>(*m_commands);
    }
    void Press(std::uint32_t scan) { m_keys->HandleHookKey(CSpecialKeys::kDown, scan); }
    void Release(std::uint32_t scan) { m_keys->HandleHookKey(CSpecialKeys::kUp, scan); }
    void Tap(std::uint32_t scan) { Press(scan), Release(scan); }
    Calls TakeCalls() { return std::exchange(m_commands->calls, {}); }
    bool AnyTimerActive() const
    {
        const auto timers = {CSpecialKeys::NextTimer, CSpecialKeys::PreviousTimer, CSpecialKeys::ModeTimer, CSpecialKeys::PlayTimer};
        return std::any_of(timers.begin(), timers.end(), [this](auto id) { return m_keys->IsTimerActive(id); });
    }

    std::unique_ptr<RecordingCommands> m_commands;
    std::unique_ptr<CSpecialKeys> m_keys;
};

} // namespace

TEST_F(SpecialKeysTest, ModeKeyEventsThatArriveAroundAnOpeningOfTheDialog)
{
    // The press that opened the dialog went to the hidden frame, so the dialog sees only the
    // release: it brings the dialog forward and keeps the mode.
    Reopen(MediaMode::Video);
    Release(CSpecialKeys::kModeKey);
    EXPECT_EQ(TakeCalls(), (Calls{"Foreground", "Video"}));
    Reopen(MediaMode::Photo);
    Release(CSpecialKeys::kModeKey);
    EXPECT_EQ(TakeCalls(), (Calls{"Foreground"})); // Photo is not grabbed again

    // A long press saves and ends the dialog; its release arrives in the next opening and is spent.
    Reopen(MediaMode::Conference);
    Press(CSpecialKeys::kModeKey);
    ASSERT_TRUE(QTest::qWaitFor([&] { return m_commands->Count("SaveModeAndEnd") > 0; }, kDeadlineMs));
    EXPECT_EQ(TakeCalls(), (Calls{"SaveModeAndEnd"}));
    EXPECT_FALSE(AnyTimerActive());
    Reopen(MediaMode::Conference);
    Release(CSpecialKeys::kModeKey);
    EXPECT_TRUE(m_commands->calls.empty());
    Tap(CSpecialKeys::kModeKey);
    EXPECT_EQ(TakeCalls(), (Calls{"Foreground", "Video"}));
}

TEST_F(SpecialKeysTest, HeldNextOrPreviousStepsTheVolumeAndSkipsTheTrackStep)
{
    for (auto [key, step, track] :
         {std::tuple{CSpecialKeys::kNextKey, "VolumeUp", "Next"}, std::tuple{CSpecialKeys::kPreviousKey, "VolumeDown", "Previous"}}) {
        SCOPED_TRACE(track);
        Reopen(MediaMode::Solo);
        // Released between the third step (4 units) and the fourth (5 units).
        m_commands->afterVolume = [this, key = key] {
            if (m_commands->volumeTimes.size() == 3)
                QTimer::singleShot(0, m_keys.get(), [this, key] { Release(key); });
        };
        const qint64 pressedAt = m_commands->clock.elapsed();
        Press(key);
        ASSERT_TRUE(QTest::qWaitFor([&] { return !AnyTimerActive(); }, kDeadlineMs));
        EXPECT_EQ(TakeCalls(), Calls(3, step));
        const std::vector<qint64>& at = m_commands->volumeTimes;
        ASSERT_EQ(at.size(), 3u);
        const qint64 unit = kUnit.count(), slack = 3; // timers may fire a hair early
        EXPECT_GE(at[0] - pressedAt, 2 * unit - slack);
        EXPECT_GE(at[1] - at[0], unit - slack);
        EXPECT_GE(at[2] - at[1], unit - slack);
        Tap(key);
        EXPECT_EQ(TakeCalls(), (Calls{track}));
    }
}

// Play held polls for a player and closes it; Record acts on its release; only the special keys
// with the flags of an untouched extended key count.
TEST_F(SpecialKeysTest, HeldPlayClosesThePlayerRecordActsOnReleaseOtherFlagsOrKeysDoNothing)
{
    Press(CSpecialKeys::kPlayKey);
    ASSERT_TRUE(QTest::qWaitFor([&] { return m_commands->Count("NoPlayer") >= 2; }, kDeadlineMs));
    m_commands->playerRunning = true;
    ASSERT_TRUE(QTest::qWaitFor([&] { return m_commands->Count("ClosePlayer") == 1; }, kDeadlineMs));
    EXPECT_FALSE(m_keys->IsTimerActive(CSpecialKeys::PlayTimer));
    Release(CSpecialKeys::kPlayKey);
    EXPECT_EQ(m_commands->Count("Play"), 0);
    TakeCalls();
    Tap(CSpecialKeys::kPlayKey);
    Press(CSpecialKeys::kRecordKey);
    EXPECT_EQ(TakeCalls(), (Calls{"Play"}));
    Release(CSpecialKeys::kRecordKey);
    EXPECT_EQ(TakeCalls(), (Calls{"Record"}));

    // Not extended, released without the extended flag, Alt held, injected, and combinations;
    // then extended keys that are not special keys.
    for (std::uint32_t scan : {CSpecialKeys::kModeKey, CSpecialKeys::kPlayKey, CSpecialKeys::kPreviousKey,
                               CSpecialKeys::kNextKey, CSpecialKeys::kRecordKey})
        for (std::uint32_t flags : {0x00, 0x80, 0x20, 0x21, 0xA1, 0x10, 0x11, 0x91, 0x30, 0x03})
            m_keys->HandleHookKey(flags, scan);
    for (std::uint32_t scan : {0x48u, 0x1Du, 0x38u, 0x78u, 0x3Eu})
        Tap(scan);
    EXPECT_TRUE(m_commands->calls.empty());
    EXPECT_FALSE(AnyTimerActive());
}
