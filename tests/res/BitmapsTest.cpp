#include "res/ArtStyle.h"
#include "res/Bitmaps.h"

#include <QFontInfo>
#include <QImage>
#include <QRect>

#include <gtest/gtest.h>

#include <map>
#include <vector>

using namespace corvana;

namespace {

const std::map<int, QSize>& ListedSizes()
{
    static const std::map<int, QSize> sizes = [] {
        const std::pair<QSize, std::vector<int>> groups[] = {
            {{82, 15}, {137, 138, 139}}, {{30, 26}, {150, 151, 149}}, {{53, 21}, {174, 175, 173}},
            {{52, 15}, {143, 144, 145, 134, 135, 136, 140, 141, 142, 195, 146, 147, 133}},
            {{40, 40}, {159, 160, 161, 153, 154, 155, 162, 163, 152, 156, 157, 158}},
            {{20, 20}, {190, 191, 186, 187, 188, 189}}, {{36, 35}, {178, 179, 180, 181, 182, 183, 184, 185}},
            {{44, 44}, {196}}, {{500, 618}, {148}}, {{320, 239}, {176}}, {{128, 128}, {128}}};
        std::map<int, QSize> s;
        for (const auto& [size, ids] : groups)
            for (int id : ids)
                s[id] = size;
        return s;
    }();
    return sizes;
}

struct Button {
    const char* name;
    int normal, hover, pressed, disabled;
    QPoint place;
};

const std::vector<Button>& Buttons()
{
    static const std::vector<Button> buttons = {
        {"Play", 137, 138, 139, 0, {52, 406}},      {"Previous", 143, 144, 145, 0, {140, 406}},
        {"Stop", 146, 147, 133, 0, {198, 406}},     {"Next", 134, 135, 136, 0, {258, 406}},
        {"Record", 140, 141, 142, 195, {316, 406}}, {"Exit", 150, 151, 149, 0, {462, 6}},
        {"ABOUT", 174, 175, 173, 0, {412, 120}},    {"Solo", 159, 160, 161, 196, {406, 156}},
        {"Conference", 153, 154, 155, 0, {406, 216}}, {"Video", 162, 163, 152, 0, {406, 276}},
        {"Photo", 156, 157, 158, 0, {406, 336}},    {"volume up", 190, 191, 186, 0, {386, 400}},
        {"volume down", 187, 188, 189, 0, {386, 424}},
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

TEST(Bitmaps, EveryListedIdExistsAtExactlyItsSize)
{
    QList<int> expected;
    for (const auto& [id, size] : ListedSizes()) {
        expected.append(id);
        SCOPED_TRACE(id);
        EXPECT_EQ(BitmapSize(id), size);
        EXPECT_EQ(BitmapImage(id).size(), size);
        EXPECT_EQ(LoadBitmap(id).deviceIndependentSize().toSize(), size);
        const QImage dense = BitmapImage(id, 2);
        EXPECT_EQ(dense.size(), size * 2);
        EXPECT_EQ(dense.deviceIndependentSize().toSize(), size);
    }
    EXPECT_EQ(BitmapIds(), expected);
}

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
