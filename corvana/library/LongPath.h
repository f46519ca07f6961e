#pragma once
#include "library/UniqueFd.h"

#include <QByteArray>
#include <QString>

namespace corvana {

// Opens paths of any length. The kernel refuses a path longer than PATH_MAX in one call, so such
// a path is walked one folder at a time with openat().
class LongPath {
public:
    // open(2) flags; O_CLOEXEC is always added. On failure the result is invalid and errno is set.
    static UniqueFd Open(const QString& path, int flags);

    // Opens the folder that holds `path` (O_PATH) and gives the last component's bytes in `name`,
    // for the *at() calls. Fails with ENOENT for a path without a name.
    static UniqueFd OpenParent(const QString& path, QByteArray* name);
};

} // namespace corvana
