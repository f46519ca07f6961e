#pragma once

#include <QImage>
#include <QPointF>

class QPainter;

namespace corvana {

// The program's emblem: a lens ring on a graphite tile with the record light beside it.
class EmblemArt {
public:
    // The program icon, square, transparent outside its rounded tile.
    static void Icon(QPainter& p, qreal size);
    static QImage IconImage(int size, qreal scale = 1);
    // The bare lens ring (no tile), for the title strip.
    static void Lens(QPainter& p, const QPointF& centre, qreal radius);
};

}  // namespace corvana
