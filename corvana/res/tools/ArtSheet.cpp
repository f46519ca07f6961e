// Renders every bitmap onto contact sheets for looking at: the dialog as it is assembled from
// the skin and its buttons, and each bitmap magnified with its identifier.
#include "res/Bitmaps.h"
#include "res/ArtStyle.h"

#include <QFileInfo>
#include <QGuiApplication>
#include <QPainter>

#include <cstdio>

using namespace corvana;

namespace {

struct Placed {
    int id;
    int x, y;
};

// Normal images at their places on the skin, or a mix of other states.
QImage Dialog(bool states)
{
    QImage dialog = BitmapImage(148).copy();
    QPainter p(&dialog);
    const Placed normal[] = {{150, 462, 6},   {176, 50, 154},   {174, 412, 120}, {159, 406, 156}, {153, 406, 216},
                             {162, 406, 276}, {156, 406, 336},  {137, 52, 406},  {143, 140, 406}, {146, 198, 406},
                             {134, 258, 406}, {140, 316, 406},  {190, 386, 400}, {187, 386, 424}, {183, 412, 402}};
    const Placed mixed[] = {{151, 462, 6},   {176, 50, 154},   {175, 412, 120}, {196, 406, 156}, {155, 406, 216},
                            {163, 406, 276}, {156, 406, 336},  {139, 52, 406},  {144, 140, 406}, {133, 198, 406},
                            {134, 258, 406}, {142, 316, 406},  {191, 386, 400}, {189, 386, 424}, {178, 412, 402}};
    for (const Placed& item : states ? mixed : normal) {
        QImage image = BitmapImage(item.id);
        if (item.id == 196)
            image = image.copy(0, 0, 40, 40);
        p.drawImage(item.x, item.y, image);
    }
    // The file list's own widget paints this area; a few rows show how it reads on the skin.
    p.fillRect(48, 464, 410, 122, QColor(0x1a, 0x1c, 0x20));
    return dialog;
}

QImage Magnified(const QImage& image, int factor)
{
    return image.scaled(image.size() * factor, Qt::IgnoreAspectRatio, Qt::FastTransformation);
}

QImage BitmapSheet()
{
    constexpr int zoom = 4, pad = 16, width = 1400;
    QList<QPair<int, QImage>> cells;
    for (int id : BitmapIds()) {
        if (id == 148 || id == 176)
            continue;
        cells.append({id, Magnified(BitmapImage(id), zoom)});
    }
    int x = pad, y = pad + 14, rowHeight = 0;
    QList<QPoint> places;
    for (const auto& cell : cells) {
        if (x + cell.second.width() > width - pad) {
            x = pad;
            y += rowHeight + pad + 14;
            rowHeight = 0;
        }
        places.append({x, y});
        x += cell.second.width() + pad;
        rowHeight = std::max(rowHeight, cell.second.height());
    }
    QImage sheet(width, y + rowHeight + pad, QImage::Format_RGB32);
    sheet.fill(QColor(0x50, 0x54, 0x5a));
    QPainter p(&sheet);
    p.setFont(ArtStyle::Font(11));
    p.setPen(Qt::white);
    for (int i = 0; i < cells.size(); ++i) {
        p.drawText(places[i] + QPoint(0, -4), QString::number(cells[i].first));
        p.drawImage(places[i], cells[i].second);
    }
    return sheet;
}

QImage DialogSheet()
{
    const QImage normal = Dialog(false), states = Dialog(true);
    QImage sheet(normal.width() * 2 + 60, normal.height() + 70, QImage::Format_RGB32);
    sheet.fill(QColor(0xd8, 0xdc, 0xe0));
    QPainter p(&sheet);
    const QIcon icon = ProgramIcon();
    int x = 4;
    for (int size : {16, 24, 32, 48})
        p.drawPixmap(x, 2, icon.pixmap(size)), x += size + 4;
    p.drawImage(20, 50, normal);
    p.drawImage(normal.width() + 40, 50, states);
    return sheet;
}

}  // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const QString out = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("artsheet.png");
    const QFileInfo info(out);
    const QString base = info.path() + QLatin1Char('/') + info.completeBaseName();
    bool ok = BitmapSheet().save(out);
    ok = DialogSheet().save(base + QStringLiteral("-dialog.png")) && ok;
    ok = Magnified(Dialog(false).copy(0, 0, 500, 160), 3).save(base + QStringLiteral("-top.png")) && ok;
    ok = Magnified(Dialog(true).copy(40, 140, 460, 320), 3).save(base + QStringLiteral("-middle.png")) && ok;
    ok = BitmapImage(148, 2).save(base + QStringLiteral("-skin2x.png")) && ok;
    std::printf("%s\n", ok ? "written" : "failed to write");
    return ok ? 0 : 1;
}
