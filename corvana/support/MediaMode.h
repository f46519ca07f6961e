#pragma once
#include <optional>

namespace corvana {

// The four working modes; the values are those stored as "ModeState".
enum class MediaMode : int { Solo = 0, Conference = 1, Video = 2, Photo = 3 };

inline std::optional<MediaMode> MediaModeFromInt(int value)
{
    if (value < 0 || value > 3)
        return std::nullopt;
    return static_cast<MediaMode>(value);
}

inline int ToInt(MediaMode mode) { return static_cast<int>(mode); }

} // namespace corvana
