// The About box of an installed Corvana. The install and package tests run this with
// XDG_CONFIG_DIRS set to the installed tree's etc/xdg, so the box reads the machine settings that
// the install wrote there, and it has to show the version this build was made as.
#include "CorvanaBuild.h"
#include "ui/CAboutDlg.h"

#include <QFileInfo>
#include <QLabel>
#include <QTest>
#include <gtest/gtest.h>

using namespace corvana;

TEST(InstalledVersionTest, AboutBoxShowsTheInstalledVersion)
{
    // The first folder is the one the program reads; a run without it would test nothing.
    const QString machine = qEnvironmentVariable("XDG_CONFIG_DIRS").section(QLatin1Char(':'), 0, 0);
    ASSERT_FALSE(machine.isEmpty()) << "XDG_CONFIG_DIRS must name the installed etc/xdg";
    ASSERT_TRUE(QFileInfo(machine + QStringLiteral("/Tessaly/Corvana.conf")).isFile())
        << "no Tessaly/Corvana.conf in " << machine.toStdString();

    CAboutDlg about;
    about.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&about, 10000));
    EXPECT_EQ(about.VersionText().toStdString(), CORVANA_VERSION);
    // The text is on screen, not only held: a label shows it inside the box.
    bool shown = false;
    for (const QLabel* label : about.findChildren<QLabel*>())
        shown = shown || (label->isVisible() && label->text() == QStringLiteral(CORVANA_VERSION));
    EXPECT_TRUE(shown) << "no visible label of the About box shows " << CORVANA_VERSION;
}
