#pragma once
#include <QString>

namespace corvana {

// The user's private folder for sockets and locks: $XDG_RUNTIME_DIR, else a folder of the user's
// own under the temp dir. Empty when that folder belongs to someone else or is open to others.
QString RuntimeFolder();

} // namespace corvana
