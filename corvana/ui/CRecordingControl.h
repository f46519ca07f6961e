#pragma once
#include "capture/CaptureFailure.h"
#include "support/MediaMode.h"
#include "ui/CShownPhoto.h"

namespace corvana {

class ICaptureObjects;
class IRecordingView;

// The main dialog's mode and recording state machine: Record, Stop and the four mode buttons,
// with the record light, the array microphone, the latches and the list refills. The mode and
// whether a recording runs are kept here and nowhere else; the lights and buttons follow what
// the capture objects did, and a failure is told to the user.
class CRecordingControl {
public:
    CRecordingControl(IRecordingView& view, ICaptureObjects& capture, CShownPhoto& shown = CShownPhoto::ForProgram());
    ~CRecordingControl();
    CRecordingControl(const CRecordingControl&) = delete;
    CRecordingControl& operator=(const CRecordingControl&) = delete;

    // A recording's course: Starting and Stopping while the capture object does so (Record is
    // ignored meanwhile), Recording in between.
    enum class RecordingState { Idle, Starting, Recording, Stopping };
    // The camera of Video and Photo as the last start left it.
    enum class CameraState { Unknown, Missing, Failed, Running };

    MediaMode Mode() const { return m_mode; }
    bool IsRecording() const { return m_state == RecordingState::Recording; }
    RecordingState State() const { return m_state; }
    CameraState Camera() const { return m_camera; }
    // Record may be offered in the current mode: a camera was found and works.
    bool RecordAvailable() const;

    void Record();
    void Stop();
    void EnterMode(MediaMode mode);
    // The mode the dialog opens in, or comes back to after an unlock.
    void RestoreMode(MediaMode mode);

    // A desktop lock: a running recording stops and the mode's capture object is released.
    // Until SetSessionLocked(false), nothing is captured: no recording, preview or photo starts.
    void OnSessionLock();
    void SetSessionLocked(bool locked) { m_locked = locked; }
    bool SessionLocked() const { return m_locked; }
    // Closing the dialog: the mode's capture object is left idle; the dialog switches the lights.
    void ShutDownCapture();
    // Before the media player starts: a running recording of the mode stops.
    void StopRecordingForPlayer();

    // The message for a failure, in plain words.
    static QString FailureText(const CaptureOutcome& outcome, MediaMode mode, bool whileRecording);

private:
    enum class AfterStop { FreshPreview, LeaveMode, Close };

    void StartRecording();
    void GrabPhoto();
    // The one way a running recording ends.
    void StopRecording(AfterStop after);
    void LeaveCurrentMode();
    // The mode's capture object lets go of its devices: the preview stops, the graph is released.
    void ReleaseModeCapture();
    void StartMode(MediaMode mode);
    // Starts the camera of Video or Photo and offers Record only when it runs.
    void StartCamera(MediaMode mode);
    void OnCaptureStopped(MediaMode mode, const CaptureOutcome& outcome);
    void TellStartFailure(const CaptureOutcome& outcome);
    void TellCameraFailure(const CaptureOutcome& outcome);

    IRecordingView& m_view;
    ICaptureObjects& m_capture;
    CShownPhoto& m_shown;
    MediaMode m_mode = MediaMode::Solo;
    RecordingState m_state = RecordingState::Idle;
    CameraState m_camera = CameraState::Unknown;
    bool m_cameraTold = false;      // a camera failure was told during this opening
    bool m_locked = false;          // the desktop is locked
};

} // namespace corvana
