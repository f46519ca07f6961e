#include "capture/CMediaControl.h"

#include "capture/PreviewSink.h"

namespace corvana {

HRESULT CMediaControl::SetState(GstState state)
{
    if (!m_pipeline)
        return E_POINTER;
    return gst_element_set_state(m_pipeline, state) == GST_STATE_CHANGE_FAILURE ? E_FAIL : S_OK;
}

HRESULT CMediaControl::Run()
{
    if (m_sink)
        m_sink->SetPaused(false);
    return SetState(GST_STATE_PLAYING);
}

HRESULT CMediaControl::Pause()
{
    if (m_sink)
        m_sink->SetPaused(true);
    return SetState(GST_STATE_PAUSED);
}

HRESULT CMediaControl::Stop()
{
    if (m_sink)
        m_sink->SetPaused(true);
    return SetState(GST_STATE_NULL);
}

} // namespace corvana
