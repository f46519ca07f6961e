// The main dialog as a screen reader sees it over AT-SPI: a private accessibility bus in the test
// session, the application's tree and events read by pyatspi in a separate process.
#include "DialogRunner.h"
#include "MessageBoxWatcher.h"
#include "TestEnvironment.h"
#include "Xdotool.h"
#include "ui/CAboutDlg.h"
#include "ui/CHoverButton.h"

#include <QAccessible>
#include <QApplication>
#include <QJsonDocument>
#include <QJsonObject>
#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

using namespace corvana;

namespace {

const char* const kLauncher = "/usr/libexec/at-spi-bus-launcher";
const QString kProbe = QStringLiteral(CORVANA_SOURCE_DIR "/tests/ui/atspi_probe.py");
const QString kPython = QStringLiteral("/usr/bin/python3");

QString Pid() { return QString::number(QCoreApplication::applicationPid()); }

// Every accessible object of this process, as pyatspi reads them.
QList<QJsonObject> Tree()
{
    QProcess probe;
    probe.start(kPython, {kProbe, "tree", Pid()});
    // The application answers from this thread: the loop runs while the probe reads.
    EXPECT_TRUE(WaitFor([&] { return probe.state() == QProcess::NotRunning; }, 30000));
    EXPECT_EQ(probe.exitCode(), 0) << probe.readAllStandardError().toStdString();
    QList<QJsonObject> nodes;
    for (const QByteArray& line : probe.readAllStandardOutput().split('\n'))
        if (!line.isEmpty())
            nodes << QJsonDocument::fromJson(line).object();
    return nodes;
}

QJsonObject Named(const QList<QJsonObject>& tree, const QString& name)
{
    const auto node = std::find_if(tree.begin(), tree.end(), [&](const QJsonObject& n) { return n.value("name") == name; });
    return node == tree.end() ? QJsonObject() : *node;
}

// Checked-state and focus events of this process, as they arrive; ready once the probe listens.
struct Events {
    Events()
    {
        probe.start(kPython, {kProbe, "events", Pid()});
        ready = WaitFor([&] { return Read().contains(QJsonObject{{"ready", true}}); }, 30000);
    }
    ~Events() { probe.kill(), probe.waitForFinished(); }
    QList<QJsonObject> Read()
    {
        while (probe.canReadLine()) {
            const QByteArray line = probe.readLine().trimmed();
            seen << (line == "ready" ? QJsonObject{{"ready", true}} : QJsonDocument::fromJson(line).object());
        }
        return seen;
    }
    bool Saw(const QString& type, const QString& name, int detail)
    {
        return WaitFor([&] {
            const QList<QJsonObject> events = Read();
            return std::any_of(events.begin(), events.end(), [&](const QJsonObject& event) {
                return event.value("type") == type && event.value("name") == name && event.value("detail").toInt() == detail;
            });
        });
    }

    QProcess probe;
    QList<QJsonObject> seen;
    bool ready = false;
};

class AtSpiTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (::access(kLauncher, X_OK) != 0 || ::access(kPython.toLocal8Bit().constData(), X_OK) != 0)
            GTEST_SKIP() << "at-spi2-core or python3 is not installed";
    }
    TestEnvironment env;
    MessageBoxWatcher boxes;
};

