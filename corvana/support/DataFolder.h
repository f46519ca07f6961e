#pragma once
#include <QString>

namespace corvana {

// A file or folder of the program's shared data (share/corvana beside the installed binary), or
// its copy in the build tree when the program runs from there.
QString DataFilePath(const QString& name);

} // namespace corvana
