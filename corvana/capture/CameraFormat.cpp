#include "capture/CameraFormat.h"

#include "capture/GstRuntime.h"

namespace corvana {

namespace {

constexpr char kRaw[] = "video/x-raw";
constexpr char kJpeg[] = "image/jpeg";

GstCapsPtr CapsFor(const char* mediaType, QSize size)
{
    GstCapsPtr caps(gst_caps_new_empty_simple(mediaType));
    if (!size.isEmpty())
        gst_caps_set_simple(caps.get(), "width", G_TYPE_INT, size.width(), "height", G_TYPE_INT, size.height(), nullptr);
    return caps;
}

bool Offers(const GstCaps* offered, const char* mediaType, QSize size)
{
    GstCapsPtr wanted = CapsFor(mediaType, size);
    return gst_caps_can_intersect(offered, wanted.get());
}

} // namespace

CameraFormat CameraFormat::Choose(const QString& offered, QSize wanted)
{
    GstRuntime::Ensure();
    GstCapsPtr caps(offered.isEmpty() ? nullptr : gst_caps_from_string(offered.toUtf8().constData()));
    if (!caps || gst_caps_is_empty(caps.get()) || gst_caps_is_any(caps.get()))
        return {false, {}};
    if (!wanted.isEmpty()) {
        if (Offers(caps.get(), kRaw, wanted))
            return {false, wanted};
        if (Offers(caps.get(), kJpeg, wanted))
            return {true, wanted};
    }
    const bool raw = Offers(caps.get(), kRaw, {});
    return {!raw && Offers(caps.get(), kJpeg, {}), {}};
}

GstCapsPtr CameraFormat::MakeCaps() const
{
    return CapsFor(m_compressed ? kJpeg : kRaw, m_size);
}

QString CameraFormat::Caps() const
{
    GstCapsPtr caps = MakeCaps();
    GCharPtr text(gst_caps_to_string(caps.get()));
    return QString::fromUtf8(text.get());
}

QStringList CameraFormat::Elements() const
{
    QStringList elements{QStringLiteral("capsfilter")};
    if (m_compressed)
        elements << QStringLiteral("jpegdec");
    return elements;
}

GstElement* CameraFormat::LinkAfter(GstBin* bin, GstElement* camera) const
{
    ElementHandle filter = ElementHandle::Adopt(gst_element_factory_make("capsfilter", nullptr));
    ElementHandle decoder = m_compressed ? ElementHandle::Adopt(gst_element_factory_make("jpegdec", nullptr)) : ElementHandle();
    if (!filter || (m_compressed && !decoder))
        return nullptr;
    GstCapsPtr caps = MakeCaps();
    g_object_set(filter.get(), "caps", caps.get(), nullptr);
    if (!AddToBin(GST_ELEMENT(bin), filter) || !gst_element_link(camera, filter.get()))
        return nullptr;
    if (!decoder)
        return filter.get();
    if (!AddToBin(GST_ELEMENT(bin), decoder) || !gst_element_link(filter.get(), decoder.get()))
        return nullptr;
    return decoder.get();
}

} // namespace corvana
