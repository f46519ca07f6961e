#include "res/ArtStyle.h"

#include <QCoreApplication>
#include <QFontMetricsF>

namespace corvana {

QFont ArtStyle::Font(qreal pixelSize, QFont::Weight weight, qreal letterSpacing)
{
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(qRound(pixelSize));
    font.setWeight(weight);
    font.setHintingPreference(QFont::PreferFullHinting);
    font.setStyleStrategy(QFont::StyleStrategy(QFont::PreferAntialias | QFont::NoSubpixelAntialias
                                               | QFont::NoFontMerging));
    font.setKerning(true);
    if (letterSpacing != 0)
        font.setLetterSpacing(QFont::AbsoluteSpacing, letterSpacing);
    return font;
}

QFont ArtStyle::FittingFont(const QString& text, qreal room, qreal pixelSize, QFont::Weight weight, qreal letterSpacing)
{
    constexpr qreal kSmallest = 6;
    QFont font = Font(pixelSize, weight, letterSpacing);
    for (qreal size = pixelSize - 1; size >= kSmallest && QFontMetricsF(font).horizontalAdvance(text) > room; --size)
        font = Font(size, weight, letterSpacing);
    return font;
}

QString ArtStyle::Caption(const char* english)
{
    return QCoreApplication::translate("Artwork", english);
}

}  // namespace corvana
