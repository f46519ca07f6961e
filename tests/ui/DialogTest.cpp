// The main dialog in this process on the session's display: the mode it opens in, Enter and
// Escape, the mode saved on closing and the lights in the controller journal.
#include "DialogRunner.h"
#include "TestEnvironment.h"
#include "support/CSettingsStore.h"
#include "ui/CHoverButton.h"

#include <gtest/gtest.h>

using namespace corvana;

namespace {

TEST(DialogTest, OpensInTheStoredModeEnterDoesNothingEscapeSavesClosesAndSwitchesTheLightsOff)
{
    const struct {
        QByteArray user, machine;
        MediaMode mode;
        bool soloOffered;
    } cases[] = {
        {"", "ArrayMic=0\n", MediaMode::Conference, false},  // the first opening without the array microphone
        {"ModeState=1\n", "", MediaMode::Conference, true},
        {"ModeState=0\n", "ArrayMic=0\n", MediaMode::Solo, false},
        {"ModeState=4\n", "", MediaMode::Solo, true},
        {"ModeState=4\n", "ArrayMic=0\n", MediaMode::Conference, false},
        {"ModeState=junk\n", "ArrayMic=1\n", MediaMode::Solo, true},
    };
    for (const auto& entry : cases) {
        SCOPED_TRACE((entry.user + entry.machine).constData());
        TestEnvironment env;
        env.SetUserSettings("[General]\n" + entry.user);
        env.SetMachineSettings("[General]\n" + entry.machine);
        const int result = RunDialog([&](CCorvanaDlg& dialog) {
            EXPECT_EQ(dialog.Mode(), entry.mode);
            EXPECT_EQ(dialog.Button(CCorvanaDlg::IDC_SOLO)->IsEnabledState(), entry.soloOffered);
            EXPECT_TRUE(dialog.ModeButton(entry.mode)->IsPushed());
            env.ClearJournal();
            QTest::keyClick(&dialog, Qt::Key_Return);
            QTest::keyClick(&dialog, Qt::Key_Enter);
            // The keys were handled as they were sent; anything they started has been posted by now.
            QCoreApplication::processEvents();
            EXPECT_TRUE(dialog.isVisible()) << "Enter closed the dialog";
            env.SetUserSettings("[General]\nModeState=3\n");
        }, CloseBy::Escape);
        EXPECT_EQ(result, 2);
        EXPECT_EQ(CSettingsStore::LoadModeState(), ToInt(entry.mode)) << "the mode was not saved on closing";
        EXPECT_EQ(env.JournalBytes(), (QStringList{"D1", "D3"}));
    }
}

} // namespace
