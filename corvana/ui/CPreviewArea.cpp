#include "ui/CPreviewArea.h"

#include <QPainter>

namespace corvana {

CPreviewArea::CPreviewArea(QWidget* parent) : QWidget(parent)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void CPreviewArea::SetPlaceholder(const QPixmap& placeholder)
{
    m_placeholder = placeholder;
    update();
}

void CPreviewArea::PresentFrame(const QImage& frame)
{
    m_image = frame;
    ++m_framesPresented;
    update();
    Q_EMIT FramePresented();
}

void CPreviewArea::ShowPlaceholder()
{
    m_image = QImage();
    update();
}

QSize CPreviewArea::ClientSize() const
{
    return size();
}

QImage CPreviewArea::Content() const
{
    QImage content(size(), QImage::Format_RGB32);
    content.fill(Qt::black);
    QPainter painter(&content);
    if (m_image.isNull())
        painter.drawPixmap(content.rect(), m_placeholder);
    else
        painter.drawImage(content.rect(), m_image);
    return content;
}

void CPreviewArea::PaintOver(const std::function<void(QPainter&, const QRect&)>& paint)
{
    QImage canvas = Content();
    {
        QPainter painter(&canvas);
        paint(painter, canvas.rect());
    }
    m_image = canvas;
    update();
}

void CPreviewArea::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    if (m_image.isNull()) {
        painter.fillRect(rect(), Qt::black);
        painter.drawPixmap(rect(), m_placeholder);
    } else {
        painter.drawImage(rect(), m_image);
        ++m_framesPainted;
    }
}

} // namespace corvana
