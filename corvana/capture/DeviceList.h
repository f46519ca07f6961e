#pragma once
#include "capture/CaptureDevice.h"

#include <functional>
#include <optional>
#include <vector>

namespace corvana {

// Where discovery gets its devices from: CORVANA_DEVICES=synthetic offers the synthetic pair,
// CORVANA_DEVICES=none nothing, otherwise the device monitor. A test may install its own list.
class DeviceList {
public:
    // Nothing (as against an empty list) when the devices could not be listed at all.
    using Listing = std::optional<std::vector<CaptureDevice>>;
    using Provider = std::function<Listing(DeviceCategory)>;

    static Listing Enumerate(DeviceCategory category);
    // An empty provider goes back to the rule above.
    static void SetProvider(Provider provider);
};

} // namespace corvana
