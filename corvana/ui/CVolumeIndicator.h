#pragma once
#include <QPixmap>
#include <QProgressBar>

namespace corvana {

// The speaker volume's level indicator: the skin's bitmap of the level, and to assistive tools a
// value from 1 to 8 with its text ("3 of 8").
class CVolumeIndicator : public QProgressBar {
    Q_OBJECT
public:
    static constexpr int kLevels = 8;

    explicit CVolumeIndicator(QWidget* parent = nullptr);

    // The level 1 to kLevels and the bitmap that shows it.
    void ShowLevel(int level, const QPixmap& image);
    QString text() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QPixmap m_image;
};

} // namespace corvana
