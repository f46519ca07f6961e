#include "capture/CaptureEngine.h"

#include "capture/CAudioRecorder.h"
#include "capture/CCaptureGraph.h"
#include "capture/CPhotoCapture.h"
#include "capture/GstRuntime.h"
#include "capture/RecordingPipeline.h"

namespace corvana {

void CaptureEngine::WarmUp()
{
    // The previews' own elements, and the sound server's source of a real microphone. Not the
    // encoders: their library would cost tens of megabytes for as long as the program waits, and a
    // recording's sources already capture while it loads them.
    GstRuntime::WarmUp(RecordingPipeline::ElementsBeforeStart()
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

void CaptureEngine::Create()
{
    CAudioRecorder::Instance();
    CCaptureGraph::Instance();
    CPhotoCapture::Instance();
}

} // namespace corvana

