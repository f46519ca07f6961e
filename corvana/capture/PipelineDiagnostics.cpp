#include "capture/PipelineDiagnostics.h"

#include "support/Logging.h"

namespace corvana {

namespace {

QString Describe(GstMessage* error)
{
    GErrorPtr detail;
    GCharPtr debug;
    gst_message_parse_error(error, Out(detail), Out(debug));
    QString text = QStringLiteral("%1: %2").arg(QString::fromUtf8(GST_OBJECT_NAME(GST_MESSAGE_SRC(error))),
                                                 QString::fromUtf8(detail ? detail->message : ""));
    if (debug)
        text += QStringLiteral(" (%1)").arg(QString::fromUtf8(debug.get()));
    return text;
}

} // namespace

void PipelineDiagnostics::LogError(const QString& what, GstMessage* error)
{
    CORVANA_DEBUG_LINE(lcCapture, QStringLiteral("%1 error from %2").arg(what, Describe(error)));
    if (GstElement* pipeline = GST_IS_ELEMENT(GST_MESSAGE_SRC(error)) ? GST_ELEMENT(GST_MESSAGE_SRC(error)) : nullptr) {
        GstObject* top = GST_OBJECT(pipeline);
        while (GST_OBJECT_PARENT(top))
            top = GST_OBJECT_PARENT(top);
        if (GST_IS_PIPELINE(top))
            DumpGraph(GST_ELEMENT(top), "error");
    }
}

GstMessagePtr PipelineDiagnostics::StateChangeFailed(GstElement* pipeline, GstState target)
{
    BusHandle bus = BusHandle::Adopt(gst_element_get_bus(pipeline));
    GstMessagePtr error(bus ? gst_bus_pop_filtered(bus.get(), GST_MESSAGE_ERROR) : nullptr);
    const QString name = QString::fromUtf8(GST_OBJECT_NAME(pipeline));
    const QString state = QString::fromUtf8(gst_element_state_get_name(target));
    if (error)
        CORVANA_DEBUG_LINE(lcCapture, QStringLiteral("%1 did not reach %2: %3").arg(name, state, Describe(error.get())));
    else
        CORVANA_DEBUG_LINE(lcCapture, QStringLiteral("%1 did not reach %2 in time").arg(name, state));
    DumpGraph(pipeline, "state-change-failed");
    return error;
}

void PipelineDiagnostics::DumpGraph(GstElement* pipeline, const char* moment)
{
    // Does nothing unless GST_DEBUG_DUMP_DOT_DIR names a folder.
    const QByteArray file = QByteArray("corvana-") + GST_OBJECT_NAME(pipeline) + '-' + moment;
    GST_DEBUG_BIN_TO_DOT_FILE_WITH_TS(GST_BIN(pipeline), GST_DEBUG_GRAPH_SHOW_ALL, file.constData());
}

} // namespace corvana
