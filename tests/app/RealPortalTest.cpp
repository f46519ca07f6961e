// The resident program against the desktop portal a KDE desktop runs: xdg-desktop-portal with its
// KDE backend and kglobalaccel, started here by PID on the test's private bus and stopped again
// at the end. The backend binds only the shortcuts a session is made with; the program's keys are
// kglobalaccel's then, and a shortcut kglobalaccel invokes reaches the program.
#include "ResidentFixture.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QFileInfo>

namespace {

const QString kGlobalAccel = QStringLiteral("/usr/bin/kglobalaccel5");
const QString kKdeBackend = QStringLiteral("/usr/lib/x86_64-linux-gnu/libexec/xdg-desktop-portal-kde");
const QString kFrontend = QStringLiteral("/usr/libexec/xdg-desktop-portal");
const QString kComponent = QStringLiteral("org.kde.kglobalaccel.Component");

bool NameOwned(const QString& name) { return QDBusConnection::sessionBus().interface()->isServiceRegistered(name).value(); }

QVariantList CallGlobalAccel(const QString& path, const QString& interface, const QString& method, const QVariantList& arguments)
{
    QDBusMessage call = QDBusMessage::createMethodCall(QStringLiteral("org.kde.kglobalaccel"), path, interface, method);
    call.setArguments(arguments);
    const QDBusMessage reply = QDBusConnection::sessionBus().call(call, QDBus::Block, 5000);
    return reply.type() == QDBusMessage::ReplyMessage ? reply.arguments() : QVariantList();
}

QStringList ShortcutNames(const QString& component)
{
    QStringList names = CallGlobalAccel(component, kComponent, QStringLiteral("shortcutNames"), {QStringLiteral("default")})
                            .value(0).toStringList();
    names.sort();
    return names;
}

// The object of kglobalaccel's component that holds a "mode" shortcut; empty while there is none.
QString ModeComponent()
{
    const QVariantList reply = CallGlobalAccel(QStringLiteral("/kglobalaccel"), QStringLiteral("org.kde.KGlobalAccel"),
                                               QStringLiteral("allComponents"), {});
    for (const QDBusObjectPath& component : qdbus_cast<QList<QDBusObjectPath>>(reply.value(0)))
        if (ShortcutNames(component.path()).contains(QStringLiteral("mode")))
            return component.path();
    return {};
}

class RealPortalTest : public ResidentTest {
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
        ResidentTest::TearDown();
        // Newest first: the frontend before the backend it calls, the backend before kglobalaccel.
        for (auto it = components.rbegin(); it != components.rend(); ++it) {
            (*it)->terminate();
            if (!(*it)->waitForFinished(5000))
                (*it)->kill();
            (*it)->waitForFinished(5000);
        }
    }

    QString LogOf(const QString& binary) const { return env.Root() + QStringLiteral("/") + QFileInfo(binary).fileName() + QStringLiteral(".log"); }
    QString ComponentLog(const QString& binary) const { return QString::fromLocal8Bit(TestEnvironment::ReadFile(LogOf(binary))); }
    // Starts a component and waits until it owns its name on the bus.
    void StartComponent(const QString& binary, const QString& busName, const QProcessEnvironment& environment)
    {
        QProcess* process = components.emplace_back(std::make_unique<QProcess>()).get();
        process->setProcessEnvironment(environment);
        process->setProcessChannelMode(QProcess::MergedChannels);
        process->setStandardOutputFile(LogOf(binary));
        process->start(binary, {});
        ASSERT_TRUE(process->waitForStarted(5000)) << binary.toStdString();
        ASSERT_TRUE(WaitFor([&] { return NameOwned(busName) || process->state() == QProcess::NotRunning; }));
        ASSERT_TRUE(NameOwned(busName)) << binary.toStdString() << " ended: " << ComponentLog(binary).toStdString();
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
        ASSERT_NO_FATAL_FAILURE(StartComponent(kKdeBackend, QStringLiteral("org.freedesktop.impl.portal.desktop.kde"), backend));
        ASSERT_NO_FATAL_FAILURE(StartComponent(kFrontend, QStringLiteral("org.freedesktop.portal.Desktop"), environment));
    }

    std::vector<std::unique_ptr<QProcess>> components;
};

TEST_F(RealPortalTest, TheShortcutsAreBoundInKglobalaccelAndItsModeShortcutOpensTheWindow)
{
    ASSERT_NO_FATAL_FAILURE(StartPortal());
    StartResident(true);

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
    CallGlobalAccel(component, kComponent, QStringLiteral("invokeShortcut"), {QStringLiteral("mode"), QStringLiteral("default")});
    EXPECT_TRUE(WaitFor(DialogOpen)) << ComponentLog(kKdeBackend).toStdString();
    EXPECT_FALSE(Errors().contains("special keys")) << errors.toStdString();
    // The session ends with the program, and so does the program, cleanly.
    Close();
}

} // namespace
