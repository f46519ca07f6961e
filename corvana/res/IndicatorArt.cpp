#include "res/IndicatorArt.h"

#include "res/ArtStyle.h"
#include "res/Glyphs.h"

#include <QFontMetricsF>
#include <QLinearGradient>
#include <QPainter>
#include <QRadialGradient>

#include <algorithm>
#include <cmath>

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

namespace {
constexpr qreal kTimePixels = 13;
constexpr double kMeterFloorDb = -60;

qreal MeterShare(double db)
{
    return std::clamp((db - kMeterFloorDb) / -kMeterFloorDb, 0.0, 1.0);
}
}  // namespace

QRectF IndicatorArt::ElapsedTimePlate(const QString& text, const QPointF& corner, bool fromRight)
{
    const QFontMetricsF fm(ArtStyle::Font(kTimePixels, QFont::Bold));
    const QSizeF size(std::ceil(fm.horizontalAdvance(text)) + 12, std::ceil(fm.capHeight()) + 10);
    return QRectF(fromRight ? corner - QPointF(size.width(), 0) : corner, size);
}

void IndicatorArt::ElapsedTime(QPainter& p, const QRectF& plate, const QString& text)
{
    p.save();
    p.setRenderHint(QPainter::Antialiasing, true);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0, 0, 0, 170));
    p.drawRoundedRect(plate, 4, 4);
    // The recording's dot before the time, as on the Record button.
    const QFont font = ArtStyle::Font(kTimePixels, QFont::Bold);
    const QFontMetricsF fm(font);
    p.setFont(font);
    p.setPen(Rgb(0xfff2f4f6));
    p.drawText(QPointF(plate.left() + 6, plate.top() + 5 + fm.capHeight()), text);
    p.restore();
}

void IndicatorArt::LevelMeter(QPainter& p, const QRectF& box, double peakDb, double decayDb)
{
    p.save();
    p.fillRect(box, Rgb(0xff15181b));
    const QRectF inner = box.adjusted(1, 1, -1, -1);
    p.fillRect(inner, Rgb(0xff2d3137));
    const qreal peak = std::round(inner.width() * MeterShare(peakDb));
    p.fillRect(QRectF(inner.left(), inner.top(), peak, inner.height()), Rgb(ArtStyle::kAccent));
    const qreal decay = std::round(inner.width() * MeterShare(decayDb));
    if (decay > 0)
        p.fillRect(QRectF(inner.left() + std::max<qreal>(decay - 2, 0), inner.top(), 2, inner.height()), Rgb(0xff5fe0cf));
    p.restore();
}

}  // namespace corvana
