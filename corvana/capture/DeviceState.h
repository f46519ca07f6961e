#pragma once

namespace corvana {

// What a capture object's last look for its camera found, as GetDeviceState reports it.
struct DeviceState {
    static constexpr int NotLookedFor = 0;
    static constexpr int NoCamera = 1;
    static constexpr int CameraFound = 2;
};

} // namespace corvana
