#pragma once
// The X server's own input through xdotool (its test extension), as a user or another program
// gives it: each call returns once the server has taken the keys or the clicks.
#include "ProgramRunner.h"

#include <QProcess>
#include <QWidget>

// xdotool with its arguments; what it printed, trimmed.
inline QString Xdo(const QStringList& arguments)
{
    return RunTool(QStringLiteral("xdotool"), arguments).trimmed();
}

// The same with one command line ("key XF86AudioRecord", "search --name ^Corvana$").
inline QString Xdotool(const QString& command)
{
    return Xdo(QProcess::splitCommand(command));
}

inline void Key(const char* key)
{
    Xdo({QStringLiteral("key"), QString::fromLatin1(key)});
}

// Clicks the widget (at its centre unless told), `times` times in a row.
inline void Click(QWidget* widget, QPoint at = {}, const char* times = "1")
{
    at = widget->mapToGlobal(at.isNull() ? widget->rect().center() : at);
    Xdo({"mousemove", QString::number(at.x()), QString::number(at.y()), "click", "--repeat", times, "--delay", "40", "1"});
}
