#include "support/CKeyTranslator.h"
#include "support/ScanCodeTable.h"

#include <gtest/gtest.h>

#include <vector>

using namespace corvana;

namespace {

struct Typed {
    const char* key;
    unsigned keycode;
    bool released;
    HookKey expected;
};

void ExpectSequence(const std::vector<Typed>& sequence)
{
    CKeyTranslator translator;
    for (const Typed& typed : sequence) {
        const HookKey got = translator.Translate(typed.keycode, typed.released);
        EXPECT_EQ(got.flags, typed.expected.flags) << typed.key << (typed.released ? " up" : " down");
        EXPECT_EQ(got.scan, typed.expected.scan) << typed.key << (typed.released ? " up" : " down");
    }
}

} // namespace

// X keycodes as the X server under test reports them (evdev code + 8).
TEST(KeyTranslation, SpecialKeysAreExtendedWithTheNotebookScanCodes)
{
    ExpectSequence({
        {"XF86Launch1", 156, false, {0x01, 0x79}},
        {"XF86Launch1", 156, true, {0x81, 0x79}},
        {"XF86AudioPlay", 172, false, {0x01, 0x77}},
        {"XF86AudioPlay", 172, true, {0x81, 0x77}},
        {"XF86AudioPrev", 173, false, {0x01, 0x74}},
        {"XF86AudioPrev", 173, true, {0x81, 0x74}},
        {"XF86AudioNext", 171, false, {0x01, 0x39}},
        {"XF86AudioNext", 171, true, {0x81, 0x39}},
        {"XF86AudioRecord", 175, false, {0x01, 0x08}},
        {"XF86AudioRecord", 175, true, {0x81, 0x08}},
    });
}

TEST(KeyTranslation, OrdinaryKeysFunctionKeysAndArrows)
{
    ExpectSequence({
        {"a", 38, false, {0x00, 0x1E}},
        {"a", 38, true, {0x80, 0x1E}},
        {"z", 52, false, {0x00, 0x2C}},
        {"q", 24, false, {0x00, 0x10}},
        {"Escape", 9, false, {0x00, 0x01}},
        {"space", 65, false, {0x00, 0x39}}, // shares 0x39 with the next key, but not extended
        {"F4", 70, false, {0x00, 0x3E}},
        {"F4", 70, true, {0x80, 0x3E}},
        {"F11", 95, false, {0x00, 0x57}},
        {"F12", 96, false, {0x00, 0x58}},
        {"Up", 111, false, {0x01, 0x48}},
        {"Down", 116, false, {0x01, 0x50}},
        {"Left", 113, false, {0x01, 0x4B}},
        {"Right", 114, true, {0x81, 0x4D}},
        {"KP_Up", 80, false, {0x00, 0x48}},
        {"KP_Enter", 104, false, {0x01, 0x1C}},
        {"Control_R", 105, false, {0x01, 0x1D}},
        {"Delete", 119, false, {0x01, 0x53}},
        {"Super_L", 133, false, {0x01, 0x5B}},
        {"Num_Lock", 77, false, {0x01, 0x45}},
        {"Pause", 127, false, {0x00, 0x45}},
    });
}

TEST(KeyTranslation, AltFlagFollowsEitherAltKey)
{
    ExpectSequence({
        {"Alt_L", 64, false, {0x20, 0x38}}, // the Alt press itself carries the flag
        {"F4", 70, false, {0x20, 0x3E}},    // Alt+F4 as the hidden frame looks for it
        {"F4", 70, true, {0xA0, 0x3E}},
        {"Alt_L", 64, true, {0x80, 0x38}},  // and its release no longer does
        {"F4", 70, false, {0x00, 0x3E}},
        {"F4", 70, true, {0x80, 0x3E}},
        {"Alt_R", 108, false, {0x21, 0x38}},
        {"XF86Launch1", 156, false, {0x21, 0x79}},
        {"Alt_L", 64, false, {0x20, 0x38}},
        {"Alt_R", 108, true, {0xA1, 0x38}}, // the left one is still down
        {"a", 38, false, {0x20, 0x1E}},
        {"Alt_L", 64, true, {0x80, 0x38}},
        {"a", 38, true, {0x80, 0x1E}},
    });
}

TEST(KeyTranslation, KeysWithoutScanCodeReportZero)
{
    // 92 is the keyboard's ISO_Level3_Shift placeholder (evdev 84 is unassigned), 255 is past
    // every table entry, keycodes below 8 do not exist.
    for (unsigned keycode : {0u, 7u, 92u, 255u, 1000u}) {
        EXPECT_EQ(ScanCodeTable::ForKeycode(keycode), ScanCode{}) << keycode;
        CKeyTranslator translator;
        EXPECT_EQ(translator.Translate(keycode, true), (HookKey{0x80, 0})) << keycode;
    }
}

TEST(KeyTranslation, ExtendedCodesDoNotCollide)
{
    // No two keys may report the same (extended, scan) pair: a receiver could not tell them
    // apart. Scan code 0 (no code) and the documented F24/Zenkaku sharing are the exceptions.
    std::vector<std::pair<ScanCode, unsigned>> seen;
    for (unsigned keycode = 8; keycode < 256; ++keycode) {
        const ScanCode scan = ScanCodeTable::ForKeycode(keycode);
        if (scan.code == 0)
            continue;
        for (const auto& [other, otherKeycode] : seen) {
            const bool sharedByDesign = scan == ScanCode{false, 0x76};
            if (!sharedByDesign) {
                EXPECT_FALSE(other == scan) << "keycodes " << otherKeycode << " and " << keycode;
            }
        }
        seen.emplace_back(scan, keycode);
    }
}
