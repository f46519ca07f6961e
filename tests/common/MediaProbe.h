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
};

struct ProbedFile {
    bool ok = false;
    double duration = 0;
    ProbedStream audio;
    ProbedStream video;
};

inline ProbedFile ProbeMedia(const QString& path)
{
    QProcess probe;
    probe.start(QStringLiteral("ffprobe"),
                {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-count_frames"),
                 QStringLiteral("-show_entries"),
                 QStringLiteral("format=duration:stream=codec_type,codec_name,width,height,nb_read_frames"),
                 QStringLiteral("-of"), QStringLiteral("json"), path});
    ProbedFile result;
    if (!probe.waitForFinished(60000) || probe.exitCode() != 0)
        return result;
    const QJsonObject root = QJsonDocument::fromJson(probe.readAllStandardOutput()).object();
    result.duration = root.value(QStringLiteral("format")).toObject().value(QStringLiteral("duration")).toString().toDouble();
    for (const QJsonValue& value : root.value(QStringLiteral("streams")).toArray()) {
        const QJsonObject stream = value.toObject();
        ProbedStream parsed{stream.value(QStringLiteral("codec_name")).toString(),
                            stream.value(QStringLiteral("width")).toInt(), stream.value(QStringLiteral("height")).toInt(),
                            stream.value(QStringLiteral("nb_read_frames")).toString().toLongLong()};
        if (stream.value(QStringLiteral("codec_type")).toString() == QLatin1String("audio"))
            result.audio = parsed;
        else if (stream.value(QStringLiteral("codec_type")).toString() == QLatin1String("video"))
            result.video = parsed;
    }
    result.ok = result.duration > 0;
    return result;
}
