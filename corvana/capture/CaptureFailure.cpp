#include "capture/CaptureFailure.h"

namespace corvana {

CaptureFailure FailureOfError(GstMessage* error, ErrorSource source, bool running)
{
    GErrorPtr detail;
    if (error && GST_MESSAGE_TYPE(error) == GST_MESSAGE_ERROR)
        gst_message_parse_error(error, Out(detail), nullptr);
    const bool resource = detail && detail->domain == GST_RESOURCE_ERROR;
    const int code = detail ? detail->code : 0;
    if (source == ErrorSource::File) {
        if (resource && code == GST_RESOURCE_ERROR_NO_SPACE_LEFT)
            return CaptureFailure::DiskFull;
        if (!running && resource
            && (code == GST_RESOURCE_ERROR_OPEN_WRITE || code == GST_RESOURCE_ERROR_OPEN_READ_WRITE
                || code == GST_RESOURCE_ERROR_NOT_AUTHORIZED || code == GST_RESOURCE_ERROR_NOT_FOUND))
            return CaptureFailure::FolderNotWritable;
        return CaptureFailure::WriteFailed;
    }
    const bool camera = source == ErrorSource::Camera;
    if (running)
        return camera ? CaptureFailure::CameraLost : CaptureFailure::MicrophoneLost;
    // A device node that went away between listing and opening is as good as unplugged.
    if (resource && code == GST_RESOURCE_ERROR_NOT_FOUND)
        return camera ? CaptureFailure::NoCamera : CaptureFailure::NoMicrophone;
    return camera ? CaptureFailure::CameraBusy : CaptureFailure::MicrophoneBusy;
}

} // namespace corvana
