#include "res/Glyphs.h"

#include <QPainter>
#include <QPainterPath>
#include <QPainterPathStroker>

namespace corvana {

namespace {

// Maps the glyph's design grid onto the box for the lifetime of the object.
class GridScope {
public:
    GridScope(QPainter& p, const QRectF& box, qreal grid)
        : m_painter(p)
    {
        m_painter.save();
        m_painter.setRenderHint(QPainter::Antialiasing, true);
        m_painter.translate(box.topLeft());
        m_painter.scale(box.width() / grid, box.height() / grid);
    }
    ~GridScope() { m_painter.restore(); }
    GridScope(const GridScope&) = delete;
    GridScope& operator=(const GridScope&) = delete;

private:
    QPainter& m_painter;
};

QPen Stroke(const QColor& ink, qreal width)
{
    QPen pen(ink, width);
    pen.setCapStyle(Qt::RoundCap);
    pen.setJoinStyle(Qt::RoundJoin);
    return pen;
}

QPainterPath Polygon(std::initializer_list<QPointF> points)
{
    QPainterPath path;
    path.addPolygon(QPolygonF(QList<QPointF>(points)));
    path.closeSubpath();
    return path;
}

}  // namespace

void Glyphs::Microphone(QPainter& p, const QRectF& box, const QColor& ink)
{
    GridScope grid(p, box, 24);
    p.setPen(Qt::NoPen);
    p.setBrush(ink);
    p.drawRoundedRect(QRectF(8.5, 2, 7, 13), 3.5, 3.5);
    p.setBrush(Qt::NoBrush);
    p.setPen(Stroke(ink, 1.7));
    QPainterPath holder;
    holder.moveTo(5.5, 10.5);
    holder.arcTo(QRectF(5.5, 4, 13, 13.5), 180, 180);
    p.drawPath(holder);
    p.drawLine(QPointF(12, 17.8), QPointF(12, 21));
    p.drawLine(QPointF(8, 21.2), QPointF(16, 21.2));
}

void Glyphs::Voices(QPainter& p, const QRectF& box, const QColor& ink)
{
    GridScope grid(p, box, 24);
    p.setPen(Qt::NoPen);
    p.setBrush(ink);
    const auto person = [](qreal x, qreal headY, qreal head, qreal halfWidth, qreal shoulderY) {
        QPainterPath path;
        path.addEllipse(QPointF(x, headY), head, head);
        QPainterPath body;
        body.moveTo(x - halfWidth, 21);
        body.lineTo(x - halfWidth, shoulderY + halfWidth * 0.7);
        body.cubicTo(x - halfWidth, shoulderY, x - halfWidth * 0.6, shoulderY, x, shoulderY);
        body.cubicTo(x + halfWidth * 0.6, shoulderY, x + halfWidth, shoulderY, x + halfWidth, shoulderY + halfWidth * 0.7);
        body.lineTo(x + halfWidth, 21);
        body.closeSubpath();
        return path.united(body);
    };
    const QPainterPath front = person(12, 7, 3.7, 5.8, 13.2);
    // The two behind are cut back by a gap around the one in front, so the three stay apart.
    QPainterPath gap = front;
    {
        QPainterPathStroker stroker;
        stroker.setWidth(3);
        gap = gap.united(stroker.createStroke(front));
    }
    const QPainterPath back = person(4.6, 8.2, 3, 4.3, 14).united(person(19.4, 8.2, 3, 4.3, 14));
    p.drawPath(back.subtracted(gap));
    p.drawPath(front);
}

void Glyphs::VideoCamera(QPainter& p, const QRectF& box, const QColor& ink)
{
    GridScope grid(p, box, 24);
    p.setPen(Qt::NoPen);
    p.setBrush(ink);
    QPainterPath body;
    body.addRoundedRect(QRectF(1.5, 6.5, 14.5, 11), 2.5, 2.5);
    QPainterPath window;
    window.addEllipse(QPointF(5.5, 10.5), 1.6, 1.6);
    p.drawPath(body.subtracted(window));
    p.drawPath(Polygon({{17, 10.5}, {22.5, 7}, {22.5, 17}, {17, 13.5}}));
}

void Glyphs::PhotoCamera(QPainter& p, const QRectF& box, const QColor& ink)
{
    GridScope grid(p, box, 24);
    p.setPen(Qt::NoPen);
    p.setBrush(ink);
    QPainterPath body;
    body.addRoundedRect(QRectF(1.5, 7, 21, 13.5), 2.5, 2.5);
    body.addPath(Polygon({{7.5, 7.5}, {9, 4}, {15, 4}, {16.5, 7.5}}));
    body = body.simplified();
    QPainterPath ring;
    ring.addEllipse(QPointF(12, 13.5), 5, 5);
    QPainterPath flash;
    flash.addEllipse(QPointF(19, 10), 1.1, 1.1);
    p.drawPath(body.subtracted(ring).subtracted(flash));
    p.drawEllipse(QPointF(12, 13.5), 3.1, 3.1);
}

void Glyphs::Play(QPainter& p, const QRectF& box, const QColor& ink)
{
    GridScope grid(p, box, 8);
    p.setPen(Qt::NoPen);
    p.setBrush(ink);
    p.drawPath(Polygon({{1, 0}, {7.5, 4}, {1, 8}}));
}

void Glyphs::Stop(QPainter& p, const QRectF& box, const QColor& ink)
{
    GridScope grid(p, box, 8);
    p.setPen(Qt::NoPen);
    p.setBrush(ink);
    p.drawRoundedRect(QRectF(1, 1, 6, 6), 0.8, 0.8);
}

void Glyphs::RecordDot(QPainter& p, const QRectF& box, const QColor& ink)
{
    GridScope grid(p, box, 8);
    p.setPen(Qt::NoPen);
    p.setBrush(ink);
    p.drawEllipse(QPointF(4, 4), 3.3, 3.3);
}

void Glyphs::Cross(QPainter& p, const QRectF& box, const QColor& ink)
{
    GridScope grid(p, box, 8);
    p.setBrush(Qt::NoBrush);
    p.setPen(Stroke(ink, 1.1));
    p.drawLine(QPointF(1, 1), QPointF(7, 7));
    p.drawLine(QPointF(7, 1), QPointF(1, 7));
}

void Glyphs::ArrowUp(QPainter& p, const QRectF& box, const QColor& ink)
{
    GridScope grid(p, box, 8);
    p.setPen(Qt::NoPen);
    p.setBrush(ink);
    p.drawPath(Polygon({{4, 1.5}, {8, 6.5}, {0, 6.5}}));
}

void Glyphs::ArrowDown(QPainter& p, const QRectF& box, const QColor& ink)
{
    GridScope grid(p, box, 8);
    p.setPen(Qt::NoPen);
    p.setBrush(ink);
    p.drawPath(Polygon({{0, 1.5}, {8, 1.5}, {4, 6.5}}));
}

void Glyphs::Speaker(QPainter& p, const QRectF& box, const QColor& ink)
{
    GridScope grid(p, box, 12);
    p.setPen(Qt::NoPen);
    p.setBrush(ink);
    p.drawPath(Polygon({{1, 4}, {4, 4}, {8.5, 0.5}, {8.5, 11.5}, {4, 8}, {1, 8}}));
}

}  // namespace corvana
