#pragma once
// Readable GoogleTest messages for Qt strings, also inside containers such as QStringList.
#include <QString>

#include <ostream>

inline void PrintTo(const QString& text, std::ostream* out)
{
    *out << '"' << text.toStdString() << '"';
}
