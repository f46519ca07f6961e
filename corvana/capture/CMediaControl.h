#pragma once
#include "capture/HResult.h"

#include <gst/gst.h>

namespace corvana {

class PreviewSink;

// Run, pause and stop of a live preview pipeline, for the dialog to freeze and resume the Photo
// preview. After Pause no frame reaches the preview surface until Run.
class CMediaControl {
public:
    CMediaControl(GstElement* pipeline, PreviewSink* sink) : m_pipeline(pipeline), m_sink(sink) {}

    HRESULT Run();
    HRESULT Pause();
    HRESULT Stop();

private:
    HRESULT SetState(GstState state);

    GstElement* m_pipeline;  // owned by the capture object
    PreviewSink* m_sink;
};

} // namespace corvana
