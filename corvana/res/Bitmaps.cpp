#include "res/Bitmaps.h"

#include "res/ArtStyle.h"
#include "res/ButtonArt.h"
#include "res/EmblemArt.h"
#include "res/Glyphs.h"
#include "res/IndicatorArt.h"
#include "res/SkinArt.h"

#include <QGuiApplication>
#include <QHash>
#include <QMutex>
#include <QPainter>

#include <array>
#include <functional>
#include <map>

namespace corvana {

namespace {

struct Artwork {
    QSize size;
    bool translucent = false;
    std::function<void(QPainter&)> paint;
};

using Catalogue = std::map<int, Artwork>;

const ButtonState kStates[] = {ButtonState::Normal, ButtonState::Hover, ButtonState::Pressed,
                               ButtonState::Disabled};

// Identifiers of one button's images in state order; 0 where the button has no such image.
using StateIds = std::array<int, 4>;

void AddButton(Catalogue& c, StateIds ids, QSize size,
               const std::function<void(QPainter&, const QSizeF&, ButtonState)>& paint)
{
    for (int i = 0; i < 4; ++i) {
        if (ids[i] == 0)
            continue;
        const ButtonState state = kStates[i];
        c[ids[i]] = {size, false, [paint, size, state](QPainter& p) { paint(p, QSizeF(size), state); }};
    }
}

void AddTransport(Catalogue& c, StateIds ids, QSize size, ButtonArt::Glyph glyph, const char* caption,
                  bool record = false)
{
    // Translated when painted: the catalogue of the user's language is loaded by then.
    AddButton(c, ids, size, [=](QPainter& p, const QSizeF& s, ButtonState state) {
        ButtonArt::Transport(p, s, state, glyph, ArtStyle::Caption(caption), record);
    });
}

void AddMode(Catalogue& c, StateIds ids, ButtonArt::Glyph glyph)
{
    AddButton(c, ids, QSize(40, 40), [=](QPainter& p, const QSizeF& s, ButtonState state) {
        ButtonArt::Mode(p, s, state, glyph);
    });
}

constexpr int kSkin = 148;
constexpr int kPreviewPlaceholder = 176;
constexpr int kIcon = 128;

// Level 8 (full) comes first in the numbering, levels 1 to 7 follow it.
int LevelBitmap(int level)
{
    return level == IndicatorArt::kLevels ? 178 : 178 + level;
}

Catalogue BuildCatalogue()
{
    Catalogue c;
    c[kSkin] = {SkinArt::kSize.toSize(), false, [](QPainter& p) { SkinArt::Paint(p); }};
    c[kPreviewPlaceholder] = {QSize(320, 239), false,
                                    [](QPainter& p) { IndicatorArt::PreviewPlaceholder(p, QSizeF(320, 239)); }};
    c[kIcon] = {QSize(128, 128), true, [](QPainter& p) { EmblemArt::Icon(p, 128); }};

    const QSize transport(52, 15);
    AddTransport(c, {137, 138, 139, 0}, QSize(82, 15), &Glyphs::Play, QT_TRANSLATE_NOOP("Artwork", "Play"));
    AddTransport(c, {143, 144, 145, 0}, transport, nullptr, QT_TRANSLATE_NOOP("Artwork", "Previous"));
    AddTransport(c, {146, 147, 133, 0}, transport, &Glyphs::Stop, QT_TRANSLATE_NOOP("Artwork", "Stop"));
    AddTransport(c, {134, 135, 136, 0}, transport, nullptr, QT_TRANSLATE_NOOP("Artwork", "Next"));
    AddTransport(c, {140, 141, 142, 195}, transport, &Glyphs::RecordDot, QT_TRANSLATE_NOOP("Artwork", "Record"), true);

    AddMode(c, {159, 160, 161, 0}, &Glyphs::Microphone);
    AddMode(c, {153, 154, 155, 0}, &Glyphs::Voices);
    AddMode(c, {162, 163, 152, 0}, &Glyphs::VideoCamera);
    AddMode(c, {156, 157, 158, 0}, &Glyphs::PhotoCamera);
    // Solo's disabled image is larger than the button, which shows its top-left 40 x 40.
    c[196] = {QSize(44, 44), false, [](QPainter& p) {
                  p.fillRect(QRect(0, 0, 44, 44), ArtStyle::Colour(ArtStyle::kWell));
                  ButtonArt::Mode(p, QSizeF(40, 40), ButtonState::Disabled, &Glyphs::Microphone);
              }};

    AddButton(c, {150, 151, 149, 0}, QSize(30, 26), [](QPainter& p, const QSizeF& s, ButtonState state) {
        ButtonArt::GlyphKey(p, s, state, &Glyphs::Cross, QSizeF(10, 10), 4);
    });
    AddButton(c, {174, 175, 173, 0}, QSize(53, 21), [](QPainter& p, const QSizeF& s, ButtonState state) {
        ButtonArt::CaptionKey(p, s, state, ArtStyle::Caption(QT_TRANSLATE_NOOP("Artwork", "ABOUT")));
    });
    AddButton(c, {190, 191, 186, 0}, QSize(20, 20), [](QPainter& p, const QSizeF& s, ButtonState state) {
        ButtonArt::GlyphKey(p, s, state, &Glyphs::ArrowUp, QSizeF(8, 8), 3);
    });
    AddButton(c, {187, 188, 189, 0}, QSize(20, 20), [](QPainter& p, const QSizeF& s, ButtonState state) {
        ButtonArt::GlyphKey(p, s, state, &Glyphs::ArrowDown, QSizeF(8, 8), 3);
    });

    for (int level = 1; level <= IndicatorArt::kLevels; ++level)
        c[LevelBitmap(level)] = {QSize(36, 35), false,
                                       [level](QPainter& p) { IndicatorArt::VolumeLevel(p, QSizeF(36, 35), level); }};
    return c;
}

const Catalogue& TheCatalogue()
{
    static const Catalogue catalogue = BuildCatalogue();
    return catalogue;
}

QImage Paint(const Artwork& art, int scale)
{
    QImage image(art.size * scale, art.translucent ? QImage::Format_ARGB32_Premultiplied : QImage::Format_RGB32);
    image.setDevicePixelRatio(scale);
    image.fill(art.translucent ? QColor(Qt::transparent) : ArtStyle::Colour(ArtStyle::kKey));
    QPainter p(&image);
    art.paint(p);
    p.end();
    return image;
}

}  // namespace

QImage BitmapImage(int id)
{
    return BitmapImage(id, 1);
}

QImage BitmapImage(int id, int scale)
{
    const Catalogue& catalogue = TheCatalogue();
    const auto it = catalogue.find(id);
    if (it == catalogue.end() || (scale != 1 && scale != 2))
        return {};
    static QMutex mutex;
    static QHash<int, QImage> cache;
    const int key = id * 2 + (scale - 1);
    QMutexLocker lock(&mutex);
    auto cached = cache.constFind(key);
    if (cached != cache.constEnd())
        return *cached;
    const QImage image = Paint(it->second, scale);
    cache.insert(key, image);
    return image;
}

QPixmap LoadBitmap(int id)
{
    if (!qGuiApp)
        return {};
    const int scale = qGuiApp->devicePixelRatio() > 1.5 ? 2 : 1;
    const QImage image = BitmapImage(id, scale);
    return image.isNull() ? QPixmap() : QPixmap::fromImage(image);
}

QSize BitmapSize(int id)
{
    const Catalogue& catalogue = TheCatalogue();
    const auto it = catalogue.find(id);
    return it == catalogue.end() ? QSize() : it->second.size;
}

QList<int> BitmapIds()
{
    QList<int> ids;
    for (const auto& entry : TheCatalogue())
        ids.append(entry.first);
    return ids;
}

QIcon ProgramIcon()
{
    // Painted once: each new icon would add its scaled copies to Qt's pixmap cache at every
    // opening of the window, and the resident program would grow by them.
    // Kept to the end of the process, past the application object its pixmaps belong to.
    static const QIcon* icon = [] {
        auto* painted = new QIcon;
        for (int size : {16, 22, 24, 32, 48, 64, 128, 256})
            painted->addPixmap(QPixmap::fromImage(EmblemArt::IconImage(size)));
        return painted;
    }();
    return *icon;
}

QRgb SkinKeyColour()
{
    return ArtStyle::kKey;
}

}  // namespace corvana
