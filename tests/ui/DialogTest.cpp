// The main dialog in this process on the session's display: restored mode, keys, closing, the
// buttons' faces and the lights in the controller journal.
#include "DialogRunner.h"
#include "MessageBoxWatcher.h"
#include "ProgramRunner.h"
#include "TestEnvironment.h"
#include "support/CSettingsStore.h"
#include "ui/CAboutDlg.h"
#include "ui/CCorvanaDlg.h"
#include "ui/CHoverButton.h"

#include <QTimer>
#include <gtest/gtest.h>

using namespace corvana;

namespace {

void RunDialog(const std::function<void(CCorvanaDlg&)>& whileOpen)
{
    ::RunDialog(whileOpen, CloseBy::Escape);
}

CHoverButton* Button(CCorvanaDlg& dialog, int id)
{
    return dialog.Button(id);
}

class DialogTest : public ::testing::Test {
protected:
    TestEnvironment env;
};

TEST_F(DialogTest, StoredModeIsRestoredAndBadValuesFallBack)
{
    const struct {
        QByteArray user;
        QByteArray machine;
        MediaMode mode;
        bool soloEnabled;
    } cases[] = {
        {"", "ArrayMic=0\n", MediaMode::Conference, false},  // the first opening without the array microphone
        {"ModeState=1\n", "", MediaMode::Conference, true},
        {"ModeState=0\n", "ArrayMic=0\n", MediaMode::Solo, false},
        {"ModeState=4\n", "", MediaMode::Solo, true},
        {"ModeState=4\n", "ArrayMic=0\n", MediaMode::Conference, false},
        {"ModeState=junk\n", "ArrayMic=1\n", MediaMode::Solo, true},
    };
    for (const auto& entry : cases) {
        env.SetUserSettings("[General]\n" + entry.user);
        env.SetMachineSettings("[General]\n" + entry.machine);
        RunDialog([&](CCorvanaDlg& dialog) {
            EXPECT_EQ(dialog.Mode(), entry.mode) << entry.user.constData() << entry.machine.constData();
            EXPECT_EQ(Button(dialog, 1030)->IsEnabledState(), entry.soloEnabled) << entry.user.constData();
            EXPECT_TRUE(dialog.ModeButton(entry.mode)->IsPushed());
        });
    }
}

TEST_F(DialogTest, EnterDoesNothingEscapeClosesSavesAndSwitchesBothLightsOff)
{
    env.SetUserSettings("[General]\nModeState=1\n");
    CCorvanaDlg dialog;
    RunWhenShown(dialog, [&] {
        env.ClearJournal();
        QTest::keyClick(&dialog, Qt::Key_Return);
        QTest::keyClick(&dialog, Qt::Key_Enter);
        // The keys were handled as they were sent; anything they started has been posted by now.
        QCoreApplication::processEvents();
        EXPECT_TRUE(dialog.isVisible());
        env.SetUserSettings("[General]\nModeState=3\n");
        QTest::keyClick(&dialog, Qt::Key_Escape);
    });
    EXPECT_EQ(dialog.exec(), 2);
    EXPECT_EQ(CSettingsStore::LoadModeState(), 1);
    EXPECT_EQ(env.JournalBytes(), (QStringList{QStringLiteral("D1"), QStringLiteral("D3")}));
}

TEST_F(DialogTest, HoverButtonFacesFollowTheirPrecedence)
{
    RunDialog([](CCorvanaDlg& dialog) {
        CHoverButton* record = Button(dialog, 1026);
        record->SetEnabledState(true);
        record->SetLatched(false);
        EXPECT_EQ(record->CurrentFace(), CHoverButton::Face::Normal);
        QTest::mouseMove(record, QPoint(5, 5));
        EXPECT_TRUE(WaitFor([&] { return record->IsHover(); }, 3000));
        EXPECT_EQ(record->CurrentFace(), CHoverButton::Face::Hover);
        record->SetLatched(true);
        EXPECT_EQ(record->CurrentFace(), CHoverButton::Face::Pressed);
        record->SetEnabledState(false);
        EXPECT_EQ(record->CurrentFace(), CHoverButton::Face::Disabled);
        record->SetEnabledState(true);
        record->SetLatched(false);
        QTest::mouseMove(&dialog, QPoint(200, 30));
        EXPECT_TRUE(WaitFor([&] { return !record->IsHover(); }, 3000));
        CHoverButton* stop = Button(dialog, 1027);
        stop->SetState(true);
        EXPECT_EQ(stop->CurrentFace(), CHoverButton::Face::Pressed);
        stop->SetState(false);
        EXPECT_EQ(stop->CurrentFace(), CHoverButton::Face::Normal);
        EXPECT_EQ(Button(dialog, 1023)->toolTip(), QStringLiteral("Play"));
    });
}

TEST_F(DialogTest, DraggingThePressedMouseOffAButtonClearsItsHoverImage)
{
    RunDialog([](CCorvanaDlg& dialog) {
        CHoverButton* stop = Button(dialog, 1027);
        QTest::mouseMove(stop, QPoint(5, 5));
        ASSERT_TRUE(WaitFor([&] { return stop->IsHover(); }, 3000));
        QTest::mousePress(stop, Qt::LeftButton, {}, QPoint(5, 5));
        EXPECT_EQ(stop->CurrentFace(), CHoverButton::Face::Pressed);
        QTest::mouseMove(stop, QPoint(5, -40));
        EXPECT_FALSE(stop->IsHover());
        EXPECT_EQ(stop->CurrentFace(), CHoverButton::Face::Normal);
        // Back over it with the button still held: pressed, the hover image stays off.
        QTest::mouseMove(stop, QPoint(6, 5));
        EXPECT_EQ(stop->CurrentFace(), CHoverButton::Face::Pressed);
        EXPECT_FALSE(stop->IsHover());
        QTest::mouseMove(stop, QPoint(5, -40));
        QTest::mouseRelease(stop, Qt::LeftButton, {}, QPoint(5, -40));
        EXPECT_EQ(stop->CurrentFace(), CHoverButton::Face::Normal);
    });
}

TEST_F(DialogTest, AboutShowsTheMachineVersion)
{
    env.SetMachineSettings("[General]\nVersion=1.0.0.2 Tessaly\n");
    CAboutDlg about;
    EXPECT_EQ(about.VersionText(), QStringLiteral("1.0.0.2 Tessaly"));
    EXPECT_EQ(about.objectName(), QStringLiteral("CorvanaDlg"));
    env.SetMachineSettings("");
    CAboutDlg empty;
    EXPECT_EQ(empty.VersionText(), QString());
}

TEST_F(DialogTest, DraggingTheBodyMovesTheWindow)
{
    RunDialog([](CCorvanaDlg& dialog) {
        const QPoint before = dialog.pos();
        const QPoint grab = dialog.mapToGlobal(QPoint(250, 20));
        RunTool(QStringLiteral("xdotool"), {QStringLiteral("mousemove"), QString::number(grab.x()), QString::number(grab.y()),
                                        QStringLiteral("mousedown"), QStringLiteral("1")});
        RunTool(QStringLiteral("xdotool"), {QStringLiteral("mousemove"), QString::number(grab.x() + 60),
                                        QString::number(grab.y() + 40)});
        RunTool(QStringLiteral("xdotool"), {QStringLiteral("mousemove"), QString::number(grab.x() + 80),
                                        QString::number(grab.y() + 50), QStringLiteral("mouseup"), QStringLiteral("1")});
        EXPECT_TRUE(WaitFor([&] { return dialog.pos() != before; }, 5000)) << "the window did not move";
    });
}

} // namespace
