#pragma once
// Uses of the resident program for soak runs, and what the process holds before and after them.
// The dialog is opened the way the resident program opens it: a WM_SHOWDIALOG to the hidden
// frame, which runs it modally; the steps press its buttons through their handlers.
#include "ProgramRunner.h"
#include "app/CMainFrame.h"
#include "capture/CAudioRecorder.h"
#include "support/CDesktopWindows.h"
#include "support/CMediaPlayer.h"
#include "support/WindowMessages.h"
#include "ui/CCorvanaDlg.h"
#include "ui/CHoverButton.h"
#include "ui/CMediaListBox.h"
#include "ui/CPreviewArea.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLocalSocket>
#include <QPointer>
#include <QRegularExpression>
#include <QThreadPool>
#include <glib.h>

#include <climits>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <map>
#include <unistd.h>

struct ProcessFigures {
    int descriptors = 0, threads = 0;
    long rssKb = 0, pssKb = 0;
    // Without digits: what the descriptors refer to ("socket:[]", "anon_inode:[eventfd]", a file
    // named after its time) and the threads' names ("videotestsrc:src", "pool-soak_bench").
    std::map<QString, int> kinds;
    std::map<QString, int> threadNames;
};

inline QString WithoutDigits(QString text)
{
    return text.remove(QRegularExpression(QStringLiteral("\\d+")));
}

// The number of a /proc file's "Name: value" line, e.g. "VmRSS:".
inline long ProcField(const char* file, const char* field)
{
    QFile status(QString::fromLatin1(file));
    const QByteArray text = status.open(QIODevice::ReadOnly) ? status.readAll() : QByteArray();
    const qsizetype at = text.indexOf(QByteArray("\n") + field);
    return at < 0 ? -1 : std::atol(text.constData() + at + 1 + std::strlen(field));
}

inline ProcessFigures ReadProcessFigures()
{
    ProcessFigures figures;
    if (DIR* dir = ::opendir("/proc/self/fd")) {
        const int own = ::dirfd(dir);
        while (const dirent* entry = ::readdir(dir)) {
            if (entry->d_name[0] == '.' || std::atoi(entry->d_name) == own)
                continue;
            char target[4096];
            const QByteArray link = QByteArray("/proc/self/fd/") + entry->d_name;
            const ssize_t length = ::readlink(link.constData(), target, sizeof target - 1);
            if (length < 0)
                continue;
            ++figures.descriptors;
            ++figures.kinds[WithoutDigits(QString::fromLocal8Bit(target, length))];
        }
        ::closedir(dir);
    }
    for (const QString& task : QDir(QStringLiteral("/proc/self/task")).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile comm(QStringLiteral("/proc/self/task/%1/comm").arg(task));
        if (comm.open(QIODevice::ReadOnly))
            ++figures.threadNames[WithoutDigits(QString::fromUtf8(comm.readAll().trimmed()))];
    }
    figures.threads = static_cast<int>(ProcField("/proc/self/status", "Threads:"));
    figures.rssKb = ProcField("/proc/self/status", "VmRSS:");
    figures.pssKb = ProcField("/proc/self/smaps_rollup", "Pss:");
    return figures;
}

// The kinds whose count changed from before to after, e.g. "socket +3, pipe -1".
inline QString KindsChanged(const std::map<QString, int>& before, const std::map<QString, int>& after)
{
    std::map<QString, int> change;
    for (const auto& [kind, count] : after)
        change[kind] += count;
    for (const auto& [kind, count] : before)
        change[kind] -= count;
    QStringList parts;
    for (const auto& [kind, delta] : change)
        if (delta != 0)
            parts << QStringLiteral("%1 %2%3").arg(kind, delta > 0 ? QStringLiteral("+") : QString()).arg(delta);
    return parts.isEmpty() ? QStringLiteral("none") : parts.join(QStringLiteral(", "));
}

