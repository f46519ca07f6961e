#pragma once

#include <QColor>
#include <QRectF>

class QPainter;

namespace corvana {

// Small vector pictograms shared by the buttons, the indicators and the icon. Each is drawn in
// the given box (its design grid is stretched to the box) in a single ink colour; the box should
// keep the glyph's own aspect for crisp strokes.
class Glyphs {
public:
    // 24 x 24 grid.
    static void Microphone(QPainter& p, const QRectF& box, const QColor& ink);
    static void Voices(QPainter& p, const QRectF& box, const QColor& ink);
    static void VideoCamera(QPainter& p, const QRectF& box, const QColor& ink);
    static void PhotoCamera(QPainter& p, const QRectF& box, const QColor& ink);

    // 8 x 8 grid.
    static void Play(QPainter& p, const QRectF& box, const QColor& ink);
    static void Stop(QPainter& p, const QRectF& box, const QColor& ink);
    static void RecordDot(QPainter& p, const QRectF& box, const QColor& ink);
    static void Cross(QPainter& p, const QRectF& box, const QColor& ink);
    static void ArrowUp(QPainter& p, const QRectF& box, const QColor& ink);
    static void ArrowDown(QPainter& p, const QRectF& box, const QColor& ink);

    // 12 x 12 grid.
    static void Speaker(QPainter& p, const QRectF& box, const QColor& ink);
};

}  // namespace corvana
