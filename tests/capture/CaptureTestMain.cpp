// The capture tests need a QApplication (message boxes, the bus watches) and a private documents
// folder, so they bring their own main. With --child only the cases meant for a child process
// with a changed plugin set run ("Child*"); otherwise those are left out.
#include "capture/CaptureEngine.h"
#include "capture/CaptureNotifier.h"
#include "support/MessageBox.h"

#include <QApplication>
#include <QTemporaryDir>
#include <algorithm>
#include <gtest/gtest.h>
#include <string_view>

int main(int argc, char** argv)
{
    QTemporaryDir home;
    qputenv("HOME", home.path().toUtf8());
    qputenv("XDG_CONFIG_HOME", (home.path() + QStringLiteral("/config")).toUtf8());
    qputenv("XDG_CONFIG_DIRS", (home.path() + QStringLiteral("/xdg")).toUtf8());
    qputenv("XDG_DOCUMENTS_DIR", (home.path() + QStringLiteral("/Documents")).toUtf8());
    qputenv("CORVANA_DEVICES", "synthetic");
    QApplication app(argc, argv);
    // As the program shows them.
    corvana::CaptureNotifier::SetReceiver(
        [](const QString& text) { corvana::ShowMessageBox(nullptr, text, QMessageBox::Information); });
    ::testing::InitGoogleTest(&argc, argv);
    const bool child = std::any_of(argv + 1, argv + argc, [](const char* arg) { return std::string_view(arg) == "--child"; });
    std::string filter = ::testing::GTEST_FLAG(filter);
    if (child)
        filter = "Child*";
    else
        filter += filter.find('-') == std::string::npos ? "-Child*" : ":Child*";
    ::testing::GTEST_FLAG(filter) = filter;
    const int result = RUN_ALL_TESTS();
    corvana::CaptureEngine::Shutdown();
    return result;
}
