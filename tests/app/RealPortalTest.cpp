// The resident program against the desktop portal a KDE desktop runs: xdg-desktop-portal with its
// KDE backend and kglobalaccel, started here by PID on the test's private bus and stopped again
// at the end. The backend binds only the shortcuts a session is made with; the program's keys are
// kglobalaccel's then, and a shortcut kglobalaccel invokes reaches the program.
#include "ProgramRunner.h"
#include "TestEnvironment.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QFileInfo>
#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace {

const QString kGlobalAccel = QStringLiteral("/usr/bin/kglobalaccel5");
const QString kKdeBackend = QStringLiteral("/usr/lib/x86_64-linux-gnu/libexec/xdg-desktop-portal-kde");
const QString kFrontend = QStringLiteral("/usr/libexec/xdg-desktop-portal");

bool DialogOpen() { return VisibleWindowsNamed(QStringLiteral("Corvana")) == 1; }

bool NameOwned(const QString& name)
{
    return QDBusConnection::sessionBus().interface()->isServiceRegistered(name).value();
}

QVariantList CallGlobalAccel(const QString& path, const QString& interface, const QString& method, const QVariantList& arguments)
{
    QDBusMessage call = QDBusMessage::createMethodCall(QStringLiteral("org.kde.kglobalaccel"), path, interface, method);
    call.setArguments(arguments);
    const QDBusMessage reply = QDBusConnection::sessionBus().call(call, QDBus::Block, 5000);
    return reply.type() == QDBusMessage::ReplyMessage ? reply.arguments() : QVariantList();
}

QStringList ShortcutNames(const QString& component)
{
    QStringList names = CallGlobalAccel(component, QStringLiteral("org.kde.kglobalaccel.Component"),
                                        QStringLiteral("shortcutNames"), {QStringLiteral("default")})
                            .value(0)
                            .toStringList();
    names.sort();
    return names;
}

// The object of kglobalaccel's component that holds a "mode" shortcut; empty while there is none.
QString ModeComponent()
{
    const QVariantList reply = CallGlobalAccel(QStringLiteral("/kglobalaccel"), QStringLiteral("org.kde.KGlobalAccel"),
                                               QStringLiteral("allComponents"), {});
    if (reply.isEmpty())
        return {};
    for (const QDBusObjectPath& component : qdbus_cast<QList<QDBusObjectPath>>(reply.constFirst()))
        if (ShortcutNames(component.path()).contains(QStringLiteral("mode")))
            return component.path();
    return {};
}

class RealPortalTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        for (const QString& binary : {kGlobalAccel, kKdeBackend, kFrontend})
            if (!QFileInfo(binary).isExecutable())
                GTEST_SKIP() << binary.toStdString() << " is not installed (scripts/install-deps.sh installs it)";
        TestEnvironment::Set("XDG_SESSION_TYPE", "wayland");
        TestEnvironment::Set("QT_LOGGING_RULES", "corvana.support.debug=true");
        ::unsetenv("QT_QPA_PLATFORM");
        env.SetUserSettings("[General]\nModeState=0\n");
    }
    void TearDown() override
    {
        if (resident && resident->state() != QProcess::NotRunning) {
            resident->kill();
            resident->waitForFinished(5000);
        }
        // Newest first: the frontend before the backend it calls, the backend before kglobalaccel.
        for (auto it = components.rbegin(); it != components.rend(); ++it) {
            QProcess& component = **it;
            if (component.state() == QProcess::NotRunning)
                continue;
            component.terminate();
            if (!component.waitForFinished(5000)) {
                component.kill();
                component.waitForFinished(5000);
            }
        }
        ::unsetenv("XDG_SESSION_TYPE");
        ::unsetenv("QT_LOGGING_RULES");
    }

    // Starts a component and waits until it owns its name on the bus.
    void StartComponent(const QString& binary, const QString& busName, const QProcessEnvironment& environment)
    {
        auto process = std::make_unique<QProcess>();
        process->setProcessEnvironment(environment);
        process->setProcessChannelMode(QProcess::MergedChannels);
        process->setStandardOutputFile(env.Root() + QStringLiteral("/") + QFileInfo(binary).fileName() + QStringLiteral(".log"));
        process->start(binary, {});
        QProcess* started = process.get();
        components.push_back(std::move(process));
        ASSERT_TRUE(started->waitForStarted(5000)) << binary.toStdString();
        ASSERT_TRUE(WaitFor([&] { return NameOwned(busName) || started->state() == QProcess::NotRunning; }));
        ASSERT_TRUE(NameOwned(busName)) << binary.toStdString() << " ended: " << ComponentLog(binary).toStdString();
    }
    QString ComponentLog(const QString& binary) const
    {
        return QString::fromLocal8Bit(TestEnvironment::ReadFile(env.Root() + QStringLiteral("/") + QFileInfo(binary).fileName()
                                                                + QStringLiteral(".log")));
    }

    // kglobalaccel grabs on the session's X display; the backend needs no screen of its own. The
    // frontend picks the backend by the desktop's name, so it comes last.
    void StartPortal()
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("XDG_CURRENT_DESKTOP"), QStringLiteral("KDE"));
        environment.remove(QStringLiteral("QT_LOGGING_RULES"));
        ASSERT_NO_FATAL_FAILURE(StartComponent(kGlobalAccel, QStringLiteral("org.kde.kglobalaccel"), environment));
        // Its BindShortcuts opens the desktop's shortcut settings: no program of the machine is
        // to be started behind the test.
        QProcessEnvironment backend = environment;
        backend.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        backend.insert(QStringLiteral("PATH"), env.Root() + QStringLiteral("/no-programs"));
        backend.insert(QStringLiteral("QT_LOGGING_RULES"), QStringLiteral("xdp-kde-GlobalShortcuts.debug=true"));
        ASSERT_NO_FATAL_FAILURE(
            StartComponent(kKdeBackend, QStringLiteral("org.freedesktop.impl.portal.desktop.kde"), backend));
        ASSERT_NO_FATAL_FAILURE(StartComponent(kFrontend, QStringLiteral("org.freedesktop.portal.Desktop"), environment));
    }

    void StartResident()
    {
        resident = StartResidentKeepingErrors(env.RuntimeDir());
        ASSERT_TRUE(resident) << "the resident program did not come up";
    }
    QString Errors() { return errors += QString::fromLocal8Bit(resident->readAllStandardError()); }

    TestEnvironment env;
    std::vector<std::unique_ptr<QProcess>> components;
    std::unique_ptr<QProcess> resident;
    QString errors;
};

TEST_F(RealPortalTest, TheShortcutsAreBoundInKglobalaccelAndItsModeShortcutOpensTheWindow)
{
    ASSERT_NO_FATAL_FAILURE(StartPortal());
    StartResident();

    // The program believes what the portal's Responses list, and they list all five.
    ASSERT_TRUE(WaitFor([&] { return Errors().contains("portal shortcuts bound in"); }, 20000)) << errors.toStdString();
    EXPECT_TRUE(errors.contains(": mode next play previous record")) << errors.toStdString();
    EXPECT_FALSE(errors.contains("portal shortcuts: none bound")) << errors.toStdString();
    // The backend took them from CreateSession's options, in the type it reads there.
    const QString backendLog = ComponentLog(kKdeBackend);
    EXPECT_TRUE(backendLog.contains("CreateSession called")) << backendLog.toStdString();
    EXPECT_FALSE(backendLog.contains("Wrong global shortcuts type")) << backendLog.toStdString();

    // The binding is kglobalaccel's own: a component of the session with the five shortcuts.
    QString component;
    ASSERT_TRUE(WaitFor([&] { return !(component = ModeComponent()).isEmpty(); }));
    EXPECT_EQ(ShortcutNames(component), QStringList({"mode", "next", "play", "previous", "record"}));

    ASSERT_FALSE(DialogOpen());
    CallGlobalAccel(component, QStringLiteral("org.kde.kglobalaccel.Component"), QStringLiteral("invokeShortcut"),
                    {QStringLiteral("mode"), QStringLiteral("default")});
    EXPECT_TRUE(WaitFor(DialogOpen)) << ComponentLog(kKdeBackend).toStdString();
    EXPECT_FALSE(Errors().contains("special keys")) << errors.toStdString();

    // The session ends with the program, and so does the program, cleanly.
    EXPECT_EQ(RunCorvana({"Close"}), 0);
    ASSERT_TRUE(resident->waitForFinished(10000));
    EXPECT_EQ(resident->exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(resident->exitCode(), 0);
}

} // namespace
