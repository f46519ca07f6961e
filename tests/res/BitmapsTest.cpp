#include "res/ArtStyle.h"
#include "res/Bitmaps.h"

#include <QImage>
#include <QRect>

#include <gtest/gtest.h>

#include <vector>

using namespace corvana;

namespace {

int ChannelDistance(QRgb a, QRgb b)
{
    return std::max({std::abs(qRed(a) - qRed(b)), std::abs(qGreen(a) - qGreen(b)), std::abs(qBlue(a) - qBlue(b))});
}

}  // namespace

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
