#pragma once

namespace corvana {

// Initialises GStreamer once per process and, when a Qt application exists, shuts the capture
// objects down before it quits, while the event loop's objects are still alive.
class GstRuntime {
public:
    static void Ensure();
};

} // namespace corvana
