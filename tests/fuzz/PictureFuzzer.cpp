// libFuzzer target: arbitrary bytes through the photo viewer's decoder, then measured and drawn.
#include "ui/CPicture.h"

#include <QApplication>
#include <QImage>
#include <QPainter>

#include <cstdint>
#include <cstdlib>

namespace {

void Silent(QtMsgType, const QMessageLogContext&, const QString&) {}

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    qInstallMessageHandler(Silent);
    static QApplication application(*argc, *argv);
    corvana::CPicture::SetQuiet(true);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    corvana::CPicture picture;
    picture.LoadFromMemory(data, qint64(size));
    if (picture.m_image) {
        QImage preview(64, 48, QImage::Format_ARGB32_Premultiplied);
        preview.fill(Qt::black);
        QPainter painter(&preview);
        picture.Draw(&painter, QRect(0, 0, 64, 48));
        painter.end();
        picture.MeasureOnDevice(&preview);
    }
    return 0;
}
