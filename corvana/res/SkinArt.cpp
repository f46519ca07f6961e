#include "res/SkinArt.h"

#include "res/ArtStyle.h"
#include "res/EmblemArt.h"

#include <QFontMetricsF>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

namespace corvana {

namespace {

QColor Rgb(QRgb rgb) { return ArtStyle::Colour(rgb); }

constexpr qreal kStripHeight = 38;

// Where the dialog puts its controls.
constexpr QRectF kExit(462, 6, 30, 26);
constexpr QRectF kAbout(412, 120, 53, 21);
constexpr QRectF kPreview(50, 154, 320, 239);
constexpr QRectF kFileList(48, 464, 410, 122);
constexpr QRectF kModes[] = {{406, 156, 40, 40}, {406, 216, 40, 40}, {406, 276, 40, 40}, {406, 336, 40, 40}};
constexpr QRectF kTransport(52, 406, 316, 15);
constexpr QRectF kVolume(386, 400, 62, 44);

QRectF Grown(const QRectF& r, qreal by) { return r.adjusted(-by, -by, by, by); }

}  // namespace

void SkinArt::Paint(QPainter& p)
{
    p.save();
    p.setRenderHint(QPainter::Antialiasing, true);
    p.fillRect(QRectF(QPointF(0, 0), kSize), Rgb(ArtStyle::kKey));
    Body(p);
    TitleStrip(p);
    Grille(p, QRectF(50, 58, 320, 72));

    Well(p, Grown(kAbout, 2), 5);
    static const char* const modeCaptions[] = {QT_TRANSLATE_NOOP("Artwork", "Solo"), QT_TRANSLATE_NOOP("Artwork", "Conference"),
                                               QT_TRANSLATE_NOOP("Artwork", "Video"), QT_TRANSLATE_NOOP("Artwork", "Photo")};
    for (int i = 0; i < 4; ++i) {
        Well(p, Grown(kModes[i], 2), 6);
        Caption(p, kModes[i], ArtStyle::Caption(modeCaptions[i]));
    }
    Frame(p, kPreview);
    Well(p, Grown(kTransport, 3), 5);
    Well(p, Grown(kVolume, 3), 5);
    Frame(p, kFileList);
    p.restore();
}

void SkinArt::Body(QPainter& p)
{
    const QRectF all(QPointF(0, 0), kSize);
    p.setPen(Qt::NoPen);
    p.setBrush(Rgb(ArtStyle::kEdgeDark));
    p.drawRoundedRect(all, kCornerRadius, kCornerRadius);

    const QRectF inner = all.adjusted(1, 1, -1, -1);
    QLinearGradient body(inner.topLeft(), inner.bottomLeft());
    body.setColorAt(0, Rgb(ArtStyle::kBodyTop));
    body.setColorAt(1, Rgb(ArtStyle::kBodyBottom));
    p.setBrush(body);
    p.drawRoundedRect(inner, kCornerRadius - 1, kCornerRadius - 1);

    // Hairline of light along the rim, strongest at the top as if lit from above.
    QLinearGradient rim(inner.topLeft(), inner.bottomLeft());
    rim.setColorAt(0, Rgb(0x70a0a8b4));
    rim.setColorAt(0.1, Rgb(0x30a0a8b4));
    rim.setColorAt(1, Rgb(0x18a0a8b4));
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(QBrush(rim), 1));
    p.drawRoundedRect(inner.adjusted(0.5, 0.5, -0.5, -0.5), kCornerRadius - 1.5, kCornerRadius - 1.5);
}

