#include "res/ArtStyle.h"
#include "res/Bitmaps.h"

#include <QImage>
#include <QRect>

#include <gtest/gtest.h>

#include <vector>

using namespace corvana;

namespace {

struct Button {
    const char* name;
    int normal, hover, pressed, disabled;
};

const std::vector<Button>& Buttons()
{
    static const std::vector<Button> buttons = {
        {"Play", 137, 138, 139, 0},      {"Previous", 143, 144, 145, 0},
        {"Stop", 146, 147, 133, 0},     {"Next", 134, 135, 136, 0},
        {"Record", 140, 141, 142, 195}, {"Exit", 150, 151, 149, 0},
        {"ABOUT", 174, 175, 173, 0},    {"Solo", 159, 160, 161, 196},
        {"Conference", 153, 154, 155, 0}, {"Video", 162, 163, 152, 0},
        {"Photo", 156, 157, 158, 0},    {"volume up", 190, 191, 186, 0},
        {"volume down", 187, 188, 189, 0},
    };
    return buttons;
}

int ChannelDistance(QRgb a, QRgb b)
{
    return std::max({std::abs(qRed(a) - qRed(b)), std::abs(qGreen(a) - qGreen(b)), std::abs(qBlue(a) - qBlue(b))});
}

// Share of pixels (0..1) that differ by more than a faint shade.
double DifferingShare(const QImage& a, const QImage& b)
{
    EXPECT_EQ(a.size(), b.size());
    int differing = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x)
            differing += ChannelDistance(a.pixel(x, y), b.pixel(x, y)) > 12;
    return double(differing) / (a.width() * a.height());
}

}  // namespace

TEST(Bitmaps, EveryStateDiffersClearlyFromTheOthers)
{
    for (const Button& b : Buttons()) {
        SCOPED_TRACE(b.name);
        std::vector<std::pair<const char*, QImage>> states = {
            {"normal", BitmapImage(b.normal)}, {"hover", BitmapImage(b.hover)}, {"pressed", BitmapImage(b.pressed)}};
        if (b.disabled)
            states.push_back({"disabled", BitmapImage(b.disabled).copy(QRect(QPoint(0, 0), BitmapSize(b.normal)))});
        for (size_t i = 0; i < states.size(); ++i) {
            for (size_t j = i + 1; j < states.size(); ++j) {
                SCOPED_TRACE(std::string(states[i].first) + " / " + states[j].first);
                EXPECT_GT(DifferingShare(states[i].second, states[j].second), 0.3);
            }
        }
    }
}

TEST(Bitmaps, SkinCornersShareOneKeyColourThatTheBodyNeverComesNear)
{
    const QImage skin = BitmapImage(148);
    const QRgb key = SkinKeyColour();
    const int w = skin.width(), h = skin.height();
    for (QPoint corner : {QPoint(0, 0), QPoint(w - 1, 0), QPoint(0, h - 1), QPoint(w - 1, h - 1)})
        EXPECT_EQ(skin.pixel(corner), key) << corner.x() << "," << corner.y();
    EXPECT_NE(skin.pixel(w / 2, h / 2), key);

    // A window shaped by taking out pixels within 16 per channel of the key loses only its
    // rounded corners, never a pixel of the body or a control's place.
    const int corner = 6;
    int keyed = 0;
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            if (ChannelDistance(skin.pixel(x, y), key) > 16)
                continue;
            ++keyed;
            ASSERT_TRUE((x < corner || x >= w - corner) && (y < corner || y >= h - corner))
                << "key-like pixel at " << x << "," << y;
        }
    }
    EXPECT_GT(keyed, 4 * 3);
}
