// Prints the file list's fill time over 10,000 captures and the photo viewer's load-and-draw time.
#include "library/MediaFolders.h"
#include "ui/CMediaListBox.h"
#include "ui/CPicture.h"

#include "TestEnvironment.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QImageWriter>
#include <QPainter>
#include <QRandomGenerator>

#include <algorithm>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>
#include <vector>

using namespace corvana;

namespace {

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

template <typename Work>
std::vector<double> TimeRuns(int runs, Work work)
{
    std::vector<double> ms;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer timer;
        timer.start();
        work();
        ms.push_back(double(timer.nsecsElapsed()) / 1e6);
    }
    return ms;
}

void BenchFillList()
{
    const QString solo = MediaFolders::ModeFolder(MediaMode::Solo);
    const QByteArray folder = QFile::encodeName(solo);
    for (int i = 0; i < 10000; ++i) {
        const QByteArray name = QString::asprintf("%02d%02d%02d-%02d%02d%02d.wma", 6 + i % 20, 1 + i % 12, 1 + i % 28,
                                                  i / 3600, i / 60 % 60, i % 60)
                                    .toLatin1();
        const int fd = ::open((folder + name).constData(), O_WRONLY | O_CREAT, 0644);
        if (fd >= 0)
            ::close(fd);
    }
    for (int i = 0; i < 500; ++i) {
        const int fd = ::open((folder + QByteArray::number(i) + ".wmv").constData(), O_WRONLY | O_CREAT, 0644);
        if (fd >= 0)
            ::close(fd);
    }
    CMediaListBox list;
    list.resize(300, 100);
    list.show();
    const QString pattern = solo + MediaFolders::ListingPattern(MediaMode::Solo);
    list.FillList(pattern);  // warms the folder cache
    const std::vector<double> fill = TimeRuns(9, [&] { list.FillList(pattern); });
    const std::vector<double> shown = TimeRuns(9, [&] {
        list.FillList(pattern);
        QApplication::processEvents();
    });
    std::printf("FillList over %d matching files: median %.2f ms (min %.2f, max %.2f) [target 30 ms]\n", list.GetCount(),
                Median(fill), *std::min_element(fill.begin(), fill.end()), *std::max_element(fill.begin(), fill.end()));
    std::printf("FillList plus the repaint that follows: median %.2f ms\n", Median(shown));
}

void BenchPicture()
{
    QImage photo(1024, 768, QImage::Format_RGB32);
    QRandomGenerator random(11);
    for (int y = 0; y < photo.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(photo.scanLine(y));
        for (int x = 0; x < photo.width(); ++x)
            line[x] = qRgb((x / 4 + int(random.bounded(32))) & 255, (y / 3 + int(random.bounded(32))) & 255, (x + y) / 8 & 255);
    }
    const QString path = MediaFolders::ModeFolder(MediaMode::Photo) + QStringLiteral("061231-235905.jpg");
    QImageWriter writer(path, "jpeg");
    writer.setQuality(90);
    writer.write(photo);

    QImage preview(320, 239, QImage::Format_ARGB32_Premultiplied);
    const QRect target(0, 0, 320, 239);
    CPicture picture;
    picture.Load(path);
    const std::vector<double> both = TimeRuns(15, [&] {
        picture.Load(path);
        QPainter painter(&preview);
        picture.Draw(&painter, target);
    });
    const std::vector<double> load = TimeRuns(15, [&] { picture.Load(path); });
    const std::vector<double> draw = TimeRuns(15, [&] {
        QPainter painter(&preview);
        picture.Draw(&painter, target);
    });
    std::printf("Load and Draw of a 1024 x 768 JPEG (%lld bytes) into 320 x 239: median %.2f ms (min %.2f, max %.2f) "
                "[target 20 ms]\n",
                static_cast<long long>(picture.m_dataSize), Median(both), *std::min_element(both.begin(), both.end()),
                *std::max_element(both.begin(), both.end()));
    std::printf("  of which Load %.2f ms, Draw %.2f ms\n", Median(load), Median(draw));
}

} // namespace

int main(int argc, char* argv[])
{
    if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    TestEnvironment environment;
    QApplication application(argc, argv);
    MediaFolders::CreateAll();
    BenchFillList();
    BenchPicture();
    return 0;
}
