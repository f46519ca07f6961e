#include "ui/CRecordingControl.h"

#include "library/MediaFolders.h"
#include "quillon.h"
#include "support/Logging.h"
#include "ui/CProgramState.h"
#include "ui/ICaptureObjects.h"
#include "ui/IRecordingView.h"

#include <QCoreApplication>
#include <QDir>

namespace corvana {

namespace {

constexpr MediaMode kModes[] = {MediaMode::Solo, MediaMode::Conference, MediaMode::Video, MediaMode::Photo};

bool IsAudioMode(MediaMode mode)
{
    return mode == MediaMode::Solo || mode == MediaMode::Conference;
}

bool IsCameraMode(MediaMode mode)
{
    return mode == MediaMode::Video || mode == MediaMode::Photo;
}

bool IsCameraFailure(CaptureFailure failure)
{
    return failure == CaptureFailure::NoCamera || failure == CaptureFailure::NoVideoDevice
           || failure == CaptureFailure::CameraBusy || failure == CaptureFailure::CameraLost;
}

bool IsNoCamera(CaptureFailure failure)
{
    return failure == CaptureFailure::NoCamera || failure == CaptureFailure::NoVideoDevice;
}

// The device listing's own findings are told at each discovery, as the user asks again.
bool IsEmptyListing(CaptureFailure failure)
{
    return failure == CaptureFailure::NoVideoDevice || failure == CaptureFailure::NoAudioDevice;
}

QString MissingElementsText(const CaptureOutcome& outcome)
{
    const int packages = outcome.detail.split(QLatin1Char(' '), Qt::SkipEmptyParts).size();
    return (outcome.missing.size() == 1 ? QCoreApplication::translate("Capture", "The GStreamer element %1 needed for capture is missing.")
                                        : QCoreApplication::translate("Capture", "The GStreamer elements %1 needed for capture are missing."))
               .arg(outcome.missing.join(QStringLiteral(", ")))
           + (packages == 1 ? QCoreApplication::translate("Capture", " Install the Debian package %1.")
                            : QCoreApplication::translate("Capture", " Install the Debian packages %1."))
                 .arg(outcome.detail);
}

QString KeptIn(const QString& path)
{
    return path.isEmpty() ? QString() : QCoreApplication::translate("CRecordingControl", " What was recorded until then is kept in %1.").arg(path);
}

} // namespace

CRecordingControl::CRecordingControl(IRecordingView& view, ICaptureObjects& capture, CShownPhoto& shown)
    : m_view(view), m_capture(capture), m_shown(shown)
{
    m_capture.SetFailureHandler([this](MediaMode mode, const CaptureOutcome& outcome) { OnCaptureStopped(mode, outcome); });
}

CRecordingControl::~CRecordingControl()
{
    m_capture.SetFailureHandler(nullptr);
}

bool CRecordingControl::RecordAvailable() const
{
    if (!IsCameraMode(m_mode))
        return true;
    return m_camera != CameraState::Failed && !m_capture.CameraMissing(MediaMode::Video) && !m_capture.CameraMissing(MediaMode::Photo);
}

void CRecordingControl::Record()
{
    if (CProgramState::busy || m_state == RecordingState::Starting || m_state == RecordingState::Stopping)
        return;
    if (m_locked) {
        CORVANA_DEBUG_LINE(lcUi, "record ignored: the session is locked");
        return;
    }
    if (m_mode == MediaMode::Photo) {
        GrabPhoto();
        return;
    }
    if (m_state == RecordingState::Recording)
        StopRecording(AfterStop::FreshPreview);
    else
        StartRecording();
}

void CRecordingControl::StartRecording()
{
    m_state = RecordingState::Starting;
    const bool playerOpen = m_view.PlayerOpen();
    SetArrayMicMode(m_mode == MediaMode::Conference ? 2 : 1);
    if (playerOpen)
        m_view.ClosePlayer();
    CaptureOutcome outcome;
    if (IsAudioMode(m_mode)) {
        outcome = m_capture.StartAudio(m_mode);
        if (outcome.Failed())
            // Lets go of the half-made graph and the empty file it may have opened.
            m_capture.ReleaseAudio();
    } else {
        m_capture.CloseVideo();
        outcome = m_capture.StartVideoPreview(m_view.PreviewSurface());
        if (!outcome.Failed())
            outcome = m_capture.StartVideoRecording();
        else if (IsCameraFailure(outcome.failure))
            m_camera = IsNoCamera(outcome.failure) ? CameraState::Missing : CameraState::Failed;
    }
    if (outcome.Failed()) {
        m_state = RecordingState::Idle;
        m_view.LatchRecord(false);
        if (m_mode == MediaMode::Video)
            m_view.EnableRecord(RecordAvailable());
        TellStartFailure(outcome);
        return;
    }
    if (m_mode == MediaMode::Video)
        m_camera = CameraState::Running;
    m_state = RecordingState::Recording;
    SetRecordLED(1);
    m_view.FillList(m_mode);
    m_view.LatchRecord(true);
}

void CRecordingControl::GrabPhoto()
{
    if (m_shown.Shown()) {
        m_capture.ResumeLivePhoto();
        m_shown.SetShown(false);
    }
    m_view.LatchRecord(true);
    SetRecordLED(1);
    const CaptureOutcome outcome = m_capture.GrabPhoto();
    for (const QString& failure : MediaFolders::RemoveGrabIntermediates())
        m_view.Tell(failure);
    m_view.LatchRecord(false);
    SetRecordLED(0);
    m_view.FillList(MediaMode::Photo);
    if (outcome.Failed())
        TellStartFailure(outcome);
}

void CRecordingControl::StopRecording(AfterStop after)
{
    if (m_state != RecordingState::Recording)
        return;
    m_state = RecordingState::Stopping;
    if (IsAudioMode(m_mode))
        m_capture.StopAudio();
    else
        m_capture.StopVideoRecording();
    if (after != AfterStop::Close) {
        SetRecordLED(0);
        m_view.LatchRecord(false);
        if (m_mode == MediaMode::Video && after == AfterStop::FreshPreview) {
            m_capture.StopPhotoPreview();
            StartCamera(MediaMode::Video);
        }
    }
    m_state = RecordingState::Idle;
}

void CRecordingControl::Stop()
{
    if (m_view.PlayerOpen()) {
        m_view.StopPlayer();
        return;
    }
    if (m_mode == MediaMode::Photo) {
        if (m_shown.Shown()) {
            m_capture.ResumeLivePhoto();
            m_shown.SetShown(false);
        }
        return;
    }
    StopRecording(AfterStop::FreshPreview);
}

void CRecordingControl::EnterMode(MediaMode mode)
{
    for (MediaMode other : kModes)
        m_view.LatchModeButton(other, other == mode);
    if (IsAudioMode(mode))
        m_view.EnableRecord(true);
    if (m_mode == mode)
        return;
    if (mode == MediaMode::Video)
        CORVANA_DEBUG_LINE(lcUi, "onvideo");
    if (CProgramState::busy) {
        m_view.UncheckModeButton(mode);
        return;
    }
    if (mode == MediaMode::Video)
        CORVANA_DEBUG_LINE(lcUi, "flag 0");

    m_view.SuspendSpecialKeys();
    CProgramState::busy = true;
    LeaveCurrentMode();
    if (mode == MediaMode::Photo)
        m_shown.SetShown(false);
    for (MediaMode other : kModes)
        m_view.PushModeButton(other, other == mode);
    StartMode(mode);
    m_view.FillList(mode);
    m_mode = mode;
    m_view.SetListMode(mode);
    CProgramState::busy = false;
    m_view.ResumeSpecialKeys();
}

void CRecordingControl::StartMode(MediaMode mode)
{
    if (IsAudioMode(mode)) {
        m_view.ShowPlaceholder();
        return;
    }
    StartCamera(mode);
    m_view.ShowPreview();
}

void CRecordingControl::StartCamera(MediaMode mode)
{
    if (m_locked) {
        // The unlock's restore starts the camera; until then Record has nothing to record.
        CORVANA_DEBUG_LINE(lcUi, "camera not started: the session is locked");
        m_view.EnableRecord(false);
        return;
    }
    const CaptureOutcome outcome = mode == MediaMode::Video ? m_capture.StartVideoPreview(m_view.PreviewSurface())
                                                            : m_capture.StartPhotoPreview(m_view.PreviewSurface());
    const bool cameraMissing = m_capture.CameraMissing(mode);
    m_camera = !outcome.Failed() ? CameraState::Running
               : IsNoCamera(outcome.failure) || cameraMissing ? CameraState::Missing
                                                                             : CameraState::Failed;
    m_view.EnableRecord(!cameraMissing && m_camera != CameraState::Failed);
    if (outcome.Failed())
        TellCameraFailure(outcome);
}

void CRecordingControl::RestoreMode(MediaMode mode)
{
    // Whatever runs now (a recording, a mode entered since the lock) is left first, so exactly one
    // mode is pushed and running afterwards.
    LeaveCurrentMode();
    for (MediaMode other : kModes)
        if (other != mode)
            m_view.PushModeButton(other, false);
    if (IsAudioMode(mode))
        m_view.EnableRecord(true);
    else
        m_view.EnableRecord(!m_capture.CameraMissing(mode));
    m_mode = mode;
    m_view.SetListMode(mode);
    if (IsCameraMode(mode))
        StartCamera(mode);
    m_view.ShowPreview();
    m_view.FillList(mode);
    m_view.PushModeButton(mode, true);
}

void CRecordingControl::LeaveCurrentMode()
{
    StopRecording(AfterStop::LeaveMode);
    ReleaseModeCapture();
}

void CRecordingControl::ReleaseModeCapture()
{
    switch (m_mode) {
    case MediaMode::Video:
        m_capture.CloseVideo();
        break;
    case MediaMode::Photo:
        m_capture.StopPhotoPreview();
        break;
    case MediaMode::Solo:
    case MediaMode::Conference:
        m_capture.ReleaseAudio();
        break;
    }
}

void CRecordingControl::OnSessionLock()
{
    // Record is refused from here on, also while the mode is being left.
    m_locked = true;
    LeaveCurrentMode();
}

void CRecordingControl::ShutDownCapture()
{
    StopRecording(AfterStop::Close);
    ReleaseModeCapture();
}

void CRecordingControl::StopRecordingForPlayer()
{
    StopRecording(AfterStop::FreshPreview);
}

void CRecordingControl::OnCaptureStopped(MediaMode source, const CaptureOutcome& outcome)
{
    const bool ours = source == m_mode || (IsAudioMode(source) && IsAudioMode(m_mode));
    if (!ours)
        return;
    if (m_state == RecordingState::Recording) {
        // The capture object has finished the file as far as it got.
        m_state = RecordingState::Idle;
        SetRecordLED(0);
        m_view.LatchRecord(false);
        m_view.FillList(m_mode, m_capture.OutputPath(m_mode));
        if (IsCameraFailure(outcome.failure)) {
            m_camera = CameraState::Failed;
            m_cameraTold = true;
            m_view.EnableRecord(false);
        }
        m_view.Tell(FailureText(outcome, m_mode, true));
        return;
    }
    if (IsCameraMode(m_mode) && IsCameraFailure(outcome.failure)) {
        m_camera = CameraState::Failed;
        m_view.EnableRecord(false);
        TellCameraFailure(outcome);
    }
}

void CRecordingControl::TellStartFailure(const CaptureOutcome& outcome)
{
    if (IsCameraFailure(outcome.failure))
        m_cameraTold = true;
    m_view.Tell(FailureText(outcome, m_mode, false));
}

void CRecordingControl::TellCameraFailure(const CaptureOutcome& outcome)
{
    // Said once per opening of the dialog: each mode switch would repeat it otherwise.
    if (m_cameraTold && !IsEmptyListing(outcome.failure))
        return;
    m_cameraTold = true;
    m_view.Tell(FailureText(outcome, m_mode, false));
}

QString CRecordingControl::FailureText(const CaptureOutcome& outcome, MediaMode mode, bool whileRecording)
{
    // A photo that could not be written whole was removed again; the reason is the system's own.
    if (mode == MediaMode::Photo && (outcome.failure == CaptureFailure::DiskFull || outcome.failure == CaptureFailure::WriteFailed)) {
        const QString saved = QCoreApplication::translate("CRecordingControl", "The photo could not be saved.");
        if (outcome.failure == CaptureFailure::DiskFull)
            return saved + QLatin1Char(' ') + QCoreApplication::translate("CRecordingControl", "The disk is full.");
        return outcome.detail.isEmpty() ? saved : saved + QLatin1Char(' ') + outcome.detail + QLatin1Char('.');
    }
    switch (outcome.failure) {
    case CaptureFailure::None:
        return {};
    case CaptureFailure::NoMicrophone:
        return QCoreApplication::translate("CRecordingControl", "No microphone was found. Connect a microphone and press Record again.");
    case CaptureFailure::NoCamera:
        return QCoreApplication::translate("CRecordingControl", "No camera was found. Connect a webcam and choose the mode again.");
    case CaptureFailure::NoAudioDevice:
        return QCoreApplication::translate("Capture", "No Audio capture device was detected.");
    case CaptureFailure::NoVideoDevice:
        return QCoreApplication::translate("Capture", "No video capture device was detected.");
    case CaptureFailure::MissingCodec:
        if (!outcome.missing.isEmpty())
            return MissingElementsText(outcome);
        return outcome.detail.isEmpty()
                   ? QCoreApplication::translate("CRecordingControl", "A codec needed for recording is missing.")
                   : QCoreApplication::translate("CRecordingControl", "A codec needed for recording is missing. Install the Debian package %1.").arg(outcome.detail);
    case CaptureFailure::FolderNotWritable:
        return QCoreApplication::translate("CRecordingControl", "The folder %1 cannot be written to, so nothing could be recorded.").arg(QDir::toNativeSeparators(outcome.detail));
    case CaptureFailure::DiskFull:
        return whileRecording ? QCoreApplication::translate("CRecordingControl", "The recording stopped because the disk is full.") + KeptIn(outcome.detail)
                              : QCoreApplication::translate("CRecordingControl", "The disk is full, so nothing could be recorded.");
    case CaptureFailure::WriteFailed:
        return whileRecording ? QCoreApplication::translate("CRecordingControl", "The recording stopped because its file could not be written.") + KeptIn(outcome.detail)
                              : QCoreApplication::translate("CRecordingControl", "The file could not be written, so nothing could be recorded.");
    case CaptureFailure::MicrophoneBusy:
        return QCoreApplication::translate("CRecordingControl", "The microphone is in use by another program, or access to it was refused.");
    case CaptureFailure::CameraBusy:
        return QCoreApplication::translate("CRecordingControl", "The camera is in use by another program, or access to it was refused. "
                              "Close the other program and choose the mode again.");
    case CaptureFailure::MicrophoneLost:
        return QCoreApplication::translate("CRecordingControl", "The recording stopped because the microphone stopped working.") + KeptIn(outcome.detail);
    case CaptureFailure::CameraLost:
        return whileRecording ? QCoreApplication::translate("CRecordingControl", "The recording stopped because the camera stopped working.") + KeptIn(outcome.detail)
                              : QCoreApplication::translate("CRecordingControl", "The camera stopped working. Connect it again and choose the mode again.");
    case CaptureFailure::Other:
        break;
    }
    if (mode == MediaMode::Photo)
        return QCoreApplication::translate("CRecordingControl", "The photo could not be taken.");
    return whileRecording ? QCoreApplication::translate("CRecordingControl", "The recording stopped because of an error.") + KeptIn(outcome.detail)
                          : QCoreApplication::translate("CRecordingControl", "The recording could not be started.");
}


} // namespace corvana
