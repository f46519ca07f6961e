#include "capture/CaptureNotifier.h"

#include "support/Logging.h"

namespace corvana {

namespace {
CaptureNotifier::Receiver& TheReceiver()
{
    static CaptureNotifier::Receiver receiver;
    return receiver;
}
} // namespace

void CaptureNotifier::SetReceiver(Receiver receiver)
{
    TheReceiver() = std::move(receiver);
}

void CaptureNotifier::Tell(const QString& text)
{
    // A copy: the receiver may replace itself while it runs (a nested event loop).
    const Receiver receiver = TheReceiver();
    if (receiver)
        receiver(text);
    else
        CORVANA_DEBUG_LINE(lcCapture, text);
}

} // namespace corvana
