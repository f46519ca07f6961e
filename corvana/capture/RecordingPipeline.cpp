#include "capture/RecordingPipeline.h"

#include "capture/AsfHeaderRates.h"
#include "capture/AsfRepair.h"
#include "capture/PipelineDiagnostics.h"
#include "capture/SourceWatchdog.h"
#include "capture/UnfinishedRecordings.h"
#include "support/Logging.h"

#include <QFile>
#include <QFileInfo>
#include <gst/app/gstappsrc.h>

#include <algorithm>
#include <fcntl.h>
#include <unistd.h>

namespace corvana {

namespace {

ElementHandle Make(const char* factory, const char* name = nullptr)
{
    return ElementHandle::Adopt(gst_element_factory_make(factory, name));
}

// Adds the elements to the bin and links them in order; false if one is missing or a link fails.
template <typename Elements>
bool AddChainOf(GstElement* bin, const Elements& chain)
{
    GstElement* previous = nullptr;
    for (const ElementHandle& element : chain) {
        if (!element)
            return false;
        if (!GST_OBJECT_PARENT(element.get()) && !AddToBin(bin, element))
            return false;
        if (previous && !gst_element_link(previous, element.get()))
            return false;
        previous = element.get();
    }
    return true;
}

bool AddChain(GstElement* bin, std::initializer_list<std::reference_wrapper<const ElementHandle>> chain)
{
    return AddChainOf(bin, chain);
}

ElementHandle Filter(const char* capsText)
{
    ElementHandle filter = Make("capsfilter");
    if (filter) {
        GstCapsPtr caps(gst_caps_from_string(capsText));
        g_object_set(filter.get(), "caps", caps.get(), nullptr);
    }
    return filter;
}

ElementHandle SourceQueue()
{
    ElementHandle queue = Make("queue");
    if (queue)
        g_object_set(queue.get(), "max-size-buffers", 0, "max-size-bytes", 0, "max-size-time", G_GUINT64_CONSTANT(5000000000),
                     nullptr);
    return queue;
}

// The writer's packets are this size: at 64 kbit/s of sound one fills in about 0.25 s, so what
// was recorded reaches the file at least that often and a crash loses no more.
constexpr guint kPacketSize = 2000;
// The video profile's rates: 636 kbit/s of video beside the audio's 64, with a buffer window of
// five seconds.
constexpr guint kVideoBitrate = 636000;
constexpr guint kBufferWindowMs = 5000;

// The muxer writes the last packet with its payload length as the packet length, although the
// packet is written padded to the full size; readers then count the padding twice and drop the
// packet. The packet length is set to the size actually written.
GstPadProbeReturn WholeLastPacket(GstPad*, GstPadProbeInfo* info, gpointer)
{
    GstBuffer* buffer = GST_PAD_PROBE_INFO_BUFFER(info);
    if (!buffer || gst_buffer_get_size(buffer) != kPacketSize)
        return GST_PAD_PROBE_OK;
    guint8 head[6] = {};
    if (gst_buffer_extract(buffer, 0, head, sizeof head) != sizeof head)
        return GST_PAD_PROBE_OK;
    // A packet without error correction data whose length (and padding) fields are 16 bits wide,
    // the only layout the muxer writes: flags, properties, packet length, padding length.
    const bool lengthIsWord = ((head[0] >> 5) & 3) == 2 && ((head[0] >> 1) & 3) == 0 && ((head[0] >> 3) & 3) == 2;
    if ((head[0] & 0x80) || !lengthIsWord)
        return GST_PAD_PROBE_OK;
    const guint length = head[2] | (head[3] << 8);
    const guint padding = head[4] | (head[5] << 8);
    if (length >= kPacketSize || length + padding != kPacketSize)
        return GST_PAD_PROBE_OK;
    buffer = gst_buffer_make_writable(buffer);
    const guint8 whole[2] = {static_cast<guint8>(kPacketSize & 0xFF), static_cast<guint8>(kPacketSize >> 8)};
    gst_buffer_fill(buffer, 2, whole, sizeof whole);
    GST_PAD_PROBE_INFO_DATA(info) = buffer;
    return GST_PAD_PROBE_OK;
}

// Makes sure what was written is on the disk before the recording counts as finished.
void SyncFile(const QString& path)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return;
    ::fsync(fd);
    ::close(fd);
}

GstClockTime RunningTimeOf(GstElement* pipeline)
{
    ClockHandle clock = ClockHandle::Adopt(gst_element_get_clock(pipeline));
    if (!clock)
        return 0;
    const GstClockTime now = gst_clock_get_time(clock.get());
    const GstClockTime base = gst_element_get_base_time(pipeline);
    return now > base ? now - base : 0;
}

ElementHandle RunningTime()
{
    // The encoders' timestamps are not usable by the muxer as they come (the video encoder
    // stamps them far in the future); hand it running time instead.
    ElementHandle identity = Make("identity");
    if (identity)
        g_object_set(identity.get(), "single-segment", TRUE, nullptr);
    return identity;
}

} // namespace

