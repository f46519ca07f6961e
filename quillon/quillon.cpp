#include "quillon.h"

#include <unistd.h>

#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "veskolib.h"

namespace {

constexpr int kEcCommand = 0x45;

constexpr unsigned char kQueryMicMode = 0xC0;
constexpr unsigned char kMicMode1 = 0xC1;
constexpr unsigned char kMicMode2 = 0xC2;
constexpr unsigned char kModeLightOn = 0xD0;
constexpr unsigned char kRecordLightOn = 0xD2;

__attribute__((format(printf, 1, 2))) void DebugPrint(const char* format, ...)
{
    char buffer[300];
    va_list args;
    va_start(args, format);
    const int length = std::vsnprintf(buffer, sizeof buffer, format, args);
    va_end(args);
    if (length < 0)
        return;
    // One write per line, so that lines of several threads or processes stay whole.
    [[maybe_unused]] const ssize_t written = write(STDERR_FILENO, buffer, std::strlen(buffer));
}

// The light's "off" byte follows its "on" byte; any non-zero argument means on.
unsigned char LightByte(unsigned char onByte, int on)
{
    return static_cast<unsigned char>(on != 0 ? onByte : onByte + 1);
}

int WriteOneByte(unsigned char byte)
{
    unsigned char request[1] = {byte};
    return EC_IndexMode_WriteCOMM(kEcCommand, 1, request);
}

} // namespace

extern "C" int GetArrayMicMode(void)
{
    unsigned char request[1] = {kQueryMicMode};
    unsigned char reply[1] = {0};
    if (EC_IndexMode_ReceiveCOMM(kEcCommand, 1, request, 1, reply) == 0) {
        DebugPrint("Failed to get array mic mode.\n");
        return 0;
    }
    const int mode = reply[0];
    DebugPrint("Current Array Mic mode = 0x%2.2x\n", mode);
    return mode;
}

extern "C" int SetArrayMicMode(int mode)
{
    if (mode != 1 && mode != 2) {
        DebugPrint("This array mic mode (%d) is not supported.\n", mode);
        return 0;
    }
    if (WriteOneByte(mode == 1 ? kMicMode1 : kMicMode2) == 0) {
        DebugPrint("Failed to set array mic mode.\n");
        return 0;
    }
    DebugPrint("Set array mic mode to = %d\n", mode);
    return 1;
}

extern "C" int SetModeLED(int on)
{
    if (WriteOneByte(LightByte(kModeLightOn, on)) == 0) {
        DebugPrint("Failed to set mode led.\n");
        return 0;
    }
    DebugPrint("Set mode led to = %d\n", on);
    return 1;
}

extern "C" int SetRecordLED(int on)
{
    if (WriteOneByte(LightByte(kRecordLightOn, on)) == 0) {
        DebugPrint("Failed to set rec led.\n");
        return 0;
    }
    DebugPrint("Set rec led to = %d\n", on);
    return 1;
}

extern "C" int EcIndexMode(int command, int length, unsigned char* data, unsigned char* reply)
{
    if (reply == nullptr) {
        if (EC_IndexMode_WriteCOMM(command, length, data) == 0) {
            DebugPrint("Failed to write EcIndexMode()\n");
            return 0;
        }
        return 1;
    }
    if (EC_IndexMode_ReceiveCOMM(command, length, data, 1, reply) == 0) {
        DebugPrint("Failed to query EcIndexMode()\n");
        return 0;
    }
    return 1;
}
