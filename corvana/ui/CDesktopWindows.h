#pragma once
// The X11 side of talking to other programs' windows: find a top-level window by its class
// name, make a window the active one, and type key strokes into the active window.
#include <cstdint>
#include <optional>
#include <span>

namespace corvana {

struct ScanKey {
    std::uint8_t scanCode;  // PC set-1 scan code
    bool release;
};

class CDesktopWindows {
public:
    using WindowId = unsigned long;

    // A managed top-level window whose WM_CLASS instance or class name equals name.
    static std::optional<WindowId> FindWindowByClass(const char* name);
    // The window manager's desktop window, where it has one.
    static std::optional<WindowId> FindDesktopWindow();
    // Asks the window manager to activate the window (or raises and focuses it without one).
    static bool ActivateWindow(WindowId window);
    // Synthesises the key strokes, in order, through XTest.
    static bool SendKeys(std::span<const ScanKey> keys);
};

} // namespace corvana
