#pragma once
#include "capture/CaptureDevice.h"

#include <vector>

namespace corvana {

// The devices offered when there is no hardware: one live microphone playing a tone and one
// live webcam showing a moving picture in 1024x768 and 640x480.
class SyntheticDevices {
public:
    static std::vector<CaptureDevice> List(DeviceCategory category);
};

} // namespace corvana
