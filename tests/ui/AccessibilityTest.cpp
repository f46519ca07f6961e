// The main dialog for keyboard users, and in the user's language: Tab, Space and Enter on the
// buttons, and the catalogue chosen by the locale the test runs under (CORVANA_TEST_LANGUAGE says
// which one ctest gave it). What a screen reader reads of it is in AtSpiTest, over the real bus.
#include "DialogRunner.h"
#include "MessageBoxWatcher.h"
#include "TestEnvironment.h"
#include "Xdotool.h"
#include "app/CCorvanaApp.h"
#include "res/Bitmaps.h"
#include "res/ButtonArt.h"
#include "res/Glyphs.h"
#include "ui/CHoverButton.h"
#include "ui/CMediaListBox.h"

#include <QAccessible>
#include <QPainter>
#include <QXmlStreamReader>
#include <gtest/gtest.h>

using namespace corvana;

namespace {

QString AccessibleText(QWidget* widget, QAccessible::Text which)
{
    QAccessibleInterface* face = QAccessible::queryAccessibleInterface(widget);
    return face ? face->text(which).trimmed() : QString();
}

TEST(AccessibilityTest, TabReachesTheButtonsSpaceAndEnterPressThem)
{
    TestEnvironment env;
    env.SetUserSettings("[General]\nModeState=0\n");
    RunDialog([&](CCorvanaDlg& dialog) {
        CHoverButton* solo = dialog.Button(CCorvanaDlg::IDC_SOLO);
        CHoverButton* conference = dialog.Button(CCorvanaDlg::IDC_CONFERENCE);
        // The keyboard starts in the list: no button is focused until Tab brings it there.
        ASSERT_TRUE(WaitFor([&] { return dialog.focusWidget() == dialog.List(); }, 5000));
        const QImage unfocused = solo->grab().toImage();
        Key("Tab");
        ASSERT_TRUE(WaitFor([&] { return solo->hasFocus(); }, 5000)) << "Tab did not reach the first button";
        EXPECT_NE(solo->grab().toImage(), unfocused) << "the focused button does not show it";

        Key("Tab");
        ASSERT_TRUE(WaitFor([&] { return conference->hasFocus(); }, 5000));
        Key("space");
        EXPECT_TRUE(WaitFor([&] { return dialog.Mode() == MediaMode::Conference; }, 15000)) << "Space did not press it";
        Key("shift+Tab");
        ASSERT_TRUE(WaitFor([&] { return solo->hasFocus(); }, 5000));
        Key("Return");
        EXPECT_TRUE(WaitFor([&] { return dialog.Mode() == MediaMode::Solo; }, 15000)) << "Enter did not press it";
        EXPECT_TRUE(dialog.isVisible());
    });
}

// Run twice by ctest: under a German locale and under C.
TEST(AccessibilityTest, TextsFollowTheLanguage)
{
    const bool german = qgetenv("CORVANA_TEST_LANGUAGE") == "de";
    EXPECT_EQ(CCorvanaApp::LoadTranslation(), german);
    const QString exit = german ? "Beenden" : "Exit";
    TestEnvironment env;
    env.SetUserSettings("[General]\nModeState=1\n");
    TestEnvironment::WriteFile(env.MediaFolder("AudioConference") + "070101-000000.wma", "x");
    MessageBoxWatcher boxes(QMessageBox::Cancel);
    RunDialog([&](CCorvanaDlg& dialog) {
        EXPECT_EQ(dialog.Button(CCorvanaDlg::IDC_EXIT)->toolTip(), exit);
        EXPECT_EQ(AccessibleText(dialog.Button(CCorvanaDlg::IDC_EXIT), QAccessible::Name), exit);
        EXPECT_EQ(dialog.Button(CCorvanaDlg::IDC_VIDEO)->toolTip(), german ? "Videoaufnahme" : "Video Record");
        ASSERT_TRUE(WaitFor([&] { return dialog.List()->count() == 1; }, 5000));
        dialog.List()->setCurrentRow(0);
        QTest::keyClick(dialog.List(), Qt::Key_Delete);
        ASSERT_TRUE(WaitFor([&] { return !boxes.Seen().isEmpty(); }, 5000));
        EXPECT_EQ(boxes.Seen().first().text, german ? "Die Datei löschen?" : "Cancel the file?");
        EXPECT_EQ(boxes.Seen().first().caption, "Corvana");
        // The box's own buttons come from Qt's catalogue of the same language.
        EXPECT_EQ(QCoreApplication::translate("QPlatformTheme", "Cancel"), german ? "Abbrechen" : "Cancel");
    });
}

// The captions painted on the buttons and the skin are in the same language as the tooltips and
// messages, and each fits its button: its ink keeps clear of the key's edges.
TEST(AccessibilityTest, PaintedCaptionsFollowTheLanguageAndFitTheirButtons)
{
    const bool german = qgetenv("CORVANA_TEST_LANGUAGE") == "de";
    EXPECT_EQ(CCorvanaApp::LoadTranslation(), german);
    struct Painted {
        int id;
        QString english, german;
        ButtonArt::Glyph glyph;
        bool record;
    };
    const Painted captions[] = {{137, "Play", "Wiedergabe", &Glyphs::Play, false},
                                {143, "Previous", "Zurück", nullptr, false},
                                {146, "Stop", "Stopp", &Glyphs::Stop, false},
                                {134, "Next", "Weiter", nullptr, false},
                                {140, "Record", "Aufnahme", &Glyphs::RecordDot, true},
                                {174, "ABOUT", "INFO", nullptr, false}};
    const auto paint = [](const Painted& button, const QString& caption) {
        QImage image(BitmapSize(button.id), QImage::Format_RGB32);
        image.fill(SkinKeyColour());
        QPainter p(&image);
        if (button.id == 174)
            ButtonArt::CaptionKey(p, QSizeF(image.size()), ButtonState::Normal, caption);
        else
            ButtonArt::Transport(p, QSizeF(image.size()), ButtonState::Normal, button.glyph, caption, button.record);
        return image;
    };
    for (const Painted& button : captions) {
        const QString caption = german ? button.german : button.english;
        SCOPED_TRACE(caption.toStdString());
        // The tooltip of the same button says the same word.
        if (button.id != 174) {
            EXPECT_EQ(QCoreApplication::translate("CCorvanaDlg", button.english.toLatin1().constData()), caption);
        }
        const QImage shown = BitmapImage(button.id).convertToFormat(QImage::Format_RGB32);
        ASSERT_EQ(shown, paint(button, caption)) << "the button does not read " << caption.toStdString();
        // Where the caption's ink is: what differs from the key without it.
        const QImage bare = paint(button, QString());
        int left = shown.width(), right = -1;
        for (int y = 0; y < shown.height(); ++y)
            for (int x = 0; x < shown.width(); ++x)
                if (shown.pixel(x, y) != bare.pixel(x, y))
                    left = std::min(left, x), right = std::max(right, x);
        ASSERT_GE(right, left) << "no caption painted";
        EXPECT_GE(left, 2);
        EXPECT_LE(right, shown.width() - 3);
    }
}

TEST(TranslationCatalogue, EveryGermanMessageIsTranslated)
{
    QFile file(CORVANA_SOURCE_DIR "/corvana/res/translations/corvana_de.ts");
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    int messages = 0;
    QString source;
    for (QXmlStreamReader xml(&file); !xml.atEnd() || xml.hasError();) {
        ASSERT_FALSE(xml.hasError()) << xml.errorString().toStdString();
        if (xml.readNext() == QXmlStreamReader::StartElement && xml.name() == QLatin1String("source"))
            source = xml.readElementText();
        else if (xml.isStartElement() && xml.name() == QLatin1String("translation")) {
            ++messages;
            EXPECT_TRUE(xml.attributes().value("type").isEmpty()) << source.toStdString();
            EXPECT_NE(xml.readElementText(), "") << source.toStdString();
        }
    }
    EXPECT_GT(messages, 50);
}

} // namespace
