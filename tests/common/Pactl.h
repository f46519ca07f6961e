#pragma once
// pactl against the session's private sound server.
#include <QProcess>
#include <QStringList>

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
