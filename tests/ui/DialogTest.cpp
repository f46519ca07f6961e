// The main dialog in this process on the session's display: the mode it opens in, Enter and
// Escape, the mode saved on closing and the lights in the controller journal.
#include "DialogRunner.h"
#include "TestEnvironment.h"
#include "support/CSettingsStore.h"
#include "ui/CHoverButton.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

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

// Each button of the window tells its states apart at a glance: normal, hover, pressed and, where
// it has one, disabled differ in a good share of their pixels.
TEST(DialogTest, EveryButtonsStatesDifferClearly)
{
    TestEnvironment env;
    RunDialog([&](CCorvanaDlg& dialog) {
        const auto differingShare = [](const QImage& a, const QImage& b) {
            int differing = 0;
            for (int y = 0; y < a.height(); ++y)
                for (int x = 0; x < a.width(); ++x) {
                    const QRgb p = a.pixel(x, y), q = b.pixel(x, y);
                    differing += std::max({std::abs(qRed(p) - qRed(q)), std::abs(qGreen(p) - qGreen(q)), std::abs(qBlue(p) - qBlue(q))}) > 12;
                }
            return double(differing) / (a.width() * a.height());
        };
        const QList<CHoverButton*> buttons = dialog.findChildren<CHoverButton*>();
        ASSERT_EQ(buttons.size(), 13);
        for (CHoverButton* button : buttons) {
            SCOPED_TRACE(button->accessibleName().toStdString());
            using Face = CHoverButton::Face;
            std::vector<std::pair<const char*, QImage>> faces;
            for (const auto& [name, face] : {std::pair{"normal", Face::Normal}, {"hover", Face::Hover}, {"pressed", Face::Pressed},
                                             {"disabled", Face::Disabled}}) {
                const QPixmap& image = button->FaceImage(face);
                if (!image.isNull())
                    faces.push_back({name, image.toImage().convertToFormat(QImage::Format_RGB32).copy(QRect(QPoint(0, 0), button->size()))});
            }
            ASSERT_GE(faces.size(), 3u);
            for (size_t i = 0; i < faces.size(); ++i)
                for (size_t j = i + 1; j < faces.size(); ++j)
                    EXPECT_GT(differingShare(faces[i].second, faces[j].second), 0.3) << faces[i].first << " / " << faces[j].first;
        }
    });
}

