// Run by soak_test under GStreamer's leak tracer: a short use of every capture mode through the
// dialog, then the end the program takes (the capture engine's shutdown, then GStreamer's, which
// calls gst_deinit), where the tracer lists every GStreamer object still alive.
//   soak_child              the uses; exit code 0 when every one of them worked
//   soak_child --leak-one   no uses, one element made and never released
#include "MessageBoxWatcher.h"
#include "SoakDriver.h"
#include "app/CCorvanaApp.h"
#include "capture/CaptureEngine.h"
#include "capture/GstRuntime.h"

#include <gst/gst.h>

using namespace corvana;

int main(int argc, char* argv[])
{
    CCorvanaApp::LimitAllocatorArenas();
    QApplication application(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    if (argc > 1 && QByteArray(argv[1]) == "--leak-one") {
        gst_init(nullptr, nullptr);
        gst_object_ref_sink(gst_element_factory_make("identity", "deliberately-leaked"));
        gst_deinit();
        return 0;
    }
    bool worked = false;
    {
        MessageBoxWatcher boxes;
        CMainFrame frame;
        // Ends in Video mode, so the dialog's own teardown of the webcam graph is covered too.
        const bool closed = UseDialog(frame, [&](CCorvanaDlg& dialog) {
            worked = EnterMode(dialog, MediaMode::Solo) && RecordOnce(dialog, 0.3)
                && EnterMode(dialog, MediaMode::Photo) && RecordOnce(dialog, 0)
                && EnterMode(dialog, MediaMode::Video) && RecordOnce(dialog, 0.3) && RecordOnce(dialog, 0.3);
        });
        worked = worked && closed && boxes.Seen().isEmpty();
    }
    CaptureEngine::Shutdown();
    GstRuntime::Shutdown();
    return worked ? 0 : 2;
}
