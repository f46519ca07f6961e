#pragma once
// Synthetic key strokes by key symbol. The key code comes from the keyboard layout in use, so
// "p" is typed as p on a Dvorak, AZERTY or German keyboard just as on a US one.
#include <span>

struct _XDisplay;

namespace corvana {

struct SymbolKey {
    const char* keysym;  // X key symbol name: "Control_L", "p", "F4"
    bool release;
};

class CXTestKeyboard {
public:
    explicit CXTestKeyboard(_XDisplay* display);

    // Types the keys in order through XTest, each on the key that gives its symbol without Shift
    // in the active layout group. A symbol the layout lacks is put on a spare key code for the
    // rest of the program's run. False, with nothing typed, when a key cannot be typed.
    bool Type(std::span<const SymbolKey> keys);

private:
    _XDisplay* m_display;
};

} // namespace corvana
