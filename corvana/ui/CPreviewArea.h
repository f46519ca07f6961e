#pragma once
#include "capture/IPreviewSurface.h"

#include <QImage>
#include <QPixmap>
#include <QWidget>

#include <functional>

namespace corvana {

// The dialog's preview area: the placeholder picture while nothing runs, the live picture of
// the Video and Photo modes, or a photo painted over it.
class CPreviewArea : public QWidget, public IPreviewSurface {
    Q_OBJECT
public:
    explicit CPreviewArea(QWidget* parent = nullptr);

    void SetPlaceholder(const QPixmap& placeholder);

    void PresentFrame(const QImage& frame) override;
    void ShowPlaceholder() override;
    QSize ClientSize() const override;

    // Paints over what the area shows now; the result stays until the next frame or placeholder.
    void PaintOver(const std::function<void(QPainter&, const QRect&)>& paint);

    bool ShowsPlaceholder() const { return m_image.isNull(); }
    quint64 FramesPresented() const { return m_framesPresented; }
    // Paints that put a live frame or photo on the screen.
    quint64 FramesPainted() const { return m_framesPainted; }
    // What the area shows, at its client size.
    QImage Content() const;

Q_SIGNALS:
    void FramePresented();

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QPixmap m_placeholder;
    QImage m_image;
    quint64 m_framesPresented = 0;
    quint64 m_framesPainted = 0;
};

} // namespace corvana
