#pragma once
// The speaker volume behind the main dialog's volume buttons and level indicator. Every
// operation opens the mixer and closes it again, so changes made by other programs are seen.
#include <cstdint>
#include <functional>

namespace corvana {

constexpr std::uint32_t kVolumeFailed = 0xFFFFFFFF;

// Sets the indicator's image to a bitmap resource.
using SetVolumeImage = std::function<void(int bitmapId)>;

// The current volume, or kVolumeFailed.
std::uint32_t GetSpeakerVolume();
// Writes value only when it is below the maximum; returns the maximum, or the last known one
// when the mixer cannot be reached.
std::uint32_t SetSpeakerVolume(std::uint32_t value);
std::uint32_t VolumeStep();
// The maximum of the last successful look at the mixer, 0 before the first.
std::uint32_t LastKnownVolumeMaximum();

// Level 1 to 8 of volume within 0..maximum, 0 when it lies above the maximum.
int VolumeLevel(std::uint32_t volume, std::uint32_t maximum);
// Indicator bitmap of a level 1 to 8; 0 for level 0.
int VolumeLevelBitmap(int level);

// Shows the current level through setImage (not called for level 0) and returns it.
int UpdateVolumeIndicator(const SetVolumeImage& setImage);
void OnVolumeUp(const SetVolumeImage& setImage);
void OnVolumeDown(const SetVolumeImage& setImage);

} // namespace corvana
