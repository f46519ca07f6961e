#include "support/CKeyTranslator.h"

#include <gtest/gtest.h>

#include <utility>

using namespace corvana;

// X keycodes as the X server under test reports them (evdev code + 8). The left Alt alone is
// typed through the X server in the key source's test; here both Alt keys overlap.
TEST(KeyTranslation, AltFlagFollowsEitherAltKey)
{
    const struct {
        const char* key;
        unsigned keycode;
        bool released;
        HookKey expected;
    } sequence[] = {
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
        EXPECT_EQ(std::pair(got.flags, got.scan), std::pair(typed.expected.flags, typed.expected.scan))
            << typed.key << (typed.released ? " up" : " down");
    }
}
