#pragma once
#include "capture/IPreviewSurface.h"

#include <QImage>
#include <QPixmap>
#include <QWidget>

#include <functional>
#include <optional>
#include <utility>

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

    // A running recording's elapsed time over whatever the area shows, and for sound its level
    // (peak and decaying peak in dB); each repaints only its own rectangle when it changes.
    // Assistive tools read the time in the area's description.
    void ShowRecordingProgress(const QString& elapsed, std::optional<std::pair<double, double>> level);
    void HideRecordingProgress();
    QString ShownElapsedTime() const { return m_elapsed; }
    std::optional<std::pair<double, double>> ShownLevel() const { return m_level; }

Q_SIGNALS:
    void FramePresented();

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QPixmap m_placeholder;
    QImage m_image;
    quint64 m_framesPresented = 0;
    quint64 m_framesPainted = 0;
    QString m_elapsed;
    QRectF m_timePlate;
    std::optional<std::pair<double, double>> m_level;
    QString m_description;  // the area's own, while no recording runs
};

} // namespace corvana