QStringList RecordingPipeline::AudioElements()
{
    return {QStringLiteral("queue"), QStringLiteral("audioconvert"), QStringLiteral("audioresample"), QStringLiteral("level"),
            QStringLiteral("avenc_wmav2"), QStringLiteral("identity"), QStringLiteral("asfmux"), QStringLiteral("filesink")};
}

QStringList RecordingPipeline::VideoElements()
{
    return AudioElements() + QStringList{QStringLiteral("appsrc"), QStringLiteral("videorate"),
                                         QStringLiteral("videoconvertscale"), QStringLiteral("avenc_wmv2")};
}

QStringList RecordingPipeline::ElementsBeforeStart()
{
    QStringList elements = VideoElements();
    elements.removeAll(QStringLiteral("avenc_wmav2"));
    elements.removeAll(QStringLiteral("avenc_wmv2"));
    return elements;
}

RecordingPipeline::RecordingPipeline() : m_pipeline(ElementHandle::Adopt(gst_pipeline_new("recording"))) {}

RecordingPipeline::~RecordingPipeline()
{
    if (m_running)
        Stop();
    m_watch.reset();
    m_microphoneWatch.reset();
    if (m_pipeline)
        gst_element_set_state(m_pipeline.get(), GST_STATE_NULL);
    gst_buffer_replace(&m_lastFrame, nullptr);
    Settle(false);
}

HRESULT RecordingPipeline::AddAudioSource(ElementHandle source)
{
    if (!m_pipeline)
        return E_POINTER;
    if (!source || m_audioSource)
        return E_FAIL;
    if (!AddToBin(m_pipeline.get(), source))
        return E_FAIL;
    m_audioSource = std::move(source);
    return S_OK;
}

HRESULT RecordingPipeline::SetOutput(const QString& path)
{
    if (!m_pipeline || path.isEmpty() || m_writer)
        return E_FAIL;
    ElementHandle mux = Make("asfmux", "writer");
    ElementHandle file = Make("filesink");
    if (!mux || !file)
        return E_NOINTERFACE;
    // Unbuffered: every packet goes to the kernel as it is made, so a crash or kill keeps it.
    g_object_set(file.get(), "location", QFile::encodeName(path).constData(), "async", FALSE, "buffer-mode", 2, nullptr);
    g_object_set(mux.get(), "packet-size", kPacketSize, nullptr);
    if (!AddChain(m_pipeline.get(), {mux, file}))
        return E_FAIL;
    PadHandle packets = PadHandle::Adopt(gst_element_get_static_pad(mux.get(), "src"));
    gst_pad_add_probe(packets.get(), GST_PAD_PROBE_TYPE_BUFFER, &WholeLastPacket, nullptr, nullptr);
    AsfHeaderRates::Watch(packets.get(), kVideoBitrate, kBufferWindowMs);
    // Recorded before the first byte is written, so that a crash is repaired at the next start.
    if (!UnfinishedRecordings::Begin(path))
        CORVANA_DEBUG_LINE(lcCapture, QStringLiteral("recording in progress not noted: %1").arg(path));
    m_writer = std::move(mux);
    m_fileSink = std::move(file);
    m_path = path;
    m_pathInProgress = true;
    return S_OK;
}

