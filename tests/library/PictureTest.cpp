// The photo viewer on real JPEG, PNG, GIF and BMP files and on broken and hostile ones.
#include "ui/CPicture.h"

#include "MessageBoxWatcher.h"
#include "TestEnvironment.h"

#include <QBuffer>
#include <QImageReader>
#include <QImageWriter>
#include <QPainter>
#include <QRandomGenerator>
#include <QtEndian>
#include <gtest/gtest.h>

#include <cerrno>

using namespace corvana;

namespace {

const QString kNoMemory = QStringLiteral("Can not allocate enough memory\t");
const QString kUnsupported = QStringLiteral("IPicture interface is not supported\t");

// Four quadrants: red, green / blue, yellow.
QImage Quadrants(int width, int height, int dpi = 96)
{
    QImage image(width, height, QImage::Format_RGB32);
    QPainter painter(&image);
    painter.fillRect(0, 0, width / 2, height / 2, Qt::red);
    painter.fillRect(width / 2, 0, width - width / 2, height / 2, Qt::green);
    painter.fillRect(0, height / 2, width / 2, height - height / 2, Qt::blue);
    painter.fillRect(width / 2, height / 2, width - width / 2, height - height / 2, Qt::yellow);
    painter.end();
    image.setDotsPerMeterX(qRound(dpi / 0.0254));
    image.setDotsPerMeterY(qRound(dpi / 0.0254));
    return image;
}

QByteArray Encode(const QImage& image, const char* format)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, format);
    EXPECT_TRUE(writer.write(image)) << writer.errorString().toStdString();
    return bytes;
}

// The JPEG's frame header claiming another size.
QByteArray ClaimJpegSize(QByteArray jpeg, int width, int height)
{
    const qsizetype sof = jpeg.indexOf(QByteArray("\xFF\xC0", 2));
    EXPECT_GT(sof, 0);
    qToBigEndian(quint16(height), jpeg.data() + sof + 5);
    qToBigEndian(quint16(width), jpeg.data() + sof + 7);
    return jpeg;
}

bool Near(QRgb a, QColor b)
{
    return qAbs(qRed(a) - b.red()) < 40 && qAbs(qGreen(a) - b.green()) < 40 && qAbs(qBlue(a) - b.blue()) < 40;
}

class PictureTest : public ::testing::Test {
protected:
    QString Write(const QString& name, const QByteArray& bytes) const
    {
        const QString path = m_env.Root() + QLatin1Char('/') + name;
        TestEnvironment::WriteFile(path, bytes);
        return path;
    }
    QSize Sizes() const { return {m_picture.m_widthPx, m_picture.m_heightPx}; }

    TestEnvironment m_env;
    MessageBoxWatcher m_boxes{QMessageBox::Ok};
    CPicture m_picture;
};

TEST_F(PictureTest, DrawStretchesTheWholePictureIntoTheRectangleOnly)
{
    ASSERT_TRUE(m_picture.Load(Write(QStringLiteral("q.png"), Encode(Quadrants(640, 480), "PNG"))));
    QImage canvas(400, 300, QImage::Format_RGB32);
    canvas.fill(Qt::magenta);
    QPainter painter(&canvas);
    ASSERT_TRUE(m_picture.Draw(&painter, QRect(10, 20, 320, 239)));
    painter.end();
    // Quadrant centres and the rectangle's corners inside; magenta, untouched, just outside.
    const std::pair<QPoint, Qt::GlobalColor> expected[] = {
        {{90, 80}, Qt::red}, {{250, 80}, Qt::green}, {{90, 200}, Qt::blue}, {{329, 258}, Qt::yellow},
        {{9, 20}, Qt::magenta}, {{330, 258}, Qt::magenta}, {{329, 259}, Qt::magenta}};
    for (const auto& [at, colour] : expected) {
        if (colour == Qt::magenta) {
            EXPECT_EQ(canvas.pixel(at), QColor(colour).rgb()) << at.x() << "," << at.y();
        } else {
            EXPECT_TRUE(Near(canvas.pixel(at), colour)) << at.x() << "," << at.y();
        }
    }
}

TEST_F(PictureTest, MemoryWithoutAPictureLeavesNone)
{
    const QByteArray png = Encode(Quadrants(20, 10), "PNG");
    EXPECT_TRUE(m_picture.LoadFromMemory(reinterpret_cast<const uchar*>(png.constData()), png.size()));
    EXPECT_EQ(Sizes(), QSize(20, 10));
    EXPECT_TRUE(m_picture.LoadFromMemory("no picture here", 15));
    EXPECT_FALSE(m_picture.m_image.has_value());
    EXPECT_EQ(Sizes(), QSize(0, 0));
    EXPECT_TRUE(m_boxes.Seen().isEmpty());
}

