// The photo viewer on real JPEG, PNG, GIF and BMP files and on broken and hostile ones.
#include "ui/CPicture.h"

#include "MessageBoxWatcher.h"
#include "TestEnvironment.h"

#include <QBuffer>
#include <QImageReader>
#include <QImageWriter>
#include <QPainter>
#include <QPdfWriter>
#include <QRandomGenerator>
#include <gtest/gtest.h>

#include <cerrno>

using namespace corvana;

namespace {

const QString kNoMemory = QStringLiteral("Can not allocate enough memory\t");
const QString kUnsupported = QStringLiteral("IPicture interface is not supported\t");

int DotsPerMeter(int dpi)
{
    return qRound(dpi / 0.0254);
}

// Four quadrants: red, green / blue, yellow.
QImage Quadrants(int width, int height, int dpi)
{
    QImage image(width, height, QImage::Format_RGB32);
    QPainter painter(&image);
    painter.fillRect(0, 0, width / 2, height / 2, Qt::red);
    painter.fillRect(width / 2, 0, width - width / 2, height / 2, Qt::green);
    painter.fillRect(0, height / 2, width / 2, height - height / 2, Qt::blue);
    painter.fillRect(width / 2, height / 2, width - width / 2, height - height / 2, Qt::yellow);
    painter.end();
    image.setDotsPerMeterX(DotsPerMeter(dpi));
    image.setDotsPerMeterY(DotsPerMeter(dpi));
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

quint32 Crc32(const QByteArray& bytes)
{
    quint32 crc = 0xFFFFFFFFu;
    for (char c : bytes) {
        crc ^= quint8(c);
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

quint32 ReadBigEndian(const QByteArray& bytes, qsizetype at)
{
    return quint32(quint8(bytes[at])) << 24 | quint32(quint8(bytes[at + 1])) << 16 | quint32(quint8(bytes[at + 2])) << 8
        | quint32(quint8(bytes[at + 3]));
}

void WriteBigEndian(QByteArray& bytes, qsizetype at, quint32 value)
{
    for (int i = 0; i < 4; ++i)
        bytes[at + i] = char(value >> (24 - 8 * i));
}

// The PNG's chunks rewritten: without pHYs, and with IHDR claiming another size (CRC fixed).
QByteArray RewritePng(const QByteArray& png, bool dropResolution, QSize claimed = {})
{
    QByteArray out = png.left(8);
    for (qsizetype at = 8; at + 12 <= png.size();) {
        const qsizetype length = ReadBigEndian(png, at);
        QByteArray chunk = png.mid(at, length + 12);
        const QByteArray type = chunk.mid(4, 4);
        at += length + 12;
        if (type == "pHYs" && dropResolution)
            continue;
        if (type == "IHDR" && claimed.isValid()) {
            WriteBigEndian(chunk, 8, quint32(claimed.width()));
            WriteBigEndian(chunk, 12, quint32(claimed.height()));
            WriteBigEndian(chunk, 8 + length, Crc32(chunk.mid(4, length + 4)));
        }
        out += chunk;
    }
    return out;
}

// The JPEG's frame header claiming another size.
QByteArray ClaimJpegSize(QByteArray jpeg, int width, int height)
{
    const qsizetype sof = jpeg.indexOf(QByteArray("\xFF\xC0", 2));
    EXPECT_GT(sof, 0);
    jpeg[sof + 5] = char(height >> 8);
    jpeg[sof + 6] = char(height);
    jpeg[sof + 7] = char(width >> 8);
    jpeg[sof + 8] = char(width);
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

    TestEnvironment m_env;
    MessageBoxWatcher m_boxes{QMessageBox::Ok};
    CPicture m_picture;
};

TEST_F(PictureTest, PhotoSizesAreThePixelsAt96DotsPerInchAndOnEachDevice)
{
    const QByteArray jpeg = Encode(Quadrants(640, 480, 96), "JPEG");
    const QString path = Write(QStringLiteral("061231-235905.jpg"), jpeg);
    ASSERT_TRUE(m_picture.Load(path));
    ASSERT_TRUE(m_picture.m_image.has_value());
    EXPECT_EQ(m_picture.m_image->size(), QSize(640, 480));
    EXPECT_EQ(m_picture.m_widthPx, 640);
    EXPECT_EQ(m_picture.m_heightPx, 480);
    EXPECT_EQ(m_picture.m_dataSize, jpeg.size());

    // 16933 x 12700 hundredths of a millimetre on a 120-dpi screen.
    QImage screen120(10, 10, QImage::Format_RGB32);
    screen120.setDotsPerMeterX(DotsPerMeter(120));
    screen120.setDotsPerMeterY(DotsPerMeter(120));
    ASSERT_TRUE(m_picture.MeasureOnDevice(&screen120));
    EXPECT_EQ(m_picture.m_widthPx, 800);
    EXPECT_EQ(m_picture.m_heightPx, 600);

    QPdfWriter printer(m_env.Root() + QStringLiteral("/out.pdf"));
    printer.setResolution(600);
    ASSERT_TRUE(m_picture.MeasureOnDevice(&printer));
    EXPECT_EQ(m_picture.m_widthPx, 640);
    EXPECT_EQ(m_picture.m_heightPx, 480);
    EXPECT_TRUE(m_boxes.Seen().isEmpty());
}

TEST_F(PictureTest, PictureResolutionScalesTheSizeAndNoResolutionMeans96)
{
    ASSERT_TRUE(m_picture.Load(Write(QStringLiteral("72dpi.jpg"), Encode(Quadrants(640, 480, 72), "JPEG"))));
    EXPECT_EQ(m_picture.m_widthPx, 853);
    EXPECT_EQ(m_picture.m_heightPx, 640);

    const QByteArray bare = RewritePng(Encode(Quadrants(640, 480, 300), "PNG"), true);
    ASSERT_FALSE(bare.contains("pHYs"));
    ASSERT_TRUE(m_picture.Load(Write(QStringLiteral("bare.png"), bare)));
    EXPECT_EQ(m_picture.m_widthPx, 640);
    EXPECT_EQ(m_picture.m_heightPx, 480);
}

TEST_F(PictureTest, DrawStretchesTheWholePictureIntoTheRectangleOnly)
{
    ASSERT_TRUE(m_picture.Load(Write(QStringLiteral("q.png"), Encode(Quadrants(640, 480, 96), "PNG"))));
    QImage canvas(400, 300, QImage::Format_RGB32);
    canvas.fill(Qt::magenta);
    QPainter painter(&canvas);
    ASSERT_TRUE(m_picture.Draw(&painter, QRect(10, 20, 320, 239)));
    painter.end();
    EXPECT_TRUE(Near(canvas.pixel(10 + 80, 20 + 60), Qt::red));
    EXPECT_TRUE(Near(canvas.pixel(10 + 240, 20 + 60), Qt::green));
    EXPECT_TRUE(Near(canvas.pixel(10 + 80, 20 + 180), Qt::blue));
    EXPECT_TRUE(Near(canvas.pixel(10 + 240, 20 + 180), Qt::yellow));
    EXPECT_TRUE(Near(canvas.pixel(10, 20), Qt::red));
    EXPECT_TRUE(Near(canvas.pixel(329, 258), Qt::yellow));
    for (const QPoint& outside : {QPoint(9, 20), QPoint(10, 19), QPoint(330, 258), QPoint(329, 259), QPoint(399, 299)})
        EXPECT_EQ(canvas.pixel(outside), QColor(Qt::magenta).rgb()) << outside.x() << "," << outside.y();
}

TEST_F(PictureTest, GifBmpAndMemoryLoads)
{
    static const char gif[] = "GIF89a\x01\x00\x01\x00\x80\x00\x00\xff\xff\xff\x00\x00\x00!\xf9\x04\x01\x00\x00\x00\x00"
                              ",\x00\x00\x00\x00\x01\x00\x01\x00\x00\x02\x02\x44\x01\x00;";
    ASSERT_TRUE(m_picture.Load(Write(QStringLiteral("dot.gif"), QByteArray(gif, sizeof gif - 1))));
    EXPECT_EQ(m_picture.m_image->size(), QSize(1, 1));

    ASSERT_TRUE(m_picture.Load(Write(QStringLiteral("p.bmp"), Encode(Quadrants(33, 17, 96), "BMP"))));
    EXPECT_EQ(m_picture.m_widthPx, 33);
    EXPECT_EQ(m_picture.m_heightPx, 17);

    const QByteArray png = Encode(Quadrants(20, 10, 96), "PNG");
    EXPECT_TRUE(m_picture.LoadFromMemory(reinterpret_cast<const uchar*>(png.constData()), png.size()));
    EXPECT_EQ(m_picture.m_widthPx, 20);
    EXPECT_TRUE(m_picture.LoadFromMemory("no picture here", 15));
    EXPECT_FALSE(m_picture.m_image.has_value());
    EXPECT_EQ(m_picture.m_widthPx, 0);
    EXPECT_TRUE(m_boxes.Seen().isEmpty());
}

TEST_F(PictureTest, MissingFileShowsTheFileErrorAndDropsTheOldPicture)
{
    ASSERT_TRUE(m_picture.Load(Write(QStringLiteral("a.png"), Encode(Quadrants(64, 48, 96), "PNG"))));
    const QString missing = m_env.Root() + QStringLiteral("/missing photo.jpg");
    EXPECT_FALSE(m_picture.Load(missing));
    ASSERT_EQ(m_boxes.Seen().size(), 1);
    const SeenMessageBox& box = m_boxes.Seen().first();
    EXPECT_EQ(box.caption, QStringLiteral("CPicture Error"));
    EXPECT_EQ(box.icon, QMessageBox::Critical);
    EXPECT_EQ(box.buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
    EXPECT_TRUE(box.text.contains(missing));
    EXPECT_TRUE(box.text.contains(QString::fromStdString(std::generic_category().message(ENOENT))));
    EXPECT_FALSE(m_picture.m_image.has_value());
    EXPECT_EQ(m_picture.m_widthPx, 0);
    EXPECT_EQ(m_picture.m_heightPx, 0);
    EXPECT_EQ(m_picture.m_dataSize, 0);

    QImage canvas(50, 50, QImage::Format_RGB32);
    canvas.fill(Qt::white);
    QPainter painter(&canvas);
    EXPECT_FALSE(m_picture.Draw(&painter, QRect(0, 0, 50, 50)));
    painter.end();
    EXPECT_EQ(canvas.pixel(25, 25), QColor(Qt::white).rgb());

    m_boxes.Clear();
    EXPECT_FALSE(m_picture.Load(m_env.Root()));
    EXPECT_EQ(m_boxes.Seen().size(), 1);
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
    m_picture.Clear();
    EXPECT_EQ(m_picture.m_dataSize, 1000);  // Clear on an empty viewer changes nothing

    const QByteArray png = Encode(Quadrants(640, 480, 96), "PNG");
    EXPECT_FALSE(m_picture.Load(Write(QStringLiteral("cut.png"), png.left(png.size() / 2))));
    EXPECT_EQ(m_picture.m_dataSize, png.size() / 2);

    // A JPEG cut inside its headers has no picture data at all.
    const QByteArray jpeg = Encode(Quadrants(640, 480, 96), "JPEG");
    EXPECT_FALSE(m_picture.Load(Write(QStringLiteral("cut.jpg"), jpeg.left(100))));
    EXPECT_FALSE(m_picture.m_image.has_value());
    EXPECT_EQ(m_picture.m_widthPx, 0);

    QByteArray broken = jpeg;
    broken.replace(200, 400, QByteArray(400, '\0'));
    m_picture.Load(Write(QStringLiteral("broken.jpg"), broken));
    if (m_picture.m_image) {
        EXPECT_EQ(m_picture.m_image->size(), QSize(640, 480));
    }
    EXPECT_TRUE(m_boxes.Seen().isEmpty());
}

TEST_F(PictureTest, PictureClaimingAHugeSizeIsRefusedBeforeDecoding)
{
    const QByteArray png = RewritePng(Encode(Quadrants(64, 48, 96), "PNG"), false, QSize(100000, 100000));
    const QString path = Write(QStringLiteral("huge.png"), png);
    EXPECT_FALSE(m_picture.Load(path));
    EXPECT_EQ(m_boxes.Texts(), QStringList{kNoMemory});
    EXPECT_EQ(m_boxes.Seen().first().caption, QStringLiteral("CPicture Error"));
    EXPECT_EQ(m_boxes.Seen().first().icon, QMessageBox::Critical);
    EXPECT_FALSE(m_picture.m_image.has_value());
    EXPECT_EQ(m_picture.m_dataSize, png.size());

    m_boxes.Clear();
    const QByteArray jpeg = ClaimJpegSize(Encode(Quadrants(64, 48, 96), "JPEG"), 60000, 60000);
    EXPECT_FALSE(m_picture.Load(Write(QStringLiteral("huge.jpg"), jpeg)));
    EXPECT_EQ(m_boxes.Texts(), QStringList{kNoMemory});
    EXPECT_FALSE(m_picture.m_image.has_value());

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
    QByteArray tiff("II*\0\x08\0\0\0", 8);
    tiff += QByteArray(64, '\0');
    EXPECT_FALSE(m_picture.Load(Write(QStringLiteral("scan.tif"), tiff)));
    EXPECT_EQ(m_boxes.Texts(), QStringList{kUnsupported});
    EXPECT_EQ(m_picture.m_dataSize, tiff.size());
}

TEST_F(PictureTest, ClearAndCallsWithoutPictureOrDevice)
{
    EXPECT_FALSE(m_picture.MeasureOnDevice(nullptr));
    QImage canvas(10, 10, QImage::Format_RGB32);
    EXPECT_FALSE(m_picture.MeasureOnDevice(&canvas));
    ASSERT_TRUE(m_picture.Load(Write(QStringLiteral("c.png"), Encode(Quadrants(64, 48, 96), "PNG"))));
    EXPECT_FALSE(m_picture.Draw(nullptr, QRect(0, 0, 10, 10)));
    EXPECT_FALSE(m_picture.MeasureOnDevice(nullptr));
    EXPECT_EQ(m_picture.m_widthPx, 0);
    EXPECT_TRUE(m_picture.m_image.has_value());
    m_picture.Clear();
    EXPECT_FALSE(m_picture.m_image.has_value());
    EXPECT_EQ(m_picture.m_dataSize, 0);
    EXPECT_EQ(m_picture.m_widthPx, 0);
    EXPECT_EQ(m_picture.m_heightPx, 0);
}

} // namespace
