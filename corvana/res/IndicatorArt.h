#pragma once

#include <QRectF>
#include <QSizeF>
#include <QString>

class QPainter;

namespace corvana {

// The volume level images and the preview area's placeholder.
class IndicatorArt {
public:
    static constexpr int kLevels = 8;
    // Level 1 shows the speaker alone; each level above lights one more of seven bars.
    static void VolumeLevel(QPainter& p, const QSizeF& size, int level);
    static void PreviewPlaceholder(QPainter& p, const QSizeF& size);

    // A recording's elapsed time on a dark plate, readable on light and dark pictures.
    static void ElapsedTime(QPainter& p, const QRectF& plate, const QString& text);
    static QRectF ElapsedTimePlate(const QString& text, const QPointF& corner, bool fromRight);
    // A horizontal level meter from -60 dB to full scale: the peak as a bar in the accent colour,
    // the decaying peak as a line that falls back slowly.
    static void LevelMeter(QPainter& p, const QRectF& box, double peakDb, double decayDb);
};

}  // namespace corvana
