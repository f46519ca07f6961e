#pragma once
#include "capture/CaptureFailure.h"

#include <QStringList>

namespace corvana {

// Checks that the GStreamer elements a pipeline needs are installed, and which Debian packages
// bring the ones that are not.
class RequiredElements {
public:
    static QStringList Missing(const QStringList& factories);
    static QString PackageFor(const QString& factory);
    // The Debian packages that would provide the missing ones of the elements.
    static QStringList MissingPackages(const QStringList& factories);
    // The one check a capture makes before building: false when an element is missing, with the
    // outcome noted as a missing codec naming the elements and the packages to install. Every
    // refusal writes a debug line.
    static bool Require(const QStringList& factories, CaptureOutcome& outcome);
};

} // namespace corvana
