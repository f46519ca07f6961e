#pragma once
#include "capture/GstHandle.h"

#include <QString>

namespace corvana {

// What the capture code writes when a pipeline fails: the element, GStreamer's message and its
// debug detail. With GST_DEBUG_DUMP_DOT_DIR set, the pipeline's graph is dumped as well.
class PipelineDiagnostics {
public:
    // An error message from a pipeline's bus; what: the pipeline as the log calls it.
    static void LogError(const QString& what, GstMessage* error);
    // A state change that failed or did not finish in time: logged with the error that caused
    // it, which is taken off the bus and handed back (null when the change only timed out).
    static GstMessagePtr StateChangeFailed(GstElement* pipeline, GstState target);
    static void DumpGraph(GstElement* pipeline, const char* moment);
};

} // namespace corvana
