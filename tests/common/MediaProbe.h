#pragma once
// What ffprobe says about a recorded file.
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QVariant>

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
