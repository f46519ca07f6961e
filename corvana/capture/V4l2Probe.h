#pragma once
#include <QString>

namespace corvana {

// Asks a V4L2 device node whether it is an analog capture card: it has a tuner, or one of its
// inputs is a tuner or carries an analog video standard (composite, S-Video).
class V4l2Probe {
public:
    static bool HasAnalogVideoInput(const QString& devicePath);
};

} // namespace corvana
