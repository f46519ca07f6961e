#include "CaptureTestSupport.h"

#include "capture/CAudioRecorder.h"
#include "capture/CCaptureGraph.h"
#include "capture/CPhotoCapture.h"
#include "capture/DeviceList.h"
#include "capture/SyntheticDevices.h"
#include "library/MediaFolders.h"

#include <QDir>
#include <QLoggingCategory>
#include <QProcess>
#include <cmath>

namespace capturetest {

QString Folder(const QString& subfolder)
{
    return corvana::MediaFolders::MediaRoot() + subfolder + QLatin1Char('/');
}

QStringList FilesIn(const QString& subfolder, const QString& pattern)
{
    QStringList files;
    for (const QString& name : QDir(Folder(subfolder)).entryList({pattern}, QDir::Files, QDir::Name))
        files << Folder(subfolder) + name;
    return files;
}

QString DecodeErrors(const QString& path)
{
    QProcess process;
    process.start(QStringLiteral("ffmpeg"), {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-i"), path,
                                             QStringLiteral("-f"), QStringLiteral("null"), QStringLiteral("-")});
    if (!process.waitForFinished(60000) || process.exitCode() != 0)
        return QStringLiteral("ffmpeg failed: ") + QString::fromUtf8(process.readAllStandardError());
    return QString::fromUtf8(process.readAllStandardError()).trimmed();
}

std::vector<qint16> DecodeAudio(const QString& path, int rate)
{
    QProcess process;
    process.start(QStringLiteral("ffmpeg"), {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-i"), path,
                                             QStringLiteral("-f"), QStringLiteral("s16le"), QStringLiteral("-ac"), QStringLiteral("1"),
                                             QStringLiteral("-ar"), QString::number(rate), QStringLiteral("-")});
    process.waitForFinished(60000);
    const QByteArray raw = process.readAllStandardOutput();
    std::vector<qint16> samples(static_cast<size_t>(raw.size()) / 2);
    std::memcpy(samples.data(), raw.constData(), samples.size() * 2);
    return samples;
}

namespace {

double WindowShare(const qint16* samples, size_t count, int rate, double frequency)
{
    const double w = 2 * M_PI * frequency / rate;
    const double coeff = 2 * std::cos(w);
    double s1 = 0, s2 = 0, total = 0;
    for (size_t i = 0; i < count; ++i) {
        const double x = samples[i];
        const double s0 = x + coeff * s1 - s2;
        s2 = s1;
        s1 = s0;
        total += x * x;
    }
    if (total <= 0)
        return 0;
    const double power = s1 * s1 + s2 * s2 - coeff * s1 * s2;
    // A pure tone over the window gives power = count/2 * total.
    return power / (static_cast<double>(count) / 2 * total);
}

} // namespace

double ToneShare(const std::vector<qint16>& samples, int rate, double frequency)
{
    // Short windows, so a gap in the recording (a phase jump) does not cancel the tone out.
    const size_t window = static_cast<size_t>(rate / 20);
    size_t windows = 0;
    double sum = 0;
    for (size_t start = 0; start + window <= samples.size(); start += window) {
        sum += WindowShare(samples.data() + start, window, rate, frequency);
        ++windows;
    }
    return windows ? sum / static_cast<double>(windows) : 0;
}

double MeanDifference(const QImage& a, const QImage& b)
{
    const QImage left = a.convertToFormat(QImage::Format_RGB32);
    const QImage right = b.convertToFormat(QImage::Format_RGB32).scaled(left.size());
    double sum = 0;
    for (int y = 0; y < left.height(); ++y) {
        const QRgb* l = reinterpret_cast<const QRgb*>(left.constScanLine(y));
        const QRgb* r = reinterpret_cast<const QRgb*>(right.constScanLine(y));
        for (int x = 0; x < left.width(); ++x)
            sum += std::abs(qRed(l[x]) - qRed(r[x])) + std::abs(qGreen(l[x]) - qGreen(r[x])) + std::abs(qBlue(l[x]) - qBlue(r[x]));
    }
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

} // namespace capturetest

namespace {
DebugLines* g_debugLines = nullptr;
}

DebugLines::DebugLines()
{
    QLoggingCategory::setFilterRules(QStringLiteral("corvana.capture.debug=true"));
    g_debugLines = this;
    m_previous = qInstallMessageHandler(&DebugLines::Handler);
}

DebugLines::~DebugLines()
{
    qInstallMessageHandler(m_previous);
    g_debugLines = nullptr;
}

int DebugLines::Containing(const QString& text) const
{
    return static_cast<int>(lines.filter(text).size());
}

void DebugLines::Handler(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    if (g_debugLines && context.category && QByteArrayView(context.category) == "corvana.capture")
        g_debugLines->lines << message;
    if (g_debugLines && g_debugLines->m_previous)
        g_debugLines->m_previous(type, context, message);
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
