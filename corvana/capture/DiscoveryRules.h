#pragma once
#include "capture/CaptureDevice.h"
#include "capture/HResult.h"

#include <vector>

namespace corvana {

struct BoundDevice {
    CaptureDevice device;
    ElementHandle element;
};

// The three rules by which each capture object picks its device from a device list.
class DiscoveryRules {
public:
    // The audio recorder: the first device whose name equals `name` (any device when `name` is
    // empty) and that binds. S_OK when one was taken, S_FALSE for an empty list, otherwise the
    // outcome of the last device examined: E_ABORT for a name that did not match, E_FAIL for a
    // device that could not be bound.
    static HRESULT ChooseAudioSource(const std::vector<CaptureDevice>& devices, const QString& name, BoundDevice& chosen);

    struct WebcamChoice {
        HRESULT result = S_OK;
        bool noVideoDevice = false;
        bool noAudioDevice = false;
        int videoDevices = 0;
        int analogDevices = 0;
        BoundDevice video;  // the last video device
        BoundDevice audio;  // the first audio device that binds
    };
    // The webcam graph: every video device is bound in turn and the last one stays; analog capture
    // cards are counted (the test stops at the first); the first audio device that binds is taken.
    static WebcamChoice ChooseWebcamDevices(const std::vector<CaptureDevice>& videoDevices,
                                            const std::vector<CaptureDevice>& audioDevices);

    struct PhotoChoice {
        bool found = false;           // false: negative position or no video device at all
        bool noVideoDevice = false;
        BoundDevice video;            // empty when the position is past the end or did not bind
    };
    // The photo capture: the video device at a position of the list.
    static PhotoChoice ChoosePhotoDevice(const std::vector<CaptureDevice>& videoDevices, int index);
};

} // namespace corvana
