#pragma once
#include "capture/CaptureFailure.h"

#include <QStringList>

namespace corvana {

// Checks that the GStreamer elements a pipeline needs are installed. The first time anything is
// missing in this process the user is told which Debian package to install; later checks only
// write the debug line.
class RequiredElements {
public:
    static bool Check(const QStringList& factories);
    static QStringList Missing(const QStringList& factories);
    static QString PackageFor(const QString& factory);
    // The Debian packages that would provide the missing ones of the elements.
    static QStringList MissingPackages(const QStringList& factories);
    // The one check a capture makes before building: false when an element is missing, with the
    // outcome noted as a missing codec naming the packages to install.
    static bool Require(const QStringList& factories, CaptureOutcome& outcome);
};

} // namespace corvana
