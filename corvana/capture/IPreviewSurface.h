#pragma once
#include <QImage>
#include <QSize>

#include <memory>

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

private:
    friend class PreviewSurfaceRef;
    // Expires with the surface; the references below watch it.
    std::shared_ptr<const bool> m_alive = std::make_shared<const bool>(true);
};

// A surface as the capture objects keep it: they outlive the dialog whose preview area they
// paint into, so the reference turns null once the surface is gone. User-interface thread only.
class PreviewSurfaceRef {
public:
    PreviewSurfaceRef() = default;
    PreviewSurfaceRef(IPreviewSurface* surface) : m_surface(surface), m_alive(surface ? surface->m_alive : nullptr) {}
    IPreviewSurface* get() const { return m_alive.expired() ? nullptr : m_surface; }
    IPreviewSurface* operator->() const { return get(); }
    explicit operator bool() const { return get() != nullptr; }
    // There was a surface, and it has been destroyed.
    bool Gone() const { return m_surface && m_alive.expired(); }

private:
    IPreviewSurface* m_surface = nullptr;
    std::weak_ptr<const bool> m_alive;
};

} // namespace corvana
