#include "capture/CaptureEngine.h"

#include "capture/CAudioRecorder.h"
#include "capture/CCaptureGraph.h"
#include "capture/CPhotoCapture.h"
#include "capture/GstRuntime.h"
#include "capture/RecordingPipeline.h"

namespace corvana {

void CaptureEngine::WarmUp()
{
    // The previews' own elements, and the sound server's source of a real microphone.
    GstRuntime::WarmUp(RecordingPipeline::VideoElements()
                       + QStringList{QStringLiteral("tee"), QStringLiteral("capsfilter"), QStringLiteral("appsink"),
                                     QStringLiteral("pulsesrc")});
}

void CaptureEngine::Shutdown()
{
    CAudioRecorder& audio = CAudioRecorder::Instance();
    if (audio.IsRunning())
        audio.Stop();
    audio.ReleaseAll();
    CCaptureGraph& video = CCaptureGraph::Instance();
    if (video.IsRecording())
        video.StopRecording();
    video.CloseInterfaces();
    CPhotoCapture::Instance().StopPreview();
}

} // namespace corvana
