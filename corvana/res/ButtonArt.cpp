#include "res/ButtonArt.h"

#include "res/ArtStyle.h"

#include <QFontMetricsF>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

namespace corvana {

namespace {

constexpr qreal kCaptionPixels = 9;

QColor Rgb(QRgb rgb) { return ArtStyle::Colour(rgb); }

QColor Mixed(QRgb a, QRgb b, qreal t)
{
    const QColor ca = Rgb(a), cb = Rgb(b);
    return QColor::fromRgbF(ca.redF() + (cb.redF() - ca.redF()) * t,
                            ca.greenF() + (cb.greenF() - ca.greenF()) * t,
                            ca.blueF() + (cb.blueF() - ca.blueF()) * t);
}

void Fill(QPainter& p, const QRectF& r, qreal radius, const QBrush& brush)
{
    p.setPen(Qt::NoPen);
    p.setBrush(brush);
    p.drawRoundedRect(r, radius, radius);
}

QLinearGradient Vertical(const QRectF& r, const QColor& top, const QColor& bottom)
{
    QLinearGradient g(r.topLeft(), r.bottomLeft());
    g.setColorAt(0, top);
    g.setColorAt(1, bottom);
    return g;
}

// Top pixel (baseline) that centres the caption's capitals in the box.
qreal CaptionBaseline(const QFontMetricsF& fm, const QRectF& box)
{
    return std::round(box.center().y() + fm.capHeight() / 2);
}

}  // namespace

QColor ButtonArt::Face(QPainter& p, const QSizeF& size, qreal radius, ButtonState state, bool recordButton)
{
    p.save();
    p.setRenderHint(QPainter::Antialiasing, true);
    const QRectF all(QPointF(0, 0), size);
    p.fillRect(all, Rgb(ArtStyle::kWell));
    const QRectF inner = all.adjusted(1, 1, -1, -1);
    const qreal innerRadius = std::max<qreal>(radius - 1, 0.5);
    QColor ink;
    switch (state) {
    case ButtonState::Normal:
        Fill(p, all, radius, Rgb(0xff0e1012));
        Fill(p, inner, innerRadius, Vertical(inner, Rgb(ArtStyle::kFaceTop), Rgb(ArtStyle::kFaceBottom)));
        p.fillRect(QRectF(inner.left() + innerRadius, inner.top(), inner.width() - 2 * innerRadius, 1),
                   Rgb(0x30ffffff));
        ink = Rgb(ArtStyle::kInk);
        break;
    case ButtonState::Hover:
        Fill(p, all, radius, Rgb(ArtStyle::kAccent));
        Fill(p, inner, innerRadius, Vertical(inner, Rgb(0xff4d535c), Rgb(0xff3b4047)));
        p.fillRect(QRectF(inner.left() + innerRadius, inner.top(), inner.width() - 2 * innerRadius, 1),
                   Rgb(0x40ffffff));
        ink = Rgb(0xfff2f5f8);
        break;
    case ButtonState::Pressed: {
        const QRgb fill = recordButton ? ArtStyle::kRecord : ArtStyle::kAccent;
        const QRgb deep = recordButton ? ArtStyle::kRecordDeep : ArtStyle::kAccentDeep;
        Fill(p, all, radius, Rgb(0xff0a0b0d));
        Fill(p, inner, innerRadius, Vertical(inner, Rgb(deep), Rgb(fill)));
        // Inner shadow along the top edge: the key is pushed into the panel.
        p.setClipPath([&] { QPainterPath c; c.addRoundedRect(inner, innerRadius, innerRadius); return c; }());
        p.fillRect(QRectF(inner.left(), inner.top(), inner.width(), 1), Rgb(0x90000000));
        p.fillRect(QRectF(inner.left(), inner.top() + 1, inner.width(), 1), Rgb(0x38000000));
        p.setClipping(false);
        ink = recordButton ? Rgb(0xfffff6f5) : Rgb(ArtStyle::kInkOnAccent);
        break;
    }
    case ButtonState::Disabled:
        Fill(p, all, radius, Rgb(0xff1e2024));
        Fill(p, inner, innerRadius, Rgb(0xff23262a));
        ink = Mixed(0xff23262a, ArtStyle::kInk, 0.28);
        break;
    }
    p.restore();
    return ink;
}

void ButtonArt::Transport(QPainter& p, const QSizeF& size, ButtonState state, Glyph glyph,
                          const QString& caption, bool recordButton)
{
    const QColor ink = Face(p, size, 3, state, recordButton);
    const QFont font = ArtStyle::FittingFont(caption, size.width() - 4, kCaptionPixels, QFont::Normal);
    const QFontMetricsF fm(font);
    const qreal textWidth = fm.horizontalAdvance(caption);
    constexpr qreal glyphSize = 6, gap = 3, margin = 5;
    const bool withGlyph = glyph && textWidth + glyphSize + gap + 2 * margin <= size.width();
    const qreal groupWidth = textWidth + (withGlyph ? glyphSize + gap : 0);
    const qreal left = std::round((size.width() - groupWidth) / 2);
    const qreal dy = PressOffset(state);
    const QRectF box(0, dy, size.width(), size.height());

    p.save();
    if (withGlyph) {
        QColor glyphInk = ink;
        if (recordButton && state != ButtonState::Pressed)
            glyphInk = state == ButtonState::Disabled ? Mixed(0xff23262a, ArtStyle::kRecord, 0.35)
                                                      : Rgb(ArtStyle::kRecord);
        const qreal top = std::round(box.center().y() - glyphSize / 2);
        glyph(p, QRectF(left, top, glyphSize, glyphSize), glyphInk);
    }
    p.setFont(font);
    p.setPen(ink);
    p.drawText(QPointF(left + (withGlyph ? glyphSize + gap : 0), CaptionBaseline(fm, box)), caption);
    p.restore();
}

void ButtonArt::Mode(QPainter& p, const QSizeF& size, ButtonState state, Glyph glyph)
{
    const QColor ink = Face(p, size, 5, state);
    const qreal g = 24;
    glyph(p, QRectF(std::round((size.width() - g) / 2), std::round((size.height() - g) / 2) + PressOffset(state), g, g),
          ink);
}

void ButtonArt::GlyphKey(QPainter& p, const QSizeF& size, ButtonState state, Glyph glyph,
                         const QSizeF& glyphSize, qreal radius)
{
    const QColor ink = Face(p, size, radius, state);
    glyph(p,
          QRectF(std::round((size.width() - glyphSize.width()) / 2),
                 std::round((size.height() - glyphSize.height()) / 2) + PressOffset(state), glyphSize.width(),
                 glyphSize.height()),
          ink);
}

void ButtonArt::CaptionKey(QPainter& p, const QSizeF& size, ButtonState state, const QString& caption)
{
    const QColor ink = Face(p, size, 3, state);
    const QFont font = ArtStyle::FittingFont(caption, size.width() - 6, kCaptionPixels, QFont::Bold, 0.6);
    const QFontMetricsF fm(font);
    // Letter spacing also trails the last letter; leave it out of the centring.
    const qreal width = fm.horizontalAdvance(caption) - 0.6;
    const QRectF box(0, PressOffset(state), size.width(), size.height());
    p.save();
    p.setFont(font);
    p.setPen(ink);
    p.drawText(QPointF(std::round((size.width() - width) / 2), CaptionBaseline(fm, box)), caption);
    p.restore();
}

}  // namespace corvana
