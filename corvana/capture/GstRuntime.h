#pragma once
#include <QStringList>

namespace corvana {

// Initialises GStreamer once per process and, when a Qt application exists, shuts the capture
// objects down before it quits, while the event loop's objects are still alive.
class GstRuntime {
public:
    static void Ensure();
    // Loads the elements' plugins on a thread of its own and makes one of each, so that their
    // first use does not wait for that. Only the first call works.
    static void WarmUp(const QStringList& factories);
    // At the very end of the process: waits for the warm-up and lets GStreamer go, so that its
    // leak tracer, when asked for, reports what was still alive.
    static void Shutdown();
    // Something that runs a thread of its own inside GStreamer until the process ends (the device
    // monitors) lives: Shutdown then leaves GStreamer in place for the process's end.
    static void KeepToTheEnd();
};

} // namespace corvana
