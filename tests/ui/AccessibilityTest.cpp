// The main dialog for keyboard and assistive-technology users, and in the user's language:
// names and descriptions, Tab, Space and Enter on the buttons, and the catalogue chosen by the
// locale the test runs under (CORVANA_TEST_LANGUAGE says which one ctest gave it).
#include "DialogRunner.h"
#include "MessageBoxWatcher.h"
#include "ProgramRunner.h"
#include "TestEnvironment.h"
#include "app/CCorvanaApp.h"
#include "library/CMediaListBox.h"
#include "ui/CAboutDlg.h"
#include "ui/CCorvanaDlg.h"
#include "ui/CHoverButton.h"
#include "ui/CPreviewArea.h"

#include <QAccessible>
#include <QFile>
#include <QLabel>
#include <QXmlStreamReader>
#include <gtest/gtest.h>

using namespace corvana;

namespace {

class AccessibilityTest : public ::testing::Test {
protected:
    TestEnvironment env;
};

void Key(const char* key)
{
    RunTool(QStringLiteral("xdotool"), {QStringLiteral("key"), QString::fromLatin1(key)});
}

QString AccessibleText(QWidget* widget, QAccessible::Text which)
{
    QAccessibleInterface* face = QAccessible::queryAccessibleInterface(widget);
    return face ? face->text(which) : QString();
}

void ExpectNamedAndDescribed(QWidget* widget)
{
    ASSERT_NE(widget, nullptr);
    EXPECT_FALSE(AccessibleText(widget, QAccessible::Name).trimmed().isEmpty()) << widget->metaObject()->className()
                                                                                  << " " << qPrintable(widget->objectName());
    EXPECT_FALSE(AccessibleText(widget, QAccessible::Description).trimmed().isEmpty())
        << widget->metaObject()->className() << " " << qPrintable(widget->objectName());
}

} // namespace

TEST_F(AccessibilityTest, EveryControlHasANameAndADescription)
{
    env.SetUserSettings("[General]\nModeState=1\n");
    RunDialog([&](CCorvanaDlg& dialog) {
        const QList<QWidget*> controls = dialog.findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly);
        int checked = 0;
        for (QWidget* control : controls) {
            bool number = false;
            control->objectName().toInt(&number);
            if (!number)
                continue;
            ExpectNamedAndDescribed(control);
            ++checked;
        }
        // Thirteen buttons, the list, the preview and the volume indicator.
        EXPECT_EQ(checked, 16);
        ExpectNamedAndDescribed(dialog.findChild<CMediaListBox*>());
        ExpectNamedAndDescribed(dialog.Preview());

        CAboutDlg about(&dialog);
        const QList<QWidget*> parts = about.findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly);
        EXPECT_EQ(parts.size(), 5);
        for (QWidget* part : parts)
            ExpectNamedAndDescribed(part);
    });
}

