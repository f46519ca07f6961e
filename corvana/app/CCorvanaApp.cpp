#include "app/CCorvanaApp.h"

#include "app/CInstanceChannel.h"
#include "app/CMainFrame.h"
#include "app/CommandLine.h"
#include "CorvanaBuild.h"
#include "capture/CaptureEngine.h"
#include "capture/GstRuntime.h"
#include "capture/UnfinishedRecordings.h"
#include "quillon.h"
#include "res/Bitmaps.h"
#include "support/DataFolder.h"
#include "support/CSessionLock.h"
#include "support/DesktopSession.h"
#include "support/WindowMessages.h"

#include <QApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QSocketNotifier>
#include <QTranslator>

#include <X11/Xlib.h>

#include <csignal>
#include <cstdlib>
#include <malloc.h>
#include <cstdio>
#include <sys/socket.h>
#include <unistd.h>

namespace corvana {

namespace {

int g_signalPipe[2] = {-1, -1};
bool g_loopEnded = false;

// Qt and Xlib end the process with exit() when the display connection breaks (the display server
// ended or crashed). What was being recorded is finished and the lights go off on that way out
// too, as on any other end.
void FinishOnExitFromOutside()
{
    if (g_loopEnded)
        return;
    std::fputs("corvana: ending without its event loop (the display connection is lost); finishing what was being recorded\n",
               stderr);
    CaptureEngine::Shutdown();
    SetModeLED(0);
    SetRecordLED(0);
}

void OnTerminationSignal(int)
{
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = ::write(g_signalPipe[1], &byte, 1);
}

// Termination signals reach the event loop as a close request, so a recording is finished
// and the lights are switched off as on any other way of ending.
void RouteTerminationSignals(CMainFrame& frame)
{
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, g_signalPipe) != 0)
        return;
    auto* notifier = new QSocketNotifier(g_signalPipe[0], QSocketNotifier::Read, &frame);
    QObject::connect(notifier, &QSocketNotifier::activated, &frame, [&frame] {
        char byte = 0;
        [[maybe_unused]] const ssize_t got = ::read(g_signalPipe[0], &byte, 1);
        frame.RequestClose();
    });
    struct sigaction action {};
    action.sa_handler = OnTerminationSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int signal : {SIGTERM, SIGINT, SIGHUP})
        ::sigaction(signal, &action, nullptr);
}

// Whether the windowing system Qt will use can be reached; Qt itself aborts when it cannot.
bool DisplayAvailable()
{
    const QByteArray platform = qgetenv("QT_QPA_PLATFORM");
    if (platform.startsWith("offscreen") || platform.startsWith("minimal") || platform.startsWith("vnc"))
        return true;
    if (platform.startsWith("wayland"))
        return !qgetenv("WAYLAND_DISPLAY").isEmpty();
    Display* display = XOpenDisplay(nullptr);
    if (!display)
        return false;
    XCloseDisplay(display);
    return true;
}

} // namespace

QString CCorvanaApp::FileNameArgument(const QStringList& arguments)
{
    for (qsizetype i = 1; i < arguments.size(); ++i)
        if (!arguments.at(i).startsWith(QLatin1Char('-')))
            return arguments.at(i);
    return {};
}

void CCorvanaApp::ExitInstance()
{
    SetModeLED(0);
    SetRecordLED(0);
}

void CCorvanaApp::LimitAllocatorArenas()
{
    ::mallopt(M_ARENA_MAX, 2);
}

int CCorvanaApp::Main(int argc, char* argv[])
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    if (const std::optional<int> answered = CommandLine::AnswerInTheUsersLanguage(arguments))
        return *answered;
    LimitAllocatorArenas();
    const bool closeRequest = FileNameArgument(arguments) == QLatin1String("Close");

    CInstanceChannel channel;
    const CInstanceChannel::Outcome outcome =
        channel.Claim(closeRequest ? CInstanceChannel::Request::Close : CInstanceChannel::Request::Show);
    switch (outcome) {
    case CInstanceChannel::Outcome::Resident:
        break;
    case CInstanceChannel::Outcome::NoInstance:
        ExitInstance();
        return 0;
    // A running instance owns the lights: a start that only talks to it leaves them alone.
    case CInstanceChannel::Outcome::Forwarded:
        return 0;
    case CInstanceChannel::Outcome::NotEnded:
        std::fprintf(stderr, "corvana: the running instance did not end within %d s of the Close request\n",
                     static_cast<int>(std::chrono::duration_cast<std::chrono::seconds>(CInstanceChannel::kCloseDeadline).count()));
        return 1;
    case CInstanceChannel::Outcome::Failed:
        std::fprintf(stderr, "corvana: no running instance could be reached and none could be started\n");
        return 1;
    }

    // Recordings a crash or kill left unfinished are made whole before anything else is recorded.
    UnfinishedRecordings::RepairAll();

    DesktopSession::PreferXWayland();
    if (!DisplayAvailable()) {
        std::fprintf(stderr, "corvana: no display to show the main window on (DISPLAY is %s)\n",
                     qEnvironmentVariableIsEmpty("DISPLAY") ? "not set" : "unreachable");
        ExitInstance();
        return 1;
    }

    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Corvana"));
    QApplication::setOrganizationName(QStringLiteral("Tessaly"));
    QApplication::setDesktopFileName(QStringLiteral(CORVANA_DESKTOP_ID));
    QApplication::setQuitOnLastWindowClosed(false);
    QApplication::setWindowIcon(ProgramIcon());
    LoadTranslation();

    // Watched from the start: a locked desk is known before the first key arrives.
    CSessionLock::Instance();

    int result = 0;
    {
        CMainFrame frame;
        channel.SetRequestHandler([&frame](CInstanceChannel::Request request, std::function<void()> done) {
            if (request == CInstanceChannel::Request::Close) {
                frame.RequestClose(std::move(done));
            } else {
                QCoreApplication::postEvent(&frame, new CMessageEvent(WM_SHOWDIALOG));
                // Answered once the request has been acted on: the sender returns with the
                // window up (or with the request dropped, when one is open already).
                QMetaObject::invokeMethod(&frame, std::move(done), Qt::QueuedConnection);
            }
        });
        if (!channel.Listen()) {
            ExitInstance();
            return 1;
        }
        RouteTerminationSignals(frame);
        CaptureEngine::WarmUp();
        CaptureEngine::Create();
        std::atexit(FinishOnExitFromOutside);
        result = QApplication::exec();
        g_loopEnded = true;
        // Nothing is left running into GStreamer's shutdown, whatever ended the loop.
        CaptureEngine::Shutdown();
    }
    GstRuntime::Shutdown();
    ExitInstance();
    return result;
}

namespace {

bool InstallCatalogue(const QString& name, const QString& folder)
{
    // Owned by the application object, so it lives exactly as long as the texts it serves.
    auto* translator = new QTranslator(QCoreApplication::instance());
    if (!translator->load(QLocale::system(), name, QStringLiteral("_"), folder)) {
        delete translator;
        return false;
    }
    QCoreApplication::installTranslator(translator);
    return true;
}

} // namespace

bool CCorvanaApp::LoadTranslation()
{
    if (!InstallCatalogue(QStringLiteral("corvana"), DataFilePath(QStringLiteral("translations"))))
        return false;
    // Qt's own texts, the message boxes' standard buttons among them, from the system's Qt.
    InstallCatalogue(QStringLiteral("qtbase"), QLibraryInfo::path(QLibraryInfo::TranslationsPath));
    return true;
}

} // namespace corvana
