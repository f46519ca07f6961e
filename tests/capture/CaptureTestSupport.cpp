#include "CaptureTestSupport.h"

#include "capture/DeviceList.h"
#include "capture/SyntheticDevices.h"
#include "library/MediaFolders.h"

#include <QLoggingCategory>
#include <QProcess>
#include <cmath>
#include <cstring>

namespace capturetest {

QString Folder(const QString& subfolder)
{
    return corvana::MediaFolders::MediaRoot() + subfolder + QLatin1Char('/');
}

double MeanDifference(const QImage& a, const QImage& b)
{
    const QImage left = a.convertToFormat(QImage::Format_RGB888);
    const QImage right = b.convertToFormat(QImage::Format_RGB888).scaled(left.size());
    double sum = 0;
    for (int y = 0; y < left.height(); ++y)
        for (int x = 0; x < left.width() * 3; ++x)
            sum += std::abs(left.constScanLine(y)[x] - right.constScanLine(y)[x]);
    return sum / (3.0 * left.width() * left.height());
}

corvana::CaptureDevice Webcam(const QString& name, bool analog)
{
    corvana::CaptureDevice device = corvana::SyntheticDevices::List(corvana::DeviceCategory::VideoInput).front();
    device.name = name;
    device.analogVideoInput = analog;
    return device;
}

corvana::CaptureDevice Microphone(const QString& name)
{
    corvana::CaptureDevice device = corvana::SyntheticDevices::List(corvana::DeviceCategory::AudioInput).front();
    device.name = name;
    return device;
}

corvana::CaptureDevice JpegWebcam()
{
    corvana::CaptureDevice camera = Webcam(QStringLiteral("MJPEG cam"));
    camera.caps = QStringLiteral("image/jpeg,width=1024,height=768,framerate=30/1; image/jpeg,width=640,height=480,framerate=30/1");
    camera.makeElement = [] {
        return gst_parse_bin_from_description("videotestsrc is-live=true pattern=smpte100 ! capsfilter caps=\"video/x-raw,width=1024,"
                                              "height=768,framerate=30/1; video/x-raw,width=640,height=480,framerate=30/1\" ! jpegenc",
                                              TRUE, nullptr);
    };
    return camera;
}

corvana::HRESULT PrepareAudio()
{
    corvana::CAudioRecorder& recorder = corvana::CAudioRecorder::Instance();
    corvana::HRESULT result = recorder.CreateGraph();
    if (result == corvana::S_OK)
        result = recorder.AddCaptureSource(corvana::DeviceCategory::AudioInput, QString());
    return result == corvana::S_OK ? recorder.SetOutputAndRender(QStringLiteral("AudioSolo")) : result;
}

corvana::HRESULT StartPreview(TestSurface& surface)
{
    corvana::CCaptureGraph::Instance().SetOwnerWindow(&surface);
    return corvana::CCaptureGraph::Instance().StartPreview();
}

QString RecordAtLeast(double seconds)
{
    corvana::CCaptureGraph& graph = corvana::CCaptureGraph::Instance();
    EXPECT_EQ(graph.StartRecording(), corvana::S_OK);
    EXPECT_TRUE(QTest::qWaitFor([&] { return graph.RecordedSeconds() >= seconds; }, 5000));
    EXPECT_EQ(graph.IsRecording(), 1);
    graph.StopRecording();
    return graph.OutputPath();
}

} // namespace capturetest

namespace {
DebugLines* g_debugLines = nullptr;
QtMessageHandler g_previous = nullptr;

void CollectDebugLine(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    if (g_debugLines && context.category && QByteArrayView(context.category) == "corvana.capture")
        g_debugLines->lines << message;
    if (g_previous)
        g_previous(type, context, message);
}
} // namespace

DebugLines::DebugLines()
{
    QLoggingCategory::setFilterRules(QStringLiteral("corvana.capture.debug=true"));
    g_debugLines = this;
    m_previous = g_previous = qInstallMessageHandler(&CollectDebugLine);
}

DebugLines::~DebugLines()
{
    qInstallMessageHandler(m_previous);
    g_debugLines = nullptr;
}

void FedDevices::Feed(std::vector<corvana::CaptureDevice> video, std::vector<corvana::CaptureDevice> audio)
{
    corvana::DeviceList::SetProvider([video, audio](corvana::DeviceCategory category) {
        return category == corvana::DeviceCategory::VideoInput ? video : audio;
    });
}

void FedDevices::TearDown()
{
    corvana::CCaptureGraph::Instance().CloseInterfaces();
    corvana::CPhotoCapture::Instance().StopPreview();
    corvana::CAudioRecorder::Instance().ReleaseAll();
    corvana::DeviceList::SetProvider({});
}
