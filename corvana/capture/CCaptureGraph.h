#pragma once
#include "capture/BusWatch.h"
#include "capture/CaptureDevice.h"
#include "capture/CaptureFailure.h"
#include "capture/DeviceState.h"
#include "capture/GstHandle.h"
#include "capture/HResult.h"
#include "capture/IPreviewSurface.h"

#include <QString>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>

namespace corvana {

class PreviewSink;
class RecordingPipeline;
class SourceWatchdog;

// The Video mode's webcam graph: a live preview in the preview area and, on demand, a ".wmv"
// recording with the microphone's sound while the preview keeps running. One instance for the
// process.
//   preview: camera ! video/x-raw,width=640,height=480 (or image/jpeg,width=640,height=480 ! jpegdec;
//            the camera's default where it offers no 640x480) ! tee
//            tee. ! queue(leaky) ! videoconvertscale ! BGRx at the area's size ! appsink (painted)
//            tee. ! queue(leaky) ! appsink (frames handed to the recording's writer while it runs)
// Names kept from the program's first platform: AddCaptureMonikerToGraph makes the camera's source
// element, m_hwndOwner is the preview surface painted into, m_pEvent the bus watch.
class CCaptureGraph {
public:
    static CCaptureGraph& Instance();
    virtual ~CCaptureGraph();

    void SetOwnerWindow(IPreviewSurface* owner);
    HRESULT StartPreview();
    HRESULT StartRecording();
    void StopRecording();
    int IsRecording() const { return m_bRecording; }
    void CloseInterfaces();
    int GetDeviceState() const { return m_nDeviceState; }
    // Why the last preview or recording start failed; None after a successful one.
    CaptureOutcome LastFailure() const { return m_failure; }
    // Runs on the user-interface thread when the camera fails or stops delivering, or a running recording
    // stops by itself; what was written is kept.
    void SetFailureHandler(std::function<void(CaptureFailure)> handler) { m_onFailure = std::move(handler); }

    // What the last discovery counted (video devices, and devices with an analog video input).
    int VideoDeviceCount() const { return m_nVideoDevices; }
    int AnalogDeviceCount() const { return m_nAnalogDevices; }
    QString VideoDeviceName() const { return m_videoDevice ? m_videoDevice->name : QString(); }
    QString AudioDeviceName() const { return m_audioDevice ? m_audioDevice->name : QString(); }
    bool IsPreviewing() const;
    int PreviewFramesPresented() const;
    QString OutputPath() const { return m_path; }
    // Seconds of sound the running recording has written (0 when none runs).
    double RecordedSeconds() const;

private:
    CCaptureGraph();
    HRESULT BuildPreviewGraph();
    HRESULT GetInterfaces();
    HRESULT FindCaptureDevices();
    HRESULT AddCaptureMonikerToGraph();
    HRESULT SetupVideoWindow();
    // The camera failed or stopped delivering: the recording is finished with what it has.
    void LoseCamera();
    void OnRecordingError(CaptureFailure failure);
    static GstFlowReturn OnFeedSample(GstElement* appsink, gpointer self);

    PreviewSurfaceRef m_hwndOwner;
    ElementHandle m_pGraph;
    ElementHandle m_pSource;
    ElementHandle m_pTee;
    ElementHandle m_pAudioDevice;
    std::optional<CaptureDevice> m_videoDevice;
    std::optional<CaptureDevice> m_audioDevice;
    std::unique_ptr<PreviewSink> m_pVideoWindow;
    std::unique_ptr<BusWatch> m_pEvent;
    std::unique_ptr<SourceWatchdog> m_cameraWatch;
    mutable std::mutex m_writerMutex;
    std::shared_ptr<RecordingPipeline> m_pWriter;
    QString m_path;
    int m_nVideoDevices = 0;
    int m_nAnalogDevices = 0;
    int m_bRecording = 0;
    int m_bBuilt = 0;
    int m_nDeviceState = DeviceState::NotLookedFor;
    CaptureOutcome m_failure;
    std::function<void(CaptureFailure)> m_onFailure;
};

} // namespace corvana
