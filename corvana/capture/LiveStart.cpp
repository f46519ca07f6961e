#include "capture/LiveStart.h"

#include "capture/PipelineDiagnostics.h"

namespace corvana {

CaptureFailure LiveStart::Run(GstElement* pipeline, const PreviewSurfaceRef& surface)
{
    gst_element_set_state(pipeline, GST_STATE_PLAYING);
    GstState state = GST_STATE_NULL;
    if (gst_element_get_state(pipeline, &state, nullptr, kWait) != GST_STATE_CHANGE_FAILURE && state == GST_STATE_PLAYING)
        return CaptureFailure::None;
    const GstMessagePtr error = PipelineDiagnostics::StateChangeFailed(pipeline, GST_STATE_PLAYING);
    gst_element_set_state(pipeline, GST_STATE_NULL);
    if (surface)
        surface->ShowPlaceholder();
    // A camera that gives no reason is one another program holds.
    return error ? FailureOfError(error.get(), ErrorSource::Camera, false) : CaptureFailure::CameraBusy;
}

BusWatch::Handler LiveStart::OnError(QString pipeline, std::function<void()> lost)
{
    return [pipeline = std::move(pipeline), lost = std::move(lost)](GstMessage* message) {
        if (GST_MESSAGE_TYPE(message) != GST_MESSAGE_ERROR)
            return false;
        PipelineDiagnostics::LogError(pipeline, message);
        lost();
        return true;
    };
}

} // namespace corvana
