#pragma once
#include "capture/GstHandle.h"

#include <QSize>
#include <QString>
#include <QStringList>

namespace corvana {

// How a camera's frames enter a graph: raw video as the camera sends it, or Motion-JPEG that is
// decoded first (many USB webcams offer their larger sizes, some every size, only as JPEG).
//   camera ! video/x-raw[,width,height]
//   camera ! image/jpeg[,width,height] ! jpegdec
class CameraFormat {
public:
    // What to ask of a camera whose offer is `offered` (a caps string): the wanted size raw, else
    // that size as JPEG, else the camera's own raw default, else its JPEG default. A camera that
    // says nothing about itself is asked for raw video.
    static CameraFormat Choose(const QString& offered, QSize wanted);

    bool Compressed() const { return m_compressed; }
    // The size asked for; empty when the camera's default is taken.
    QSize Size() const { return m_size; }
    // The caps the camera is held to, e.g. "image/jpeg, width=(int)640, height=(int)480".
    QString Caps() const;
    // The elements this form needs besides the camera.
    QStringList Elements() const;
    // Adds the format filter (and the decoder) after `camera`, which is already in `bin`, and links
    // them. Returns the element raw frames leave from (owned by the bin), or null on failure.
    GstElement* LinkAfter(GstBin* bin, GstElement* camera) const;

private:
    CameraFormat(bool compressed, QSize size) : m_compressed(compressed), m_size(size) {}
    GstCapsPtr MakeCaps() const;

    bool m_compressed = false;
    QSize m_size;
};

} // namespace corvana
