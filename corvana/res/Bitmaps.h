#pragma once

#include <QIcon>
#include <QImage>
#include <QList>
#include <QPixmap>
#include <QRgb>
#include <QSize>

namespace corvana {

// The program's bitmaps by their resource identifiers. Every image is painted by code on first
// use and kept for the life of the process; a QGuiApplication must exist.

// The bitmap at its exact size (scale 1), or a high-density copy (scale 2) whose device pixel
// ratio is 2, so that it still measures BitmapSize in device-independent pixels. Null for an
// unknown identifier or scale.
QImage BitmapImage(int id);
QImage BitmapImage(int id, int scale);

// The same as a pixmap, at scale 2 when the display is high-density; null for an unknown id.
QPixmap LoadBitmap(int id);

// Size in device-independent pixels; invalid for an unknown id.
QSize BitmapSize(int id);

// Every identifier, ascending.
QList<int> BitmapIds();

// The program icon (128) at several sizes.
QIcon ProgramIcon();

// Colour of the skin's corner pixels, outside its rounded outline.
QRgb SkinKeyColour();

}  // namespace corvana
