#include "support/CXInputKeySource.h"

#include "support/Logging.h"

#include <QSocketNotifier>

#include <X11/Xlib.h>
#include <X11/extensions/XInput2.h>

#include <atomic>

namespace corvana {

namespace {
std::atomic<int> s_nLiveSources{0};
std::atomic<long long> s_nReadEvents{0};
}

void CXInputKeySource::DisplayCloser::operator()(_XDisplay* display) const
{
    XCloseDisplay(display);
}

std::unique_ptr<CXInputKeySource> CXInputKeySource::Open(KeyHandler handler, QString* failure)
{
    auto fail = [failure](const char* why) -> std::unique_ptr<CXInputKeySource> {
        qCDebug(lcSupport) << "key source:" << why;
        if (failure)
            *failure = QString::fromLatin1(why);
        return nullptr;
    };
    DisplayPtr display(XOpenDisplay(nullptr));
    if (!display)
        return fail("there is no X display");
    int opcode = 0;
    int firstEvent = 0;
    int firstError = 0;
    if (!XQueryExtension(display.get(), "XInputExtension", &opcode, &firstEvent, &firstError))
        return fail("the X server has no XInput extension");
    // 2.1 and later deliver raw events to the root window also while another client grabs.
    int major = 2;
    int minor = 2;
    if (XIQueryVersion(display.get(), &major, &minor) != Success || major < 2)
        return fail("the X server has no XInput 2");

    unsigned char bits[XIMaskLen(XI_LASTEVENT)] = {};
    XISetMask(bits, XI_RawKeyPress);
    XISetMask(bits, XI_RawKeyRelease);
    XIEventMask mask;
    mask.deviceid = XIAllMasterDevices; // one event per key, not one per slave device as well
    mask.mask_len = sizeof(bits);
    mask.mask = bits;
    XISelectEvents(display.get(), DefaultRootWindow(display.get()), &mask, 1);
    // Selected before we return, so no key typed after an install is missed.
    XSync(display.get(), False);

    return std::unique_ptr<CXInputKeySource>(new CXInputKeySource(std::move(display), opcode, std::move(handler)));
}

CXInputKeySource::CXInputKeySource(DisplayPtr display, int xiOpcode, KeyHandler handler)
    : m_pDisplay(std::move(display)), m_nXiOpcode(xiOpcode), m_handler(std::move(handler))
{
    m_pNotifier = std::make_unique<QSocketNotifier>(ConnectionNumber(m_pDisplay.get()), QSocketNotifier::Read);
    connect(m_pNotifier.get(), &QSocketNotifier::activated, this, [this] { Drain(); });
    ++s_nLiveSources;
    // XSync may already have queued events that the socket will not announce again.
    Drain();
}

CXInputKeySource::~CXInputKeySource()
{
    m_pNotifier.reset();
    --s_nLiveSources;
}

int CXInputKeySource::LiveCount()
{
    return s_nLiveSources.load();
}

long long CXInputKeySource::ReadCount()
{
    return s_nReadEvents.load();
}

void CXInputKeySource::Drain()
{
    Display* display = m_pDisplay.get();
    // One read of the socket per wake-up; every further check looks at the queue only, since
    // each read attempt on an empty socket costs a system call for every key of the desktop.
    XEventsQueued(display, QueuedAfterReading);
    while (XEventsQueued(display, QueuedAlready) > 0) {
        XEvent event;
        XNextEvent(display, &event);
        XGenericEventCookie* cookie = &event.xcookie;
        if (cookie->type != GenericEvent || cookie->extension != m_nXiOpcode || !XGetEventData(display, cookie))
            continue;
        if (cookie->evtype == XI_RawKeyPress || cookie->evtype == XI_RawKeyRelease) {
            const auto* raw = static_cast<const XIRawEvent*>(cookie->data);
            const HookKey key = m_translator.Translate(static_cast<unsigned>(raw->detail),
                                                       cookie->evtype == XI_RawKeyRelease);
            ++s_nReadEvents;
            if (m_handler)
                m_handler(key);
        }
        XFreeEventData(display, cookie);
    }
}

} // namespace corvana
