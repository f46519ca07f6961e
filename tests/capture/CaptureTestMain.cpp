// The capture tests need a QApplication (the bus watches) and a private documents
// folder, so they bring their own main. With --child only the cases meant for a child process
// with a changed plugin set run ("Child*"); otherwise those are left out.
#include "TestEnvironment.h"

#include "capture/CaptureEngine.h"

#include <QApplication>
#include <gtest/gtest.h>
#include <string_view>

int main(int argc, char** argv)
{
    const TestEnvironment environment;
    qputenv("CORVANA_DEVICES", "synthetic");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    const bool child = argc > 1 && std::string_view(argv[argc - 1]) == "--child";
    const std::string filter = ::testing::GTEST_FLAG(filter);
    ::testing::GTEST_FLAG(filter) = child ? "Child*" : filter + (filter.find('-') == std::string::npos ? "-Child*" : ":Child*");
    const int result = RUN_ALL_TESTS();
    corvana::CaptureEngine::Shutdown();
    return result;
}
