// Drives the real quillon library over the veskolib stand-in and checks what reaches the
// controller through veskolib's journal file, and what quillon prints on standard error.
#include <dlfcn.h>
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "quillon.h"

namespace {

namespace fs = std::filesystem;

struct JournalLine {
    long long micros = 0;
    int pid = 0;
    std::string kind;
    std::string command;
    std::string data;
    std::string reply;
    std::string result;
};

std::string ReadFile(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::vector<std::string> SplitLines(const std::string& text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

// Parses one journal line strictly; a line that does not match fails the calling test.
JournalLine ParseJournalLine(const std::string& line)
{
    static const std::regex format(
        "^([0-9]+) ([0-9]+) (write|receive) cmd=([0-9A-F]{2,}) data=((?:[0-9A-F]{2}(?::[0-9A-F]{2})*)|--)"
        "(?: reply=((?:[0-9A-F]{2}(?::[0-9A-F]{2})*)|--))? result=(ok|fail)$");
    std::smatch match;
    JournalLine parsed;
    EXPECT_TRUE(std::regex_match(line, match, format)) << "malformed journal line: " << line;
    if (match.empty())
        return parsed;
    parsed.micros = std::stoll(match[1]);
    parsed.pid = std::stoi(match[2]);
    parsed.kind = match[3];
    parsed.command = match[4];
    parsed.data = match[5];
    parsed.reply = match[6];
    parsed.result = match[7];
    EXPECT_EQ(parsed.kind == "receive", match[6].matched) << "only a receive carries a reply: " << line;
    return parsed;
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

std::vector<std::string> DefinedDynamicSymbols(const std::string& library)
{
    std::vector<std::string> names;
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
    std::vector<JournalLine> journal;
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
    // printed and the journal lines it added.
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

        const std::vector<std::string> lines = SplitLines(ReadFile(m_journal));
        for (size_t i = m_journalSeen; i < lines.size(); ++i)
            outcome.journal.push_back(ParseJournalLine(lines[i]));
        m_journalSeen = lines.size();
        return outcome;
    }

    static void ExpectOneWrite(const CallOutcome& outcome, const std::string& data, const std::string& result)
    {
        ASSERT_EQ(outcome.journal.size(), 1u);
        const JournalLine& line = outcome.journal.front();
        EXPECT_EQ(line.kind, "write");
        EXPECT_EQ(line.command, "45");
        EXPECT_EQ(line.data, data);
        EXPECT_EQ(line.result, result);
        EXPECT_EQ(line.pid, getpid());
    }

    fs::path m_dir;
    fs::path m_journal;
    size_t m_journalSeen = 0;
};

struct OneByteCase {
    const char* name;
    int (*call)(int);
    int argument;
    const char* data;
    const char* debugLine;
};

TEST_F(QuillonTest, LightsAndMicModeSendOneByteEach)
{
    const OneByteCase cases[] = {
        {"SetModeLED", SetModeLED, 1, "D0", "Set mode led to = 1\n"},
        {"SetModeLED", SetModeLED, 0, "D1", "Set mode led to = 0\n"},
        {"SetModeLED", SetModeLED, 5, "D0", "Set mode led to = 5\n"},
        {"SetModeLED", SetModeLED, -1, "D0", "Set mode led to = -1\n"},
        {"SetRecordLED", SetRecordLED, 1, "D2", "Set rec led to = 1\n"},
        {"SetRecordLED", SetRecordLED, 0, "D3", "Set rec led to = 0\n"},
        {"SetRecordLED", SetRecordLED, INT_MIN, "D2", "Set rec led to = -2147483648\n"},
        {"SetArrayMicMode", SetArrayMicMode, 1, "C1", "Set array mic mode to = 1\n"},
        {"SetArrayMicMode", SetArrayMicMode, 2, "C2", "Set array mic mode to = 2\n"},
    };
    for (const OneByteCase& c : cases) {
        SCOPED_TRACE(std::string(c.name) + "(" + std::to_string(c.argument) + ")");
        const CallOutcome outcome = Call([&] { return c.call(c.argument); });
        EXPECT_EQ(outcome.result, 1);
        EXPECT_EQ(outcome.debugOutput, c.debugLine);
        ExpectOneWrite(outcome, c.data, "ok");
    }
}

TEST_F(QuillonTest, UnsupportedMicModeNeverReachesTheController)
{
    for (const bool failing : {false, true}) {
        if (failing)
            setenv("VESKOLIB_FAIL", "1", 1);
        for (const int mode : {0, 3, -1, INT_MAX}) {
            SCOPED_TRACE("mode " + std::to_string(mode) + (failing ? " with failing controller" : ""));
            const CallOutcome outcome = Call([&] { return SetArrayMicMode(mode); });
            EXPECT_EQ(outcome.result, 0);
            EXPECT_EQ(outcome.debugOutput, "This array mic mode (" + std::to_string(mode) + ") is not supported.\n");
            EXPECT_TRUE(outcome.journal.empty());
        }
    }
}

TEST_F(QuillonTest, GetArrayMicModeReturnsTheControllersByte)
{
    ASSERT_EQ(Call([] { return SetArrayMicMode(2); }).result, 1);
    CallOutcome outcome = Call(GetArrayMicMode);
    EXPECT_EQ(outcome.result, 0xC2);
    EXPECT_EQ(outcome.debugOutput, "Current Array Mic mode = 0xc2\n");
    ASSERT_EQ(outcome.journal.size(), 1u);
    EXPECT_EQ(outcome.journal[0].kind, "receive");
    EXPECT_EQ(outcome.journal[0].command, "45");
    EXPECT_EQ(outcome.journal[0].data, "C0");
    EXPECT_EQ(outcome.journal[0].reply, "C2");
    EXPECT_EQ(outcome.journal[0].result, "ok");

    ASSERT_EQ(Call([] { return SetArrayMicMode(1); }).result, 1);
    outcome = Call(GetArrayMicMode);
    EXPECT_EQ(outcome.result, 193);
    EXPECT_EQ(outcome.debugOutput, "Current Array Mic mode = 0xc1\n");
    ASSERT_EQ(outcome.journal.size(), 1u);
    EXPECT_EQ(outcome.journal[0].reply, "C1");
}

TEST_F(QuillonTest, FailedTransactionsReturnZeroAndPrintTheirLine)
{
    ASSERT_EQ(Call([] { return SetArrayMicMode(1); }).result, 1);
    setenv("VESKOLIB_FAIL", "1", 1);

    struct FailCase {
        const char* name;
        std::function<int()> call;
        const char* data;
        const char* debugLine;
    };
    const FailCase cases[] = {
        {"SetModeLED(1)", [] { return SetModeLED(1); }, "D0", "Failed to set mode led.\n"},
        {"SetModeLED(0)", [] { return SetModeLED(0); }, "D1", "Failed to set mode led.\n"},
        {"SetRecordLED(0)", [] { return SetRecordLED(0); }, "D3", "Failed to set rec led.\n"},
        {"SetRecordLED(1)", [] { return SetRecordLED(1); }, "D2", "Failed to set rec led.\n"},
        {"SetArrayMicMode(2)", [] { return SetArrayMicMode(2); }, "C2", "Failed to set array mic mode.\n"},
    };
    for (const FailCase& c : cases) {
        SCOPED_TRACE(c.name);
        const CallOutcome outcome = Call(c.call);
        EXPECT_EQ(outcome.result, 0);
        EXPECT_EQ(outcome.debugOutput, c.debugLine);
        ExpectOneWrite(outcome, c.data, "fail");
    }

    const CallOutcome query = Call(GetArrayMicMode);
    EXPECT_EQ(query.result, 0);
    EXPECT_EQ(query.debugOutput, "Failed to get array mic mode.\n");
    ASSERT_EQ(query.journal.size(), 1u);
    EXPECT_EQ(query.journal[0].kind, "receive");
    EXPECT_EQ(query.journal[0].data, "C0");
    EXPECT_EQ(query.journal[0].reply, "--");
    EXPECT_EQ(query.journal[0].result, "fail");

    // The refused SetArrayMicMode(2) left the microphone where it was.
    unsetenv("VESKOLIB_FAIL");
    EXPECT_EQ(Call(GetArrayMicMode).result, 0xC1);
}

TEST_F(QuillonTest, EcIndexModeWithoutReplyOnlyWrites)
{
    unsigned char data[] = {0x01, 0x02, 0x03};
    CallOutcome outcome = Call([&] { return EcIndexMode(0x12, 3, data, nullptr); });
    EXPECT_EQ(outcome.result, 1);
    EXPECT_EQ(outcome.debugOutput, "");
    ASSERT_EQ(outcome.journal.size(), 1u);
    EXPECT_EQ(outcome.journal[0].kind, "write");
    EXPECT_EQ(outcome.journal[0].command, "12");
    EXPECT_EQ(outcome.journal[0].data, "01:02:03");

    setenv("VESKOLIB_FAIL", "1", 1);
    outcome = Call([&] { return EcIndexMode(0x12, 3, data, nullptr); });
    EXPECT_EQ(outcome.result, 0);
    EXPECT_EQ(outcome.debugOutput, "Failed to write EcIndexMode()\n");
    ASSERT_EQ(outcome.journal.size(), 1u);
    EXPECT_EQ(outcome.journal[0].kind, "write");
    EXPECT_EQ(outcome.journal[0].result, "fail");
}

TEST_F(QuillonTest, EcIndexModeWithReplyAsksForExactlyOneByte)
{
    ASSERT_EQ(Call([] { return SetArrayMicMode(2); }).result, 1);
    unsigned char data[] = {0xC0};
    unsigned char reply[4] = {0xAA, 0xAA, 0xAA, 0xAA};
    CallOutcome outcome = Call([&] { return EcIndexMode(0x45, 1, data, reply); });
    EXPECT_EQ(outcome.result, 1);
    EXPECT_EQ(outcome.debugOutput, "");
    EXPECT_EQ(reply[0], 0xC2);
    EXPECT_EQ(reply[1], 0xAA);
    EXPECT_EQ(reply[2], 0xAA);
    EXPECT_EQ(reply[3], 0xAA);
    ASSERT_EQ(outcome.journal.size(), 1u);
    EXPECT_EQ(outcome.journal[0].kind, "receive");
    EXPECT_EQ(outcome.journal[0].data, "C0");
    EXPECT_EQ(outcome.journal[0].reply, "C2");
    EXPECT_EQ(outcome.journal[0].result, "ok");

    setenv("VESKOLIB_FAIL", "1", 1);
    reply[0] = 0xAA;
    outcome = Call([&] { return EcIndexMode(0x45, 1, data, reply); });
    EXPECT_EQ(outcome.result, 0);
    EXPECT_EQ(outcome.debugOutput, "Failed to query EcIndexMode()\n");
    EXPECT_EQ(reply[0], 0xAA);
    ASSERT_EQ(outcome.journal.size(), 1u);
    EXPECT_EQ(outcome.journal[0].kind, "receive");
    EXPECT_EQ(outcome.journal[0].reply, "--");
    EXPECT_EQ(outcome.journal[0].result, "fail");
}

TEST_F(QuillonTest, ControllerRefusesMalformedRequests)
{
    unsigned char data[] = {0xD0};
    const CallOutcome negative = Call([&] { return EcIndexMode(0x45, -1, data, nullptr); });
    const CallOutcome missing = Call([] { return EcIndexMode(0x45, 1, nullptr, nullptr); });
    const CallOutcome command = Call([&] { return EcIndexMode(0x100, 1, data, nullptr); });
    for (const CallOutcome* outcome : {&negative, &missing, &command}) {
        EXPECT_EQ(outcome->result, 0);
        EXPECT_EQ(outcome->debugOutput, "Failed to write EcIndexMode()\n");
        ASSERT_EQ(outcome->journal.size(), 1u);
        EXPECT_EQ(outcome->journal[0].result, "fail");
    }
    EXPECT_EQ(negative.journal[0].data, "--");
    EXPECT_EQ(missing.journal[0].data, "--");
    EXPECT_EQ(command.journal[0].command, "100");
}

TEST_F(QuillonTest, JournalStampsEpochMicroseconds)
{
    using namespace std::chrono;
    const long long before = duration_cast<microseconds>(system_clock::now().time_since_epoch()).count();
    const CallOutcome outcome = Call([] { return SetModeLED(1); });
    const long long after = duration_cast<microseconds>(system_clock::now().time_since_epoch()).count();
    ASSERT_EQ(outcome.journal.size(), 1u);
    EXPECT_GE(outcome.journal[0].micros, before);
    EXPECT_LE(outcome.journal[0].micros, after);
}

TEST_F(QuillonTest, FreshProcessFindsMicrophoneInModeOne)
{
    const std::string output = RunCommand(std::string("'") + QUILLON_CALL + "' GetArrayMicMode 2>/dev/null");
    EXPECT_EQ(output, "193\n");
    const std::vector<std::string> lines = SplitLines(ReadFile(m_journal));
    ASSERT_EQ(lines.size(), 1u);
    const JournalLine line = ParseJournalLine(lines[0]);
    EXPECT_NE(line.pid, getpid());
    EXPECT_EQ(line.reply, "C1");
}

TEST_F(QuillonTest, ExportsExactlyTheFiveFunctions)
{
    EXPECT_EQ(DefinedDynamicSymbols(QUILLON_FILE),
              (std::vector<std::string> {"EcIndexMode", "GetArrayMicMode", "SetArrayMicMode", "SetModeLED",
                                         "SetRecordLED"}));
    EXPECT_EQ(DefinedDynamicSymbols(VESKOLIB_FILE),
              (std::vector<std::string> {"EC_IndexMode_ReceiveCOMM", "EC_IndexMode_WriteCOMM"}));
}

TEST_F(QuillonTest, LoadedLibraryCarriesFileVersion)
{
    Dl_info info {};
    ASSERT_NE(dladdr(reinterpret_cast<void*>(&SetModeLED), &info), 0);
    const std::string loaded = fs::canonical(info.dli_fname).filename().string();
    EXPECT_EQ(loaded, "libquillon.so.1.0.0.2");
    EXPECT_EQ(fs::path(QUILLON_FILE).filename().string(), "libquillon.so.1.0.0.2");
    EXPECT_NE(RunCommand(std::string("objdump -p '") + QUILLON_FILE + "'").find("SONAME               libquillon.so.1\n"),
              std::string::npos);
}

TEST_F(QuillonTest, ConcurrentProcessesNeverInterleaveJournalLines)
{
    constexpr int kChildren = 4;
    constexpr int kCallsEach = 400;
    std::vector<pid_t> children;
    for (int i = 0; i < kChildren; ++i) {
        const pid_t pid = fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            const int null = open("/dev/null", O_WRONLY);
            dup2(null, STDERR_FILENO);
            int failures = 0;
            for (int n = 0; n < kCallsEach; ++n)
                failures += SetRecordLED(n % 2) == 1 ? 0 : 1;
            _exit(failures == 0 ? 0 : 1);
        }
        children.push_back(pid);
    }
    for (const pid_t child : children) {
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }

    const std::string text = ReadFile(m_journal);
    ASSERT_FALSE(text.empty());
    EXPECT_EQ(text.back(), '\n');
    std::map<int, int> linesPerPid;
    for (const std::string& line : SplitLines(text)) {
        const JournalLine parsed = ParseJournalLine(line);
        EXPECT_TRUE(parsed.data == "D2" || parsed.data == "D3") << line;
        ++linesPerPid[parsed.pid];
    }
    ASSERT_EQ(linesPerPid.size(), static_cast<size_t>(kChildren));
    for (const pid_t child : children)
        EXPECT_EQ(linesPerPid[child], kCallsEach);
}

} // namespace
