#include "support/CAlsaMixer.h"

#include <QByteArray>

#include <alsa/asoundlib.h>

#include <algorithm>

namespace corvana {

namespace {

QByteArray CardName()
{
    QByteArray card = qgetenv("CORVANA_MIXER_CARD");
    return card.isEmpty() ? QByteArrayLiteral("default") : card;
}

} // namespace

void CAlsaMixer::MixerCloser::operator()(_snd_mixer* mixer) const
{
    snd_mixer_close(mixer);
}

std::unique_ptr<CAlsaMixer> CAlsaMixer::Open()
{
    snd_mixer_t* raw = nullptr;
    if (snd_mixer_open(&raw, 0) < 0 || !raw)
        return nullptr;
    MixerPtr mixer(raw);
    const QByteArray card = CardName();
    if (snd_mixer_attach(mixer.get(), card.constData()) < 0)
        return nullptr;
    if (snd_mixer_selem_register(mixer.get(), nullptr, nullptr) < 0)
        return nullptr;
    if (snd_mixer_load(mixer.get()) < 0)
        return nullptr;
    return std::unique_ptr<CAlsaMixer>(new CAlsaMixer(std::move(mixer)));
}

CAlsaMixer::CAlsaMixer(MixerPtr mixer) : m_pMixer(std::move(mixer)) {}

CAlsaMixer::~CAlsaMixer() = default;

bool CAlsaMixer::FindVolumeLine()
{
    snd_mixer_selem_id_t* id = nullptr;
    snd_mixer_selem_id_alloca(&id);
    snd_mixer_selem_id_set_index(id, 0);
    snd_mixer_selem_id_set_name(id, "Master");
    m_pElement = snd_mixer_find_selem(m_pMixer.get(), id);
    if (m_pElement && !snd_mixer_selem_has_playback_volume(m_pElement))
        m_pElement = nullptr;
    for (snd_mixer_elem_t* element = snd_mixer_first_elem(m_pMixer.get()); !m_pElement && element;
         element = snd_mixer_elem_next(element)) {
        if (snd_mixer_selem_is_active(element) && snd_mixer_selem_has_playback_volume(element))
            m_pElement = element;
    }
    return m_pElement != nullptr;
}

bool CAlsaMixer::ReadRange()
{
    if (!m_pElement)
        return false;
    long low = 0;
    long high = 0;
    if (snd_mixer_selem_get_playback_volume_range(m_pElement, &low, &high) < 0 || high < low)
        return false;
    m_nMin = low;
    m_nMax = high;
    m_bRangeRead = true;
    return true;
}

std::optional<std::uint32_t> CAlsaMixer::VolumeMaximum()
{
    if (!ReadRange())
        return std::nullopt;
    return static_cast<std::uint32_t>(std::min<long>(m_nMax - m_nMin, UINT32_MAX));
}

std::optional<std::uint32_t> CAlsaMixer::Volume()
{
    if (!m_pElement || !m_bRangeRead)
        return std::nullopt;
    long value = 0;
    if (snd_mixer_selem_get_playback_volume(m_pElement, SND_MIXER_SCHN_FRONT_LEFT, &value) < 0)
        return std::nullopt;
    return static_cast<std::uint32_t>(std::clamp<long>(value - m_nMin, 0, UINT32_MAX));
}

bool CAlsaMixer::SetVolume(std::uint32_t value)
{
    if (!m_pElement || !m_bRangeRead)
        return false;
    return snd_mixer_selem_set_playback_volume_all(m_pElement, m_nMin + static_cast<long>(value)) >= 0;
}

} // namespace corvana
