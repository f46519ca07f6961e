#include "support/CXTestKeyboard.h"

#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>

#include <algorithm>
#include <memory>
#include <utility>
#include <vector>

namespace corvana {

namespace {

struct KeyboardFreer {
    void operator()(XkbDescPtr keyboard) const { XkbFreeKeyboard(keyboard, 0, True); }
};
using KeyboardPtr = std::unique_ptr<XkbDescRec, KeyboardFreer>;

struct DisplayCloser {
    void operator()(Display* display) const { XCloseDisplay(display); }
};

struct XFreer {
    void operator()(void* data) const { XFree(data); }
};

// The group a key reads its symbols from while the keyboard is in group: a key with fewer groups
// brings it into range the way the layout says.
int KeyGroup(XkbDescPtr keyboard, int code, int group)
{
    const int groups = XkbKeyNumGroups(keyboard, code);
    if (group < groups)
        return group;
    const unsigned char info = XkbKeyGroupInfo(keyboard, code);
    switch (XkbOutOfRangeGroupAction(info)) {
    case XkbClampIntoRange:
        return groups - 1;
    case XkbRedirectIntoRange:
        return XkbOutOfRangeGroupNumber(info) < groups ? XkbOutOfRangeGroupNumber(info) : 0;
    default:
        return group % groups;
    }
}

KeyCode CodeInLayout(XkbDescPtr keyboard, int group, KeySym symbol)
{
    for (int code = keyboard->min_key_code; code <= keyboard->max_key_code; ++code)
        if (XkbKeyNumGroups(keyboard, code) > 0 && XkbKeySymEntry(keyboard, code, 0, KeyGroup(keyboard, code, group)) == symbol)
            return static_cast<KeyCode>(code);
    return 0;
}

// Key codes lent to symbols the layout lacked. They stay lent while the program runs, as a
// client may look the symbol up only after the key has been typed; at exit they are emptied
// again unless the layout has been replaced meanwhile.
class LentCodes {
public:
    LentCodes() = default;
    LentCodes(const LentCodes&) = delete;
    LentCodes& operator=(const LentCodes&) = delete;
    ~LentCodes()
    {
        if (m_codes.empty())
            return;
        std::unique_ptr<Display, DisplayCloser> display(XOpenDisplay(nullptr));
        if (!display)
            return;
        for (const auto& [code, symbol] : m_codes) {
            int perCode = 0;
            std::unique_ptr<KeySym, XFreer> current(XGetKeyboardMapping(display.get(), code, 1, &perCode));
            if (current && perCode > 0 && *current == symbol) {
                KeySym none = NoSymbol;
                XChangeKeyboardMapping(display.get(), code, 1, &none, 1);
            }
        }
        XSync(display.get(), False);
    }
    void Add(KeyCode code, KeySym symbol) { m_codes.emplace_back(code, symbol); }

private:
    std::vector<std::pair<KeyCode, KeySym>> m_codes;
};

LentCodes& Lent()
{
    static LentCodes codes;
    return codes;
}

} // namespace

CXTestKeyboard::CXTestKeyboard(_XDisplay* display) : m_display(display) {}

bool CXTestKeyboard::Type(std::span<const SymbolKey> keys)
{
    KeyboardPtr keyboard(XkbGetMap(m_display, XkbKeySymsMask, XkbUseCoreKbd));
    XkbStateRec state{};
    if (!keyboard || XkbGetState(m_display, XkbUseCoreKbd, &state) != Success)
        return false;

    std::vector<std::pair<KeySym, KeyCode>> resolved;
    std::vector<KeyCode> codes;
    for (const SymbolKey& key : keys) {
        const KeySym symbol = XStringToKeysym(key.keysym);
        if (symbol == NoSymbol)
            return false;
        auto known = std::find_if(resolved.begin(), resolved.end(), [symbol](const auto& entry) { return entry.first == symbol; });
        KeyCode code = known != resolved.end() ? known->second : CodeInLayout(keyboard.get(), state.group, symbol);
        // A spare key gets no modifier behaviour, so only ordinary symbols may borrow one.
        for (int spare = keyboard->max_key_code; code == 0 && !IsModifierKey(symbol) && spare >= keyboard->min_key_code; --spare) {
            const bool taken = std::any_of(resolved.begin(), resolved.end(), [spare](const auto& entry) { return entry.second == spare; });
            if (XkbKeyNumGroups(keyboard.get(), spare) == 0 && !taken) {
                KeySym lent = symbol;
                XChangeKeyboardMapping(m_display, spare, 1, &lent, 1);
                Lent().Add(static_cast<KeyCode>(spare), symbol);
                code = static_cast<KeyCode>(spare);
            }
        }
        if (code == 0)
            return false;
        if (known == resolved.end())
            resolved.emplace_back(symbol, code);
        codes.push_back(code);
    }
    for (std::size_t i = 0; i < keys.size(); ++i)
        XTestFakeKeyEvent(m_display, codes[i], keys[i].release ? False : True, CurrentTime);
    return true;
}

} // namespace corvana
