#include "ui/CPicture.h"

#include "library/LongPath.h"
#include "library/NativeName.h"
#include "support/Logging.h"
#include "support/MessageBox.h"

#include <QApplication>
#include <QBuffer>
#include <QImageReader>
#include <QMimeDatabase>
#include <QPagedPaintDevice>
#include <QPaintDevice>
#include <QPainter>

#include <cerrno>
#include <fcntl.h>
#include <limits>
#include <new>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

namespace corvana {

namespace {

const char* const kCaption = QT_TRANSLATE_NOOP("CPicture", "CPicture Error");
const char* const kNoMemoryText = QT_TRANSLATE_NOOP("CPicture", "Can not allocate enough memory\t");
const char* const kUnsupportedText = QT_TRANSLATE_NOOP("CPicture", "IPicture interface is not supported\t");

QString Translated(const char* text) { return QCoreApplication::translate("CPicture", text); }

constexpr int kHimetricPerInch = 2540;
constexpr int kDefaultDpi = 96;

bool g_quiet = false;

// a * b / c rounded to the nearest integer, halves away from zero, kept within 32 bits.
std::int32_t MulDiv(qint64 a, qint64 b, qint64 c)
{
    if (c == 0)
        return -1;
    const qint64 product = a * b;
    const qint64 half = c / 2;
    const qint64 result = ((product < 0) != (c < 0)) ? (product - half) / c : (product + half) / c;
    constexpr qint64 low = std::numeric_limits<std::int32_t>::min();
    constexpr qint64 high = std::numeric_limits<std::int32_t>::max();
    return std::int32_t(qBound(low, result, high));
}

// The resolution a picture declares, or 96 when it declares none (the reader then leaves the
// default that every new QImage has).
int PictureDpi(int dotsPerMeter, int defaultDotsPerMeter)
{
    if (dotsPerMeter <= 0 || dotsPerMeter == defaultDotsPerMeter)
        return kDefaultDpi;
    return qMax(1, qRound(dotsPerMeter * 0.0254));
}

QString SystemErrorText(int error)
{
    return QString::fromStdString(std::generic_category().message(error));
}

// A picture whose format is known but has no decoder installed (TIFF, WebP, ... without their
// plugins), as opposed to bytes that are no picture at all.
bool IsPictureWithoutDecoder(const QByteArray& bytes)
{
    const QMimeType type = QMimeDatabase().mimeTypeForData(bytes);
    if (!type.isValid() || !type.name().startsWith(QLatin1String("image/")))
        return false;
    return !QImageReader::supportedMimeTypes().contains(type.name().toLatin1());
}

bool ReadWhole(int fd, QByteArray& buffer, qint64* count)
{
    qint64 done = 0;
    while (done < buffer.size()) {
        const ssize_t got = ::read(fd, buffer.data() + done, size_t(buffer.size() - done));
        if (got < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        if (got == 0)
            break;
        done += got;
    }
    *count = done;
    return true;
}

} // namespace

CPicture::CPicture(QWidget* owner) : m_owner(owner) {}

CPicture::~CPicture()
{
    Clear();
}

void CPicture::SetQuiet(bool quiet)
{
    g_quiet = quiet;
}

void CPicture::ShowError(const QString& text) const
{
    CORVANA_DEBUG_LINE(lcUi, text.trimmed());
    if (g_quiet)
        return;
    QWidget* owner = m_owner ? m_owner.data() : QApplication::activeWindow();
    ShowMessageBox(owner, text, QMessageBox::Critical, QMessageBox::Ok, Translated(kCaption));
}

bool CPicture::Load(const QString& path)
{
    if (m_image)
        Clear();
    m_widthPx = 0;
    m_heightPx = 0;
    m_dataSize = 0;

    // Non-blocking, so that a FIFO in place of a photo cannot hang the program.
    const UniqueFd file = LongPath::Open(path, O_RDONLY | O_NONBLOCK | O_NOCTTY);
    struct stat info {};
    if (!file || ::fstat(file.Get(), &info) != 0) {
        ShowError(QCoreApplication::translate("CPicture", "Cannot open %1.\n%2.").arg(NativeName::Shown(path), SystemErrorText(errno)));
        return false;
    }
    if (!S_ISREG(info.st_mode)) {
        ShowError(QCoreApplication::translate("CPicture", "Cannot open %1.\n%2.").arg(NativeName::Shown(path), SystemErrorText(S_ISDIR(info.st_mode) ? EISDIR : EINVAL)));
        return false;
    }
    m_dataSize = info.st_size;
    if (info.st_size > kMaxFileBytes) {
        ShowError(Translated(kNoMemoryText));
        return false;
    }

    bool decoded = false;
    {
        QByteArray buffer;
        try {
            buffer.resize(qsizetype(info.st_size));
        } catch (const std::bad_alloc&) {
            ShowError(Translated(kNoMemoryText));
            return false;
        }
        qint64 count = 0;
        if (!ReadWhole(file.Get(), buffer, &count)) {
            ShowError(QCoreApplication::translate("CPicture", "Cannot read %1.\n%2.").arg(NativeName::Shown(path), SystemErrorText(errno)));
            return false;
        }
        if (count > 0)
            decoded = LoadFromMemory(buffer.constData(), count);
    }

    if (!m_image) {
        m_widthPx = 0;
        m_heightPx = 0;
        return false;
    }
    SetSizesAtDpi(kDefaultDpi, kDefaultDpi);
    return decoded;
}

bool CPicture::LoadFromMemory(const uchar* data, qint64 size)
{
    return LoadFromMemory(reinterpret_cast<const char*>(data), size);
}

bool CPicture::LoadFromMemory(const char* data, qint64 size)
{
    m_image.reset();
    m_widthPx = 0;
    m_heightPx = 0;
    if (!data || size <= 0)
        return true;
    if (size > kMaxFileBytes) {
        ShowError(Translated(kNoMemoryText));
        return false;
    }

    const QByteArray bytes = QByteArray::fromRawData(data, qsizetype(size));
    QBuffer device;
    device.setData(bytes);
    device.open(QIODevice::ReadOnly);

    if (QImageReader::allocationLimit() != int(kMaxPictureBytes / (1024 * 1024)))
        QImageReader::setAllocationLimit(int(kMaxPictureBytes / (1024 * 1024)));
    QImageReader reader(&device);
    reader.setAutoTransform(false);

    // Refuse a picture that only claims to be enormous before anything is allocated for it.
    const QSize declared = reader.size();
    if (declared.isValid() && qint64(declared.width()) * declared.height() * 4 > kMaxPictureBytes) {
        ShowError(Translated(kNoMemoryText));
        return false;
    }

    QImage image;
    if (!reader.read(&image) || image.isNull()) {
        if (reader.error() == QImageReader::UnsupportedFormatError && IsPictureWithoutDecoder(bytes)) {
            ShowError(Translated(kUnsupportedText));
            return false;
        }
        return true;
    }
    if (qint64(image.width()) * image.height() * 4 > kMaxPictureBytes) {
        ShowError(Translated(kNoMemoryText));
        return false;
    }
    const QImage::Format drawable = image.hasAlphaChannel() ? QImage::Format_ARGB32_Premultiplied : QImage::Format_RGB32;
    if (image.format() != drawable)
        image.convertTo(drawable);
    if (image.isNull())
        return true;
    m_image = std::move(image);
    SetSizesAtDpi(kDefaultDpi, kDefaultDpi);
    return true;
}

QSize CPicture::HimetricSize() const
{
    if (!m_image)
        return {};
    const int defaultDotsPerMeter = QImage(1, 1, QImage::Format_RGB32).dotsPerMeterX();
    const int dpiX = PictureDpi(m_image->dotsPerMeterX(), defaultDotsPerMeter);
    const int dpiY = PictureDpi(m_image->dotsPerMeterY(), defaultDotsPerMeter);
    return QSize(MulDiv(m_image->width(), kHimetricPerInch, dpiX), MulDiv(m_image->height(), kHimetricPerInch, dpiY));
}

void CPicture::SetSizesAtDpi(int dpiX, int dpiY)
{
    const QSize himetric = HimetricSize();
    m_widthPx = MulDiv(himetric.width(), dpiX, kHimetricPerInch);
    m_heightPx = MulDiv(himetric.height(), dpiY, kHimetricPerInch);
}

bool CPicture::Draw(QPainter* painter, const QRect& rect)
{
    if (!painter || !painter->isActive() || !m_image)
        return false;
    painter->save();
    painter->setRenderHint(QPainter::SmoothPixmapTransform, true);
    painter->drawImage(QRectF(rect.x(), rect.y(), rect.width(), rect.height()), *m_image, QRectF(m_image->rect()));
    painter->restore();
    return true;
}

bool CPicture::MeasureOnDevice(QPaintDevice* device)
{
    if (!device || !m_image) {
        m_widthPx = 0;
        m_heightPx = 0;
        return false;
    }
    const bool printing = device->devType() == QInternal::Printer || dynamic_cast<QPagedPaintDevice*>(device) != nullptr;
    SetSizesAtDpi(printing ? kDefaultDpi : device->logicalDpiX(), printing ? kDefaultDpi : device->logicalDpiY());
    return true;
}

void CPicture::Clear()
{
    if (!m_image)
        return;
    m_image.reset();
    m_widthPx = 0;
    m_heightPx = 0;
    m_dataSize = 0;
}

} // namespace corvana
