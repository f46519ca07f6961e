#pragma once
#include "capture/BusWatch.h"
#include "capture/CaptureFailure.h"
#include "capture/IPreviewSurface.h"

#include <gst/gst.h>

namespace corvana {

// The one way a live preview starts. The pipeline is put to playing and waited for, at most two
// seconds: a live source never prerolls, so playing is all there is to wait for. When it does not
// get there, the reason is read from the bus, the pipeline goes back to null and the surface shows
// its placeholder.
class LiveStart {
public:
    static constexpr GstClockTime kWait = 2 * GST_SECOND;

    // CaptureFailure::None once the pipeline plays; else what kept the camera from it.
    static CaptureFailure Run(GstElement* pipeline, const PreviewSurfaceRef& surface);

    // The running preview's bus handler: an error is written to the debug output under the
    // pipeline's name and ends the camera through `lost`; anything else is left alone.
    static BusWatch::Handler OnError(QString pipeline, std::function<void()> lost);
};

} // namespace corvana
