#pragma once

namespace corvana {

enum class DeviceCategory { AudioInput, VideoInput };

} // namespace corvana
