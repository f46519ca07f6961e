#pragma once
#include <cstdint>

class QObject;
class QString;

namespace corvana {

// Holder of the program's global key source: the desktop portal's global shortcuts on a Wayland
// session whose portal offers them, else raw X key events, also when the portal binds none of
// the shortcuts; CORVANA_KEY_SOURCE=portal or x11 chooses one. Instances carry no data: the target and the installed source are shared by the
// whole process, and destroying a holder leaves them alone.
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

// Says once per process, on standard error, why the special keys cannot be had.
void ReportSpecialKeysUnavailable(const QString& why);

// Called for every key event of the desktop: posts WM_HOOKKEY (flags, scan code) to the target.
void KeyboardHookProc(std::uint32_t flags, std::uint32_t scan);

} // namespace corvana
