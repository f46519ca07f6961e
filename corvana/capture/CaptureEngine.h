#pragma once

namespace corvana {

// The three capture objects live for the whole process; Shutdown stops and releases their
// pipelines so nothing streams while the application object is being destroyed.
class CaptureEngine {
public:
    static void Shutdown();
    // Makes the three objects now: a handler registered with atexit afterwards runs while they
    // still exist.
    static void Create();
    // Loads ahead what the recordings and previews need, so that the first recording starts when
    // Record is pressed and not once the plugins are in memory.
    static void WarmUp();
};

} // namespace corvana
