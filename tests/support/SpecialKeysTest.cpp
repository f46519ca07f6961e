#include "support/CSpecialKeys.h"
#include "support/ISpecialKeyCommands.h"
#include "support/WindowMessages.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

using namespace corvana;
using namespace std::chrono_literals;

namespace {

// Stands in for the main dialog: records the commands the keys run, and follows the mode
// buttons the way the dialog does.
class RecordingCommands : public ISpecialKeyCommands {
public:
    MediaMode mode = MediaMode::Solo;
    bool playerRunning = false;
    std::vector<std::string> calls;
    std::vector<qint64> volumeUpTimes;
    QElapsedTimer clock;
    std::function<void()> afterVolumeUp;

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
    void OnVolumeUp() override
    {
        calls.emplace_back("VolumeUp");
        volumeUpTimes.push_back(clock.elapsed());
        if (afterVolumeUp)
            afterVolumeUp();
    }
    void OnVolumeDown() override { calls.emplace_back("VolumeDown"); }
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
};

// The dialog's side of WM_HOOKKEY: hands posted key events to its special keys.
class DialogStandIn : public QObject {
public:
    explicit DialogStandIn(RecordingCommands& commands) : keys(commands) {}
    CSpecialKeys keys;

    bool event(QEvent* event) override
    {
        if (event->type() != EventTypeOf(WM_HOOKKEY))
            return QObject::event(event);
        const auto* message = static_cast<const CMessageEvent*>(event);
        keys.HandleHookKey(static_cast<std::uint32_t>(message->wParam()),
                           static_cast<std::uint32_t>(message->lParam()));
        return true;
    }

    // Posts a key event as the hook does; the others also hand it over at once.
    void Post(std::uint32_t flags, std::uint32_t scan)
    {
        QCoreApplication::postEvent(this, new CMessageEvent(WM_HOOKKEY, flags, scan));
    }
    void Press(std::uint32_t scan) { Send(CSpecialKeys::kDown, scan); }
    void Release(std::uint32_t scan) { Send(CSpecialKeys::kUp, scan); }
    void Tap(std::uint32_t scan)
    {
        Press(scan);
        Release(scan);
    }
    void Send(std::uint32_t flags, std::uint32_t scan)
    {
        Post(flags, scan);
        QCoreApplication::sendPostedEvents(this);
    }
    bool AnyTimerActive() const
    {
        for (int id = CSpecialKeys::NextTimer; id <= CSpecialKeys::PlayTimer; ++id)
            if (keys.IsTimerActive(static_cast<CSpecialKeys::TimerId>(id)))
                return true;
        return false;
    }
};

class SpecialKeysTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        CSpecialKeys::ResetProgramState();
        SetUnit(50ms);
    }
    void TearDown() override { CSpecialKeys::SetTimeUnit(1000ms); }

    void SetUnit(std::chrono::milliseconds unit)
    {
        m_unit = unit;
        CSpecialKeys::SetTimeUnit(unit);
    }
    int Deadline(int units) const { return static_cast<int>(units * m_unit.count()) + 5000; }

    std::chrono::milliseconds m_unit{50};
    RecordingCommands m_commands;
};

using Calls = std::vector<std::string>;

} // namespace

TEST_F(SpecialKeysTest, QuickModePressesCycleSoloConferenceVideoPhotoSolo)
{
    DialogStandIn dialog(m_commands);
    for (int i = 0; i < 4; ++i)
        dialog.Tap(CSpecialKeys::kModeKey);
    EXPECT_EQ(m_commands.calls, (Calls{"Foreground", "Conference", "Foreground", "Video", "Foreground", "Photo",
                                       "Foreground", "Solo"}));
    EXPECT_EQ(m_commands.mode, MediaMode::Solo);
    EXPECT_FALSE(dialog.AnyTimerActive());
    EXPECT_FALSE(CSpecialKeys::ProgramState().modeKeyPressed);
}

TEST_F(SpecialKeysTest, ReleaseOfThePressThatOpenedTheDialogKeepsTheMode)
{
    // That press went to the hidden frame, so the dialog sees only the release.
    DialogStandIn dialog(m_commands);
    m_commands.mode = MediaMode::Video;
    dialog.Release(CSpecialKeys::kModeKey);
    EXPECT_EQ(m_commands.calls, (Calls{"Foreground", "Video"}));

    m_commands.calls.clear();
    m_commands.mode = MediaMode::Photo;
    dialog.Release(CSpecialKeys::kModeKey);
    EXPECT_EQ(m_commands.calls, (Calls{"Foreground"})); // Photo is not grabbed again
    EXPECT_EQ(CSpecialKeys::ProgramState().modeCycleIndex, 0);
}

TEST_F(SpecialKeysTest, HeldModeKeySavesAndEndsAndItsReleaseInTheNextOpeningDoesNothing)
{
    {
        DialogStandIn dialog(m_commands);
        m_commands.mode = MediaMode::Conference;
        dialog.Press(CSpecialKeys::kModeKey);
        ASSERT_TRUE(QTest::qWaitFor([&] { return m_commands.Count("SaveModeAndEnd") > 0; }, Deadline(2)));
        EXPECT_EQ(m_commands.calls, (Calls{"SaveModeAndEnd"}));
        EXPECT_TRUE(CSpecialKeys::ProgramState().longPressDoneMode);
        EXPECT_FALSE(dialog.AnyTimerActive());
    } // the dialog has closed

    RecordingCommands laterCommands;
    laterCommands.mode = MediaMode::Conference;
    DialogStandIn laterDialog(laterCommands);
    laterDialog.Release(CSpecialKeys::kModeKey);
    EXPECT_TRUE(laterCommands.calls.empty());
    EXPECT_FALSE(CSpecialKeys::ProgramState().longPressDoneMode);

    // The flag is spent: the next quick press steps the mode again.
    laterDialog.Tap(CSpecialKeys::kModeKey);
    EXPECT_EQ(laterCommands.calls, (Calls{"Foreground", "Video"}));
}

