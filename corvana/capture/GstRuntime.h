#pragma once

namespace corvana {

// Initialises GStreamer once per process and, when a Qt application exists, shuts the capture
// objects down before it quits, while the event loop's objects are still alive.
class GstRuntime {
public:
    static void Ensure();
    // Loads, on a thread of its own, what a recording needs, so that the first recording starts
    // when Record is pressed and not once the plugins are in memory. Only the first call works.
    static void WarmUp();
    // At the very end of the process: waits for the warm-up and lets GStreamer go, so that its
    // leak tracer, when asked for, reports what was still alive.
    static void Shutdown();
};

} // namespace corvana
