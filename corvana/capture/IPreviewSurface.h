#pragma once
#include <QImage>
#include <QSize>

namespace corvana {

// Where a live preview is painted: the main dialog's preview area. Called on the
// user-interface thread only; the capture objects hand frames over from their streaming threads.
class IPreviewSurface {
public:
    virtual ~IPreviewSurface() = default;
    // Paints one frame stretched over the whole client rectangle.
    virtual void PresentFrame(const QImage& frame) = 0;
    // Back to the placeholder picture (no preview running).
    virtual void ShowPlaceholder() = 0;
    virtual QSize ClientSize() const = 0;
};

} // namespace corvana
