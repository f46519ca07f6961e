// Drives the real quillon library over the veskolib stand-in and checks what reaches the
// controller through veskolib's journal file, and what quillon prints on standard error.
#include <dlfcn.h>
#include <fcntl.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "quillon.h"

namespace {

namespace fs = std::filesystem;
using Lines = std::vector<std::string>;

struct JournalLine {
    long long micros = 0;
    int pid = 0;
    std::string transaction; // the line without its time and process
};

std::string ReadFile(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

Lines SplitLines(const std::string& text)
{
    Lines lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

// Parses one journal line strictly; a line that does not match fails the calling test.
JournalLine ParseJournalLine(const std::string& line)
{
    static const std::regex format(
        "^([0-9]+) ([0-9]+) ((write|receive) cmd=[0-9A-F]{2,} data=(?:[0-9A-F]{2}(?::[0-9A-F]{2})*|--)"
        "( reply=(?:[0-9A-F]{2}(?::[0-9A-F]{2})*|--))? result=(?:ok|fail))$");
    std::smatch match;
    if (!std::regex_match(line, match, format)) {
        ADD_FAILURE() << "malformed journal line: " << line;
        return {};
    }
    EXPECT_EQ(match[4] == "receive", match[5].matched) << "only a receive carries a reply: " << line;
    return {std::stoll(match[1]), std::stoi(match[2]), match[3]};
}

std::string RunCommand(const std::string& command)
{
    std::string output;
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr)
        return output;
    char chunk[512];
    for (size_t n; (n = std::fread(chunk, 1, sizeof chunk, pipe)) > 0;)
        output.append(chunk, n);
    EXPECT_EQ(pclose(pipe), 0) << command;
    return output;
}

Lines DefinedDynamicSymbols(const std::string& library)
{
    Lines names;
    for (const std::string& line : SplitLines(RunCommand("nm -D --defined-only '" + library + "'"))) {
        std::istringstream fields(line);
        std::string address, type, name;
        if (fields >> address >> type >> name)
            names.push_back(name.substr(0, name.find('@')));
    }
    return names;
}

struct CallOutcome {
    int result = -1;
    std::string debugOutput;
    Lines journal;
};

class QuillonTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        char pattern[] = "/tmp/quillon-test.XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        m_dir = pattern;
        m_journal = m_dir / "journal";
        setenv("VESKOLIB_JOURNAL", m_journal.c_str(), 1);
        unsetenv("VESKOLIB_FAIL");
    }

    void TearDown() override
    {
        unsetenv("VESKOLIB_JOURNAL");
        unsetenv("VESKOLIB_FAIL");
        fs::remove_all(m_dir);
    }

    // Runs one call with standard error redirected into a file and returns its result, what it
    // printed and the transactions it added to the journal (each from this process).
    CallOutcome Call(const std::function<int()>& call)
    {
        CallOutcome outcome;
        const fs::path errPath = m_dir / "stderr";
        const int errFile = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        EXPECT_GE(errFile, 0);
        std::fflush(stderr);
        const int savedErr = dup(STDERR_FILENO);
        dup2(errFile, STDERR_FILENO);
        close(errFile);
        outcome.result = call();
        std::fflush(stderr);
        dup2(savedErr, STDERR_FILENO);
        close(savedErr);
        outcome.debugOutput = ReadFile(errPath);

        const Lines lines = SplitLines(ReadFile(m_journal));
        for (size_t i = m_journalSeen; i < lines.size(); ++i) {
            const JournalLine line = ParseJournalLine(lines[i]);
            EXPECT_EQ(line.pid, getpid()) << lines[i];
            outcome.journal.push_back(line.transaction);
        }
        m_journalSeen = lines.size();
        return outcome;
    }

    void ExpectCall(const std::function<int()>& call, int result, const std::string& debugOutput,
                    const Lines& journal)
    {
        const CallOutcome outcome = Call(call);
        EXPECT_EQ(outcome.result, result);
        EXPECT_EQ(outcome.debugOutput, debugOutput);
        EXPECT_EQ(outcome.journal, journal);
    }

    fs::path m_dir;
    fs::path m_journal;
    size_t m_journalSeen = 0;
};

