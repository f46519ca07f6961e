#pragma once
#include "capture/GstHandle.h"

#include <QSocketNotifier>
#include <functional>
#include <memory>

namespace corvana {

// Delivers a pipeline's bus messages on the user-interface thread: the bus's poll descriptor is
// watched by the Qt event loop and drained without blocking. The handler may destroy the watch.
class BusWatch {
public:
    using Handler = std::function<void(GstMessage*)>;

    BusWatch(GstElement* pipeline, Handler handler);
    ~BusWatch();
    BusWatch(const BusWatch&) = delete;
    BusWatch& operator=(const BusWatch&) = delete;

    void Drain();

private:
    BusHandle m_bus;
    Handler m_handler;
    std::unique_ptr<QSocketNotifier> m_notifier;
    std::shared_ptr<bool> m_alive = std::make_shared<bool>(true);
};

} // namespace corvana