TEST_F(PictureTest, MissingFileShowsTheFileErrorAndDropsTheOldPicture)
{
    ASSERT_TRUE(m_picture.Load(Write(QStringLiteral("a.png"), Encode(Quadrants(64, 48), "PNG"))));
    const QString missing = m_env.Root() + QStringLiteral("/missing photo.jpg");
    EXPECT_FALSE(m_picture.Load(missing));
    ASSERT_EQ(m_boxes.Seen().size(), 1);
    const SeenMessageBox& box = m_boxes.Seen().first();
    EXPECT_EQ(box.caption, QStringLiteral("CPicture Error"));
    EXPECT_EQ(box.icon, QMessageBox::Critical);
    EXPECT_TRUE(box.text.contains(missing));
    EXPECT_TRUE(box.text.contains(QString::fromStdString(std::generic_category().message(ENOENT))));
    EXPECT_FALSE(m_picture.m_image.has_value());
    EXPECT_EQ(Sizes(), QSize(0, 0));
    EXPECT_EQ(m_picture.m_dataSize, 0);

    QImage canvas(50, 50, QImage::Format_RGB32);
    canvas.fill(Qt::white);
    QPainter painter(&canvas);
    EXPECT_FALSE(m_picture.Draw(&painter, QRect(0, 0, 50, 50)));
    painter.end();
    EXPECT_EQ(canvas.pixel(25, 25), QColor(Qt::white).rgb());
}

TEST_F(PictureTest, EmptyCorruptAndTruncatedFilesGiveNoPictureAndNoMessage)
{
    EXPECT_FALSE(m_picture.Load(Write(QStringLiteral("empty.jpg"), {})));
    EXPECT_EQ(m_picture.m_dataSize, 0);

    QByteArray noise(1000, '\0');
    QRandomGenerator random(42);
    for (char& c : noise)
        c = char(random.bounded(256));
    EXPECT_FALSE(m_picture.Load(Write(QStringLiteral("noise.jpg"), noise)));
    EXPECT_EQ(m_picture.m_dataSize, 1000);

    const QByteArray png = Encode(Quadrants(640, 480), "PNG");
    EXPECT_FALSE(m_picture.Load(Write(QStringLiteral("cut.png"), png.left(png.size() / 2))));
    EXPECT_EQ(m_picture.m_dataSize, png.size() / 2);

    // A JPEG cut inside its headers has no picture data at all.
    const QByteArray jpeg = Encode(Quadrants(640, 480), "JPEG");
    EXPECT_FALSE(m_picture.Load(Write(QStringLiteral("cut.jpg"), jpeg.left(100))));
    EXPECT_FALSE(m_picture.m_image.has_value());
    EXPECT_EQ(Sizes(), QSize(0, 0));
    EXPECT_TRUE(m_boxes.Seen().isEmpty());
}

TEST_F(PictureTest, PictureClaimingAHugeSizeIsRefusedBeforeDecoding)
{
    const QByteArray jpeg = ClaimJpegSize(Encode(Quadrants(64, 48), "JPEG"), 60000, 60000);
    EXPECT_FALSE(m_picture.Load(Write(QStringLiteral("huge.jpg"), jpeg)));
    EXPECT_EQ(m_boxes.Texts(), QStringList{kNoMemory});
    EXPECT_EQ(m_boxes.Seen().first().caption, QStringLiteral("CPicture Error"));
    EXPECT_EQ(m_boxes.Seen().first().icon, QMessageBox::Critical);
    EXPECT_FALSE(m_picture.m_image.has_value());
    EXPECT_EQ(m_picture.m_dataSize, jpeg.size());

    m_boxes.Clear();
    CPicture::SetQuiet(true);
    EXPECT_FALSE(m_picture.LoadFromMemory(jpeg.constData(), jpeg.size()));
    CPicture::SetQuiet(false);
    EXPECT_TRUE(m_boxes.Seen().isEmpty());
}

TEST_F(PictureTest, PictureFormatWithoutDecoderIsReported)
{
    if (QImageReader::supportedImageFormats().contains("tiff"))
        GTEST_SKIP() << "a TIFF decoder is installed";
    const QByteArray tiff = QByteArray("II*\0\x08\0\0\0", 8) + QByteArray(64, '\0');
    EXPECT_FALSE(m_picture.Load(Write(QStringLiteral("scan.tif"), tiff)));
    EXPECT_EQ(m_boxes.Texts(), QStringList{kUnsupported});
    EXPECT_EQ(m_picture.m_dataSize, tiff.size());
}

} // namespace
