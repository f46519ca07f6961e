#pragma once
// The resident program started from the built binary in the test's private environment, as the
// program tests share it: its processes (killed if still running at the end), what it says on
// standard error, its windows and the lights it switched.
#include "ProgramRunner.h"
#include "TestEnvironment.h"
#include "Xdotool.h"

#include <QLocalSocket>
#include <gtest/gtest.h>

#include <csignal>
#include <memory>
#include <vector>

inline int Windows(const QString& title = QStringLiteral("Corvana")) { return VisibleWindowsNamed(title); }
inline bool DialogOpen() { return Windows() == 1; }
inline const QStringList kLightsOff{QStringLiteral("D1"), QStringLiteral("D3")};

class ResidentTest : public ::testing::Test {
protected:
    void TearDown() override
    {
        for (auto& process : started)
            if (process->state() != QProcess::NotRunning) {
                ::kill(static_cast<pid_t>(Pid(process)), SIGCONT);
                process->kill();
                process->waitForFinished(5000);
            }
        for (const char* name : {"XDG_SESSION_TYPE", "CORVANA_KEY_SOURCE", "QT_LOGGING_RULES", "CORVANA_DEVICES"})
            ::unsetenv(name);
    }

    // The resident instance, once it accepts on its socket (a file alone may be a dead instance's
    // leftover); with keepErrors its standard error is for Errors() and Said(), not the test's own.
    QProcess* StartResident(bool keepErrors = false)
    {
        resident = started.emplace_back(StartCorvana({}, keepErrors ? QProcess::SeparateChannels : QProcess::ForwardedErrorChannel)).get();
        EXPECT_TRUE(WaitFor([&] {
            QLocalSocket probe;
            probe.connectToServer(SocketPath());
            return probe.waitForConnected(200);
        })) << "no instance listening";
        return resident;
    }
    // The resident instance with its dialog opened by a second start.
    void OpenDialog()
    {
        StartResident();
        EXPECT_EQ(RunCorvana(), 0);
        EXPECT_TRUE(WaitFor(DialogOpen));
    }

    QString Errors() { return errors += QString::fromLocal8Bit(resident->readAllStandardError()); }
    bool Said(const QString& line, int times = 1) { return WaitFor([&] { return Errors().count(line) >= times; }); }
    bool Ended(int timeoutMs = 20000) { return resident->state() == QProcess::NotRunning || resident->waitForFinished(timeoutMs); }
    // "Close" from a second start ends the resident program cleanly.
    void Close()
    {
        EXPECT_EQ(RunCorvana({QStringLiteral("Close")}), 0);
        ASSERT_TRUE(Ended());
        EXPECT_EQ(resident->exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(resident->exitCode(), 0);
    }
    void Signal(int signal) { ::kill(static_cast<pid_t>(Pid(resident)), signal); }
    QStringList Lights() const { return env.JournalBytes(Pid(resident)); }
    QStringList LastLights() const { return Lights().mid(Lights().size() - 2); }
    QString SocketPath() const { return env.RuntimeDir() + QStringLiteral("/corvana.socket"); }
    bool Saved(const char* mode) const { return TestEnvironment::ReadFile(env.UserSettings()).contains(mode); }

    TestEnvironment env;
    std::vector<std::unique_ptr<QProcess>> started;
    QProcess* resident = nullptr;
    QString errors;
};