// Idle pool threads outlive their work: GLib's (GStreamer's tasks) for up to 15 s, Qt's (image
// conversion) for 30 s, and a pipeline's threads end shortly after it stopped. So the counts lag
// behind the work: end the idle pool threads now and wait until both counts are at most the
// given ones and have held for a second.
inline ProcessFigures SettledFigures(int threadsAtMost = INT_MAX, int descriptorsAtMost = INT_MAX)
{
    ProcessFigures last;
    QElapsedTimer held;
    held.start();
    WaitFor([&] {
        // A GLib pool's thread joins the idle ones only half a second after its last task.
        g_thread_pool_stop_unused_threads();
        QThreadPool::globalInstance()->waitForDone(1000);
        const ProcessFigures now = ReadProcessFigures();
        if (now.threads != last.threads || now.descriptors != last.descriptors)
            held.restart();
        last = now;
        return now.threads <= threadsAtMost && now.descriptors <= descriptorsAtMost && held.elapsed() >= 1000;
    }, 20000);
    return ReadProcessFigures();
}

// Opens the dialog through the frame, runs use while it is shown and closes it with Exit.
inline bool UseDialog(corvana::CMainFrame& frame, const std::function<void(corvana::CCorvanaDlg&)>& use)
{
    bool used = false;
    QCoreApplication::postEvent(&frame, new corvana::CMessageEvent(corvana::WM_SHOWDIALOG));
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        for (QWidget* window : QApplication::topLevelWidgets()) {
            auto* dialog = qobject_cast<corvana::CCorvanaDlg*>(window);
            if (!dialog || !dialog->isVisible() || used)
                continue;
            used = true;
            const QPointer<corvana::CCorvanaDlg> alive(dialog);
            // Mapped, painted and placed by the window manager, as a person would see it.
            WaitFor([&] { return alive && alive->isActiveWindow(); }, 3000);
            use(*dialog);
            if (alive && alive->isVisible())
                alive->OnExit();
        }
    });
    poll.start(5);
    return WaitFor([&] { return used && !corvana::CCorvanaDlg::IsAnyOpen(); }, 30000);
}

// Enters a mode through its button's handler; the live modes have painted fresh frames.
inline bool EnterMode(corvana::CCorvanaDlg& dialog, corvana::MediaMode mode)
{
    using corvana::MediaMode;
    const quint64 frames = dialog.Preview()->FramesPresented();
    switch (mode) {
    case MediaMode::Solo: dialog.OnSolo(); break;
    case MediaMode::Conference: dialog.OnConference(); break;
    case MediaMode::Video: dialog.OnVideoRecord(); break;
    case MediaMode::Photo: dialog.OnPhotoGrab(); break;
    }
    if (mode == MediaMode::Video || mode == MediaMode::Photo)
        return WaitFor([&] { return dialog.Preview()->FramesPresented() > frames + 2; }, 10000);
    return dialog.Mode() == mode;
}

// Record, a short recording, Record again; in Photo mode Record grabs one photo. Audio lasts
// until its encoder has seen the given seconds of sound, video for as many live frames (30/s).
inline bool RecordOnce(corvana::CCorvanaDlg& dialog, double seconds)
{
    using corvana::CCorvanaDlg;
    using corvana::MediaMode;
    if (dialog.Mode() == MediaMode::Photo) {
        const int listed = dialog.List()->GetCount();
        dialog.OnRecord();
        return dialog.List()->GetCount() == listed + 1;
    }
    dialog.OnRecord();
    if (!dialog.Button(CCorvanaDlg::IDC_RECORD)->IsLatched())
        return false;
    const quint64 frames = dialog.Preview()->FramesPresented();
    const bool lasted = dialog.Mode() == MediaMode::Video
        ? WaitFor([&] { return dialog.Preview()->FramesPresented() >= frames + static_cast<quint64>(seconds * 30); }, 20000)
        : WaitFor([&] { return corvana::CAudioRecorder::Instance().RecordedSeconds() >= seconds; }, 20000);
    dialog.OnRecord();
    return lasted && !dialog.Button(CCorvanaDlg::IDC_RECORD)->IsLatched();
}

// Play on the selected recording starts the media player; Alt+F4 closes it again. The player
// leaves its IPC socket's file behind: it has ended once nobody accepts there.
inline bool PlayAndClosePlayer(corvana::CCorvanaDlg& dialog)
{
    using corvana::CMediaPlayer;
    const auto running = [] { return corvana::CDesktopWindows::FindWindowByClass(CMediaPlayer::kWindowClass).has_value(); };
    dialog.OnPlay();
    const bool started = WaitFor(running, 15000);
    dialog.ClosePlayerIfRunning();
    return started && WaitFor([&] {
        QLocalSocket socket;
        socket.connectToServer(CMediaPlayer::IpcSocketPath());
        return !running() && !socket.waitForConnected(200);
    }, 10000);
}
