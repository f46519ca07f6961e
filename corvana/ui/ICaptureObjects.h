#pragma once
#include "capture/CaptureFailure.h"
#include "support/MediaMode.h"

#include <QString>
#include <functional>

namespace corvana {

class IPreviewSurface;

// The capture objects as the recording controller drives them: the microphone recorder of the
// audio modes, the webcam graph of Video and the photo capture of Photo.
class ICaptureObjects {
public:
    // mode: the mode whose capture stopped by itself (Solo for either audio mode).
    using FailureHandler = std::function<void(MediaMode mode, const CaptureOutcome& outcome)>;

    virtual ~ICaptureObjects() = default;
    virtual void SetFailureHandler(FailureHandler handler) = 0;

    // Sets the recorder up for the mode's folder and starts it.
    virtual CaptureOutcome StartAudio(MediaMode mode) = 0;
    virtual void StopAudio() = 0;
    virtual void ReleaseAudio() = 0;

    // A fresh webcam graph painting into the surface.
    virtual CaptureOutcome StartVideoPreview(IPreviewSurface* surface) = 0;
    virtual CaptureOutcome StartVideoRecording() = 0;
    virtual void StopVideoRecording() = 0;
    virtual void CloseVideo() = 0;

    virtual CaptureOutcome StartPhotoPreview(IPreviewSurface* surface) = 0;
    virtual void StopPhotoPreview() = 0;
    virtual void ResumeLivePhoto() = 0;
    virtual CaptureOutcome GrabPhoto() = 0;

    // No camera was found by the last discovery of the mode's capture object.
    virtual bool CameraMissing(MediaMode mode) const = 0;
    // The file of the mode's current or last recording.
    virtual QString OutputPath(MediaMode mode) const = 0;
};

} // namespace corvana
