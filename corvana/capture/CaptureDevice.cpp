#include "capture/CaptureDevice.h"

#include "capture/GstRuntime.h"

namespace corvana {

ElementHandle CaptureDevice::Bind() const
{
    GstRuntime::Ensure();
    if (!makeElement)
        return {};
    return ElementHandle::Adopt(makeElement());
}

bool CaptureDevice::OffersVideoSize(int width, int height) const
{
    GstRuntime::Ensure();
    GstCapsPtr offered(gst_caps_from_string(caps.toUtf8().constData()));
    if (!offered)
        return false;
    GstCapsPtr wanted(gst_caps_new_simple("video/x-raw", "width", G_TYPE_INT, width, "height", G_TYPE_INT, height, nullptr));
    return gst_caps_can_intersect(offered.get(), wanted.get());
}

} // namespace corvana
