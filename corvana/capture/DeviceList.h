#pragma once
#include "capture/CaptureDevice.h"

#include <functional>
#include <vector>

namespace corvana {

// Where discovery gets its devices from: CORVANA_DEVICES=synthetic offers the synthetic pair,
// CORVANA_DEVICES=none nothing, otherwise the device monitor. A test may install its own list.
class DeviceList {
public:
    using Provider = std::function<std::vector<CaptureDevice>(DeviceCategory)>;

    static std::vector<CaptureDevice> Enumerate(DeviceCategory category);
    // An empty provider goes back to the rule above.
    static void SetProvider(Provider provider);
};

} // namespace corvana
