// Writes the fuzzer's seed corpus into the folder given: small pictures made here, one per format
// and variant (resolution set or not, alpha, palette), plus a GIF assembled byte by byte.
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QImageWriter>
#include <QPainter>

#include <cstdio>

namespace {

QImage Picture(int width, int height, QImage::Format format)
{
    QImage image(width, height, format);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.fillRect(0, 0, width / 2, height / 2, Qt::red);
    painter.fillRect(width / 2, height / 2, width - width / 2, height - height / 2, QColor(0, 0, 255, 128));
    painter.drawLine(0, height - 1, width - 1, 0);
    return image;
}

bool Write(const QString& folder, const QString& name, const QImage& image, const char* format, int quality = -1)
{
    QImageWriter writer(folder + QLatin1Char('/') + name, format);
    writer.setQuality(quality);
    if (writer.write(image))
        return true;
    std::fprintf(stderr, "cannot write %s: %s\n", qPrintable(name), qPrintable(writer.errorString()));
    return false;
}

} // namespace

int main(int argc, char* argv[])
{
    QGuiApplication application(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: picture_seeds FOLDER\n");
        return 2;
    }
    const QString folder = QString::fromLocal8Bit(argv[1]);
    QDir().mkpath(folder);

    bool ok = true;
    const QImage rgb = Picture(16, 12, QImage::Format_RGB32).convertToFormat(QImage::Format_RGB32);
    QImage dpi72 = rgb;
    dpi72.setDotsPerMeterX(2835);
    dpi72.setDotsPerMeterY(2835);
    ok &= Write(folder, QStringLiteral("tiny.jpg"), rgb, "jpeg", 75);
    ok &= Write(folder, QStringLiteral("tiny-72dpi.jpg"), dpi72, "jpeg", 20);
    ok &= Write(folder, QStringLiteral("gray.jpg"), rgb.convertToFormat(QImage::Format_Grayscale8), "jpeg", 50);
    ok &= Write(folder, QStringLiteral("tiny.png"), rgb, "png");
    ok &= Write(folder, QStringLiteral("alpha.png"), Picture(9, 7, QImage::Format_ARGB32), "png");
    ok &= Write(folder, QStringLiteral("palette.png"), rgb.convertToFormat(QImage::Format_Indexed8), "png");
    ok &= Write(folder, QStringLiteral("tiny.bmp"), rgb, "bmp");
    ok &= Write(folder, QStringLiteral("mono.bmp"), rgb.convertToFormat(QImage::Format_Mono), "bmp");
    ok &= Write(folder, QStringLiteral("tiny.ppm"), rgb, "ppm");
    ok &= Write(folder, QStringLiteral("tiny.ico"), Picture(16, 16, QImage::Format_ARGB32), "ico");

    // Qt reads GIF but does not write it: a 2 x 2 picture with a four-colour palette.
    static const unsigned char gif[] = {
        'G', 'I', 'F', '8', '9', 'a', 0x02, 0x00, 0x02, 0x00, 0x91, 0x00, 0x00,
        0xFF, 0x00, 0x00, 0x00, 0xFF, 0x00, 0x00, 0x00, 0xFF, 0xFF, 0xFF, 0xFF,
        0x21, 0xF9, 0x04, 0x01, 0x0A, 0x00, 0x03, 0x00,
        0x2C, 0x00, 0x00, 0x00, 0x00, 0x02, 0x00, 0x02, 0x00, 0x00,
        0x02, 0x03, 0x44, 0x34, 0x05, 0x00, 0x3B};
    QFile file(folder + QStringLiteral("/tiny.gif"));
    ok &= file.open(QIODevice::WriteOnly) && file.write(reinterpret_cast<const char*>(gif), sizeof gif) == qint64(sizeof gif);
    return ok ? 0 : 1;
}
