#include "ui/CCaptureObjects.h"

#include "capture/CAudioRecorder.h"
#include "capture/CCaptureGraph.h"
#include "capture/CPhotoCapture.h"
#include "capture/DeviceState.h"
#include "library/MediaFolders.h"

namespace corvana {

namespace {

bool Started(HRESULT hr) { return hr == S_OK; }

} // namespace

CCaptureObjects::~CCaptureObjects()
{
    SetFailureHandler(nullptr);
}

// Runs a capture step and returns its outcome; a step that failed without saying why is Other.
template <typename Step, typename Outcome, typename Success>
CaptureOutcome CCaptureObjects::Run(Step step, Outcome outcome, Success succeeded)
{
    const auto result = step();
    CaptureOutcome failed = outcome();
    if (succeeded(result) && !failed.Failed())
        return {};
    if (!failed.Failed())
        failed.failure = CaptureFailure::Other;
    return failed;
}

void CCaptureObjects::SetFailureHandler(FailureHandler handler)
{
    if (!handler) {
        CAudioRecorder::Instance().SetFailureHandler(nullptr);
        CCaptureGraph::Instance().SetFailureHandler(nullptr);
        CPhotoCapture::Instance().SetFailureHandler(nullptr);
        return;
    }
    CAudioRecorder::Instance().SetFailureHandler([handler](CaptureFailure) {
        handler(MediaMode::Solo, CAudioRecorder::Instance().LastFailure());
    });
    CCaptureGraph::Instance().SetFailureHandler([handler](CaptureFailure) {
        handler(MediaMode::Video, CCaptureGraph::Instance().LastFailure());
    });
    CPhotoCapture::Instance().SetFailureHandler([handler](CaptureFailure) {
        handler(MediaMode::Photo, CPhotoCapture::Instance().LastFailure());
    });
}

CaptureOutcome CCaptureObjects::StartAudio(MediaMode mode)
{
    CAudioRecorder& recorder = CAudioRecorder::Instance();
    return Run(
        [&] {
            // Each step reports its own failure; the first one is the cause kept.
            recorder.CreateGraph();
            recorder.AddCaptureSource(DeviceCategory::AudioInput, QString());
            recorder.EnableInputPin(QStringLiteral("Microphone"));
            recorder.SetOutputAndRender(MediaFolders::SubfolderName(mode));
            return recorder.Start();
        },
        [&] { return recorder.LastFailure(); }, Started);
}

void CCaptureObjects::StopAudio()
{
    CAudioRecorder::Instance().Stop();
}

void CCaptureObjects::ReleaseAudio()
{
    CAudioRecorder::Instance().ReleaseAll();
}

CaptureOutcome CCaptureObjects::StartVideoPreview(IPreviewSurface* surface)
{
    CCaptureGraph& graph = CCaptureGraph::Instance();
    return Run(
        [&] {
            graph.SetOwnerWindow(surface);
            return graph.StartPreview();
        },
        [&] { return graph.LastFailure(); }, Started);
}

CaptureOutcome CCaptureObjects::StartVideoRecording()
{
    CCaptureGraph& graph = CCaptureGraph::Instance();
    return Run([&] { return graph.StartRecording(); }, [&] { return graph.LastFailure(); }, Started);
}

void CCaptureObjects::StopVideoRecording()
{
    CCaptureGraph::Instance().StopRecording();
}

void CCaptureObjects::CloseVideo()
{
    CCaptureGraph::Instance().CloseInterfaces();
}

CaptureOutcome CCaptureObjects::StartPhotoPreview(IPreviewSurface* surface)
{
    CPhotoCapture& photo = CPhotoCapture::Instance();
    return Run([&] { return photo.StartPreview(0, surface, 1024, 768); }, [&] { return photo.LastFailure(); }, Started);
}

void CCaptureObjects::StopPhotoPreview()
{
    CPhotoCapture::Instance().StopPreview();
}

void CCaptureObjects::PauseLivePhoto()
{
    if (CMediaControl* control = CPhotoCapture::Instance().m_pControl)
        control->Pause();
}

void CCaptureObjects::ResumeLivePhoto()
{
    if (CMediaControl* control = CPhotoCapture::Instance().m_pControl)
        control->Run();
}

CaptureOutcome CCaptureObjects::GrabPhoto()
{
    CPhotoCapture& photo = CPhotoCapture::Instance();
    return Run(
        [&] {
            photo.GrabPhoto();
            return !photo.LastPhotoPath().isEmpty();
        },
        [&] { return photo.LastFailure(); }, [](bool written) { return written; });
}

bool CCaptureObjects::CameraMissing(MediaMode mode) const
{
    if (mode == MediaMode::Photo)
        return CPhotoCapture::Instance().GetDeviceState() == DeviceState::NoCamera;
    return CCaptureGraph::Instance().GetDeviceState() == DeviceState::NoCamera;
}

QString CCaptureObjects::OutputPath(MediaMode mode) const
{
    switch (mode) {
    case MediaMode::Solo:
    case MediaMode::Conference:
        return CAudioRecorder::Instance().OutputPath();
    case MediaMode::Video:
        return CCaptureGraph::Instance().OutputPath();
    case MediaMode::Photo:
        return CPhotoCapture::Instance().LastPhotoPath();
    }
    return {};
}

double CCaptureObjects::RecordedSeconds(MediaMode mode) const
{
    return mode == MediaMode::Video ? CCaptureGraph::Instance().RecordedSeconds() : CAudioRecorder::Instance().RecordedSeconds();
}

std::optional<std::pair<double, double>> CCaptureObjects::SoundLevel() const
{
    return CAudioRecorder::Instance().SoundLevel();
}

} // namespace corvana
