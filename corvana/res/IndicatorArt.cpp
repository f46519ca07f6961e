#include "res/IndicatorArt.h"

#include "res/ArtStyle.h"
#include "res/Glyphs.h"

#include <QLinearGradient>
#include <QPainter>
#include <QRadialGradient>

namespace corvana {

namespace {
QColor Rgb(QRgb rgb) { return ArtStyle::Colour(rgb); }
}  // namespace

void IndicatorArt::VolumeLevel(QPainter& p, const QSizeF& size, int level)
{
    p.fillRect(QRectF(QPointF(0, 0), size), Rgb(ArtStyle::kWell));
    const int lit = std::clamp(level, 1, kLevels) - 1;
    Glyphs::Speaker(p, QRectF(1, 12, 12, 12), lit == 0 ? Rgb(0xff6c737d) : Rgb(ArtStyle::kInk));
    constexpr int bars = kLevels - 1;
    constexpr qreal left = 15, width = 2, pitch = 3, bottom = 29;
    for (int i = 0; i < bars; ++i) {
        const qreal height = 4 + 3 * i;
        const QRectF bar(left + pitch * i, bottom - height, width, height);
        if (i < lit)
            p.fillRect(bar, i == bars - 1 ? Rgb(0xff5fe0cf) : Rgb(ArtStyle::kAccent));
        else
            p.fillRect(bar, Rgb(0xff2d3137));
    }
}

void IndicatorArt::PreviewPlaceholder(QPainter& p, const QSizeF& size)
{
    p.save();
    const QRectF all(QPointF(0, 0), size);
    QRadialGradient glow(all.center(), size.width() * 0.62);
    glow.setColorAt(0, Rgb(0xff1c1f23));
    glow.setColorAt(1, Rgb(ArtStyle::kScreen));
    p.fillRect(all, glow);
    const qreal g = 48;
    Glyphs::PhotoCamera(p, QRectF(std::round((size.width() - g) / 2), std::round((size.height() - g) / 2), g, g),
                        Rgb(0xff2f3339));
    p.restore();
}

}  // namespace corvana
