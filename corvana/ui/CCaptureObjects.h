#pragma once
#include "ui/ICaptureObjects.h"

namespace corvana {

// The program's capture objects behind the controller's interface. They show nothing themselves:
// every failure comes back as an outcome.
class CCaptureObjects : public ICaptureObjects {
public:
    CCaptureObjects() = default;
    ~CCaptureObjects() override;
    CCaptureObjects(const CCaptureObjects&) = delete;
    CCaptureObjects& operator=(const CCaptureObjects&) = delete;

    void SetFailureHandler(FailureHandler handler) override;

    CaptureOutcome StartAudio(MediaMode mode) override;
    void StopAudio() override;
    void ReleaseAudio() override;

    CaptureOutcome StartVideoPreview(IPreviewSurface* surface) override;
    CaptureOutcome StartVideoRecording() override;
    void StopVideoRecording() override;
    void CloseVideo() override;

    CaptureOutcome StartPhotoPreview(IPreviewSurface* surface) override;
    void StopPhotoPreview() override;
    void ResumeLivePhoto() override;
    CaptureOutcome GrabPhoto() override;

    bool CameraMissing(MediaMode mode) const override;
    QString OutputPath(MediaMode mode) const override;

    // The live photo picture held still behind a shown photo.
    void PauseLivePhoto();

    // Of the running recording: seconds recorded, and the sound's peak and decaying peak (dB).
    double RecordedSeconds(MediaMode mode) const;
    std::optional<std::pair<double, double>> SoundLevel() const;

private:
    template <typename Step, typename Outcome, typename Success>
    CaptureOutcome Run(Step step, Outcome outcome, Success succeeded);
};

} // namespace corvana