TEST_F(SpecialKeysTest, NextHeldFourAndAHalfUnitsRaisesTheVolumeThreeTimesAndSkipsNext)
{
    SetUnit(100ms);
    DialogStandIn dialog(m_commands);
    // Released between the third repeat (4 units) and the fourth (5 units).
    m_commands.afterVolumeUp = [&] {
        if (m_commands.volumeUpTimes.size() == 3)
            dialog.Post(CSpecialKeys::kUp, CSpecialKeys::kNextKey);
    };
    const qint64 pressedAt = m_commands.clock.elapsed();
    dialog.Press(CSpecialKeys::kNextKey);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !dialog.keys.IsTimerActive(CSpecialKeys::NextTimer); }, Deadline(5)));

    EXPECT_EQ(m_commands.calls, (Calls{"VolumeUp", "VolumeUp", "VolumeUp"}));
    ASSERT_EQ(m_commands.volumeUpTimes.size(), 3u);
    const qint64 unit = m_unit.count();
    const qint64 slack = 3; // timers may fire a hair early
    EXPECT_GE(m_commands.volumeUpTimes[0] - pressedAt, 2 * unit - slack);
    EXPECT_GE(m_commands.volumeUpTimes[1] - m_commands.volumeUpTimes[0], unit - slack);
    EXPECT_GE(m_commands.volumeUpTimes[2] - m_commands.volumeUpTimes[1], unit - slack);
    EXPECT_FALSE(CSpecialKeys::ProgramState().longPressDoneNext);
}

TEST_F(SpecialKeysTest, PreviousHeldLowersTheVolumeAndSkipsPrevious)
{
    DialogStandIn dialog(m_commands);
    dialog.Press(CSpecialKeys::kPreviousKey);
    ASSERT_TRUE(QTest::qWaitFor([&] { return m_commands.Count("VolumeDown") == 2; }, Deadline(3)));
    dialog.Release(CSpecialKeys::kPreviousKey);
    EXPECT_EQ(m_commands.calls, (Calls{"VolumeDown", "VolumeDown"}));
    EXPECT_FALSE(dialog.AnyTimerActive());

    m_commands.calls.clear();
    dialog.Tap(CSpecialKeys::kPreviousKey);
    EXPECT_EQ(m_commands.calls, (Calls{"Previous"}));
}

TEST_F(SpecialKeysTest, HeldPlayKeyWaitsForAPlayerThenClosesIt)
{
    DialogStandIn dialog(m_commands);
    dialog.Press(CSpecialKeys::kPlayKey);
    // No player: the timer keeps firing.
    ASSERT_TRUE(QTest::qWaitFor([&] { return m_commands.Count("NoPlayer") == 2; }, Deadline(4)));
    EXPECT_TRUE(dialog.keys.IsTimerActive(CSpecialKeys::PlayTimer));
    EXPECT_FALSE(CSpecialKeys::ProgramState().longPressDonePlay);

    m_commands.playerRunning = true;
    ASSERT_TRUE(QTest::qWaitFor([&] { return m_commands.Count("ClosePlayer") == 1; }, Deadline(2)));
    EXPECT_FALSE(dialog.keys.IsTimerActive(CSpecialKeys::PlayTimer));
    EXPECT_TRUE(CSpecialKeys::ProgramState().longPressDonePlay);

    dialog.Release(CSpecialKeys::kPlayKey);
    EXPECT_EQ(m_commands.Count("Play"), 0);
    EXPECT_FALSE(CSpecialKeys::ProgramState().longPressDonePlay);

    m_commands.calls.clear();
    dialog.Tap(CSpecialKeys::kPlayKey);
    EXPECT_EQ(m_commands.calls, (Calls{"Play"}));
}

TEST_F(SpecialKeysTest, RecordActsOnlyOnRelease)
{
    DialogStandIn dialog(m_commands);
    dialog.Press(CSpecialKeys::kRecordKey);
    EXPECT_TRUE(m_commands.calls.empty());
    EXPECT_FALSE(dialog.AnyTimerActive());
    dialog.Release(CSpecialKeys::kRecordKey);
    EXPECT_EQ(m_commands.calls, (Calls{"Record"}));
}

TEST_F(SpecialKeysTest, OtherFlagsAndOtherKeysDoNothing)
{
    DialogStandIn dialog(m_commands);
    // Not extended, released without the extended flag, Alt held, injected, and combinations.
    for (std::uint32_t scan : {CSpecialKeys::kModeKey, CSpecialKeys::kPlayKey, CSpecialKeys::kPreviousKey,
                               CSpecialKeys::kNextKey, CSpecialKeys::kRecordKey})
        for (std::uint32_t flags : {0x00, 0x80, 0x20, 0x21, 0xA1, 0x10, 0x11, 0x91, 0x30, 0x03})
            dialog.Send(flags, scan);
    // Extended keys that are not special keys.
    for (std::uint32_t scan : {0x48u, 0x1Du, 0x38u, 0x78u, 0x3Eu})
        dialog.Tap(scan);
    EXPECT_TRUE(m_commands.calls.empty());
    EXPECT_FALSE(dialog.AnyTimerActive());
    CSpecialKeys::State expected;
    expected.modeCycleIndex = 1; // Solo, set on every event
    EXPECT_EQ(CSpecialKeys::ProgramState(), expected);
}
