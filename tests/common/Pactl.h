#pragma once
// pactl against the session's private sound server.
#include <QProcess>
#include <QRegularExpression>
#include <QStringList>

#include <cstdint>
#include <optional>

// What pactl printed, trimmed; nothing when it failed.
inline std::optional<QString> Pactl(const QStringList& arguments)
{
    QProcess pactl;
    pactl.start(QStringLiteral("pactl"), arguments);
    if (!pactl.waitForFinished(10000) || pactl.exitStatus() != QProcess::NormalExit || pactl.exitCode() != 0)
        return std::nullopt;
    return QString::fromUtf8(pactl.readAllStandardOutput()).trimmed();
}

// The sound server's own reading of the speakers (0..65536), independent of the code under test.
inline std::optional<std::uint32_t> SinkVolume()
{
    static const QRegularExpression left(QStringLiteral("front-left:\\s*(\\d+)"));
    const QRegularExpressionMatch match = left.match(Pactl({"get-sink-volume", "spk"}).value_or(QString()));
    return match.hasMatch() ? std::optional(match.captured(1).toUInt()) : std::nullopt;
}
