#pragma once
#include "capture/BusWatch.h"
#include "capture/CaptureFailure.h"
#include "capture/GstHandle.h"
#include "capture/HResult.h"

#include <QString>
#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <utility>
#include <vector>

namespace corvana {

class SourceWatchdog;

// The writer of one recording: the microphone (and, for video, the camera's frames handed over
// from the preview pipeline) encoded to Windows Media Audio 2 / Video 8 in an ASF file.
//   audio: source ! audioconvert ! audioresample ! audio/x-raw,format=F32LE,rate=44100,channels=2
//          ! queue ! avenc_wmav2 bitrate=64000 ! identity single-segment=true ! asfmux
//   video: appsrc ! queue ! videorate ! videoconvertscale
//          ! video/x-raw,format=I420,width=640,height=480,framerate=30000/1001
//          ! avenc_wmv2 bitrate=636000 ! identity single-segment=true ! asfmux
//   asfmux ! filesink
// The sources and the writer start first, with the queues held; the rest of each branch is made
// and linked behind them then, so loading the encoders' library costs the recording nothing.
// Stop sends end-of-stream into both branches and waits for it to leave the muxer, so the file
// is finalised; a pipeline error, or a microphone that stops delivering, stops the recording the
// same way and keeps what was written (an error of the muxer or the file itself, a full disk say,
// stops it at once).
class RecordingPipeline {
public:
    using ErrorHandler = std::function<void(CaptureFailure)>;

    static constexpr std::chrono::milliseconds kFinishWait{3000};
    static constexpr std::chrono::milliseconds kLevelInterval{33};
    // The level of no sound at all.
    static constexpr double kSilenceDb = -100;

    RecordingPipeline();
    ~RecordingPipeline();
    RecordingPipeline(const RecordingPipeline&) = delete;
    RecordingPipeline& operator=(const RecordingPipeline&) = delete;

    bool IsValid() const { return static_cast<bool>(m_pipeline); }
    HRESULT AddAudioSource(ElementHandle source);
    bool HasAudioSource() const { return static_cast<bool>(m_audioSource); }
    HRESULT SetOutput(const QString& path);
    bool HasWriter() const { return static_cast<bool>(m_writer); }
    HRESULT RenderAudio();
    HRESULT RenderVideo();
    // onError runs on the user-interface thread after an error has stopped the recording.
    HRESULT Start(ErrorHandler onError);
    // Why the last Start failed.
    CaptureFailure StartFailure() const { return m_startFailure; }
    void Stop();
    bool IsRunning() const { return m_running; }
    // Seconds of microphone sound that have reached the writer so far.
    double AudioSeconds() const { return m_audioNanoseconds.load() / 1e9; }
    // The sound's level as last measured (dB below full scale): its peak and the peak falling
    // off slowly, as a meter shows them; nothing before the first measurement.
    std::optional<std::pair<double, double>> Level() const { return m_level; }
    QString Path() const { return m_path; }

    // Any thread: one camera frame for the video branch; ignored unless the recording runs.
    void PushVideo(GstSample* sample);

    static QStringList AudioElements();
    static QStringList VideoElements();
    // All but the encoders, which a recording makes once its sources run.
    static QStringList ElementsBeforeStart();

private:
    // A source's queue, held closed until the encoding behind it is linked to the writer.
    struct Branch {
        ElementHandle queue;
        PadHandle writerPad;
        gulong hold = 0;
        static Branch Hold(ElementHandle queue, GstElement* writer, const char* padTemplate);
    };
    static std::vector<ElementHandle> AudioEncoding();
    static std::vector<ElementHandle> VideoEncoding();
    bool Complete(Branch& branch, std::vector<ElementHandle> encoding, GstPadProbeCallback onEncoded);
    bool OnMessage(GstMessage* message);
    bool TakeLevel(const GstStructure* structure);
    // A microphone that stops delivering without an error is as lost as one that fails.
    void OnMicrophoneStalled();
    static GstPadProbeReturn OnAudioBuffer(GstPad* pad, GstPadProbeInfo* info, gpointer self);
    // The one way a recording ends. drain: send end-of-stream and wait for it to leave the muxer;
    // pointless once the writer itself has failed.
    void Finish(bool drain);
    void CloseFeed(bool drain);
    void SendEndOfStream();
    // Whether the end of the stream left the muxer within kFinishWait.
    bool WaitForEnd();
    // Stops the pipeline, then syncs the file and settles it as finished or not.
    void CloseAndSync(bool finished);
    bool FromWriter(GstMessage* message) const;
    CaptureFailure Meaning(GstMessage* error, bool running) const;
    void PushFrame(GstBuffer* original, GstClockTime at);
    void DiscardEmptyOutput();
    // Syncs the file and forgets it as a recording in progress, once it is complete.
    void Settle(bool finished);

    ElementHandle m_pipeline;
    ElementHandle m_audioSource;
    Branch m_audio;
    ElementHandle m_videoSource;
    Branch m_video;
    ElementHandle m_writer;
    ElementHandle m_fileSink;
    QString m_path;
    bool m_pathInProgress = false;
    std::unique_ptr<BusWatch> m_watch;
    std::unique_ptr<SourceWatchdog> m_microphoneWatch;
    ErrorHandler m_onError;
    bool m_running = false;
    CaptureFailure m_startFailure = CaptureFailure::None;
    std::mutex m_feedMutex;
    bool m_feedOpen = false;
    bool m_feedCapsSet = false;
    GstBuffer* m_lastFrame = nullptr;  // guarded by m_feedMutex
    std::atomic<qint64> m_audioNanoseconds{0};
    std::optional<std::pair<double, double>> m_level;  // user-interface thread
};

} // namespace corvana