HRESULT RecordingPipeline::RenderAudio()
{
    if (!m_audioSource || !m_writer)
        return E_POINTER;
    // Converted ahead of the queue into what the encoder takes, so the microphone is asked for
    // the recording's own rate while the encoder is not there yet.
    ElementHandle convert = Make("audioconvert");
    ElementHandle resample = Make("audioresample");
    ElementHandle format = Filter("audio/x-raw,format=F32LE,layout=interleaved,rate=44100,channels=2");
    // The sound's level for the dialog's meter, measured on what is recorded, 30 times a second.
    ElementHandle level = Make("level");
    if (level)
        g_object_set(level.get(), "interval", static_cast<guint64>(kLevelInterval.count()) * GST_MSECOND, "post-messages", TRUE,
                     nullptr);
    ElementHandle queue = SourceQueue();
    if (!AddChain(m_pipeline.get(), {m_audioSource, convert, resample, format, level, queue}))
        return E_FAIL;
    m_audio = Branch::Hold(std::move(queue), m_writer.get(), "audio_%u");
    return m_audio.writerPad ? S_OK : E_FAIL;
}

HRESULT RecordingPipeline::RenderVideo()
{
    if (!m_writer)
        return E_POINTER;
    ElementHandle source = Make("appsrc");
    ElementHandle queue = SourceQueue();
    if (source)
        // Frames are stamped by PushVideo; the source never blocks the camera's thread.
        g_object_set(source.get(), "is-live", TRUE, "format", GST_FORMAT_TIME, "do-timestamp", FALSE, "block", FALSE,
                     "max-buffers", G_GUINT64_CONSTANT(8), "leaky-type", 2, nullptr);
    if (!AddChain(m_pipeline.get(), {source, queue}))
        return E_FAIL;
    m_videoSource = std::move(source);
    m_video = Branch::Hold(std::move(queue), m_writer.get(), "video_%u");
    return m_video.writerPad ? S_OK : E_FAIL;
}

std::vector<ElementHandle> RecordingPipeline::AudioEncoding()
{
    ElementHandle encoder = Make("avenc_wmav2");
    if (encoder)
        g_object_set(encoder.get(), "bitrate", 64000, nullptr);
    std::vector<ElementHandle> chain;
    chain.push_back(std::move(encoder));
    chain.push_back(RunningTime());
    return chain;
}

std::vector<ElementHandle> RecordingPipeline::VideoEncoding()
{
    ElementHandle convert = Make("videoconvertscale");
    ElementHandle encoder = Make("avenc_wmv2");
    if (convert)
        g_object_set(convert.get(), "add-borders", FALSE, nullptr);
    if (encoder)
        g_object_set(encoder.get(), "bitrate", kVideoBitrate, nullptr);
    std::vector<ElementHandle> chain;
    chain.push_back(Make("videorate"));
    chain.push_back(std::move(convert));
    chain.push_back(Filter("video/x-raw,format=I420,width=640,height=480,framerate=30000/1001,pixel-aspect-ratio=1/1"));
    chain.push_back(std::move(encoder));
    chain.push_back(RunningTime());
    return chain;
}

