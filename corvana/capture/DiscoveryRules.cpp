#include "capture/DiscoveryRules.h"

namespace corvana {

HRESULT DiscoveryRules::ChooseAudioSource(const std::vector<CaptureDevice>& devices, const QString& name, BoundDevice& chosen)
{
    if (devices.empty())
        return S_FALSE;
    HRESULT remembered = S_FALSE;
    for (const CaptureDevice& device : devices) {
        if (!name.isEmpty() && device.name != name) {
            remembered = E_ABORT;
            continue;
        }
        ElementHandle element = device.Bind();
        if (!element) {
            remembered = E_FAIL;
            continue;
        }
        chosen = {device, std::move(element)};
        return S_OK;
    }
    return remembered;
}

DiscoveryRules::WebcamChoice DiscoveryRules::ChooseWebcamDevices(const std::vector<CaptureDevice>& videoDevices,
                                                                 const std::vector<CaptureDevice>& audioDevices)
{
    WebcamChoice choice;
    if (videoDevices.empty()) {
        choice.noVideoDevice = true;
        choice.result = E_FAIL;
        return choice;
    }
    if (audioDevices.empty()) {
        choice.noAudioDevice = true;
        choice.result = E_FAIL;
        return choice;
    }
    for (const CaptureDevice& device : videoDevices) {
        ElementHandle element = device.Bind();
        if (!element) {
            choice.result = E_FAIL;
            return choice;
        }
        choice.video = {device, std::move(element)};
        if (choice.analogDevices == 0 && device.analogVideoInput)
            ++choice.analogDevices;
        ++choice.videoDevices;
    }
    for (const CaptureDevice& device : audioDevices) {
        if (ElementHandle element = device.Bind()) {
            choice.audio = {device, std::move(element)};
            return choice;
        }
    }
    choice.result = E_FAIL;
    return choice;
}

DiscoveryRules::PhotoChoice DiscoveryRules::ChoosePhotoDevice(const std::vector<CaptureDevice>& videoDevices, int index)
{
    PhotoChoice choice;
    if (index < 0)
        return choice;
    if (videoDevices.empty()) {
        choice.noVideoDevice = true;
        return choice;
    }
    choice.found = true;
    if (static_cast<size_t>(index) < videoDevices.size()) {
        const CaptureDevice& device = videoDevices[static_cast<size_t>(index)];
        if (ElementHandle element = device.Bind())
            choice.video = {device, std::move(element)};
    }
    return choice;
}

} // namespace corvana
