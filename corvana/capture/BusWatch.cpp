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

void BusWatch::Drain()
{
    const std::shared_ptr<bool> alive = m_alive;
    while (*alive) {
        GstMessagePtr message(gst_bus_pop(m_bus.get()));
        if (!message)
            break;
        // A copy, so the handler may destroy this watch while it runs.
        const Handler handler = m_handler;
        if (handler)
            handler(message.get());
    }
}

} // namespace corvana
