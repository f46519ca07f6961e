#include "support/CDesktopWindows.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <thread>
#include <vector>

namespace corvana {

namespace {

struct DisplayCloser {
    void operator()(Display* display) const { XCloseDisplay(display); }
};
using DisplayPtr = std::unique_ptr<Display, DisplayCloser>;

struct XFreer {
    void operator()(void* data) const { XFree(data); }
};

// A private connection to the X server. Other programs' windows can vanish between two of its
// requests; the errors that causes are ignored instead of ending the process.
class Connection {
public:
    Connection() : m_display(XOpenDisplay(nullptr)), m_previous(XSetErrorHandler(&Ignore)) {}
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;
    ~Connection()
    {
        if (m_display)
            XSync(m_display.get(), False);
        XSetErrorHandler(m_previous);
    }
    Display* get() const { return m_display.get(); }
    explicit operator bool() const { return m_display != nullptr; }

private:
    static int Ignore(Display*, XErrorEvent*) { return 0; }

    DisplayPtr m_display;
    XErrorHandler m_previous;
};

// While it lasts no other client is served, so nobody can move the focus.
class ServerGrab {
public:
    explicit ServerGrab(Display* display) : m_display(display) { XGrabServer(display); }
    ServerGrab(const ServerGrab&) = delete;
    ServerGrab& operator=(const ServerGrab&) = delete;
    ~ServerGrab()
    {
        XUngrabServer(m_display);
        XFlush(m_display);
    }

private:
    Display* m_display;
};

// The 32-bit items of a window property of the given type.
template <typename Item>
std::vector<Item> ReadProperty(Display* display, Window window, const char* property, Atom type)
{
    const Atom atom = XInternAtom(display, property, True);
    std::vector<Item> result;
    if (atom == None)
        return result;
    Atom actualType = None;
    int format = 0;
    unsigned long count = 0;
    unsigned long remaining = 0;
    unsigned char* raw = nullptr;
    if (XGetWindowProperty(display, window, atom, 0, 1 << 16, False, type, &actualType, &format, &count, &remaining,
                           &raw) != Success)
        return result;
    std::unique_ptr<unsigned char, XFreer> data(raw);
    if (actualType == type && format == 32 && data) {
        const auto* items = reinterpret_cast<const Item*>(data.get());
        result.assign(items, items + count);
    }
    return result;
}

std::vector<Window> ReadWindowList(Display* display, Window window, const char* property)
{
    return ReadProperty<Window>(display, window, property, XA_WINDOW);
}

// Top-level client windows: the window manager's list, or the root's children without one.
std::vector<Window> ClientWindows(Display* display)
{
    const Window root = DefaultRootWindow(display);
    std::vector<Window> clients = ReadWindowList(display, root, "_NET_CLIENT_LIST");
    if (!clients.empty())
        return clients;
    Window rootReturn = 0;
    Window parent = 0;
    Window* children = nullptr;
    unsigned int count = 0;
    if (XQueryTree(display, root, &rootReturn, &parent, &children, &count) && children) {
        clients.assign(children, children + count);
        XFree(children);
    }
    return clients;
}

bool HasClass(Display* display, Window window, const char* name)
{
    XClassHint hint{};
    if (!XGetClassHint(display, window, &hint))
        return false;
    const bool match = (hint.res_name && std::strcmp(hint.res_name, name) == 0)
                       || (hint.res_class && std::strcmp(hint.res_class, name) == 0);
    if (hint.res_name)
        XFree(hint.res_name);
    if (hint.res_class)
        XFree(hint.res_class);
    return match;
}

bool HasWindowType(Display* display, Window window, Atom wanted)
{
    const std::vector<Atom> types = ReadProperty<Atom>(display, window, "_NET_WM_WINDOW_TYPE", XA_ATOM);
    return std::find(types.begin(), types.end(), wanted) != types.end();
}

// Key strokes go to the focus window: true when that is the window or one inside it.
bool HoldsFocus(Display* display, Window window)
{
    Window focus = None;
    int revertTo = 0;
    XGetInputFocus(display, &focus, &revertTo);
    const Window root = DefaultRootWindow(display);
    while (focus != None && focus != PointerRoot && focus != root) {
        if (focus == window)
            return true;
        Window rootReturn = 0;
        Window parent = None;
        Window* children = nullptr;
        unsigned int count = 0;
        if (!XQueryTree(display, focus, &rootReturn, &parent, &children, &count))
            return false;
        std::unique_ptr<Window, XFreer> owned(children);
        focus = parent;
    }
    return false;
}

} // namespace

std::optional<CDesktopWindows::WindowId> CDesktopWindows::FindWindowByClass(const char* name)
{
    Connection display;
    if (!display)
        return std::nullopt;
    for (Window window : ClientWindows(display.get()))
        if (HasClass(display.get(), window, name))
            return window;
    return std::nullopt;
}

std::optional<CDesktopWindows::WindowId> CDesktopWindows::FindDesktopWindow()
{
    Connection display;
    if (!display)
        return std::nullopt;
    const Atom desktop = XInternAtom(display.get(), "_NET_WM_WINDOW_TYPE_DESKTOP", True);
    if (desktop == None)
        return std::nullopt;
    for (Window window : ClientWindows(display.get()))
        if (HasWindowType(display.get(), window, desktop))
            return window;
    return std::nullopt;
}

bool CDesktopWindows::ActivateWindow(WindowId window)
{
    Connection display;
    if (!display)
        return false;
    Display* dpy = display.get();
    const Window root = DefaultRootWindow(dpy);
    if (!ReadWindowList(dpy, root, "_NET_CLIENT_LIST").empty()) {
        XEvent event{};
        event.xclient.type = ClientMessage;
        event.xclient.window = window;
        event.xclient.message_type = XInternAtom(dpy, "_NET_ACTIVE_WINDOW", False);
        event.xclient.format = 32;
        event.xclient.data.l[0] = 2;  // a pager-like request, which window managers honour
        event.xclient.data.l[1] = CurrentTime;
        XSendEvent(dpy, root, False, SubstructureRedirectMask | SubstructureNotifyMask, &event);
    } else {
        XRaiseWindow(dpy, window);
        XSetInputFocus(dpy, window, RevertToParent, CurrentTime);
    }
    XSync(dpy, False);
    const auto deadline = std::chrono::steady_clock::now() + kActivationBound;
    while (!HoldsFocus(dpy, window)) {
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}

bool CDesktopWindows::SendKeys(WindowId window, std::span<const SymbolKey> keys)
{
    Connection display;
    if (!display)
        return false;
    int eventBase = 0;
    int errorBase = 0;
    int major = 0;
    int minor = 0;
    if (!XTestQueryExtension(display.get(), &eventBase, &errorBase, &major, &minor))
        return false;
    // The focus is checked and the keys typed without anyone in between who could move it.
    ServerGrab grab(display.get());
    return HoldsFocus(display.get(), window) && CXTestKeyboard(display.get()).Type(keys);
}

} // namespace corvana
