#pragma once
#include "capture/GstHandle.h"

#include <QTimer>
#include <atomic>
#include <chrono>
#include <functional>
#include <memory>

namespace corvana {

// Notices a camera or microphone that stops delivering without saying so: a PipeWire node that
// was destroyed, a program providing a camera that ended, a suspended source. Its data are
// counted where they leave the source; when none came for the limit, onStalled runs once on the
// user-interface thread. Only time in which the source plays counts. The handler may destroy the
// watchdog.
class SourceWatchdog {
public:
    static constexpr std::chrono::milliseconds kStallLimit{2000};

    SourceWatchdog(GstElement* source, std::function<void()> onStalled, std::chrono::milliseconds limit = kStallLimit);
    ~SourceWatchdog();
    SourceWatchdog(const SourceWatchdog&) = delete;
    SourceWatchdog& operator=(const SourceWatchdog&) = delete;

private:
    // Shared with the streaming thread's probe, which may run while the watchdog goes away.
    struct Arrivals {
        std::atomic<std::int64_t> lastNanoseconds{0};
    };
    static std::int64_t Now();
    void Check();

    ElementHandle m_source;
    PadHandle m_pad;
    gulong m_probe = 0;
    std::shared_ptr<Arrivals> m_arrivals = std::make_shared<Arrivals>();
    std::function<void()> m_onStalled;
    std::chrono::milliseconds m_limit;
    QTimer m_timer;
};

} // namespace corvana
