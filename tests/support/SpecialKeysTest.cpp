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
#include <string>
#include <utility>
#include <vector>

using namespace corvana;
using namespace std::chrono_literals;

namespace {

using Calls = std::vector<std::string>;
constexpr std::chrono::milliseconds kUnit = 100ms;

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
    void OnSolo() override { Switch("Solo", MediaMode::Solo); }
    void OnConference() override { Switch("Conference", MediaMode::Conference); }
    void OnVideoRecord() override { Switch("Video", MediaMode::Video); }
    void OnPhotoGrab() override { Switch("Photo", MediaMode::Photo); }
    void OnRecord() override { calls.emplace_back("Record"); }
    void OnPlay() override { calls.emplace_back("Play"); }
    void OnPrevious() override { calls.emplace_back("Previous"); }
    void OnNext() override { calls.emplace_back("Next"); }
    void OnVolumeUp() override { Volume("VolumeUp"); }
    void OnVolumeDown() override { Volume("VolumeDown"); }
    void SaveModeAndEnd() override { calls.emplace_back("SaveModeAndEnd"); }
    bool ClosePlayerIfRunning() override
    {
        calls.emplace_back(playerRunning ? "ClosePlayer" : "NoPlayer");
        return playerRunning;
    }
    void TakeDialogForeground() override { calls.emplace_back("Foreground"); }

    long Count(const std::string& call) const { return std::count(calls.begin(), calls.end(), call); }

private:
    void Switch(const char* call, MediaMode to)
    {
        calls.emplace_back(call);
        mode = to;
    }
    void Volume(const char* call)
    {
        calls.emplace_back(call);
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
    void Send(std::uint32_t flags, std::uint32_t scan) { m_keys->HandleHookKey(flags, scan); }
    void Press(std::uint32_t scan) { Send(CSpecialKeys::kDown, scan); }
    void Release(std::uint32_t scan) { Send(CSpecialKeys::kUp, scan); }
    void Tap(std::uint32_t scan)
    {
        Press(scan);
        Release(scan);
    }
    Calls TakeCalls() { return std::exchange(m_commands->calls, {}); }
    bool AnyTimerActive() const
    {
        for (int id = CSpecialKeys::NextTimer; id <= CSpecialKeys::PlayTimer; ++id)
            if (m_keys->IsTimerActive(static_cast<CSpecialKeys::TimerId>(id)))
                return true;
        return false;
    }
    static bool WaitFor(const std::function<bool()>& condition, int units)
    {
        return QTest::qWaitFor(condition, static_cast<int>(units * kUnit.count()) + 5000);
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
    ASSERT_TRUE(WaitFor([&] { return m_commands->Count("SaveModeAndEnd") > 0; }, 2));
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
    const struct {
        std::uint32_t key;
        const char* step;
        const char* track;
    } cases[] = {{CSpecialKeys::kNextKey, "VolumeUp", "Next"}, {CSpecialKeys::kPreviousKey, "VolumeDown", "Previous"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.track);
        Reopen(MediaMode::Solo);
        // Released between the third step (4 units) and the fourth (5 units).
        m_commands->afterVolume = [this, key = c.key] {
            if (m_commands->volumeTimes.size() == 3)
                QTimer::singleShot(0, m_keys.get(), [this, key] { Release(key); });
        };
        const qint64 pressedAt = m_commands->clock.elapsed();
        Press(c.key);
        ASSERT_TRUE(WaitFor([&] { return !AnyTimerActive(); }, 5));
        EXPECT_EQ(TakeCalls(), Calls(3, c.step));
        const std::vector<qint64>& at = m_commands->volumeTimes;
        ASSERT_EQ(at.size(), 3u);
        const qint64 unit = kUnit.count(), slack = 3; // timers may fire a hair early
        EXPECT_GE(at[0] - pressedAt, 2 * unit - slack);
        EXPECT_GE(at[1] - at[0], unit - slack);
        EXPECT_GE(at[2] - at[1], unit - slack);

        Tap(c.key);
        EXPECT_EQ(TakeCalls(), (Calls{c.track}));
    }
}

TEST_F(SpecialKeysTest, HeldPlayKeyWaitsForAPlayerThenClosesItAndItsReleasePlaysNothing)
{
    Press(CSpecialKeys::kPlayKey);
    ASSERT_TRUE(WaitFor([&] { return m_commands->Count("NoPlayer") >= 2; }, 4));
    EXPECT_TRUE(m_keys->IsTimerActive(CSpecialKeys::PlayTimer));
    m_commands->playerRunning = true;
    ASSERT_TRUE(WaitFor([&] { return m_commands->Count("ClosePlayer") == 1; }, 2));
    EXPECT_FALSE(m_keys->IsTimerActive(CSpecialKeys::PlayTimer));
    Release(CSpecialKeys::kPlayKey);
    EXPECT_EQ(m_commands->Count("Play"), 0);

    TakeCalls();
    Tap(CSpecialKeys::kPlayKey);
    EXPECT_EQ(TakeCalls(), (Calls{"Play"}));
}

TEST_F(SpecialKeysTest, RecordActsOnReleaseAndOtherFlagsOrKeysDoNothing)
{
    Press(CSpecialKeys::kRecordKey);
    EXPECT_TRUE(m_commands->calls.empty());
    Release(CSpecialKeys::kRecordKey);
    EXPECT_EQ(TakeCalls(), (Calls{"Record"}));

    // Not extended, released without the extended flag, Alt held, injected, and combinations.
    for (std::uint32_t scan : {CSpecialKeys::kModeKey, CSpecialKeys::kPlayKey, CSpecialKeys::kPreviousKey,
                               CSpecialKeys::kNextKey, CSpecialKeys::kRecordKey})
        for (std::uint32_t flags : {0x00, 0x80, 0x20, 0x21, 0xA1, 0x10, 0x11, 0x91, 0x30, 0x03})
            Send(flags, scan);
    // Extended keys that are not special keys.
    for (std::uint32_t scan : {0x48u, 0x1Du, 0x38u, 0x78u, 0x3Eu})
        Tap(scan);
    EXPECT_TRUE(m_commands->calls.empty());
    EXPECT_FALSE(AnyTimerActive());
    CSpecialKeys::State expected;
    expected.modeCycleIndex = 1; // Solo, set on every event
    EXPECT_EQ(CSpecialKeys::ProgramState(), expected);
}