TEST_F(AccessibilityTest, TabReachesTheButtonsSpaceAndEnterPressThemEnterOnTheDialogDoesNothing)
{
    env.SetUserSettings("[General]\nModeState=0\n");
    RunDialog([&](CCorvanaDlg& dialog) {
        CHoverButton* solo = dialog.Button(CCorvanaDlg::IDC_SOLO);
        CHoverButton* conference = dialog.Button(CCorvanaDlg::IDC_CONFERENCE);
        ASSERT_EQ(dialog.Mode(), MediaMode::Solo);
        // The keyboard starts in the list: no button is focused until Tab brings it there.
        ASSERT_TRUE(WaitFor([&] { return dialog.focusWidget() == dialog.findChild<CMediaListBox*>(); }, 5000))
            << (dialog.focusWidget() ? dialog.focusWidget()->metaObject()->className() : "no focus widget") << " "
            << (QApplication::focusWidget() ? QApplication::focusWidget()->metaObject()->className() : "none");
        const QImage unfocused = solo->grab().toImage();

        // Clicks leave the focus where it is.
        QTest::mouseClick(conference, Qt::LeftButton, {}, QPoint(5, 5));
        ASSERT_TRUE(WaitFor([&] { return dialog.Mode() == MediaMode::Conference; }, 15000));
        EXPECT_FALSE(conference->hasFocus());
        QTest::mouseClick(solo, Qt::LeftButton, {}, QPoint(5, 5));
        ASSERT_TRUE(WaitFor([&] { return dialog.Mode() == MediaMode::Solo; }, 15000));
        EXPECT_FALSE(solo->hasFocus());

        Key("Return");
        Key("KP_Enter");
        // The next key arrived after them, so they have been handled.
        Key("Tab");
        ASSERT_TRUE(WaitFor([&] { return solo->hasFocus(); }, 5000)) << "Tab did not reach the first button";
        EXPECT_TRUE(dialog.isVisible());
        EXPECT_EQ(dialog.Mode(), MediaMode::Solo);
        // The focused button shows where the keyboard is.
        EXPECT_NE(solo->grab().toImage(), unfocused);

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
TEST_F(AccessibilityTest, TextsFollowTheLanguage)
{
    const bool german = qgetenv("CORVANA_TEST_LANGUAGE") == "de";
    EXPECT_EQ(CCorvanaApp::LoadTranslation(), german);
    const QString exit = german ? QStringLiteral("Beenden") : QStringLiteral("Exit");
    const QString confirm = german ? QStringLiteral("Die Datei löschen?") : QStringLiteral("Cancel the file?");

    env.SetUserSettings("[General]\nModeState=1\n");
    TestEnvironment::WriteFile(env.MediaFolder(QStringLiteral("AudioConference")) + QStringLiteral("070101-000000.wma"), "x");
    MessageBoxWatcher boxes(QMessageBox::Cancel);
    RunDialog([&](CCorvanaDlg& dialog) {
        EXPECT_EQ(dialog.Button(CCorvanaDlg::IDC_EXIT)->toolTip(), exit);
        EXPECT_EQ(AccessibleText(dialog.Button(CCorvanaDlg::IDC_EXIT), QAccessible::Name), exit);
        EXPECT_EQ(dialog.Button(CCorvanaDlg::IDC_VIDEO)->toolTip(),
                  german ? QStringLiteral("Videoaufnahme") : QStringLiteral("Video Record"));
        auto* list = dialog.findChild<CMediaListBox*>();
        ASSERT_TRUE(WaitFor([&] { return list->count() == 1; }, 5000));
        list->setCurrentRow(0);
        QTest::keyClick(list, Qt::Key_Delete);
        ASSERT_TRUE(WaitFor([&] { return !boxes.Seen().isEmpty(); }, 5000));
        EXPECT_EQ(boxes.Seen().first().text, confirm);
        EXPECT_EQ(boxes.Seen().first().caption, QStringLiteral("Corvana"));
        // The box's own buttons come from Qt's catalogue of the same language.
        EXPECT_EQ(QCoreApplication::translate("QPlatformTheme", "Cancel"),
                  german ? QStringLiteral("Abbrechen") : QStringLiteral("Cancel"));
    });
}

TEST(TranslationCatalogue, EveryGermanMessageIsTranslated)
{
    QFile file(QStringLiteral(CORVANA_SOURCE_DIR "/corvana/res/translations/corvana_de.ts"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    QXmlStreamReader xml(&file);
    int messages = 0;
    QString source;
    while (!xml.atEnd()) {
        xml.readNext();
        if (!xml.isStartElement())
            continue;
        if (xml.name() == QLatin1String("source")) {
            source = xml.readElementText();
        } else if (xml.name() == QLatin1String("translation")) {
            ++messages;
            EXPECT_TRUE(xml.attributes().value(QLatin1String("type")).isEmpty()) << qPrintable(source);
            EXPECT_FALSE(xml.readElementText().isEmpty()) << qPrintable(source);
        }
    }
    EXPECT_FALSE(xml.hasError()) << qPrintable(xml.errorString());
    EXPECT_GT(messages, 50);
}
