#pragma once
#include "capture/DeviceCategory.h"
#include "capture/GstHandle.h"

#include <QString>
#include <QVariantMap>
#include <functional>

namespace corvana {

// One capture device as discovery sees it, whoever listed it (the device monitor, the synthetic
// provider or a test): its display name, class, what it can deliver, its properties and how to
// make its source element.
struct CaptureDevice {
    QString name;
    DeviceCategory category = DeviceCategory::AudioInput;
    QString deviceClass;                       // "Audio/Source", "Video/Source"
    QString caps;                              // what the device can deliver, as a caps string
    QVariantMap properties;                    // "device.path", "alsa.card", ...
    bool analogVideoInput = false;             // a tuner or an analog video input (capture card)
    std::function<GstElement*()> makeElement;  // a new source element, or null when it cannot be made

    // Binds the device to a new source element; empty when that fails.
    ElementHandle Bind() const;
};

} // namespace corvana
