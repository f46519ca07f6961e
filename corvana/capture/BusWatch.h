#pragma once
#include "capture/GstHandle.h"

#include <QSocketNotifier>
#include <chrono>
#include <functional>
#include <memory>

namespace corvana {

// A pipeline's bus messages, by one pop loop two ways: on the user-interface thread as they come
// (the bus's poll descriptor is watched by the Qt event loop and drained without blocking), or
// in a blocking wait for the messages a step needs. The handler may destroy the watch.
class BusWatch {
public:
    // Says whether it dealt with the message; in a wait, a dealt-with message ends it.
    using Handler = std::function<bool(GstMessage*)>;

    BusWatch(GstElement* pipeline, Handler handler);
    ~BusWatch();
    BusWatch(const BusWatch&) = delete;
    BusWatch& operator=(const BusWatch&) = delete;

    void Drain();

    // Hands the pipeline's messages of these types to the handler until it deals with one (true)
    // or the deadline passes (false). Messages of other types stay on the bus.
    static bool WaitFor(GstElement* pipeline, GstMessageType types, std::chrono::steady_clock::time_point deadline,
                        const Handler& handler);

private:
    // Pops messages of `types` until one is dealt with, `alive` turns false or there is none
    // within `wait` (which gives the time left; 0 pops only what is there).
    static bool Pop(GstBus* bus, GstMessageType types, const std::function<GstClockTime()>& wait,
                    const std::shared_ptr<bool>& alive, const Handler& handler, bool untilDealtWith);

    BusHandle m_bus;
    Handler m_handler;
    std::unique_ptr<QSocketNotifier> m_notifier;
    std::shared_ptr<bool> m_alive = std::make_shared<bool>(true);
};

} // namespace corvana
