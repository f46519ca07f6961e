// Prints what many uses of the resident program leave behind in its process: open descriptors,
// threads, resident memory (VmRSS) and proportional memory (PSS), before (after a warm-up) and
// after each phase, the growth per 100 uses, and which kinds of descriptors and threads changed.
//   phase 1: the dialog opened and closed as the resident program does it;
//   phase 2: mode switches through Solo (a recording, then Play on it and the player closed),
//            Conference (a recording), Video (a recording with the preview running) and Photo
//            (a grab).
// Usage: soak_bench [dialog cycles, default 1000] [mode switches, default 300]
// Run it with bench/soak/soak.sh (private session, synthetic devices).
#include "SoakDriver.h"
#include "app/CCorvanaApp.h"
#include "TestEnvironment.h"
#include "capture/GstRuntime.h"

#include <QApplication>
#include <QElapsedTimer>

#include <algorithm>
#include <cstdio>

using namespace corvana;

namespace {

constexpr MediaMode kModeOrder[] = {MediaMode::Solo, MediaMode::Conference, MediaMode::Video, MediaMode::Photo};

// One mode switch and what is done in the mode; false when a step did not work out.
bool SwitchAndUse(CCorvanaDlg& dialog, int index)
{
    static const char* const names[] = {"Solo", "Conference", "Video", "Photo"};
    const MediaMode mode = kModeOrder[index % 4];
    const char* failed = nullptr;
    if (!EnterMode(dialog, mode))
        failed = "entering the mode";
    else if (!RecordOnce(dialog, mode == MediaMode::Video ? 0.5 : 0.3))
        failed = mode == MediaMode::Photo ? "the photo grab" : "the recording";
    else if (mode == MediaMode::Solo && !PlayAndClosePlayer(dialog))
        failed = "the player's start or close";
    if (failed)
        std::printf("  switch %d to %s: %s did not work out\n", index, names[index % 4], failed);
    return !failed;
}

void PrintRow(const char* what, long before, long after, int uses)
{
    std::printf("  %-16s %10ld %10ld %+14.2f\n", what, before, after,
                static_cast<double>(after - before) * 100.0 / std::max(uses, 1));
}

void Report(const char* phase, int uses, int failed, double seconds, const ProcessFigures& before,
            const ProcessFigures& after)
{
    std::printf("\n%s: %d uses in %.1f s (%.0f ms each), %d steps failed\n", phase, uses, seconds,
                seconds * 1000.0 / std::max(uses, 1), failed);
    std::printf("  %-16s %10s %10s %14s\n", "", "before", "after", "per 100 uses");
    PrintRow("descriptors", before.descriptors, after.descriptors, uses);
    PrintRow("threads", before.threads, after.threads, uses);
    PrintRow("VmRSS kB", before.rssKb, after.rssKb, uses);
    PrintRow("PSS kB", before.pssKb, after.pssKb, uses);
    std::printf("  descriptors changed: %s\n", qPrintable(KindsChanged(before.kinds, after.kinds)));
    std::printf("  threads changed: %s\n", qPrintable(KindsChanged(before.threadNames, after.threadNames)));
    std::fflush(stdout);
}

// Runs warm-up uses, measures, runs the counted uses, measures again (always with no dialog open).
void RunPhase(const char* phase, int warmup, int uses, const std::function<int(int first, int count)>& run)
{
    run(0, warmup);
    const ProcessFigures before = SettledFigures();
    QElapsedTimer clock;
    clock.start();
    const int failed = run(warmup, uses);
    const double seconds = static_cast<double>(clock.elapsed()) / 1000.0;
    // The same settling as before, and not longer: a slow release shows as growth.
    const ProcessFigures after = SettledFigures(before.threads, before.descriptors);
    Report(phase, uses, failed, seconds, before, after);
}

int Argument(int argc, char* argv[], int index, int fallback)
{
    return argc > index ? std::max(1, std::atoi(argv[index])) : fallback;
}

} // namespace

int main(int argc, char* argv[])
{
    const QByteArray devices = qEnvironmentVariableIsSet("CORVANA_DEVICES") ? qgetenv("CORVANA_DEVICES") : "synthetic";
    CCorvanaApp::LimitAllocatorArenas();
    QApplication application(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    const int cycles = Argument(argc, argv, 1, 1000);
    const int switches = Argument(argc, argv, 2, 300);

    TestEnvironment env;
    TestEnvironment::Set("CORVANA_DEVICES", QString::fromLatin1(devices));
    env.SetUserSettings("[General]\nModeState=0\n");
    // The player stays open at the end of the short recording until it is closed.
    TestEnvironment::WriteFile(env.Root() + QStringLiteral("/mpv/mpv.conf"),
                               "vo=x11\nao=pulse\nosc=no\nkeep-open=yes\ngeometry=320x200+0+0\n");
    TestEnvironment::Set("MPV_HOME", env.Root() + QStringLiteral("/mpv"));

    QElapsedTimer total;
    total.start();
    std::printf("soak: %d dialog cycles, %d mode switches, devices %s\n", cycles, switches, devices.constData());
    CMainFrame frame;

    RunPhase("dialog open/close", 5, cycles, [&](int, int count) {
        int failed = 0;
        for (int i = 0; i < count; ++i)
            failed += UseDialog(frame, [](CCorvanaDlg&) {}) ? 0 : 1;
        return failed;
    });

    RunPhase("mode switches with recordings, photos and the player", 8, switches, [&](int first, int count) {
        int failed = 0;
        const bool closed = UseDialog(frame, [&](CCorvanaDlg& dialog) {
            for (int i = first; i < first + count; ++i)
                failed += SwitchAndUse(dialog, i) ? 0 : 1;
            // Open the next time in Solo, as the warm-up did.
            EnterMode(dialog, MediaMode::Solo);
        });
        return failed + (closed ? 0 : 1);
    });

    std::printf("\ntotal %.1f s\n", static_cast<double>(total.elapsed()) / 1000.0);
    // The program's own end: the plug-in warm-up joined, GStreamer let go.
    GstRuntime::Shutdown();
    return 0;
}
