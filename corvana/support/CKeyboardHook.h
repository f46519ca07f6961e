#pragma once
#include <cstdint>

class QObject;

namespace corvana {

// Holder of the program's global key source. Instances carry no data: the target and the
// installed source are shared by the whole process, and destroying a holder leaves them alone.
class CKeyboardHook {
public:
    virtual ~CKeyboardHook();

    // Makes target the receiver of WM_HOOKKEY (also when the install fails) and installs the
    // source anew, so at most one is ever installed. 1 when a source is installed, else 0.
    int InstallKeyboardHook(QObject* target);
    // Non-zero when an installed source was removed, 0 when none was installed.
    int RemoveKeyboardHook();

    static bool IsInstalled();
};

// Called for every key event of the desktop: posts WM_HOOKKEY (flags, scan code) to the target.
void KeyboardHookProc(std::uint32_t flags, std::uint32_t scan);

} // namespace corvana
