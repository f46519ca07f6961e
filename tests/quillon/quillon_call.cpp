// Calls one export of quillon from a process of its own and prints the result on standard output:
//   quillon_call GetArrayMicMode | SetArrayMicMode <mode> | SetModeLED <on> | SetRecordLED <on>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "quillon.h"

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s <export> [argument]\n", argv[0]);
        return 2;
    }
    const char* name = argv[1];
    const int argument = argc > 2 ? std::atoi(argv[2]) : 0;
    int result;
    if (std::strcmp(name, "GetArrayMicMode") == 0)
        result = GetArrayMicMode();
    else if (std::strcmp(name, "SetArrayMicMode") == 0)
        result = SetArrayMicMode(argument);
    else if (std::strcmp(name, "SetModeLED") == 0)
        result = SetModeLED(argument);
    else if (std::strcmp(name, "SetRecordLED") == 0)
        result = SetRecordLED(argument);
    else {
        std::fprintf(stderr, "unknown export: %s\n", name);
        return 2;
    }
    std::printf("%d\n", result);
    return 0;
}
