#pragma once

namespace corvana {

// The three capture objects live for the whole process; Shutdown stops and releases their
// pipelines so nothing streams while the application object is being destroyed.
class CaptureEngine {
public:
    static void Shutdown();
};

} // namespace corvana
