#include "res/EmblemArt.h"

#include "res/ArtStyle.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

namespace corvana {

namespace {
QColor Rgb(QRgb rgb) { return ArtStyle::Colour(rgb); }
}  // namespace

void EmblemArt::Lens(QPainter& p, const QPointF& centre, qreal radius)
{
    p.save();
    p.setRenderHint(QPainter::Antialiasing, true);
    p.setPen(Qt::NoPen);
    const qreal r = radius;
    p.setBrush(Rgb(0xff11151a));
    p.drawEllipse(centre, r, r);
    QPainterPath ring;
    ring.addEllipse(centre, r * 0.86, r * 0.86);
    QPainterPath hole;
    hole.addEllipse(centre, r * 0.60, r * 0.60);
    QLinearGradient teal(centre - QPointF(r, r), centre + QPointF(r, r));
    teal.setColorAt(0, Rgb(0xff4fd0c0));
    teal.setColorAt(1, Rgb(ArtStyle::kAccentDeep));
    p.setBrush(teal);
    p.drawPath(ring.subtracted(hole));
    QRadialGradient glass(centre - QPointF(r * 0.15, r * 0.2), r * 0.6);
    glass.setColorAt(0, Rgb(0xff2e3f48));
    glass.setColorAt(1, Rgb(0xff10151b));
    p.setBrush(glass);
    p.drawEllipse(centre, r * 0.52, r * 0.52);
    p.setBrush(Rgb(0x99ffffff));
    p.drawEllipse(centre + QPointF(-r * 0.2, -r * 0.2), r * 0.13, r * 0.13);
    p.restore();
}

void EmblemArt::Icon(QPainter& p, qreal size)
{
    p.save();
    p.setRenderHint(QPainter::Antialiasing, true);
    p.setPen(Qt::NoPen);
    const qreal s = size;
    const QRectF tile(s * 0.04, s * 0.04, s * 0.92, s * 0.92);
    const qreal radius = s * 0.2;
    p.setBrush(Rgb(0xff0c0d0f));
    p.drawRoundedRect(tile, radius, radius);
    const QRectF face = tile.adjusted(s * 0.012, s * 0.012, -s * 0.012, -s * 0.012);
    QLinearGradient body(face.topLeft(), face.bottomLeft());
    body.setColorAt(0, Rgb(0xff3a3e45));
    body.setColorAt(1, Rgb(0xff1d1f23));
    p.setBrush(body);
    p.drawRoundedRect(face, radius * 0.95, radius * 0.95);
    Lens(p, QPointF(s * 0.5, s * 0.53), s * 0.3);
    p.setBrush(Rgb(ArtStyle::kRecord));
    p.drawEllipse(QPointF(s * 0.79, s * 0.2), s * 0.065, s * 0.065);
    p.restore();
}

QImage EmblemArt::IconImage(int size, qreal scale)
{
    QImage image(qRound(size * scale), qRound(size * scale), QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(scale);
    image.fill(Qt::transparent);
    QPainter p(&image);
    Icon(p, size);
    return image;
}

}  // namespace corvana