RecordingPipeline::Branch RecordingPipeline::Branch::Hold(ElementHandle queue, GstElement* writer, const char* padTemplate)
{
    Branch branch;
    // Asked for while the muxer is still stopped, as muxers expect of their inputs.
    branch.writerPad = PadHandle::Adopt(gst_element_request_pad_simple(writer, padTemplate));
    PadHandle out = PadHandle::Adopt(gst_element_get_static_pad(queue.get(), "src"));
    // Only the data waits: events are kept for the link, and the source's questions (its
    // allocation above all) are answered at once, or it would not start capturing.
    branch.hold = gst_pad_add_probe(out.get(),
                                    static_cast<GstPadProbeType>(GST_PAD_PROBE_TYPE_BLOCK | GST_PAD_PROBE_TYPE_BUFFER
                                                                 | GST_PAD_PROBE_TYPE_BUFFER_LIST),
                                    [](GstPad*, GstPadProbeInfo*, gpointer) { return GST_PAD_PROBE_OK; }, nullptr, nullptr);
    // Linking the encoder sends the source a request to negotiate again. What comes into the queue
    // is fixed already, and a microphone that negotiates while it runs restarts its ring buffer
    // and may never deliver again; the request ends here.
    PadHandle in = PadHandle::Adopt(gst_element_get_static_pad(queue.get(), "sink"));
    gst_pad_add_probe(in.get(), GST_PAD_PROBE_TYPE_EVENT_UPSTREAM,
                      [](GstPad*, GstPadProbeInfo* info, gpointer) {
                          return GST_EVENT_TYPE(GST_PAD_PROBE_INFO_EVENT(info)) == GST_EVENT_RECONFIGURE ? GST_PAD_PROBE_DROP
                                                                                                      : GST_PAD_PROBE_OK;
                      },
                      nullptr, nullptr);
    branch.queue = std::move(queue);
    return branch;
}

bool RecordingPipeline::Complete(Branch& branch, std::vector<ElementHandle> encoding, GstPadProbeCallback onEncoded)
{
    if (!branch.queue)
        return true;
    if (!AddChainOf(m_pipeline.get(), encoding))
        return false;
    PadHandle encoded = PadHandle::Adopt(gst_element_get_static_pad(encoding.back().get(), "src"));
    if (!encoded || gst_pad_link(encoded.get(), branch.writerPad.get()) != GST_PAD_LINK_OK)
        return false;
    if (onEncoded)
        gst_pad_add_probe(encoded.get(), GST_PAD_PROBE_TYPE_BUFFER, onEncoded, this, nullptr);
    // Running before the queue is linked to them: the queue hands its events on as soon as it is,
    // and an element that is not running yet would refuse them and stop the queue for good.
    for (auto element = encoding.rbegin(); element != encoding.rend(); ++element)
        if (!gst_element_sync_state_with_parent(element->get()))
            return false;
    if (!gst_element_link(branch.queue.get(), encoding.front().get()))
        return false;
    PadHandle out = PadHandle::Adopt(gst_element_get_static_pad(branch.queue.get(), "src"));
    gst_pad_remove_probe(out.get(), std::exchange(branch.hold, 0));
    return true;
}

HRESULT RecordingPipeline::Start(ErrorHandler onError)
{
    if (!m_pipeline || !m_writer)
        return E_NOINTERFACE;
    if (m_running)
        return S_FALSE;
    m_onError = std::move(onError);
    m_watch = std::make_unique<BusWatch>(m_pipeline.get(), [this](GstMessage* message) { return OnMessage(message); });
    if (gst_element_set_state(m_pipeline.get(), GST_STATE_PLAYING) == GST_STATE_CHANGE_FAILURE) {
        m_watch.reset();
        const GstMessagePtr error = PipelineDiagnostics::StateChangeFailed(m_pipeline.get(), GST_STATE_PLAYING);
        m_startFailure = Meaning(error.get(), false);
        gst_element_set_state(m_pipeline.get(), GST_STATE_NULL);
        return E_FAIL;
    }
    {
        std::lock_guard lock(m_feedMutex);
        m_feedOpen = static_cast<bool>(m_videoSource);
    }
    m_running = true;
    // The sources capture into their queues from here on. The encoders come now: the first
    // recording loads their library, which the program does not keep loaded while it waits.
    if (!Complete(m_audio, AudioEncoding(), &RecordingPipeline::OnAudioBuffer) || !Complete(m_video, VideoEncoding(), nullptr)) {
        CORVANA_DEBUG_LINE(lcCapture, QStringLiteral("recording encoders could not be linked: %1").arg(m_path));
        Finish(false);
        m_startFailure = CaptureFailure::Other;
        return E_FAIL;
    }
    if (m_audioSource)
        m_microphoneWatch = std::make_unique<SourceWatchdog>(m_audioSource.get(), [this] { OnMicrophoneStalled(); });
    return S_OK;
}

