#pragma once
#include <QString>

namespace corvana {

// The sound server's own word on the user's microphone, asked over PulseAudio's protocol, which
// PulseAudio and PipeWire (pipewire-pulse) both speak. The device lists cannot be trusted with
// it: PipeWire's marks no device as the default.
class SoundServer {
public:
    // The internal name of the default source ("alsa_input.pci-0000_00_1f.3.analog-stereo"), or
    // empty when no server answered in time.
    static QString DefaultSourceName();
};

} // namespace corvana
