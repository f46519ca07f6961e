#pragma once

#include <QColor>
#include <QRectF>
#include <QString>

class QPainter;

namespace corvana {

enum class ButtonState { Normal, Hover, Pressed, Disabled };

// Paints the state images of the dialog's push buttons. Every image is opaque and fills its
// whole rectangle: the pixels outside the rounded key take the well colour the skin paints
// under each button, so the button sits in its well seamlessly.
class ButtonArt {
public:
    using Glyph = void (*)(QPainter&, const QRectF&, const QColor&);

    // Transport button: a glyph (may be null) and a caption, centred as one group.
    static void Transport(QPainter& p, const QSizeF& size, ButtonState state, Glyph glyph,
                          const QString& caption, bool recordButton);
    // Mode button: a 24-pixel glyph in a square key.
    static void Mode(QPainter& p, const QSizeF& size, ButtonState state, Glyph glyph);
    // A key carrying only a centred glyph of the given size (Exit, the volume arrows).
    static void GlyphKey(QPainter& p, const QSizeF& size, ButtonState state, Glyph glyph,
                         const QSizeF& glyphSize, qreal radius);
    // A key carrying only a caption (ABOUT).
    static void CaptionKey(QPainter& p, const QSizeF& size, ButtonState state, const QString& caption);

    // The face of a key of this size and state; returns the colour of its glyphs and captions.
    static QColor Face(QPainter& p, const QSizeF& size, qreal radius, ButtonState state,
                       bool recordButton = false);
    // Content moves down a pixel when pressed, so the key reads as pushed in.
    static qreal PressOffset(ButtonState state) { return state == ButtonState::Pressed ? 1 : 0; }
};

}  // namespace corvana