void RecordingPipeline::PushVideo(GstSample* sample)
{
    std::lock_guard lock(m_feedMutex);
    if (!m_feedOpen)
        return;
    GstBuffer* original = gst_sample_get_buffer(sample);
    if (!original)
        return;
    if (!m_feedCapsSet) {
        gst_app_src_set_caps(GST_APP_SRC(m_videoSource.get()), gst_sample_get_caps(sample));
        m_feedCapsSet = true;
    }
    // The first frame opens the picture at the recording's start, as the sound does; later ones
    // carry the moment they arrived. Gaps (a busy machine) are filled by repeating frames.
    PushFrame(original, m_lastFrame ? RunningTimeOf(m_pipeline.get()) : 0);
    gst_buffer_replace(&m_lastFrame, original);
}

void RecordingPipeline::PushFrame(GstBuffer* original, GstClockTime at)
{
    // A shallow copy shares the pixels.
    GstBuffer* buffer = gst_buffer_copy(original);
    GST_BUFFER_PTS(buffer) = at;
    GST_BUFFER_DTS(buffer) = GST_CLOCK_TIME_NONE;
    GST_BUFFER_DURATION(buffer) = GST_CLOCK_TIME_NONE;
    gst_app_src_push_buffer(GST_APP_SRC(m_videoSource.get()), buffer);
}

void RecordingPipeline::Stop()
{
    if (!m_running)
        return;
    Finish(true);
}

bool RecordingPipeline::FromWriter(GstMessage* message) const
{
    GstObject* from = GST_MESSAGE_SRC(message);
    return from == GST_OBJECT(m_writer.get()) || from == GST_OBJECT(m_fileSink.get());
}

CaptureFailure RecordingPipeline::Meaning(GstMessage* error, bool running) const
{
    if (!error)
        return CaptureFailure::Other;
    if (FromWriter(error))
        return FailureOfError(error, ErrorSource::File, running);
    GstObject* from = GST_MESSAGE_SRC(error);
    const auto* source = GST_OBJECT(m_audioSource.get());
    if (source && (from == source || gst_object_has_as_ancestor(from, const_cast<GstObject*>(source))))
        return FailureOfError(error, ErrorSource::Microphone, running);
    return CaptureFailure::Other;
}

void RecordingPipeline::Finish(bool drain)
{
    CloseFeed(drain);
    m_running = false;
    m_watch.reset();
    m_microphoneWatch.reset();
    bool finished = false;
    if (drain) {
        SendEndOfStream();
        finished = WaitForEnd();
    }
    CloseAndSync(finished);
}

// The picture lasts until the moment of the stop, like the sound: the newest frame is repeated up
// to it, then the frames already handed over are written out.
void RecordingPipeline::CloseFeed(bool drain)
{
    std::lock_guard lock(m_feedMutex);
    m_feedOpen = false;
    if (drain && m_videoSource) {
        if (m_lastFrame)
            PushFrame(m_lastFrame, RunningTimeOf(m_pipeline.get()));
        gst_app_src_end_of_stream(GST_APP_SRC(m_videoSource.get()));
    }
    gst_buffer_replace(&m_lastFrame, nullptr);
}

void RecordingPipeline::SendEndOfStream()
{
    if (!m_audio.queue)
        return;
    // Right behind the microphone, so the sound already taken is converted and written too.
    PadHandle out = PadHandle::Adopt(gst_element_get_static_pad(m_audioSource.get(), "src"));
    PadHandle next = PadHandle::Adopt(out ? gst_pad_get_peer(out.get()) : nullptr);
    if (next)
        gst_pad_send_event(next.get(), gst_event_new_eos());
}

bool RecordingPipeline::WaitForEnd()
{
    bool finished = false;
    BusWatch::WaitFor(m_pipeline.get(), static_cast<GstMessageType>(GST_MESSAGE_EOS | GST_MESSAGE_ERROR),
                      std::chrono::steady_clock::now() + kFinishWait, [&](GstMessage* message) {
                          if (GST_MESSAGE_TYPE(message) == GST_MESSAGE_EOS)
                              return finished = true;
                          // A failing source reports more than once; only a failing writer ends the wait.
                          return FromWriter(message);
                      });
    if (!finished)
        CORVANA_DEBUG_LINE(lcCapture, QStringLiteral("recording was not finalised: %1").arg(m_path));
    return finished;
}

