#pragma once
#include <cstdint>

namespace corvana {

// The PC set-1 make code of a key and whether it carries the E0 prefix.
struct ScanCode {
    bool extended = false;
    std::uint8_t code = 0;
    friend bool operator==(const ScanCode&, const ScanCode&) = default;
};

// Maps X keycodes (the kernel's evdev key code + 8) to PC set-1 scan codes.
class ScanCodeTable {
public:
    static constexpr unsigned kEvdevOffset = 8;

    // Keys without a set-1 code give scan code 0, not extended.
    static ScanCode ForKeycode(unsigned xKeycode);
};

} // namespace corvana
