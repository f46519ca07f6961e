#pragma once

#include <QRectF>
#include <QSizeF>

class QPainter;

namespace corvana {

// The main dialog's face: body, title strip, recessed frames for the preview and the file list,
// and quiet wells exactly where the dialog places its buttons and the level indicator.
class SkinArt {
public:
    static constexpr QSizeF kSize{500, 618};
    static constexpr qreal kCornerRadius = 8;

    static void Paint(QPainter& p);
    // A caption centred under a control, made smaller where it would not fit beside it.
    static void Caption(QPainter& p, const QRectF& under, const QString& text);

private:
    static void Body(QPainter& p);
    static void TitleStrip(QPainter& p);
    static void Grille(QPainter& p, const QRectF& area);
    static void Well(QPainter& p, const QRectF& rect, qreal radius);
    static void Frame(QPainter& p, const QRectF& content);
};

}  // namespace corvana
