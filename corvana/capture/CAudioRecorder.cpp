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
#include <QFileInfo>

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
    m_failure = {};
    m_pGraph = std::make_unique<RecordingPipeline>();
    if (!m_pGraph->IsValid()) {
        m_pGraph.reset();
        return m_failure.Fail(E_NOINTERFACE, CaptureFailure::Other);
    }
    return S_OK;
}

HRESULT CAudioRecorder::AddCaptureSource(DeviceCategory category, const QString& name)
{
    if (!m_pGraph)
        return E_POINTER;
    const DeviceList::Listing devices = DeviceList::Enumerate(category);
    if (!devices)
        return m_failure.Fail(E_FAIL, CaptureFailure::NoMicrophone);
    BoundDevice chosen;
    const HRESULT hr = DiscoveryRules::ChooseAudioSource(*devices, name, chosen);
    if (hr != S_OK)
        return m_failure.Fail(hr, CaptureFailure::NoMicrophone);
    const HRESULT added = m_pGraph->AddAudioSource(std::move(chosen.element));
    if (Failed(added))
        return m_failure.Fail(added, CaptureFailure::Other);
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
    if (!RequiredElements::Require(RecordingPipeline::AudioElements(), m_failure))
        return E_NOINTERFACE;
    const QString folder = MediaFolders::MediaRoot() + folderName;
    if (!MediaFolders::MakeWritable(folder))
        return m_failure.Fail(E_FAIL, CaptureFailure::FolderNotWritable, folder);
    m_path = MakeTimestampedPath(QStringLiteral("wma"), folderName);
    if (m_path.isEmpty())
        return m_failure.Fail(E_FAIL, CaptureFailure::FolderNotWritable, folder);
    const HRESULT hr = m_pGraph->SetOutput(m_path);
    if (Failed(hr)) {
        QFile::remove(m_path);
        return m_failure.Fail(hr, CaptureFailure::Other);
    }
    const HRESULT rendered = m_pGraph->RenderAudio();
    return Failed(rendered) ? m_failure.Fail(rendered, CaptureFailure::Other) : rendered;
}

HRESULT CAudioRecorder::Start()
{
    if (!m_pGraph || !m_pGraph->HasWriter() || !m_pGraph->HasAudioSource())
        return m_failure.Fail(E_NOINTERFACE, CaptureFailure::Other);
    if (m_bRunning)
        return S_OK;
    const HRESULT hr = m_pGraph->Start([this](CaptureFailure failure) { OnPipelineError(failure); });
    if (hr == S_OK)
        m_bRunning = 1;
    if (Failed(hr))
        return m_failure.Fail(hr, m_pGraph->StartFailure(), m_pGraph->StartFailure() == CaptureFailure::FolderNotWritable
                                                      ? QFileInfo(m_path).absolutePath() : m_path);
    return S_OK;
}

void CAudioRecorder::Stop()
{
    if (!m_pGraph)
        return;
    m_pGraph->Stop();
    m_bRunning = 0;
}

void CAudioRecorder::OnPipelineError(CaptureFailure failure)
{
    // The pipeline has already finished the file as far as it got.
    m_bRunning = 0;
    m_failure = {failure, m_path};
    if (m_onFailure)
        m_onFailure(failure);
}

double CAudioRecorder::RecordedSeconds() const
{
    return m_pGraph ? m_pGraph->AudioSeconds() : 0.0;
}

std::optional<std::pair<double, double>> CAudioRecorder::SoundLevel() const
{
    return m_pGraph ? m_pGraph->Level() : std::nullopt;
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
