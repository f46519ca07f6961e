#pragma once
#include <cstdint>
#include <memory>
#include <optional>

struct _snd_mixer;
struct _snd_mixer_elem;

namespace corvana {

// The master playback volume of ALSA's simple mixer: card "default" (CORVANA_MIXER_CARD
// overrides it), element "Master", else the first element with a playback volume. The range
// is offered as 0 to maximum whatever the element's own minimum is. Open for one operation.
class CAlsaMixer {
public:
    static std::unique_ptr<CAlsaMixer> Open();
    ~CAlsaMixer();
    CAlsaMixer(const CAlsaMixer&) = delete;
    CAlsaMixer& operator=(const CAlsaMixer&) = delete;

    // Finds the master element; false when the card has none.
    bool FindVolumeLine();
    // The range's upper bound, once the line has been found.
    std::optional<std::uint32_t> VolumeMaximum();
    // Both need the range read first.
    std::optional<std::uint32_t> Volume();
    bool SetVolume(std::uint32_t value);

private:
    struct MixerCloser {
        void operator()(_snd_mixer* mixer) const;
    };
    using MixerPtr = std::unique_ptr<_snd_mixer, MixerCloser>;

    explicit CAlsaMixer(MixerPtr mixer);
    bool ReadRange();

    MixerPtr m_pMixer;
    _snd_mixer_elem* m_pElement = nullptr;
    long m_nMin = 0;
    long m_nMax = 0;
    bool m_bRangeRead = false;
};

} // namespace corvana
