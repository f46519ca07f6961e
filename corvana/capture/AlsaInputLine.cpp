#include "capture/AlsaInputLine.h"

#include <alsa/asoundlib.h>
#include <memory>

namespace corvana {

namespace {

struct MixerCloser {
    void operator()(snd_mixer_t* mixer) const { snd_mixer_close(mixer); }
};
using MixerPtr = std::unique_ptr<snd_mixer_t, MixerCloser>;

} // namespace

int AlsaInputLine::Enable(int card, const QString& lineName)
{
    if (card < 0)
        return -1;
    snd_mixer_t* raw = nullptr;
    if (snd_mixer_open(&raw, 0) < 0)
        return -1;
    MixerPtr mixer(raw);
    const QByteArray cardName = "hw:" + QByteArray::number(card);
    if (snd_mixer_attach(mixer.get(), cardName.constData()) < 0 || snd_mixer_selem_register(mixer.get(), nullptr, nullptr) < 0
        || snd_mixer_load(mixer.get()) < 0)
        return -1;
    const QByteArray wanted = lineName.toUtf8();
    int enabled = 0;
    for (snd_mixer_elem_t* elem = snd_mixer_first_elem(mixer.get()); elem; elem = snd_mixer_elem_next(elem)) {
        if (!snd_mixer_selem_is_active(elem) || !snd_mixer_selem_has_capture_switch(elem))
            continue;
        const char* name = snd_mixer_selem_get_name(elem);
        if (!name || !QByteArray(name).contains(wanted))
            continue;
        if (snd_mixer_selem_set_capture_switch_all(elem, 1) == 0)
            ++enabled;
    }
    return enabled;
}

} // namespace corvana
