#include "support/ScanCodeTable.h"

#include <linux/input-event-codes.h>

#include <array>

namespace corvana {

namespace {

struct Entry {
    unsigned evdev;
    ScanCode scan;
};

constexpr ScanCode Plain(std::uint8_t code) { return {false, code}; }
constexpr ScanCode E0(std::uint8_t code) { return {true, code}; }

// Sources: the evdev key codes of the Linux kernel (linux/input-event-codes.h) and the PC/AT
// set-1 make codes as keyboards send them (the translation the kernel's atkbd driver undoes,
// and the USB HID usage to set-1 table keyboard makers publish).
//
// Evdev codes 1 (KEY_ESC) to 83 (KEY_KPDOT) were assigned as the set-1 codes themselves, so
// that range maps one to one and is not listed, Num Lock excepted. Everything above it is
// listed here; a code in neither gives scan code 0.
//
// The five keys the notebook has in its key row and ordinary keyboards lack are stood in for
// by media keys: they report the notebook's own extended codes instead of their usual ones.
constexpr std::array kTable{
    // Notebook special keys.
    Entry{KEY_PROG1, E0(0x79)},         // XF86Launch1: mode key
    Entry{KEY_PLAYPAUSE, E0(0x77)},     // XF86AudioPlay: play key
    Entry{KEY_PREVIOUSSONG, E0(0x74)},  // XF86AudioPrev: previous key
    Entry{KEY_NEXTSONG, E0(0x39)},      // XF86AudioNext: next key
    Entry{KEY_RECORD, E0(0x08)},        // XF86AudioRecord: record key

    // Main block and function keys beyond 83.
    Entry{KEY_ZENKAKUHANKAKU, Plain(0x76)},
    Entry{KEY_102ND, Plain(0x56)},
    Entry{KEY_F11, Plain(0x57)},
    Entry{KEY_F12, Plain(0x58)},
    Entry{KEY_RO, Plain(0x73)},
    Entry{KEY_KATAKANA, Plain(0x78)},
    Entry{KEY_HIRAGANA, Plain(0x77)},
    Entry{KEY_HENKAN, Plain(0x79)},
    Entry{KEY_KATAKANAHIRAGANA, Plain(0x70)},
    Entry{KEY_MUHENKAN, Plain(0x7B)},
    Entry{KEY_KPJPCOMMA, Plain(0x5C)},
    Entry{KEY_KPEQUAL, Plain(0x59)},
    Entry{KEY_KPCOMMA, Plain(0x7E)},
    Entry{KEY_HANGEUL, Plain(0xF2)},
    Entry{KEY_HANJA, Plain(0xF1)},
    Entry{KEY_YEN, Plain(0x7D)},
    Entry{KEY_F13, Plain(0x64)},
    Entry{KEY_F14, Plain(0x65)},
    Entry{KEY_F15, Plain(0x66)},
    Entry{KEY_F16, Plain(0x67)},
    Entry{KEY_F17, Plain(0x68)},
    Entry{KEY_F18, Plain(0x69)},
    Entry{KEY_F19, Plain(0x6A)},
    Entry{KEY_F20, Plain(0x6B)},
    Entry{KEY_F21, Plain(0x6C)},
    Entry{KEY_F22, Plain(0x6D)},
    Entry{KEY_F23, Plain(0x6E)},
    Entry{KEY_F24, Plain(0x76)},
    // Pause sends E1 1D 45 and Num Lock sends 45. Low-level keyboard hooks report Pause as a
    // plain 45 and set the extended flag on Num Lock to keep the two apart; so do we.
    Entry{KEY_PAUSE, Plain(0x45)},
    Entry{KEY_NUMLOCK, E0(0x45)},

    // E0 keys: right-hand modifiers, keypad extras, navigation block.
    Entry{KEY_KPENTER, E0(0x1C)},
    Entry{KEY_RIGHTCTRL, E0(0x1D)},
    Entry{KEY_KPSLASH, E0(0x35)},
    Entry{KEY_SYSRQ, E0(0x37)},
    Entry{KEY_RIGHTALT, E0(0x38)},
    Entry{KEY_HOME, E0(0x47)},
    Entry{KEY_UP, E0(0x48)},
    Entry{KEY_PAGEUP, E0(0x49)},
    Entry{KEY_LEFT, E0(0x4B)},
    Entry{KEY_RIGHT, E0(0x4D)},
    Entry{KEY_END, E0(0x4F)},
    Entry{KEY_DOWN, E0(0x50)},
    Entry{KEY_PAGEDOWN, E0(0x51)},
    Entry{KEY_INSERT, E0(0x52)},
    Entry{KEY_DELETE, E0(0x53)},
    Entry{KEY_LEFTMETA, E0(0x5B)},
    Entry{KEY_RIGHTMETA, E0(0x5C)},
    Entry{KEY_COMPOSE, E0(0x5D)},

    // E0 system and consumer keys.
    Entry{KEY_POWER, E0(0x5E)},
    Entry{KEY_SLEEP, E0(0x5F)},
    Entry{KEY_WAKEUP, E0(0x63)},
    Entry{KEY_MUTE, E0(0x20)},
    Entry{KEY_VOLUMEDOWN, E0(0x2E)},
    Entry{KEY_VOLUMEUP, E0(0x30)},
    Entry{KEY_STOPCD, E0(0x24)},
    Entry{KEY_CALC, E0(0x21)},
    Entry{KEY_MAIL, E0(0x6C)},
    Entry{KEY_MEDIA, E0(0x6D)},
    Entry{KEY_COMPUTER, E0(0x6B)},
    Entry{KEY_SEARCH, E0(0x65)},
    Entry{KEY_BOOKMARKS, E0(0x66)},
    Entry{KEY_REFRESH, E0(0x67)},
    Entry{KEY_STOP, E0(0x68)},
    Entry{KEY_FORWARD, E0(0x69)},
    Entry{KEY_BACK, E0(0x6A)},
    Entry{KEY_HOMEPAGE, E0(0x32)},
};

constexpr bool NoDuplicateKeys()
{
    for (std::size_t i = 0; i < kTable.size(); ++i) {
        if (kTable[i].evdev <= KEY_KPDOT && kTable[i].evdev != KEY_NUMLOCK)
            return false;
        for (std::size_t j = i + 1; j < kTable.size(); ++j)
            if (kTable[i].evdev == kTable[j].evdev)
                return false;
    }
    return true;
}
static_assert(NoDuplicateKeys(), "each listed evdev code appears once");

} // namespace

ScanCode ScanCodeTable::ForKeycode(unsigned xKeycode)
{
    if (xKeycode < kEvdevOffset)
        return {};
    const unsigned evdev = xKeycode - kEvdevOffset;
    for (const Entry& entry : kTable)
        if (entry.evdev == evdev)
            return entry.scan;
    if (evdev >= KEY_ESC && evdev <= KEY_KPDOT)
        return Plain(static_cast<std::uint8_t>(evdev));
    return {};
}

} // namespace corvana
