#pragma once
#include "capture/CaptureDevice.h"

#include <optional>
#include <vector>

namespace corvana {

// The machine's real capture devices, as GStreamer's device monitor lists them. Microphones are
// real capture sources only, never the monitor of an output, and the sound server's default
// source comes first. Nothing when the monitor cannot start.
class DeviceMonitorSource {
public:
    static std::optional<std::vector<CaptureDevice>> List(DeviceCategory category);
};

} // namespace corvana