void SkinArt::TitleStrip(QPainter& p)
{
    p.save();
    QPainterPath clip;
    clip.addRoundedRect(QRectF(2, 2, kSize.width() - 4, kSize.height() - 4), kCornerRadius - 2, kCornerRadius - 2);
    p.setClipPath(clip);
    const QRectF strip(2, 2, kSize.width() - 4, kStripHeight - 2);
    QLinearGradient g(strip.topLeft(), strip.bottomLeft());
    g.setColorAt(0, Rgb(ArtStyle::kStripTop));
    g.setColorAt(1, Rgb(ArtStyle::kStripBottom));
    p.fillRect(strip, g);
    p.setClipping(false);
    p.fillRect(QRectF(2, kStripHeight, kSize.width() - 4, 1), Rgb(0xff111215));
    p.fillRect(QRectF(2, kStripHeight + 1, kSize.width() - 4, 1), Rgb(0x14ffffff));

    const qreal mid = kStripHeight / 2 + 1;
    EmblemArt::Lens(p, QPointF(22, mid), 8);
    const QFont font = ArtStyle::Font(14, QFont::Bold, 0.4);
    p.setFont(font);
    p.setPen(Rgb(ArtStyle::kText));
    const QFontMetricsF fm(font);
    p.drawText(QPointF(38, std::round(mid + fm.capHeight() / 2)), QStringLiteral("Corvana"));
    p.restore();

    Well(p, Grown(kExit, 1), 3);
}

void SkinArt::Grille(QPainter& p, const QRectF& area)
{
    // The array microphone's grille: a calm field of small holes.
    p.save();
    p.setPen(Qt::NoPen);
    constexpr qreal pitch = 6;
    const int columns = int(area.width() / pitch);
    const int rows = int(area.height() / pitch);
    const qreal x0 = area.left() + (area.width() - (columns - 1) * pitch) / 2;
    const qreal y0 = area.top() + (area.height() - (rows - 1) * pitch) / 2;
    for (int row = 0; row < rows; ++row) {
        for (int column = 0; column < columns; ++column) {
            const QPointF c(x0 + column * pitch, y0 + row * pitch);
            p.setBrush(Rgb(0x12ffffff));
            p.drawEllipse(c + QPointF(0, 0.6), 1.3, 1.3);
            p.setBrush(Rgb(0xff141619));
            p.drawEllipse(c, 1.3, 1.3);
        }
    }
    p.restore();
}

void SkinArt::Well(QPainter& p, const QRectF& rect, qreal radius)
{
    p.save();
    p.setPen(Qt::NoPen);
    // One pixel around the well: shadowed above, catching light below.
    QLinearGradient lip(rect.topLeft(), rect.bottomLeft());
    lip.setColorAt(0, Rgb(0x70000000));
    lip.setColorAt(1, Rgb(0x26ffffff));
    p.setBrush(lip);
    p.drawRoundedRect(Grown(rect, 1), radius + 1, radius + 1);
    p.setBrush(Rgb(ArtStyle::kWell));
    p.drawRoundedRect(rect, radius, radius);
    p.restore();
}

void SkinArt::Frame(QPainter& p, const QRectF& content)
{
    p.save();
    p.setPen(Qt::NoPen);
    const QRectF outer = Grown(content, 3);
    QLinearGradient lip(outer.topLeft(), outer.bottomLeft());
    lip.setColorAt(0, Rgb(0x80000000));
    lip.setColorAt(1, Rgb(0x2cffffff));
    p.setBrush(lip);
    p.drawRoundedRect(Grown(outer, 1), 5, 5);
    p.setBrush(Rgb(0xff0e1012));
    p.drawRoundedRect(outer, 4, 4);
    // Two pixels of inner shadow on the top and left edges.
    p.setRenderHint(QPainter::Antialiasing, false);
    const QRectF bezel = Grown(content, 2);
    p.fillRect(bezel, Rgb(0xff101215));
    p.fillRect(Grown(content, 1), Rgb(0xff121417));
    p.fillRect(QRectF(content.left(), content.bottom(), content.width() + 1, 1), Rgb(0xff23262b));
    p.fillRect(QRectF(content.right(), content.top(), 1, content.height() + 1), Rgb(0xff1f2226));
    p.fillRect(content, Rgb(ArtStyle::kScreen));
    p.restore();
}

void SkinArt::Caption(QPainter& p, const QRectF& under, const QString& text)
{
    p.save();
    // The column of the mode buttons leaves a caption some room beside its button.
    const QFont font = ArtStyle::FittingFont(text, under.width() + 24, 9);
    const QFontMetricsF fm(font);
    p.setFont(font);
    p.setPen(Rgb(ArtStyle::kTextMuted));
    const qreal width = fm.horizontalAdvance(text);
    p.drawText(QPointF(std::round(under.center().x() - width / 2), under.bottom() + 4 + fm.capHeight()), text);
    p.restore();
}

}  // namespace corvana
