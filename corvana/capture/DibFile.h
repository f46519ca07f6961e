#pragma once
#include <QByteArray>
#include <QImage>
#include <QString>

namespace corvana {

// A frame as a Windows bitmap file: 14-byte file header (pixel data at offset 54, size = the
// whole file), 40-byte information header, 32-bit pixels, rows bottom-up, no colour table.
class DibFile {
public:
    static QByteArray Encode(const QImage& frame);
    // 0, or why the file could not be written (an errno value); written and synced as a whole.
    static int Write(const QString& path, const QImage& frame);
};

} // namespace corvana
