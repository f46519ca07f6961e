#pragma once
#include "capture/CaptureDevice.h"
#include "capture/DeviceCategory.h"
#include "capture/HResult.h"

#include <QString>
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

    // The file of the current or last recording (empty before the first output was set).
    QString OutputPath() const { return m_path; }
    // Seconds of sound written by the current or last recording.
    double RecordedSeconds() const;

private:
    CAudioRecorder();
    void OnPipelineError();

    std::unique_ptr<RecordingPipeline> m_pGraph;
    std::unique_ptr<CaptureDevice> m_pSource;
    QString m_path;
    int m_bRunning = 0;
};

} // namespace corvana
