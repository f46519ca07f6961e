#include "capture/CaptureEngine.h"

#include "capture/CAudioRecorder.h"
#include "capture/CCaptureGraph.h"
#include "capture/CPhotoCapture.h"

namespace corvana {

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
