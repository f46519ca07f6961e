#include "capture/DibFile.h"

#include "library/SyncedFile.h"

#include <cerrno>

#include <QFile>
#include <QtEndian>
#include <cstring>

namespace corvana {

namespace {

template <typename T>
void Put(char*& out, T value)
{
    qToLittleEndian(value, out);
    out += sizeof(T);
}

} // namespace

QByteArray DibFile::Encode(const QImage& frame)
{
    const QImage image = frame.format() == QImage::Format_RGB32 ? frame : frame.convertToFormat(QImage::Format_RGB32);
    const qint64 width = image.width();
    const qint64 height = image.height();
    const qint64 pixelBytes = width * height * 4;
    if (image.isNull() || 54 + pixelBytes > INT32_MAX)
        return {};
    QByteArray file(static_cast<qsizetype>(54 + pixelBytes), Qt::Uninitialized);
    char* out = file.data();
    *out++ = 'B';
    *out++ = 'M';
    Put<quint32>(out, static_cast<quint32>(file.size()));
    Put<quint16>(out, 0);
    Put<quint16>(out, 0);
    Put<quint32>(out, 54);
    Put<quint32>(out, 40);                              // information header size
    Put<qint32>(out, static_cast<qint32>(width));
    Put<qint32>(out, static_cast<qint32>(height));      // positive: rows bottom-up
    Put<quint16>(out, 1);                               // planes
    Put<quint16>(out, 32);                              // bits per pixel
    Put<quint32>(out, 0);                               // uncompressed
    Put<quint32>(out, static_cast<quint32>(pixelBytes));
    Put<qint32>(out, 0);
    Put<qint32>(out, 0);
    Put<quint32>(out, 0);
    Put<quint32>(out, 0);
    // A 32-bit RGB image row in memory is B, G, R, x per pixel on this little-endian layout.
    const qsizetype rowBytes = static_cast<qsizetype>(width * 4);
    for (qint64 y = height - 1; y >= 0; --y) {
        std::memcpy(out, image.constScanLine(static_cast<int>(y)), static_cast<size_t>(rowBytes));
        out += rowBytes;
    }
    return file;
}

int DibFile::Write(const QString& path, const QImage& frame)
{
    const QByteArray bytes = Encode(frame);
    return bytes.isEmpty() ? EINVAL : SyncedFile::Write(path, bytes);
}

} // namespace corvana
