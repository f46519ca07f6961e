// The photo viewer on real pictures and on missing, broken and hostile files.
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
#include <tuple>

using namespace corvana;

namespace {

// Four quadrants: red, green / blue, yellow.
QByteArray Quadrants(int width, int height, const char* format)
{
    QImage image(width, height, QImage::Format_RGB32);
    QPainter painter(&image);
    painter.fillRect(0, 0, width / 2, height / 2, Qt::red);
    painter.fillRect(width / 2, 0, width - width / 2, height / 2, Qt::green);
    painter.fillRect(0, height / 2, width / 2, height - height / 2, Qt::blue);
    painter.fillRect(width / 2, height / 2, width - width / 2, height - height / 2, Qt::yellow);
    painter.end();
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    EXPECT_TRUE(QImageWriter(&buffer, format).write(image));
    return bytes;
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

TEST_F(PictureTest, DrawStretchesTheWholePictureIntoTheRectangleOnly)
{
    ASSERT_TRUE(m_picture.Load(Write(QStringLiteral("q.png"), Quadrants(640, 480, "PNG"))));
    QImage canvas(400, 300, QImage::Format_RGB32);
    canvas.fill(Qt::magenta);
    QPainter painter(&canvas);
    ASSERT_TRUE(m_picture.Draw(&painter, QRect(10, 20, 320, 239)));
    painter.end();
    // Quadrant centres and the rectangle's corner inside; magenta, untouched, just outside.
    const std::pair<QPoint, Qt::GlobalColor> expected[] = {
        {{90, 80}, Qt::red}, {{250, 80}, Qt::green}, {{90, 200}, Qt::blue}, {{329, 258}, Qt::yellow},
        {{9, 20}, Qt::magenta}, {{330, 258}, Qt::magenta}, {{329, 259}, Qt::magenta}};
    for (const auto& [at, colour] : expected) {
        const QColor got(canvas.pixel(at)), want(colour);
        EXPECT_LT(std::max({qAbs(got.red() - want.red()), qAbs(got.green() - want.green()), qAbs(got.blue() - want.blue())}),
                  colour == Qt::magenta ? 1 : 40) << at.x() << "," << at.y();
    }
}

// A file that is missing, or holds no picture, drops the picture held before; only the missing
// file, a picture too large to decode and a format without a decoder are reported.
TEST_F(PictureTest, MissingBrokenAndHostileFilesGiveNoPictureAndAClearMessageWhereOneIsDue)
{
    QByteArray noise(1000, '\0');
    QRandomGenerator(42).fillRange(reinterpret_cast<quint32*>(noise.data()), noise.size() / 4);
    const QByteArray png = Quadrants(640, 480, "PNG");
    // A JPEG whose frame header claims 60000 x 60000 pixels.
    QByteArray huge = Quadrants(64, 48, "JPEG");
    const qsizetype sof = huge.indexOf(QByteArray("\xFF\xC0", 2));
    ASSERT_GT(sof, 0);
    qToBigEndian(quint16(60000), huge.data() + sof + 5);
    qToBigEndian(quint16(60000), huge.data() + sof + 7);
    const bool tiffDecoder = QImageReader::supportedImageFormats().contains("tiff");
    const QString missing = m_env.Root() + QStringLiteral("/missing photo.jpg");
    const struct {
        QString path;
        qint64 dataSize;
        QString message; // empty: none
    } cases[] = {
        {missing, 0, QString::fromStdString(std::generic_category().message(ENOENT))},
        {Write(QStringLiteral("empty.jpg"), {}), 0, {}},
        {Write(QStringLiteral("noise.jpg"), noise), 1000, {}},
        {Write(QStringLiteral("cut.png"), png.left(png.size() / 2)), png.size() / 2, {}},
        {Write(QStringLiteral("huge.jpg"), huge), huge.size(), QStringLiteral("Can not allocate enough memory\t")},
        {Write(QStringLiteral("scan.tif"), QByteArray("II*\0\x08\0\0\0", 8) + QByteArray(64, '\0')), 72,
         tiffDecoder ? QString() : QStringLiteral("IPicture interface is not supported\t")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path.toStdString());
        ASSERT_TRUE(m_picture.Load(Write(QStringLiteral("a.png"), Quadrants(64, 48, "PNG"))));
        m_boxes.Clear();
        EXPECT_FALSE(m_picture.Load(c.path));
        EXPECT_FALSE(m_picture.m_image.has_value());
        EXPECT_EQ(std::tuple(m_picture.m_widthPx, m_picture.m_heightPx, m_picture.m_dataSize), std::tuple(0, 0, c.dataSize));
        if (c.message.isEmpty()) {
            EXPECT_TRUE(m_boxes.Seen().isEmpty());
            continue;
        }
        ASSERT_EQ(m_boxes.Seen().size(), 1);
        const SeenMessageBox& box = m_boxes.Seen().first();
        EXPECT_TRUE(box.caption == QStringLiteral("CPicture Error") && box.icon == QMessageBox::Critical);
        EXPECT_TRUE(box.text.contains(c.message) && (c.path != missing || box.text.contains(missing))) << box.text.toStdString();
    }

    // Unattended decoding of the huge picture refuses it without a message; memory that holds
    // no picture is simply no picture.
    m_boxes.Clear();
    CPicture::SetQuiet(true);
    EXPECT_FALSE(m_picture.LoadFromMemory(huge.constData(), huge.size()));
    CPicture::SetQuiet(false);
    EXPECT_TRUE(m_picture.LoadFromMemory("no picture here", 15));
    EXPECT_FALSE(m_picture.m_image.has_value());
    EXPECT_TRUE(m_boxes.Seen().isEmpty());
}

} // namespace
