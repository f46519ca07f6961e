// Writes the program icon into a hicolor icon theme folder, one PNG per size it is painted at:
// <root>/hicolor/<n>x<n>/apps/<name>.png. The desktop's icon is then the one of the title strip.
#include "res/Bitmaps.h"

#include <QDir>
#include <QGuiApplication>

#include <cstdio>

using namespace corvana;

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s <icon folder> <icon name>\n", argv[0]);
        return 2;
    }
    // Nothing is shown; the build may have no display.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const QString root = QString::fromLocal8Bit(argv[1]);
    const QString name = QString::fromLocal8Bit(argv[2]);
    const QIcon icon = ProgramIcon();
    bool ok = !icon.availableSizes().isEmpty();
    for (const QSize& size : icon.availableSizes()) {
        const QString folder =
            QStringLiteral("%1/hicolor/%2x%3/apps").arg(root).arg(size.width()).arg(size.height());
        const QPixmap pixmap = icon.pixmap(size, 1.0);
        ok = QDir().mkpath(folder) && pixmap.size() == size
             && pixmap.save(folder + QLatin1Char('/') + name + QStringLiteral(".png")) && ok;
    }
    if (!ok)
        std::fprintf(stderr, "%s: could not write the icons to %s\n", argv[0], argv[1]);
    return ok ? 0 : 1;
}
