#include "capture/BusWatch.h"

namespace corvana {

BusWatch::BusWatch(GstElement* pipeline, Handler handler)
    : m_bus(BusHandle::Adopt(gst_element_get_bus(pipeline))), m_handler(std::move(handler))
{
    GPollFD pollFd{};
    gst_bus_get_pollfd(m_bus.get(), &pollFd);
    m_notifier = std::make_unique<QSocketNotifier>(pollFd.fd, QSocketNotifier::Read);
    QObject::connect(m_notifier.get(), &QSocketNotifier::activated, m_notifier.get(), [this] { Drain(); });
}

BusWatch::~BusWatch()
{
    *m_alive = false;
}

bool BusWatch::Pop(GstBus* bus, GstMessageType types, const std::function<GstClockTime()>& wait,
                   const std::shared_ptr<bool>& alive, const Handler& handler, bool untilDealtWith)
{
    while (*alive) {
        const GstClockTime timeout = wait();
        GstMessagePtr message(timeout == 0 ? gst_bus_pop_filtered(bus, types) : gst_bus_timed_pop_filtered(bus, timeout, types));
        if (!message)
            return false;
        if (handler && handler(message.get()) && untilDealtWith)
            return true;
    }
    return false;
}

void BusWatch::Drain()
{
    // Held here: the handler may destroy this watch, and with it the members.
    const std::shared_ptr<bool> alive = m_alive;
    const Handler handler = m_handler;
    const BusHandle bus = BusHandle::Adopt(GST_BUS(gst_object_ref(m_bus.get())));
    Pop(bus.get(), GST_MESSAGE_ANY, [] { return GstClockTime(0); }, alive, handler, false);
}

bool BusWatch::WaitFor(GstElement* pipeline, GstMessageType types, std::chrono::steady_clock::time_point deadline,
                       const Handler& handler)
{
    const BusHandle bus = BusHandle::Adopt(gst_element_get_bus(pipeline));
    const auto alive = std::make_shared<bool>(true);
    const auto left = [deadline] {
        const auto rest = std::chrono::duration_cast<std::chrono::nanoseconds>(deadline - std::chrono::steady_clock::now());
        // At least a nanosecond: 0 would mean "do not wait" to the pop.
        return rest.count() > 0 ? static_cast<GstClockTime>(rest.count()) : GstClockTime(0);
    };
    if (left() == 0)
        return false;
    return Pop(bus.get(), types, left, alive, handler, true);
}

} // namespace corvana
