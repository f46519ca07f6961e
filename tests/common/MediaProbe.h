#pragma once
// What ffprobe says about a recorded file.
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>

struct ProbedStream {
    QString codec;
    int width = 0;
    int height = 0;
    qint64 frames = 0;
    int sampleRate = 0;
    int channels = 0;
    double bitRate = 0;
};

struct ProbedFile {
    bool ok = false;
    double duration = 0;
    double bitRate = 0;
    ProbedStream audio;
    ProbedStream video;
};

inline ProbedFile ProbeMedia(const QString& path)
{
    QProcess probe;
    probe.start(QStringLiteral("ffprobe"),
                {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-count_frames"),
                 QStringLiteral("-show_entries"),
                 QStringLiteral("format=duration,bit_rate:stream=codec_type,codec_name,width,height,nb_read_frames,sample_rate,channels,bit_rate"),
                 QStringLiteral("-of"), QStringLiteral("json"), path});
    ProbedFile result;
    if (!probe.waitForFinished(60000) || probe.exitCode() != 0)
        return result;
    const QJsonObject root = QJsonDocument::fromJson(probe.readAllStandardOutput()).object();
    const QJsonObject format = root.value(QStringLiteral("format")).toObject();
    result.duration = format.value(QStringLiteral("duration")).toString().toDouble();
    result.bitRate = format.value(QStringLiteral("bit_rate")).toString().toDouble();
    for (const QJsonValue& value : root.value(QStringLiteral("streams")).toArray()) {
        const QJsonObject stream = value.toObject();
        ProbedStream parsed{stream.value(QStringLiteral("codec_name")).toString(),
                            stream.value(QStringLiteral("width")).toInt(), stream.value(QStringLiteral("height")).toInt(),
                            stream.value(QStringLiteral("nb_read_frames")).toString().toLongLong(),
                            stream.value(QStringLiteral("sample_rate")).toString().toInt(),
                            stream.value(QStringLiteral("channels")).toInt(),
                            stream.value(QStringLiteral("bit_rate")).toString().toDouble()};
        if (stream.value(QStringLiteral("codec_type")).toString() == QLatin1String("audio"))
            result.audio = parsed;
        else if (stream.value(QStringLiteral("codec_type")).toString() == QLatin1String("video"))
            result.video = parsed;
    }
    result.ok = result.duration > 0;
    return result;
}
