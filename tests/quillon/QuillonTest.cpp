// Drives the real quillon library over the veskolib stand-in and checks what reaches the
// controller through veskolib's journal file, and what quillon prints on standard error.
#include <dlfcn.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <regex>
#include <string>
#include <vector>

#include "quillon.h"

namespace {

namespace fs = std::filesystem;
using Lines = std::vector<std::string>;

class QuillonTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        char pattern[] = "/tmp/quillon-test.XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        m_dir = pattern;
        setenv("VESKOLIB_JOURNAL", (m_dir / "journal").c_str(), 1);
        unsetenv("VESKOLIB_FAIL");
    }
    void TearDown() override
    {
        unsetenv("VESKOLIB_JOURNAL");
        unsetenv("VESKOLIB_FAIL");
        fs::remove_all(m_dir);
    }

    // The transactions added to the journal since the last look, each checked against the
    // journal's documented form and made by this process.
    Lines NewTransactions()
    {
        static const std::regex format(
            "^[0-9]+ ([0-9]+) ((write|receive) cmd=[0-9A-F]{2,} data=(?:[0-9A-F]{2}(?::[0-9A-F]{2})*|--)"
            "( reply=(?:[0-9A-F]{2}(?::[0-9A-F]{2})*|--))? result=(?:ok|fail))$");
        std::ifstream journal(m_dir / "journal");
        Lines transactions;
        size_t index = 0;
        for (std::string line; std::getline(journal, line); ++index) {
            if (index < m_journalSeen)
                continue;
            std::smatch match;
            if (!std::regex_match(line, match, format)) {
                ADD_FAILURE() << "malformed journal line: " << line;
                continue;
            }
            EXPECT_EQ(match[3] == "receive", match[4].matched) << "only a receive carries a reply: " << line;
            EXPECT_EQ(std::stoi(match[1]), getpid()) << line;
            transactions.push_back(match[2]);
        }
        m_journalSeen = index;
        return transactions;
    }

    // Runs one call and checks its result, what it printed on standard error and the
    // transactions it sent.
    void ExpectCall(const std::function<int()>& call, int result, const std::string& debugOutput, const Lines& journal)
    {
        testing::internal::CaptureStderr();
        const int got = call();
        EXPECT_EQ(testing::internal::GetCapturedStderr(), debugOutput);
        EXPECT_EQ(got, result);
        EXPECT_EQ(NewTransactions(), journal);
    }

    fs::path m_dir;
    size_t m_journalSeen = 0;
};

// Each call sends one byte to the controller and prints its line; an unsupported microphone mode
// never reaches the controller, and a failing controller makes the call return 0.
TEST_F(QuillonTest, EachCallSendsItsByteOrReportsWhyNot)
{
    const struct {
        bool failing;  // VESKOLIB_FAIL=1
        std::function<int()> call;
        int result;
        const char* debugLine;
        Lines journal;
    } cases[] = {
        {false, [] { return SetModeLED(0); }, 1, "Set mode led to = 0\n", {"write cmd=45 data=D1 result=ok"}},
        {false, [] { return SetModeLED(-1); }, 1, "Set mode led to = -1\n", {"write cmd=45 data=D0 result=ok"}},
        {false, [] { return SetRecordLED(5); }, 1, "Set rec led to = 5\n", {"write cmd=45 data=D2 result=ok"}},
        {false, [] { return SetRecordLED(0); }, 1, "Set rec led to = 0\n", {"write cmd=45 data=D3 result=ok"}},
        {false, [] { return SetArrayMicMode(1); }, 1, "Set array mic mode to = 1\n", {"write cmd=45 data=C1 result=ok"}},
        {false, [] { return SetArrayMicMode(2); }, 1, "Set array mic mode to = 2\n", {"write cmd=45 data=C2 result=ok"}},
        {false, GetArrayMicMode, 0xC2, "Current Array Mic mode = 0xc2\n", {"receive cmd=45 data=C0 reply=C2 result=ok"}},
        {false, [] { return SetArrayMicMode(0); }, 0, "This array mic mode (0) is not supported.\n", {}},
        {true, [] { return SetArrayMicMode(3); }, 0, "This array mic mode (3) is not supported.\n", {}},
        {true, [] { return SetModeLED(1); }, 0, "Failed to set mode led.\n", {"write cmd=45 data=D0 result=fail"}},
        {true, [] { return SetRecordLED(0); }, 0, "Failed to set rec led.\n", {"write cmd=45 data=D3 result=fail"}},
        {true, [] { return SetArrayMicMode(1); }, 0, "Failed to set array mic mode.\n", {"write cmd=45 data=C1 result=fail"}},
        {true, GetArrayMicMode, 0, "Failed to get array mic mode.\n", {"receive cmd=45 data=C0 reply=-- result=fail"}},
        // The refused SetArrayMicMode(1) left the microphone in mode 2.
        {false, GetArrayMicMode, 0xC2, "Current Array Mic mode = 0xc2\n", {"receive cmd=45 data=C0 reply=C2 result=ok"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.failing ? "with a failing controller: " : "") + c.debugLine);
        c.failing ? setenv("VESKOLIB_FAIL", "1", 1) : unsetenv("VESKOLIB_FAIL");
        ExpectCall(c.call, c.result, c.debugLine, c.journal);
    }
}