void RecordingPipeline::CloseAndSync(bool finished)
{
    gst_element_set_state(m_pipeline.get(), GST_STATE_NULL);
    BusHandle bus = BusHandle::Adopt(gst_element_get_bus(m_pipeline.get()));
    gst_bus_set_flushing(bus.get(), TRUE);
    gst_bus_set_flushing(bus.get(), FALSE);
    Settle(finished);
}

void RecordingPipeline::Settle(bool finished)
{
    if (!m_pathInProgress)
        return;
    m_pathInProgress = false;
    SyncFile(m_path);
    DiscardEmptyOutput();
    // A file the muxer could not finish (its writer failed, or end-of-stream never came through)
    // is repaired now; should that fail, the next start tries again.
    if (!finished && QFileInfo::exists(m_path) && AsfRepair::Repair(m_path).outcome == AsfRepair::Outcome::Failed)
        return;
    UnfinishedRecordings::End(m_path);
}

bool RecordingPipeline::OnMessage(GstMessage* message)
{
    if (GST_MESSAGE_TYPE(message) == GST_MESSAGE_ELEMENT)
        return TakeLevel(gst_message_get_structure(message));
    if (GST_MESSAGE_TYPE(message) != GST_MESSAGE_ERROR || !m_running)
        return false;
    PipelineDiagnostics::LogError(QStringLiteral("recording"), message);
    ErrorHandler handler = m_onError;
    const CaptureFailure failure = Meaning(message, true);
    Finish(!FromWriter(message));  // destroys the watch that called us; touch nothing of it from here on
    if (handler)
        handler(failure);
    return true;
}

void RecordingPipeline::OnMicrophoneStalled()
{
    if (!m_running)
        return;
    CORVANA_DEBUG_LINE(lcCapture, QStringLiteral("recording: the microphone stopped delivering: %1").arg(m_path));
    ErrorHandler handler = m_onError;
    Finish(true);  // destroys the watchdog that called us
    if (handler)
        handler(CaptureFailure::MicrophoneLost);
}

// The loudest channel's peak and decaying peak, in dB below full scale.
bool RecordingPipeline::TakeLevel(const GstStructure* structure)
{
    if (!structure || !gst_structure_has_name(structure, "level"))
        return false;
    // The level element still gives its channels as a GValueArray.
    G_GNUC_BEGIN_IGNORE_DEPRECATIONS
    const auto loudestOf = [structure](const char* field) {
        double loudest = kSilenceDb;
        const GValue* list = gst_structure_get_value(structure, field);
        if (!list || G_VALUE_TYPE(list) != g_value_array_get_type())
            return loudest;
        const auto* channels = static_cast<const GValueArray*>(g_value_get_boxed(list));
        for (guint i = 0; channels && i < channels->n_values; ++i)
            loudest = std::max(loudest, g_value_get_double(g_value_array_get_nth(const_cast<GValueArray*>(channels), i)));
        return loudest;
    };
    G_GNUC_END_IGNORE_DEPRECATIONS
    m_level = std::pair(loudestOf("peak"), loudestOf("decay"));
    return true;
}

GstPadProbeReturn RecordingPipeline::OnAudioBuffer(GstPad*, GstPadProbeInfo* info, gpointer self)
{
    auto* pipeline = static_cast<RecordingPipeline*>(self);
    GstBuffer* buffer = GST_PAD_PROBE_INFO_BUFFER(info);
    if (buffer && GST_BUFFER_DURATION_IS_VALID(buffer))
        pipeline->m_audioNanoseconds += static_cast<qint64>(GST_BUFFER_DURATION(buffer));
    return GST_PAD_PROBE_OK;
}

void RecordingPipeline::DiscardEmptyOutput()
{
    if (!m_path.isEmpty() && QFileInfo(m_path).exists() && QFileInfo(m_path).size() == 0)
        QFile::remove(m_path);
}

} // namespace corvana
