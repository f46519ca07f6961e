#include "capture/CAudioRecorder.h"

#include "capture/AlsaInputLine.h"
#include "capture/DeviceList.h"
#include "capture/DiscoveryRules.h"
#include "capture/GstRuntime.h"
#include "capture/RecordingPipeline.h"
#include "capture/RequiredElements.h"
#include "library/MediaFolders.h"

#include <QDir>
#include <QFile>

namespace corvana {

CAudioRecorder& CAudioRecorder::Instance()
{
    static CAudioRecorder instance;
    return instance;
}

CAudioRecorder::CAudioRecorder() = default;

CAudioRecorder::~CAudioRecorder()
{
    ReleaseAll();
}

HRESULT CAudioRecorder::CreateGraph()
{
    GstRuntime::Ensure();
    // A stopped recording's graph is let go before the next one is made.
    ReleaseAll();
    m_pGraph = std::make_unique<RecordingPipeline>();
    if (!m_pGraph->IsValid()) {
        m_pGraph.reset();
        return E_NOINTERFACE;
    }
    return S_OK;
}

HRESULT CAudioRecorder::AddCaptureSource(DeviceCategory category, const QString& name)
{
    if (!m_pGraph)
        return E_POINTER;
    const DeviceList::Listing devices = DeviceList::Enumerate(category);
    if (!devices)
        return E_FAIL;
    BoundDevice chosen;
    const HRESULT hr = DiscoveryRules::ChooseAudioSource(*devices, name, chosen);
    if (hr != S_OK)
        return hr;
    const HRESULT added = m_pGraph->AddAudioSource(std::move(chosen.element));
    if (Succeeded(added))
        m_pSource = std::make_unique<CaptureDevice>(chosen.device);
    return added;
}

HRESULT CAudioRecorder::EnableInputPin(const QString& lineName)
{
    if (!m_pSource)
        return E_NOINTERFACE;
    bool ok = false;
    const int card = m_pSource->properties.value(QStringLiteral("alsa.card")).toInt(&ok);
    if (ok)
        AlsaInputLine::Enable(card, lineName);
    return S_FALSE;
}

HRESULT CAudioRecorder::SetOutputAndRender(const QString& folderName)
{
    if (!m_pGraph)
        return E_POINTER;
    if (!RequiredElements::Check(RecordingPipeline::AudioElements()))
        return E_NOINTERFACE;
    QDir().mkpath(MediaFolders::MediaRoot() + folderName);
    m_path = MakeTimestampedPath(QStringLiteral("wma"), folderName);
    if (m_path.isEmpty())
        return E_FAIL;
    const HRESULT hr = m_pGraph->SetOutput(m_path);
    if (Failed(hr)) {
        QFile::remove(m_path);
        return hr;
    }
    return m_pGraph->RenderAudio();
}

HRESULT CAudioRecorder::Start()
{
    if (!m_pGraph || !m_pGraph->HasWriter() || !m_pGraph->HasAudioSource())
        return E_NOINTERFACE;
    if (m_bRunning)
        return S_OK;
    const HRESULT hr = m_pGraph->Start([this] { OnPipelineError(); });
    if (hr == S_OK)
        m_bRunning = 1;
    return Failed(hr) ? hr : S_OK;
}

void CAudioRecorder::Stop()
{
    if (!m_pGraph)
        return;
    m_pGraph->Stop();
    m_bRunning = 0;
}

void CAudioRecorder::OnPipelineError()
{
    // The pipeline has already finished the file as far as it got.
    m_bRunning = 0;
}

double CAudioRecorder::RecordedSeconds() const
{
    return m_pGraph ? m_pGraph->AudioSeconds() : 0.0;
}

void CAudioRecorder::ReleaseAll()
{
    // A recording still running is finished rather than cut off.
    if (m_pGraph)
        m_pGraph->Stop();
    m_bRunning = 0;
    m_pGraph.reset();
    m_pSource.reset();
}

} // namespace corvana
