#pragma once
#include "capture/CaptureDevice.h"

#include <vector>

namespace corvana {

// The machine's real capture devices, as GStreamer's device monitor lists them.
class DeviceMonitorSource {
public:
    static std::vector<CaptureDevice> List(DeviceCategory category);
};

} // namespace corvana
