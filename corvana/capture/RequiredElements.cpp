#include "capture/RequiredElements.h"

#include "capture/GstHandle.h"
#include "capture/GstRuntime.h"
#include "support/Logging.h"

#include <QHash>

namespace corvana {

QString RequiredElements::PackageFor(const QString& factory)
{
    static const QHash<QString, QString> packages = {
        {QStringLiteral("avenc_wmav2"), QStringLiteral("gstreamer1.0-libav")},
        {QStringLiteral("avenc_wmv2"), QStringLiteral("gstreamer1.0-libav")},
        {QStringLiteral("asfmux"), QStringLiteral("gstreamer1.0-plugins-bad")},
        {QStringLiteral("pulsesrc"), QStringLiteral("gstreamer1.0-pulseaudio")},
        {QStringLiteral("v4l2src"), QStringLiteral("gstreamer1.0-plugins-good")},
        {QStringLiteral("jpegdec"), QStringLiteral("gstreamer1.0-plugins-good")},
        {QStringLiteral("level"), QStringLiteral("gstreamer1.0-plugins-good")},
        {QStringLiteral("queue"), QStringLiteral("libgstreamer1.0-0")},
        {QStringLiteral("identity"), QStringLiteral("libgstreamer1.0-0")},
        {QStringLiteral("filesink"), QStringLiteral("libgstreamer1.0-0")},
        {QStringLiteral("tee"), QStringLiteral("libgstreamer1.0-0")},
    };
    return packages.value(factory, QStringLiteral("gstreamer1.0-plugins-base"));
}

QStringList RequiredElements::Missing(const QStringList& factories)
{
    GstRuntime::Ensure();
    QStringList missing;
    for (const QString& name : factories) {
        GstElementFactory* factory = gst_element_factory_find(name.toUtf8().constData());
        if (factory)
            gst_object_unref(factory);
        else
            missing << name;
    }
    return missing;
}

QStringList RequiredElements::MissingPackages(const QStringList& factories)
{
    QStringList packages;
    for (const QString& name : Missing(factories)) {
        const QString package = PackageFor(name);
        if (!packages.contains(package))
            packages << package;
    }
    return packages;
}

bool RequiredElements::Require(const QStringList& factories, CaptureOutcome& outcome)
{
    const QStringList missing = Missing(factories);
    if (missing.isEmpty())
        return true;
    const QString packages = MissingPackages(factories).join(QLatin1Char(' '));
    CORVANA_DEBUG_LINE(lcCapture, QStringLiteral("GStreamer elements missing for capture: %1; Debian packages: %2")
                                      .arg(missing.join(QStringLiteral(", ")), packages));
    if (!outcome.Failed())
        outcome = CaptureOutcome(CaptureFailure::MissingCodec, packages, missing);
    return false;
}

} // namespace corvana
