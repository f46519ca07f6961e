#pragma once

#include <QSizeF>

class QPainter;

namespace corvana {

// The volume level images and the preview area's placeholder.
class IndicatorArt {
public:
    static constexpr int kLevels = 8;
    // Level 1 shows the speaker alone; each level above lights one more of seven bars.
    static void VolumeLevel(QPainter& p, const QSizeF& size, int level);
    static void PreviewPlaceholder(QPainter& p, const QSizeF& size);
};

}  // namespace corvana
