#pragma once
// What ffprobe and ffmpeg say about a recorded file.
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QVariant>

#include <cmath>
#include <cstring>
#include <vector>

struct ProbedStream {
    QString codec;
    int width = 0, height = 0;
    qint64 frames = 0;
    int sampleRate = 0, channels = 0;
    double bitRate = 0;
};

struct ProbedFile {
    bool ok = false;
    double duration = 0, bitRate = 0;
    ProbedStream audio, video;
};

inline ProbedFile ProbeMedia(const QString& path)
{
    QProcess probe;
    probe.start(QStringLiteral("ffprobe"),
                QProcess::splitCommand(QStringLiteral("-v error -count_frames -of json -show_entries format=duration,bit_rate:"
                                                      "stream=codec_type,codec_name,width,height,nb_read_frames,sample_rate,channels,bit_rate"))
                    << path);
    ProbedFile result;
    if (!probe.waitForFinished(60000) || probe.exitCode() != 0)
        return result;
    // ffprobe writes most numbers as strings.
    const auto number = [](const QJsonObject& object, const char* key) { return object.value(QLatin1String(key)).toVariant().toDouble(); };
    const QJsonObject root = QJsonDocument::fromJson(probe.readAllStandardOutput()).object();
    const QJsonObject format = root.value(QStringLiteral("format")).toObject();
    result.duration = number(format, "duration");
    result.bitRate = number(format, "bit_rate");
    for (const QJsonValue& value : root.value(QStringLiteral("streams")).toArray()) {
        const QJsonObject stream = value.toObject();
        const QString type = stream.value(QStringLiteral("codec_type")).toString();
        if (ProbedStream* parsed = type == QLatin1String("audio") ? &result.audio : type == QLatin1String("video") ? &result.video : nullptr)
            *parsed = {stream.value(QStringLiteral("codec_name")).toString(), static_cast<int>(number(stream, "width")),
                       static_cast<int>(number(stream, "height")), static_cast<qint64>(number(stream, "nb_read_frames")),
                       static_cast<int>(number(stream, "sample_rate")), static_cast<int>(number(stream, "channels")),
                       number(stream, "bit_rate")};
    }
    result.ok = result.duration > 0;
    return result;
}

// What ffmpeg reports as wrong while decoding the whole file (empty for a clean file).
inline QString DecodeErrors(const QString& path, const QStringList& outputOptions = {})
{
    QProcess ffmpeg;
    ffmpeg.start(QStringLiteral("ffmpeg"), QStringList{"-v", "error", "-i", path} + outputOptions + QStringList{"-f", "null", "-"});
    if (!ffmpeg.waitForFinished(60000) || ffmpeg.exitCode() != 0)
        return QStringLiteral("ffmpeg failed: ") + QString::fromUtf8(ffmpeg.readAllStandardError());
    return QString::fromUtf8(ffmpeg.readAllStandardError()).trimmed();
}

// The file's audio decoded to mono 16-bit samples at the given rate.
inline std::vector<qint16> DecodeAudio(const QString& path, int rate)
{
    QProcess ffmpeg;
    ffmpeg.start(QStringLiteral("ffmpeg"), {"-v", "error", "-i", path, "-f", "s16le", "-ac", "1", "-ar", QString::number(rate), "-"});
    ffmpeg.waitForFinished(60000);
    const QByteArray raw = ffmpeg.readAllStandardOutput();
    std::vector<qint16> samples(static_cast<size_t>(raw.size()) / 2);
    std::memcpy(samples.data(), raw.constData(), samples.size() * 2);
    return samples;
}

// The share of the signal's power at the frequency, averaged over short windows: near 1 for a pure tone.
inline double ToneShare(const std::vector<qint16>& samples, int rate, double frequency)
{
    // Goertzel over short windows, so a gap in the recording (a phase jump) does not cancel the
    // tone out; a pure tone over a window gives power = count/2 * total.
    const double coeff = 2 * std::cos(2 * M_PI * frequency / rate);
    const size_t window = static_cast<size_t>(rate / 20);
    double sum = 0;
    size_t windows = 0;
    for (size_t start = 0; start + window <= samples.size(); start += window, ++windows) {
        double s1 = 0, s2 = 0, total = 0;
        for (size_t i = start; i < start + window; ++i) {
            const double s0 = samples[i] + coeff * s1 - s2;
            s2 = s1, s1 = s0;
            total += double(samples[i]) * samples[i];
        }
        sum += total > 0 ? (s1 * s1 + s2 * s2 - coeff * s1 * s2) / (static_cast<double>(window) / 2 * total) : 0;
    }
    return windows ? sum / static_cast<double>(windows) : 0;
}

// What mediainfo reads from an ASF file's header, as players and file managers show it.
struct DeclaredRates {
    qint64 maximum = 0;      // the file's maximum bitrate
    qint64 video = 0;        // the video stream's declared bitrate
    qint64 videoBuffer = 0;  // its buffer window, ms
    QJsonObject general, videoTrack;
};

inline DeclaredRates ReadDeclaredRates(const QString& path)
{
    QProcess info;
    info.start(QStringLiteral("mediainfo"), {QStringLiteral("--Output=JSON"), path});
    DeclaredRates rates;
    if (!info.waitForFinished(60000) || info.exitCode() != 0)
        return rates;
    const QJsonArray tracks = QJsonDocument::fromJson(info.readAllStandardOutput()).object().value(QStringLiteral("media")).toObject()
                                  .value(QStringLiteral("track")).toArray();
    for (const QJsonValue& value : tracks) {
        const QJsonObject track = value.toObject();
        if (track.value(QStringLiteral("@type")) == QStringLiteral("General"))
            rates.general = track;
        else if (track.value(QStringLiteral("@type")) == QStringLiteral("Video"))
            rates.videoTrack = track;
    }
    return rates;
}
