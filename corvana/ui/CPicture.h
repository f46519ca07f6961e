#pragma once
#include <QImage>
#include <QPointer>
#include <QRect>
#include <QString>
#include <QWidget>

#include <cstdint>
#include <optional>

class QPainter;
class QPaintDevice;

namespace corvana {

// One still picture read from a file and painted, stretched, into a rectangle. It keeps the
// decoded picture and paints only when asked.
class CPicture {
public:
    // `owner` parents the error messages; without one they belong to the active window.
    explicit CPicture(QWidget* owner = nullptr);
    ~CPicture();
    CPicture(const CPicture&) = delete;
    CPicture& operator=(const CPicture&) = delete;

    // Reads the whole file and decodes it; true when a picture is now held. Sizes are in pixels at
    // 96 dots per inch. m_dataSize gets the file's length even when decoding fails.
    bool Load(const QString& path);

    // Decodes a picture from memory. False only when a failure was reported (too large a picture,
    // a picture format without a decoder); data that is simply not a picture gives true and no
    // picture.
    bool LoadFromMemory(const char* data, qint64 size);
    bool LoadFromMemory(const uchar* data, qint64 size);

    // Paints the whole picture stretched into `rect` (aspect not kept, nothing around it erased).
    bool Draw(QPainter* painter, const QRect& rect);

    // Sizes in pixels at the device's dots per inch (96 for printing devices).
    bool MeasureOnDevice(QPaintDevice* device);

    void Clear();

    // Messages go to the diagnostic log instead of the screen (unattended decoding).
    static void SetQuiet(bool quiet);

    // Largest picture decoded, in bytes of 32-bit pixels, and largest file read.
    static constexpr qint64 kMaxPictureBytes = 256LL * 1024 * 1024;
    static constexpr qint64 kMaxFileBytes = 256LL * 1024 * 1024;

    std::optional<QImage> m_image;
    std::int32_t m_heightPx = 0;
    qint64 m_dataSize = 0;
    std::int32_t m_widthPx = 0;

private:
    QSize HimetricSize() const;
    void SetSizesAtDpi(int dpiX, int dpiY);
    void ShowError(const QString& text) const;

    QPointer<QWidget> m_owner;
};

} // namespace corvana