// Every control of the dialog and of the About box reaches the bus with the name and the
// description it has; the latching buttons say they are checkable and which is checked, and
// announce their changes; the volume and the version can be read.
TEST_F(AtSpiTest, EveryControlIsNamedAndDescribedLatchedButtonsAreCheckedWithEventsAndTheVersionAndVolumeAreReadable)
{
    env.SetUserSettings("[General]\nModeState=0\n");
    env.SetMachineSettings("[General]\nVersion=9.8.7.6\n");
    for (const char* name : {"061230-120000.wma", "070101-000000.wma"})
        TestEnvironment::WriteFile(env.MediaFolder("AudioConference") + name, "sound");
    TestEnvironment::Set("CORVANA_DEVICES", QStringLiteral("synthetic"));
    RunDialog([&](CCorvanaDlg& dialog) {
        QList<QJsonObject> tree = Tree();
        for (const char* name : {"Solo", "Conference", "Video Record", "Photo Grab", "Record", "Play"}) {
            SCOPED_TRACE(name);
            EXPECT_TRUE(Named(tree, name).value("checkable").toBool()) << QJsonDocument(Named(tree, name)).toJson().toStdString();
            EXPECT_EQ(Named(tree, name).value("checked").toBool(), QLatin1String(name) == QLatin1String("Solo"));
        }
        EXPECT_FALSE(Named(tree, "Stop").value("checkable").toBool()) << "only latching buttons are checkable";
        const QJsonObject volume = Named(tree, "Volume");
        EXPECT_EQ(volume.value("maximum").toDouble(), 8);
        EXPECT_GE(volume.value("value").toDouble(), 1);
        EXPECT_LE(volume.value("value").toDouble(), 8);

        Events events;
        ASSERT_TRUE(events.ready);
        // The keyboard on a button: a mode change refills the list, which must not pull a screen
        // reader's focus into it.
        dialog.Button(CCorvanaDlg::IDC_STOP)->setFocus(Qt::TabFocusReason);
        Click(dialog.ModeButton(MediaMode::Conference));
        ASSERT_TRUE(WaitFor([&] { return dialog.Mode() == MediaMode::Conference; }));
        EXPECT_TRUE(events.Saw("object:state-changed:checked", "Conference", 1));
        EXPECT_TRUE(events.Saw("object:state-changed:checked", "Solo", 0));
        // A recording is announced as Record checked, its end as unchecked; and the events come
        // in order, so by then any focus event of the refill has arrived too.
        Click(dialog.Button(CCorvanaDlg::IDC_RECORD));
        EXPECT_TRUE(events.Saw("object:state-changed:checked", "Record", 1));
        Click(dialog.Button(CCorvanaDlg::IDC_RECORD));
        EXPECT_TRUE(events.Saw("object:state-changed:checked", "Record", 0));
        for (const QJsonObject& event : events.Read())
            EXPECT_NE(event.value("role").toString(), QStringLiteral("list item"))
                << QJsonDocument(event).toJson().toStdString();

        CAboutDlg about(&dialog);
        about.show();
        ASSERT_TRUE(WaitFor([&] { return about.isVisible(); }));
        tree = Tree();
        EXPECT_TRUE(std::any_of(tree.begin(), tree.end(), [](const QJsonObject& node) { return node.value("name").toString().contains("9.8.7.6"); }))
            << "the version is not in any name";
        // The dialog's controls carry their id as object name: thirteen buttons, the list, the
        // preview and the volume indicator. The About box has five parts.
        for (auto [parent, controls] : {std::pair<QWidget*, int>{&dialog, 16}, {&about, 5}}) {
            int checked = 0;
            for (QWidget* control : parent->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly)) {
                bool numbered = false;
                control->objectName().toInt(&numbered);
                if (parent == &dialog && !numbered)
                    continue;
                ++checked;
                QAccessibleInterface* face = QAccessible::queryAccessibleInterface(control);
                ASSERT_TRUE(face);
                const QString name = face->text(QAccessible::Name).trimmed(), description = face->text(QAccessible::Description).trimmed();
                SCOPED_TRACE(control->metaObject()->className() + (" " + control->objectName().toStdString()));
                EXPECT_NE(name, "");
                EXPECT_NE(description, "");
                EXPECT_TRUE(std::any_of(tree.begin(), tree.end(), [&](const QJsonObject& node) {
                    return node.value("name").toString().trimmed() == name && node.value("description").toString().trimmed() == description;
                })) << name.toStdString() << ": " << description.toStdString();
            }
            EXPECT_EQ(checked, controls);
        }
        about.close();
    });
}

} // namespace

// The accessibility bus is up before the application starts, as on a desktop with a screen
// reader, and Qt serves it whatever the desktop's setting says.
int main(int argc, char* argv[])
{
    pid_t launcher = 0;
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP);
    posix_spawnattr_setpgroup(&attributes, 0);
    char* launcherArgs[] = {const_cast<char*>(kLauncher), const_cast<char*>("--launch-immediately"), nullptr};
    const bool started = ::access(kLauncher, X_OK) == 0
                         && posix_spawn(&launcher, kLauncher, nullptr, &attributes, launcherArgs, environ) == 0;
    posix_spawnattr_destroy(&attributes);
    if (started)
        QProcess::execute(QStringLiteral("sh"), {"-c", "for i in $(seq 100); do dbus-send --session --print-reply "
                                                       "--dest=org.a11y.Bus /org/a11y/bus org.a11y.Bus.GetAddress "
                                                       ">/dev/null 2>&1 && exit 0; sleep 0.1; done; exit 1"});
    ::setenv("QT_LINUX_ACCESSIBILITY_ALWAYS_ON", "1", 1);
    int result = 0;
    {
        QApplication application(argc, argv);
        QApplication::setQuitOnLastWindowClosed(false);
        ::testing::InitGoogleTest(&argc, argv);
        result = RUN_ALL_TESTS();
    }
    if (started) {
        ::kill(-launcher, SIGTERM);
        ::waitpid(launcher, nullptr, 0);
    }
    return result;
}
