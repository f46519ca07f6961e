#include "capture/GstRuntime.h"

#include "capture/CaptureEngine.h"

#include <QCoreApplication>
#include <gst/gst.h>

namespace corvana {

void GstRuntime::Ensure()
{
    static const bool initialised = [] {
        gst_init(nullptr, nullptr);
        return true;
    }();
    (void)initialised;
    static bool hooked = false;
    if (!hooked && QCoreApplication::instance()) {
        hooked = true;
        QObject::connect(QCoreApplication::instance(), &QCoreApplication::aboutToQuit,
                         QCoreApplication::instance(), [] { CaptureEngine::Shutdown(); });
    }
}

} // namespace corvana
