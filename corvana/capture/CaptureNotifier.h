#pragma once
#include <QString>
#include <functional>

namespace corvana {

// How the capture objects tell the user something (a missing device or package). The program
// decides how it is shown; with no receiver the text only reaches the debug output. The
// receiver runs at once, on the thread that tells.
class CaptureNotifier {
public:
    using Receiver = std::function<void(const QString& text)>;

    static void SetReceiver(Receiver receiver);
    static void Tell(const QString& text);
};

} // namespace corvana
