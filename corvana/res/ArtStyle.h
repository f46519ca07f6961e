#pragma once

#include <QColor>
#include <QFont>
#include <QRgb>

namespace corvana {

// The shared look of every painted bitmap: one palette and one font family, so the skin and
// the buttons drawn on it stay consistent when either changes.
class ArtStyle {
public:
    // Pixels of exactly this colour (and the antialiased edge shading into it) lie outside the
    // skin's rounded outline; nothing inside the body comes within 16 per channel of it.
    static constexpr QRgb kKey = 0xff000000;

    static constexpr QRgb kBodyTop = 0xff2b2e34;
    static constexpr QRgb kBodyBottom = 0xff1f2125;
    static constexpr QRgb kEdgeLight = 0xff4a4f58;
    static constexpr QRgb kEdgeDark = 0xff15171a;
    static constexpr QRgb kStripTop = 0xff1d1f23;
    static constexpr QRgb kStripBottom = 0xff191b1e;
    static constexpr QRgb kWell = 0xff17191c;
    static constexpr QRgb kWellShadow = 0xff111316;
    static constexpr QRgb kWellLight = 0xff3a3e45;
    static constexpr QRgb kScreen = 0xff131518;

    static constexpr QRgb kText = 0xffd3d8df;
    static constexpr QRgb kTextMuted = 0xff9097a1;
    static constexpr QRgb kTextFaint = 0xff5d636c;

    static constexpr QRgb kFaceTop = 0xff3b3f46;
    static constexpr QRgb kFaceBottom = 0xff2e3137;
    static constexpr QRgb kFaceBorder = 0xff4b5058;
    static constexpr QRgb kInk = 0xffb9c0ca;

    static constexpr QRgb kAccent = 0xff2bb3a3;
    static constexpr QRgb kAccentDeep = 0xff1e8d80;
    static constexpr QRgb kRecord = 0xffe0443e;
    static constexpr QRgb kRecordDeep = 0xffb3302b;
    static constexpr QRgb kInkOnAccent = 0xff0b1614;

    static QColor Colour(QRgb rgb) { return QColor::fromRgba(rgb); }

    // DejaVu Sans with full hinting and greyscale antialiasing: small captions stay crisp and
    // render identically whatever the platform's subpixel or hinting settings are.
    static QFont Font(qreal pixelSize, QFont::Weight weight = QFont::Normal, qreal letterSpacing = 0);
    // The font above, a pixel smaller at a time (down to six) until the text fits in `room`: a
    // caption in another language may be longer than the English one the button was drawn for.
    static QFont FittingFont(const QString& text, qreal room, qreal pixelSize, QFont::Weight weight = QFont::Normal,
                             qreal letterSpacing = 0);
    // The caption painted for an English text, in the user's language.
    static QString Caption(const char* english);
};

}  // namespace corvana
