#pragma once
#include "capture/GstHandle.h"
#include "capture/IPreviewSurface.h"

#include <QImage>
#include <QObject>
#include <QSize>
#include <atomic>
#include <memory>
#include <mutex>

namespace corvana {

// The end of a preview branch: converts the camera's frames to 32-bit RGB, keeps the newest one
// and hands it to the preview surface on the user-interface thread. At most one hand-over is
// queued at a time, so a busy interface skips frames instead of queueing them up.
class PreviewSink {
public:
    // scaleTo: the size frames are scaled to for painting; an empty size keeps the camera's size.
    PreviewSink(PreviewSurfaceRef surface, QSize scaleTo);
    ~PreviewSink();
    PreviewSink(const PreviewSink&) = delete;
    PreviewSink& operator=(const PreviewSink&) = delete;

    // The branch to link after the camera (a bin with one sink pad); null if it could not be made.
    const ElementHandle& Branch() const { return m_bin; }
    QImage NewestFrame() const;
    // While paused no frame reaches the surface.
    void SetPaused(bool paused) { m_paused = paused; }
    int FramesPresented() const { return m_presented; }

private:
    static GstFlowReturn OnNewSample(GstElement* appsink, gpointer self);
    void Present();

    PreviewSurfaceRef m_surface;
    bool m_toldSurfaceGone = false;
    ElementHandle m_bin;
    std::unique_ptr<QObject> m_receiver;
    mutable std::mutex m_mutex;
    QImage m_newest;
    std::atomic<bool> m_pending{false};
    std::atomic<bool> m_paused{false};
    int m_presented = 0;
};

} // namespace corvana
