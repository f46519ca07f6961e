#pragma once

namespace corvana {

// What kind of desktop session the program runs in.
class DesktopSession {
public:
    // XDG_SESSION_TYPE=wayland or WAYLAND_DISPLAY set.
    static bool IsWayland();
    // Before the QApplication is made: on a Wayland session with no platform chosen, the window
    // goes through XWayland, where its placement, outline and dragging work as on X11. Says so
    // once on standard error.
    static void PreferXWayland();
};

} // namespace corvana
