#pragma once
// Starts the real corvana program in the test's private environment and watches it from outside.
#include <QElapsedTimer>
#include <QProcess>
#include <QTest>
#include <QTimer>
#include <QWidget>

#include <memory>

inline QString CorvanaBinary() { return QStringLiteral(CORVANA_BINARY_DIR "/corvana/corvana"); }

// Its standard error goes to the test's own unless `errors` says otherwise.
inline std::unique_ptr<QProcess> StartCorvana(const QStringList& arguments = {},
                                              QProcess::ProcessChannelMode errors = QProcess::ForwardedErrorChannel)
{
    auto process = std::make_unique<QProcess>();
    process->setProcessChannelMode(errors);
    process->setStandardOutputFile(QProcess::nullDevice());
    process->start(CorvanaBinary(), arguments);
    process->waitForStarted(5000);
    process->setProperty("pid", process->processId());
    return process;
}

// The process id, also after the process has ended; of a QProcess* or a unique_ptr to one.
template <typename Process>
qint64 Pid(const Process& process)
{
    return process->property("pid").toLongLong();
}

// Runs a start that should end by itself and returns its exit code (-1 when it did not end, and
// then it is killed as the QProcess goes).
inline int RunCorvana(const QStringList& arguments = {}, int timeoutMs = 20000)
{
    auto process = StartCorvana(arguments);
    return process->waitForFinished(timeoutMs) && process->exitStatus() == QProcess::NormalExit ? process->exitCode() : -1;
}

inline QString RunTool(const QString& program, const QStringList& arguments, int timeoutMs = 10000)
{
    QProcess process;
    process.start(program, arguments);
    process.waitForFinished(timeoutMs);
    return QString::fromUtf8(process.readAllStandardOutput());
}

// Visible top-level windows whose title is exactly the given one.
inline int VisibleWindowsNamed(const QString& title)
{
    const QString out = RunTool(QStringLiteral("xdotool"), {"search", "--onlyvisible", "--name", QStringLiteral("^%1$").arg(title)});
    return static_cast<int>(out.split(QLatin1Char('\n'), Qt::SkipEmptyParts).size());
}

// Runs check once the widget is shown, from its own event loop; message boxes shown while it
// is being set up are answered meanwhile.
inline void RunWhenShown(QWidget& widget, std::function<void()> check)
{
    auto* poll = new QTimer(&widget);
    QObject::connect(poll, &QTimer::timeout, &widget, [poll, &widget, check = std::move(check)] {
        if (!widget.isVisible())
            return;
        poll->stop();
        check();
    });
    poll->start(10);
}

inline bool WaitFor(const std::function<bool()>& condition, int timeoutMs = 10000)
{
    return QTest::qWaitFor(condition, timeoutMs);
}
