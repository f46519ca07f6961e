// Stand-in for the maker's embedded-controller access library. It emulates the controller's
// index-mode requests in memory and journals every transaction, so that the bytes the program
// sends can be checked on a machine without the controller.
#include "veskolib.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <mutex>
#include <string>

namespace {

constexpr int kMaxBytes = 32;

constexpr unsigned char kQueryMicMode = 0xC0;
constexpr unsigned char kMicMode1 = 0xC1;
constexpr unsigned char kMicMode2 = 0xC2;
constexpr unsigned char kModeLightOn = 0xD0;
constexpr unsigned char kModeLightOff = 0xD1;
constexpr unsigned char kRecordLightOn = 0xD2;
constexpr unsigned char kRecordLightOff = 0xD3;

// Power-on state of the controller: the microphone in mode 1 (the Solo pickup the program starts
// in) and both lights dark.
struct ControllerState {
    unsigned char micMode = kMicMode1;
    bool modeLight = false;
    bool recordLight = false;
};

std::mutex g_lock;
ControllerState g_state;

bool FailureForced()
{
    const char* fail = std::getenv("VESKOLIB_FAIL");
    return fail != nullptr && std::strcmp(fail, "1") == 0;
}

bool RequestValid(int command, int length, const unsigned char* data)
{
    return command >= 0 && command <= 0xFF && length >= 0 && length <= kMaxBytes && (length == 0 || data != nullptr);
}

void Apply(unsigned char byte)
{
    switch (byte) {
    case kMicMode1:
    case kMicMode2: g_state.micMode = byte; break;
    case kModeLightOn: g_state.modeLight = true; break;
    case kModeLightOff: g_state.modeLight = false; break;
    case kRecordLightOn: g_state.recordLight = true; break;
    case kRecordLightOff: g_state.recordLight = false; break;
    default: break;
    }
}

std::string HexBytes(const unsigned char* bytes, int length)
{
    if (bytes == nullptr || length <= 0 || length > kMaxBytes)
        return "--";
    std::string text;
    char hex[4];
    for (int i = 0; i < length; ++i) {
        std::snprintf(hex, sizeof hex, i == 0 ? "%02X" : ":%02X", bytes[i]);
        text += hex;
    }
    return text;
}

std::string CommandText(int command)
{
    char hex[12];
    std::snprintf(hex, sizeof hex, "%02X", static_cast<unsigned>(command));
    return hex;
}

// One line, one write() on an O_APPEND descriptor: lines of concurrent processes never mix.
void Journal(const std::string& transaction)
{
    const char* path = std::getenv("VESKOLIB_JOURNAL");
    if (path == nullptr || *path == '\0')
        return;
    timespec now {};
    clock_gettime(CLOCK_REALTIME, &now);
    const long long micros = static_cast<long long>(now.tv_sec) * 1000000 + now.tv_nsec / 1000;
    const std::string line = std::to_string(micros) + ' ' + std::to_string(getpid()) + ' ' + transaction + '\n';

    const int fd = open(path, O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) {
        static bool reported = false;
        if (!reported) {
            reported = true;
            std::fprintf(stderr, "veskolib: cannot open journal %s: %s\n", path, std::strerror(errno));
        }
        return;
    }
    ssize_t written;
    do
        written = write(fd, line.data(), line.size());
    while (written < 0 && errno == EINTR);
    close(fd);
}

} // namespace

extern "C" int EC_IndexMode_WriteCOMM(int command, int length, unsigned char* data)
{
    std::lock_guard<std::mutex> guard(g_lock);
    const bool ok = !FailureForced() && RequestValid(command, length, data);
    if (ok)
        for (int i = 0; i < length; ++i)
            Apply(data[i]);
    Journal("write cmd=" + CommandText(command) + " data=" + HexBytes(data, length) + " result=" + (ok ? "ok" : "fail"));
    return ok ? 1 : 0;
}

extern "C" int EC_IndexMode_ReceiveCOMM(int command, int length, unsigned char* data, int replyLength,
                                        unsigned char* reply)
{
    std::lock_guard<std::mutex> guard(g_lock);
    const bool ok = !FailureForced() && RequestValid(command, length, data) && replyLength >= 1 &&
                    replyLength <= kMaxBytes && reply != nullptr;
    if (ok) {
        for (int i = 0; i < length; ++i)
            Apply(data[i]);
        std::memset(reply, 0, static_cast<size_t>(replyLength));
        if (length >= 1 && data[0] == kQueryMicMode)
            reply[0] = g_state.micMode;
    }
    Journal("receive cmd=" + CommandText(command) + " data=" + HexBytes(data, length) +
            " reply=" + (ok ? HexBytes(reply, replyLength) : std::string("--")) + " result=" + (ok ? "ok" : "fail"));
    return ok ? 1 : 0;
}
