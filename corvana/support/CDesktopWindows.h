#pragma once
// The X11 side of talking to other programs' windows: find a top-level window by its class
// name, make a window the active one, and type key strokes into it.
#include "support/CXTestKeyboard.h"

#include <chrono>
#include <optional>
#include <span>

namespace corvana {

class CDesktopWindows {
public:
    using WindowId = unsigned long;
    // Longer than a window manager takes to switch windows, short enough not to stall the dialog.
    static constexpr std::chrono::milliseconds kActivationBound{500};

    // A managed top-level window whose WM_CLASS instance or class name equals name.
    static std::optional<WindowId> FindWindowByClass(const char* name);
    // The window manager's desktop window, where it has one.
    static std::optional<WindowId> FindDesktopWindow();

    // Asks the window manager to activate the window (or raises and focuses it without one);
    // true once the window holds the keyboard focus, within kActivationBound.
    static bool ActivateWindow(WindowId window);
    // Types the keys into the window while it holds the keyboard focus. False, with nothing
    // typed, when it does not or when a key cannot be typed on the current layout.
    static bool SendKeys(WindowId window, std::span<const SymbolKey> keys);
};

} // namespace corvana
