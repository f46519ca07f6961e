#pragma once
#include <optional>
#include <utility>
#include "capture/CaptureDevice.h"
#include "capture/CaptureFailure.h"
#include "capture/DeviceCategory.h"
#include "capture/HResult.h"

#include <QString>
#include <functional>
#include <memory>

namespace corvana {

class RecordingPipeline;

// Records the microphone into a ".wma" file of a mode folder. One instance for the process.
class CAudioRecorder {
public:
    static CAudioRecorder& Instance();
    virtual ~CAudioRecorder();

    HRESULT CreateGraph();
    HRESULT AddCaptureSource(DeviceCategory category, const QString& name);
    HRESULT EnableInputPin(const QString& lineName);
    HRESULT SetOutputAndRender(const QString& folderName);
    HRESULT Start();
    int IsRunning() const { return m_bRunning; }
    void Stop();
    void ReleaseAll();

    // Why the last step that failed did; None after a successful start.
    CaptureOutcome LastFailure() const { return m_failure; }
    // Runs on the user-interface thread when a running recording stops by itself; what was
    // written is kept.
    void SetFailureHandler(std::function<void(CaptureFailure)> handler) { m_onFailure = std::move(handler); }

    // The file of the current or last recording (empty before the first output was set).
    QString OutputPath() const { return m_path; }
    // Seconds of sound written by the current or last recording.
    double RecordedSeconds() const;
    // The recorded sound's peak and decaying peak (dB below full scale), once measured.
    std::optional<std::pair<double, double>> SoundLevel() const;

private:
    CAudioRecorder();
    void OnPipelineError(CaptureFailure failure);

    std::unique_ptr<RecordingPipeline> m_pGraph;
    std::unique_ptr<CaptureDevice> m_pSource;
    QString m_path;
    int m_bRunning = 0;
    CaptureOutcome m_failure;
    std::function<void(CaptureFailure)> m_onFailure;
};

} // namespace corvana
