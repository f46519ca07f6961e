#include "capture/SourceWatchdog.h"

namespace corvana {

namespace {

// The source's own output, or the first source pad of a bin (the synthetic camera is one).
PadHandle OutputOf(GstElement* source)
{
    if (!source)
        return {};
    if (GstPad* pad = gst_element_get_static_pad(source, "src"))
        return PadHandle::Adopt(pad);
    GstIterator* pads = gst_element_iterate_src_pads(source);
    GValue item = G_VALUE_INIT;
    PadHandle found;
    if (gst_iterator_next(pads, &item) == GST_ITERATOR_OK) {
        found = PadHandle::Adopt(GST_PAD(g_value_dup_object(&item)));
        g_value_unset(&item);
    }
    gst_iterator_free(pads);
    return found;
}

} // namespace

SourceWatchdog::SourceWatchdog(GstElement* source, std::function<void()> onStalled, std::chrono::milliseconds limit)
    : m_source(ElementHandle::Ref(source)), m_pad(OutputOf(source)), m_onStalled(std::move(onStalled)), m_limit(limit)
{
    // The time a source needs to deliver its first data counts like any other gap.
    m_arrivals->lastNanoseconds = Now();
    if (m_pad) {
        m_probe = gst_pad_add_probe(
            m_pad.get(), static_cast<GstPadProbeType>(GST_PAD_PROBE_TYPE_BUFFER | GST_PAD_PROBE_TYPE_BUFFER_LIST),
            [](GstPad*, GstPadProbeInfo*, gpointer data) {
                (*static_cast<std::shared_ptr<Arrivals>*>(data))->lastNanoseconds = Now();
                return GST_PAD_PROBE_OK;
            },
            new std::shared_ptr<Arrivals>(m_arrivals), [](gpointer data) { delete static_cast<std::shared_ptr<Arrivals>*>(data); });
    }
    m_timer.setInterval(std::max<std::chrono::milliseconds>(m_limit / 8, std::chrono::milliseconds(50)));
    QObject::connect(&m_timer, &QTimer::timeout, &m_timer, [this] { Check(); });
    m_timer.start();
}

SourceWatchdog::~SourceWatchdog()
{
    m_timer.stop();
    if (m_pad && m_probe)
        gst_pad_remove_probe(m_pad.get(), m_probe);
}

std::int64_t SourceWatchdog::Now()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

void SourceWatchdog::Check()
{
    // A source owes data only while it plays: a paused preview (a photo shown) is no stall.
    GstState state = GST_STATE_NULL;
    if (m_source && gst_element_get_state(m_source.get(), &state, nullptr, 0) != GST_STATE_CHANGE_FAILURE
        && state != GST_STATE_PLAYING) {
        m_arrivals->lastNanoseconds = Now();
        return;
    }
    if (Now() - m_arrivals->lastNanoseconds.load() < std::chrono::nanoseconds(m_limit).count())
        return;
    m_timer.stop();
    // A copy: the handler may destroy this watchdog.
    const std::function<void()> handler = m_onStalled;
    if (handler)
        handler();
}

} // namespace corvana
