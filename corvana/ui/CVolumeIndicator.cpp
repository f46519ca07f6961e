#include "ui/CVolumeIndicator.h"

#include <QCoreApplication>
#include <QPainter>

namespace corvana {

CVolumeIndicator::CVolumeIndicator(QWidget* parent) : QProgressBar(parent)
{
    setRange(1, kLevels);
    setTextVisible(false);
    setFocusPolicy(Qt::NoFocus);
}

void CVolumeIndicator::ShowLevel(int level, const QPixmap& image)
{
    m_image = image;
    setValue(level);
    update();
}

QString CVolumeIndicator::text() const
{
    if (value() < minimum())
        return {};
    return QCoreApplication::translate("CVolumeIndicator", "%1 of %2").arg(value()).arg(kLevels);
}

void CVolumeIndicator::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.drawPixmap(0, 0, m_image);
}

} // namespace corvana