TEST_F(QuillonTest, EcIndexModeWritesOrAsksForExactlyOneByte)
{
    ExpectCall([] { return SetArrayMicMode(2); }, 1, "Set array mic mode to = 2\n", {"write cmd=45 data=C2 result=ok"});
    unsigned char data[] = {0x01, 0x02, 0x03};
    unsigned char query[] = {0xC0};
    unsigned char reply[4] = {0xAA, 0xAA, 0xAA, 0xAA};
    ExpectCall([&] { return EcIndexMode(0x12, 3, data, nullptr); }, 1, "", {"write cmd=12 data=01:02:03 result=ok"});
    ExpectCall([&] { return EcIndexMode(0x45, 1, query, reply); }, 1, "",
               {"receive cmd=45 data=C0 reply=C2 result=ok"});
    EXPECT_EQ(std::vector<int>(reply, reply + 4), (std::vector<int>{0xC2, 0xAA, 0xAA, 0xAA}));

    setenv("VESKOLIB_FAIL", "1", 1);
    reply[0] = 0xAA;
    ExpectCall([&] { return EcIndexMode(0x12, 3, data, nullptr); }, 0, "Failed to write EcIndexMode()\n",
               {"write cmd=12 data=01:02:03 result=fail"});
    ExpectCall([&] { return EcIndexMode(0x45, 1, query, reply); }, 0, "Failed to query EcIndexMode()\n",
               {"receive cmd=45 data=C0 reply=-- result=fail"});
    EXPECT_EQ(reply[0], 0xAA);

    // Malformed requests are refused by the controller, not sent half.
    unsetenv("VESKOLIB_FAIL");
    ExpectCall([] { return EcIndexMode(0x45, 1, nullptr, nullptr); }, 0, "Failed to write EcIndexMode()\n",
               {"write cmd=45 data=-- result=fail"});
}

TEST_F(QuillonTest, ExportsExactlyTheFiveFunctionsAndCarriesTheFileVersion)
{
    Lines names;
    FILE* nm = popen((std::string("nm -D --defined-only '") + QUILLON_FILE + "'").c_str(), "r");
    ASSERT_NE(nm, nullptr);
    char address[64], type[8], name[256];
    while (std::fscanf(nm, "%63s %7s %255s", address, type, name) == 3)
        names.push_back(std::string(name).substr(0, std::string(name).find('@')));
    EXPECT_EQ(pclose(nm), 0);
    EXPECT_EQ(names, (Lines{"EcIndexMode", "GetArrayMicMode", "SetArrayMicMode", "SetModeLED", "SetRecordLED"}));
    Dl_info info {};
    ASSERT_NE(dladdr(reinterpret_cast<void*>(&SetModeLED), &info), 0);
    EXPECT_EQ(fs::canonical(info.dli_fname).filename().string(), "libquillon.so.1.0.0.2");
}

} // namespace
