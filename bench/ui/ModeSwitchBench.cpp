// Prints how long the main dialog takes from a mode button to the first live frame on screen
// (Solo to Video, Video to Photo), and from Record to the record light's byte at the controller.
#include "ProgramRunner.h"
#include "TestEnvironment.h"
#include "ui/CCorvanaDlg.h"
#include "ui/CPreviewArea.h"

#include <QApplication>
#include <QElapsedTimer>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

using namespace corvana;

namespace {

void Report(const char* what, std::vector<double> samples, double target)
{
    std::sort(samples.begin(), samples.end());
    const double median = samples[samples.size() / 2];
    std::printf("%-44s median %7.1f ms  min %7.1f  max %7.1f  (target %.0f ms, %zu runs)\n", what, median,
                samples.front(), samples.back(), target, samples.size());
}

double SwitchUntilPainted(CCorvanaDlg& dialog, void (CCorvanaDlg::*handler)())
{
    const quint64 painted = dialog.Preview()->FramesPainted();
    QElapsedTimer clock;
    clock.start();
    (dialog.*handler)();
    while (dialog.Preview()->FramesPainted() == painted && clock.elapsed() < 5000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
    return static_cast<double>(clock.nsecsElapsed()) / 1e6;
}

qint64 NowMicros()
{
    return std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::system_clock::now().time_since_epoch())
        .count();
}

} // namespace

int main(int argc, char* argv[])
{
    QApplication application(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    TestEnvironment env;
    TestEnvironment::Set("CORVANA_DEVICES", QStringLiteral("synthetic"));
    env.SetUserSettings("[General]\nModeState=0\n");
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 10;

    std::vector<double> toVideo;
    std::vector<double> toPhoto;
    std::vector<double> recordLight;
    CCorvanaDlg dialog;
    RunWhenShown(dialog, [&] {
        for (int i = 0; i < runs; ++i) {
            dialog.OnSolo();
            toVideo.push_back(SwitchUntilPainted(dialog, &CCorvanaDlg::OnVideoRecord));
            toPhoto.push_back(SwitchUntilPainted(dialog, &CCorvanaDlg::OnPhotoGrab));
        }
        dialog.OnSolo();
        for (int i = 0; i < runs; ++i) {
            env.ClearJournal();
            const qint64 pressed = NowMicros();
            dialog.OnRecord();
            for (const JournalLine& line : env.Journal())
                if (line.data == QLatin1String("D2"))
                    recordLight.push_back(static_cast<double>(line.micros - pressed) / 1000.0);
            QTest::qWait(300);
            dialog.OnRecord();
        }
        dialog.OnExit();
    });
    dialog.exec();

    Report("Solo -> Video, first live frame painted", toVideo, 400);
    Report("Video -> Photo, first live frame painted", toPhoto, 400);
    if (!recordLight.empty())
        Report("Record press -> record light byte (Solo)", recordLight, 100);
    return 0;
}
