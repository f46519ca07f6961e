#include "capture/CCaptureGraph.h"

#include "capture/AlsaInputLine.h"
#include "capture/CameraFormat.h"
#include "capture/DeviceList.h"
#include "capture/DeviceState.h"
#include "capture/DiscoveryRules.h"
#include "capture/GstRuntime.h"
#include "capture/IPreviewSurface.h"
#include "capture/LiveStart.h"
#include "capture/PreviewSink.h"
#include "capture/RecordingPipeline.h"
#include "capture/RequiredElements.h"
#include "capture/SourceWatchdog.h"
#include "library/MediaFolders.h"
#include "support/Logging.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <gst/app/gstappsink.h>

namespace corvana {

namespace {

constexpr int kRecordWidth = 640;
constexpr int kRecordHeight = 480;

QStringList PreviewElements()
{
    return {QStringLiteral("tee"), QStringLiteral("queue"), QStringLiteral("capsfilter"),
            QStringLiteral("videoconvertscale"), QStringLiteral("appsink")};
}

void EnableMicrophoneLine(const CaptureDevice& device)
{
    bool ok = false;
    const int card = device.properties.value(QStringLiteral("alsa.card")).toInt(&ok);
    if (ok)
        AlsaInputLine::Enable(card, QStringLiteral("Microphone"));
}

} // namespace

CCaptureGraph& CCaptureGraph::Instance()
{
    static CCaptureGraph instance;
    return instance;
}

CCaptureGraph::CCaptureGraph() = default;

CCaptureGraph::~CCaptureGraph()
{
    CloseInterfaces();
}

void CCaptureGraph::SetOwnerWindow(IPreviewSurface* owner)
{
    m_hwndOwner = owner;
    m_nVideoDevices = 0;
    m_nAnalogDevices = 0;
    m_bBuilt = 0;
}

HRESULT CCaptureGraph::StartPreview()
{
    if (!m_bBuilt)
        CloseInterfaces();
    m_bBuilt = 1;
    m_failure = {};
    return BuildPreviewGraph();
}

HRESULT CCaptureGraph::BuildPreviewGraph()
{
    HRESULT hr = GetInterfaces();
    if (Failed(hr)) {
        CORVANA_DEBUG_LINE(lcCapture, "Failed to get video interfaces!");
        return hr;
    }
    hr = FindCaptureDevices();
    if (Failed(hr))
        return hr;
    if (m_nAnalogDevices == m_nVideoDevices) {
        CORVANA_DEBUG_LINE(lcCapture, "Webcam(USB) is not detected.!");
        m_failure.Fail(hr, CaptureFailure::NoCamera);
        return hr;
    }
    hr = AddCaptureMonikerToGraph();
    if (Failed(hr)) {
        CORVANA_DEBUG_LINE(lcCapture, "fail To AddCaptureMonikerToGraph");
        return hr;
    }
    hr = SetupVideoWindow();
    if (Failed(hr)) {
        CORVANA_DEBUG_LINE(lcCapture, "Couldn't initialize video window!");
        return hr;
    }
    if (const CaptureFailure failure = LiveStart::Run(m_pGraph.get(), m_hwndOwner); failure != CaptureFailure::None) {
        CORVANA_DEBUG_LINE(lcCapture, "Couldn't run the graph!");
        return m_failure.Fail(E_FAIL, failure, VideoDeviceName());
    }
    m_cameraWatch = std::make_unique<SourceWatchdog>(m_pSource.get(), [this] {
        CORVANA_DEBUG_LINE(lcCapture, QStringLiteral("webcam graph: the camera stopped delivering"));
        LoseCamera();
    });
    return S_OK;
}

HRESULT CCaptureGraph::GetInterfaces()
{
    if (m_pGraph)
        return E_FAIL;
    GstRuntime::Ensure();
    if (!RequiredElements::Require(PreviewElements(), m_failure))
        return E_NOINTERFACE;
    m_pGraph = ElementHandle::Adopt(gst_pipeline_new("webcam"));
    if (!m_pGraph) {
        CORVANA_DEBUG_LINE(lcCapture, "create filter graph filed");
        return E_NOINTERFACE;
    }
    m_pEvent = std::make_unique<BusWatch>(m_pGraph.get(), LiveStart::OnError(QStringLiteral("webcam graph"), [this] { LoseCamera(); }));
    return S_OK;
}

HRESULT CCaptureGraph::FindCaptureDevices()
{
    const DeviceList::Listing video = DeviceList::Enumerate(DeviceCategory::VideoInput);
    const DeviceList::Listing audio = video ? DeviceList::Enumerate(DeviceCategory::AudioInput) : std::nullopt;
    if (!video || !audio) {
        CORVANA_DEBUG_LINE(lcCapture, "Couldn't create Video enumerator!");
        return m_failure.Fail(E_FAIL, video ? CaptureFailure::NoMicrophone : CaptureFailure::NoCamera);
    }
    const DiscoveryRules::WebcamChoice choice = DiscoveryRules::ChooseWebcamDevices(*video, *audio);
    if (choice.noVideoDevice) {
        m_nDeviceState = DeviceState::NoCamera;
        return m_failure.Fail(E_FAIL, CaptureFailure::NoVideoDevice);
    }
    m_nDeviceState = DeviceState::CameraFound;
    if (choice.noAudioDevice)
        return m_failure.Fail(E_FAIL, CaptureFailure::NoAudioDevice);
    m_nVideoDevices = choice.videoDevices;
    m_nAnalogDevices = choice.analogDevices;
    if (choice.video.element) {
        m_videoDevice = choice.video.device;
        m_pSource = choice.video.element;
    }
    if (Failed(choice.result))
        return m_failure.Fail(choice.result, choice.video.element ? CaptureFailure::NoMicrophone : CaptureFailure::NoCamera);
    m_audioDevice = choice.audio.device;
    m_pAudioDevice = choice.audio.element;
    EnableMicrophoneLine(*m_audioDevice);
    return S_OK;
}

HRESULT CCaptureGraph::AddCaptureMonikerToGraph()
{
    if (!m_pSource || !AddToBin(m_pGraph.get(), m_pSource)) {
        CORVANA_DEBUG_LINE(lcCapture, "Failed in AddSourceFilterForMoniker()!");
        return E_FAIL;
    }
    // The recording is 640x480: take that straight from the camera when it offers it, in either form.
    const CameraFormat format = CameraFormat::Choose(m_videoDevice ? m_videoDevice->caps : QString(), QSize(kRecordWidth, kRecordHeight));
    if (!RequiredElements::Require(format.Elements(), m_failure))
        return E_NOINTERFACE;
    ElementHandle tee = ElementHandle::Adopt(gst_element_factory_make("tee", nullptr));
    ElementHandle feedQueue = ElementHandle::Adopt(gst_element_factory_make("queue", nullptr));
    ElementHandle feed = ElementHandle::Adopt(gst_element_factory_make("appsink", "feed"));
    if (!tee || !feedQueue || !feed)
        return E_FAIL;
    g_object_set(feedQueue.get(), "leaky", 2, "max-size-buffers", 2, "max-size-bytes", 0, "max-size-time", G_GUINT64_CONSTANT(0), nullptr);
    g_object_set(feed.get(), "sync", FALSE, "max-buffers", 1, "drop", TRUE, "emit-signals", TRUE, "wait-on-eos", FALSE,
                 "enable-last-sample", FALSE, nullptr);
    g_signal_connect(feed.get(), "new-sample", G_CALLBACK(&CCaptureGraph::OnFeedSample), this);
    GstBin* bin = GST_BIN(m_pGraph.get());
    GstElement* frames = format.LinkAfter(bin, m_pSource.get());
    if (!frames)
        return E_FAIL;
    if (!AddToBin(m_pGraph.get(), tee) || !AddToBin(m_pGraph.get(), feedQueue) || !AddToBin(m_pGraph.get(), feed))
        return E_FAIL;
    if (!gst_element_link(frames, tee.get()) || !gst_element_link_many(tee.get(), feedQueue.get(), feed.get(), nullptr))
        return E_FAIL;
    m_pTee = std::move(tee);
    return S_OK;
}

HRESULT CCaptureGraph::SetupVideoWindow()
{
    const QSize area = m_hwndOwner ? m_hwndOwner->ClientSize() : QSize();
    m_pVideoWindow = std::make_unique<PreviewSink>(m_hwndOwner, area);
    const ElementHandle& branch = m_pVideoWindow->Branch();
    if (!AddToBin(m_pGraph.get(), branch))
        return E_FAIL;
    return gst_element_link(m_pTee.get(), branch.get()) ? S_OK : E_FAIL;
}

GstFlowReturn CCaptureGraph::OnFeedSample(GstElement* appsink, gpointer self)
{
    auto* graph = static_cast<CCaptureGraph*>(self);
    GstSamplePtr sample(gst_app_sink_pull_sample(GST_APP_SINK(appsink)));
    std::shared_ptr<RecordingPipeline> writer;
    {
        std::lock_guard lock(graph->m_writerMutex);
        writer = graph->m_pWriter;
    }
    if (sample && writer)
        writer->PushVideo(sample.get());
    return GST_FLOW_OK;
}

HRESULT CCaptureGraph::StartRecording()
{
    if (m_bRecording)
        return S_FALSE;
    // A graph without its camera keeps the reason the preview gave.
    if (m_pTee)
        m_failure = {};
    if (!RequiredElements::Require(RecordingPipeline::VideoElements(), m_failure))
        return E_NOINTERFACE;
    if (!m_pAudioDevice && m_audioDevice)
        m_pAudioDevice = m_audioDevice->Bind();
    // Without the tee the camera never made it into the graph (no USB webcam, or a failed build).
    if (!m_pGraph || !m_pTee) {
        CORVANA_DEBUG_LINE(lcCapture, "Couldn't render Video capture stream");
        return m_failure.Fail(E_FAIL, CaptureFailure::NoCamera);
    }
    if (!m_pAudioDevice) {
        CORVANA_DEBUG_LINE(lcCapture, "Couldn't render Audio capture stream");
        return m_failure.Fail(E_FAIL, CaptureFailure::NoMicrophone);
    }
    auto writer = std::make_shared<RecordingPipeline>();
    const QString folder = MediaFolders::ModeFolder(MediaMode::Video);
    if (!MediaFolders::MakeWritable(folder))
        return m_failure.Fail(E_FAIL, CaptureFailure::FolderNotWritable, folder);
    m_path = MakeTimestampedPath(QStringLiteral("wmv"), MediaFolders::SubfolderName(MediaMode::Video));
    const HRESULT output = m_path.isEmpty() ? E_FAIL : writer->SetOutput(m_path);
    if (Failed(output)) {
        CORVANA_DEBUG_LINE(lcCapture, "setoutputfilename fail");
        if (!m_path.isEmpty())
            QFile::remove(m_path);
        return m_failure.Fail(output, m_path.isEmpty() ? CaptureFailure::FolderNotWritable : CaptureFailure::Other, folder);
    }
    CORVANA_DEBUG_LINE(lcCapture, QString::asprintf("QueryInterface: %x", static_cast<unsigned>(S_OK)));
    HRESULT hr = writer->AddAudioSource(std::move(m_pAudioDevice));
    if (Succeeded(hr))
        hr = writer->RenderAudio();
    if (Failed(hr)) {
        CORVANA_DEBUG_LINE(lcCapture, "Couldn't render Audio capture stream");
        return m_failure.Fail(hr, CaptureFailure::Other);
    }
    hr = writer->RenderVideo();
    if (Failed(hr)) {
        CORVANA_DEBUG_LINE(lcCapture, "Couldn't render Video capture stream");
        return m_failure.Fail(hr, CaptureFailure::Other);
    }
    hr = writer->Start([this](CaptureFailure failure) { OnRecordingError(failure); });
    if (Failed(hr))
        return m_failure.Fail(hr, writer->StartFailure(), writer->StartFailure() == CaptureFailure::FolderNotWritable ? folder : m_path);
    {
        std::lock_guard lock(m_writerMutex);
        m_pWriter = std::move(writer);
    }
    m_bRecording = 1;
    return S_OK;
}

void CCaptureGraph::StopRecording()
{
    std::shared_ptr<RecordingPipeline> writer;
    {
        std::lock_guard lock(m_writerMutex);
        writer = std::move(m_pWriter);
    }
    if (writer)
        writer->Stop();
    m_bRecording = 0;
}

void CCaptureGraph::OnRecordingError(CaptureFailure failure)
{
    // The writer has finished the file as far as it got; it is let go by the next recording.
    m_bRecording = 0;
    m_failure = {failure, m_path};
    if (m_onFailure)
        m_onFailure(failure);
}

void CCaptureGraph::LoseCamera()
{
    m_cameraWatch.reset();
    const bool wasRecording = m_bRecording;
    if (m_bRecording)
        StopRecording();
    gst_element_set_state(m_pGraph.get(), GST_STATE_NULL);
    // Nothing is recorded from a camera that is gone until a new preview finds one.
    m_pTee.reset();
    if (m_hwndOwner)
        m_hwndOwner->ShowPlaceholder();
    m_failure = {CaptureFailure::CameraLost, wasRecording ? m_path : QString()};
    if (m_onFailure)
        m_onFailure(CaptureFailure::CameraLost);
}

void CCaptureGraph::CloseInterfaces()
{
    // Tearing down under a running recording would lose its end; finish the file first.
    if (m_bRecording)
        StopRecording();
    m_cameraWatch.reset();
    m_pEvent.reset();
    if (m_pGraph)
        gst_element_set_state(m_pGraph.get(), GST_STATE_NULL);
    const bool hadPreview = static_cast<bool>(m_pVideoWindow);
    m_pVideoWindow.reset();
    m_pTee.reset();
    m_pSource.reset();
    m_pAudioDevice.reset();
    m_videoDevice.reset();
    m_audioDevice.reset();
    m_pGraph.reset();
    {
        std::lock_guard lock(m_writerMutex);
        m_pWriter.reset();
    }
    if (hadPreview && m_hwndOwner)
        m_hwndOwner->ShowPlaceholder();
}

bool CCaptureGraph::IsPreviewing() const
{
    if (!m_pGraph || !m_pVideoWindow)
        return false;
    GstState state = GST_STATE_NULL;
    gst_element_get_state(m_pGraph.get(), &state, nullptr, 0);
    return state == GST_STATE_PLAYING;
}

double CCaptureGraph::RecordedSeconds() const
{
    std::lock_guard lock(m_writerMutex);
    return m_pWriter ? m_pWriter->AudioSeconds() : 0.0;
}

int CCaptureGraph::PreviewFramesPresented() const
{
    return m_pVideoWindow ? m_pVideoWindow->FramesPresented() : 0;
}

} // namespace corvana
