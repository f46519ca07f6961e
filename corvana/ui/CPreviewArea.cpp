#include "ui/CPreviewArea.h"

#include "res/IndicatorArt.h"

#include <QCoreApplication>
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

namespace {

// The meter runs along the bottom of the area, the time sits in its top left corner.
QRect MeterRect(const QSize& area)
{
    return QRect(16, area.height() - 24, area.width() - 32, 10);
}

const QPointF kTimeCorner(8, 8);

} // namespace

void CPreviewArea::ShowRecordingProgress(const QString& elapsed, std::optional<std::pair<double, double>> level)
{
    if (m_elapsed.isEmpty())
        m_description = accessibleDescription();
    if (elapsed != m_elapsed) {
        const QRectF plate = IndicatorArt::ElapsedTimePlate(elapsed, kTimeCorner, false);
        update(m_timePlate.united(plate).toAlignedRect());
        m_timePlate = plate;
        m_elapsed = elapsed;
        // Once a second at most: the text is minutes and seconds.
        setAccessibleDescription(QCoreApplication::translate("CPreviewArea", "Recording, %1 recorded.").arg(elapsed));
    }
    if (level != m_level) {
        m_level = level;
        update(MeterRect(size()));
    }
}

void CPreviewArea::HideRecordingProgress()
{
    if (m_elapsed.isEmpty())
        return;
    m_elapsed.clear();
    m_level.reset();
    m_timePlate = QRectF();
    setAccessibleDescription(m_description);
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
    if (m_elapsed.isEmpty())
        return;
    IndicatorArt::ElapsedTime(painter, m_timePlate, m_elapsed);
    if (m_level)
        IndicatorArt::LevelMeter(painter, MeterRect(size()), m_level->first, m_level->second);
}

} // namespace corvana
