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

} // namespace corvana
