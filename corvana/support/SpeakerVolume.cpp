#include "support/SpeakerVolume.h"

#include "support/CAlsaMixer.h"
#include "support/Logging.h"

namespace corvana {

namespace {

std::uint32_t s_nLastKnownMaximum = 0;

// Opens the mixer and finds the master line's volume, logging the step that failed.
std::unique_ptr<CAlsaMixer> OpenVolumeControl()
{
    std::unique_ptr<CAlsaMixer> mixer = CAlsaMixer::Open();
    if (!mixer) {
        CORVANA_DEBUG_LINE(lcSupport, "mixerOpen() failed");
        return nullptr;
    }
    if (!mixer->FindVolumeLine()) {
        CORVANA_DEBUG_LINE(lcSupport, "mixerGetLineInfo() failed");
        return nullptr;
    }
    const std::optional<std::uint32_t> maximum = mixer->VolumeMaximum();
    if (!maximum) {
        CORVANA_DEBUG_LINE(lcSupport, "mixerGetLineControls() failed");
        return nullptr;
    }
    s_nLastKnownMaximum = *maximum;
    return mixer;
}

} // namespace

std::uint32_t GetSpeakerVolume()
{
    std::unique_ptr<CAlsaMixer> mixer = OpenVolumeControl();
    if (!mixer)
        return kVolumeFailed;
    const std::optional<std::uint32_t> volume = mixer->Volume();
    if (!volume) {
        CORVANA_DEBUG_LINE(lcSupport, "mixerGetControlDetails() failed");
        return kVolumeFailed;
    }
    return *volume;
}

std::uint32_t SetSpeakerVolume(std::uint32_t value)
{
    std::unique_ptr<CAlsaMixer> mixer = OpenVolumeControl();
    if (!mixer)
        return s_nLastKnownMaximum;
    const std::uint32_t maximum = s_nLastKnownMaximum;
    // The maximum itself, and a wrapped-round difference, are never written.
    if (value < maximum)
        mixer->SetVolume(value);
    return maximum;
}

std::uint32_t VolumeStep()
{
    return SetSpeakerVolume(GetSpeakerVolume()) / 7;
}

int VolumeLevel(std::uint32_t volume, std::uint32_t maximum)
{
    const std::uint64_t step = maximum / 7;
    const std::uint64_t v = volume;
    if (v == 0 || v < step)
        return 1;
    for (int level = 2; level <= 7; ++level)
        if (v <= static_cast<std::uint64_t>(level - 1) * step)
            return level;
    if (v <= maximum)
        return 8;
    return 0;
}

int VolumeLevelBitmap(int level)
{
    if (level == 1)
        return 179;
    if (level >= 2 && level <= 7)
        return 178 + level;
    if (level == 8)
        return 178;
    return 0;
}

int UpdateVolumeIndicator(const SetVolumeImage& setImage)
{
    const std::uint32_t maximum = SetSpeakerVolume(GetSpeakerVolume());
    const std::uint32_t volume = GetSpeakerVolume();
    const int level = VolumeLevel(volume, maximum);
    if (level != 0 && setImage)
        setImage(VolumeLevelBitmap(level));
    return level;
}

void OnVolumeUp(const SetVolumeImage& setImage)
{
    const std::uint32_t step = VolumeStep();
    SetSpeakerVolume(GetSpeakerVolume() + step);
    if (UpdateVolumeIndicator(setImage) == 8)
        SetSpeakerVolume(LastKnownVolumeMaximum() - 1);
}

void OnVolumeDown(const SetVolumeImage& setImage)
{
    const std::uint32_t step = VolumeStep();
    SetSpeakerVolume(GetSpeakerVolume() - step);
    if (UpdateVolumeIndicator(setImage) == 1)
        SetSpeakerVolume(0);
}

std::uint32_t LastKnownVolumeMaximum()
{
    return s_nLastKnownMaximum;
}

} // namespace corvana
