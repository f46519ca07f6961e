#include "support/CKeyTranslator.h"

#include <gtest/gtest.h>

using namespace corvana;

// X keycodes as the X server under test reports them (evdev code + 8).
TEST(KeyTranslation, AltFlagFollowsEitherAltKey)
{
    const struct {
        const char* key;
        unsigned keycode;
        bool released;
        HookKey expected;
    } sequence[] = {
        {"Alt_L", 64, false, {0x20, 0x38}}, // the Alt press itself carries the flag
        {"F4", 70, false, {0x20, 0x3E}},    // Alt+F4 as the hidden frame looks for it
        {"F4", 70, true, {0xA0, 0x3E}},
        {"Alt_L", 64, true, {0x80, 0x38}},  // and its release no longer does
        {"F4", 70, false, {0x00, 0x3E}},
        {"Alt_R", 108, false, {0x21, 0x38}},
        {"Alt_L", 64, false, {0x20, 0x38}},
        {"Alt_R", 108, true, {0xA1, 0x38}}, // the left one is still down
        {"a", 38, false, {0x20, 0x1E}},
        {"Alt_L", 64, true, {0x80, 0x38}},
        {"a", 38, true, {0x80, 0x1E}},
    };
    CKeyTranslator translator;
    for (const auto& typed : sequence) {
        const HookKey got = translator.Translate(typed.keycode, typed.released);
        EXPECT_EQ(got.flags, typed.expected.flags) << typed.key << (typed.released ? " up" : " down");
        EXPECT_EQ(got.scan, typed.expected.scan) << typed.key << (typed.released ? " up" : " down");
    }
}