TEST_F(QuillonTest, LightsAndMicModeSendOneByteEach)
{
    const struct {
        const char* name;
        int (*call)(int);
        int argument;
        const char* data;
        const char* debugLine;
    } cases[] = {
        {"SetModeLED", SetModeLED, 0, "D1", "Set mode led to = 0\n"},
        {"SetModeLED", SetModeLED, -1, "D0", "Set mode led to = -1\n"},  // anything but 0 is on
        {"SetRecordLED", SetRecordLED, 5, "D2", "Set rec led to = 5\n"},
        {"SetRecordLED", SetRecordLED, 0, "D3", "Set rec led to = 0\n"},
        {"SetArrayMicMode", SetArrayMicMode, 1, "C1", "Set array mic mode to = 1\n"},
        {"SetArrayMicMode", SetArrayMicMode, 2, "C2", "Set array mic mode to = 2\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.name) + "(" + std::to_string(c.argument) + ")");
        ExpectCall([&] { return c.call(c.argument); }, 1, c.debugLine,
                   {std::string("write cmd=45 data=") + c.data + " result=ok"});
    }
}

TEST_F(QuillonTest, UnsupportedMicModeNeverReachesTheController)
{
    for (const bool failing : {false, true}) {
        if (failing)
            setenv("VESKOLIB_FAIL", "1", 1);
        for (const int mode : {0, 3}) {
            SCOPED_TRACE("mode " + std::to_string(mode) + (failing ? " with failing controller" : ""));
            ExpectCall([&] { return SetArrayMicMode(mode); }, 0,
                       "This array mic mode (" + std::to_string(mode) + ") is not supported.\n", {});
        }
    }
}

TEST_F(QuillonTest, FailedTransactionsReturnZeroAndPrintTheirLine)
{
    ASSERT_EQ(Call([] { return SetArrayMicMode(1); }).result, 1);
    setenv("VESKOLIB_FAIL", "1", 1);
    const struct {
        const char* name;
        std::function<int()> call;
        const char* debugLine;
        const char* transaction;
    } cases[] = {
        {"SetModeLED(1)", [] { return SetModeLED(1); }, "Failed to set mode led.\n", "write cmd=45 data=D0 result=fail"},
        {"SetRecordLED(0)", [] { return SetRecordLED(0); }, "Failed to set rec led.\n", "write cmd=45 data=D3 result=fail"},
        {"SetArrayMicMode(2)", [] { return SetArrayMicMode(2); }, "Failed to set array mic mode.\n",
         "write cmd=45 data=C2 result=fail"},
        {"GetArrayMicMode", GetArrayMicMode, "Failed to get array mic mode.\n",
         "receive cmd=45 data=C0 reply=-- result=fail"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ExpectCall(c.call, 0, c.debugLine, {c.transaction});
    }

    // The refused SetArrayMicMode(2) left the microphone where it was.
    unsetenv("VESKOLIB_FAIL");
    EXPECT_EQ(Call(GetArrayMicMode).result, 0xC1);
}

TEST_F(QuillonTest, EcIndexModeWritesOrAsksForExactlyOneByte)
{
    ASSERT_EQ(Call([] { return SetArrayMicMode(2); }).result, 1);
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
    EXPECT_EQ(DefinedDynamicSymbols(QUILLON_FILE),
              (Lines{"EcIndexMode", "GetArrayMicMode", "SetArrayMicMode", "SetModeLED", "SetRecordLED"}));
    EXPECT_EQ(DefinedDynamicSymbols(VESKOLIB_FILE), (Lines{"EC_IndexMode_ReceiveCOMM", "EC_IndexMode_WriteCOMM"}));

    Dl_info info {};
    ASSERT_NE(dladdr(reinterpret_cast<void*>(&SetModeLED), &info), 0);
    EXPECT_EQ(fs::canonical(info.dli_fname).filename().string(), "libquillon.so.1.0.0.2");
    EXPECT_NE(RunCommand(std::string("objdump -p '") + QUILLON_FILE + "'").find("SONAME               libquillon.so.1\n"),
              std::string::npos);
}

} // namespace
