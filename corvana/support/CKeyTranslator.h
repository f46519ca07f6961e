#pragma once
#include <cstdint>

namespace corvana {

// A key event as the keyboard hook reports it: the low-level flag word and the set-1 scan code.
struct HookKey {
    std::uint32_t flags = 0;
    std::uint32_t scan = 0;
    friend bool operator==(const HookKey&, const HookKey&) = default;
};

// Turns raw X key events into hook key events. It follows the Alt keys itself, from the same
// raw events, because the state the X server keeps belongs to whichever window has the focus.
class CKeyTranslator {
public:
    static constexpr std::uint32_t kExtended = 0x01;
    static constexpr std::uint32_t kInjected = 0x10; // never set: synthetic input counts as typed
    static constexpr std::uint32_t kAltDown = 0x20;
    static constexpr std::uint32_t kReleased = 0x80;

    HookKey Translate(unsigned xKeycode, bool released);
    bool IsAltHeld() const { return m_bLeftAlt || m_bRightAlt; }

private:
    bool m_bLeftAlt = false;
    bool m_bRightAlt = false;
};

} // namespace corvana
