// The main dialog's modes, recordings and photos with the synthetic webcam and microphone:
// buttons clicked and keys typed through the X server, files checked with ffprobe, the lights
// and the microphone in the controller journal.
#include "DialogRunner.h"
#include "MediaProbe.h"
#include "MessageBoxWatcher.h"
#include "ProgramRunner.h"
#include "TestEnvironment.h"
#include "capture/CAudioRecorder.h"
#include "capture/CCaptureGraph.h"
#include "capture/CPhotoCapture.h"
#include "library/CMediaListBox.h"
#include "support/CSettingsStore.h"
#include "ui/CCorvanaDlg.h"
#include "ui/CHoverButton.h"
#include "ui/CPreviewArea.h"
#include "ui/CProgramState.h"

#include <QDir>
#include <QImage>
#include <QTimer>
#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <sys/mount.h>
#include <sys/statvfs.h>

using namespace corvana;

namespace {

void Click(QWidget* widget, bool twice = false)
{
    const QPoint centre = widget->mapToGlobal(widget->rect().center());
    QStringList arguments{QStringLiteral("mousemove"), QString::number(centre.x()),
                          QString::number(centre.y()), QStringLiteral("click")};
    if (twice)
        arguments << QStringLiteral("--repeat") << QStringLiteral("2") << QStringLiteral("--delay")
                  << QStringLiteral("60");
    arguments << QStringLiteral("1");
    RunTool(QStringLiteral("xdotool"), arguments);
}

void PressKey(const char* keysym)
{
    RunTool(QStringLiteral("xdotool"), {QStringLiteral("key"), QString::fromLatin1(keysym)});
}

QStringList Files(const TestEnvironment& env, const char* folder, const char* pattern)
{
    return QDir(env.MediaFolder(QString::fromLatin1(folder))).entryList({QString::fromLatin1(pattern)}, QDir::Files, QDir::Name);
}

// The journal bytes of this process from the given line on.
QStringList JournalSince(const TestEnvironment& env, qsizetype from)
{
    return env.JournalBytes(QCoreApplication::applicationPid()).mid(from);
}

class ModesTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        TestEnvironment::Set("CORVANA_DEVICES", QStringLiteral("synthetic"));
        CProgramState::PhotoShown = 0;
    }

    // Runs the dialog with the given stored mode; check runs while it is open.
    void WithDialog(int modeState, const std::function<void(CCorvanaDlg&)>& check)
    {
        env.SetUserSettings("[General]\nModeState=" + QByteArray::number(modeState) + "\n");
        RunDialog(check);
    }

    qsizetype JournalSize() const { return env.JournalBytes(QCoreApplication::applicationPid()).size(); }

    TestEnvironment env;
    MessageBoxWatcher boxes;
};

TEST_F(ModesTest, RecordTwiceInEachRecordingModeMakesOneFinishedFileListedAndSelected)
{
    const struct {
        MediaMode mode;
        int button;
        const char* folder;
        const char* pattern;
        const char* micByte;
        const char* codec;
    } modes[] = {
        {MediaMode::Solo, CCorvanaDlg::IDC_SOLO, "AudioSolo", "*.wma", "C1", "wmav2"},
        {MediaMode::Conference, CCorvanaDlg::IDC_CONFERENCE, "AudioConference", "*.wma", "C2", "wmav2"},
        {MediaMode::Video, CCorvanaDlg::IDC_VIDEO, "Video", "*.wmv", "C1", "wmv2"},
    };
    WithDialog(0, [&](CCorvanaDlg& dialog) {
        for (const auto& entry : modes) {
            SCOPED_TRACE(entry.folder);
            if (dialog.Mode() != entry.mode) {
                Click(dialog.Button(entry.button));
                ASSERT_TRUE(WaitFor([&] { return dialog.Mode() == entry.mode; }));
            }
            if (entry.mode == MediaMode::Video) {
                ASSERT_TRUE(WaitFor([&] { return dialog.Preview()->FramesPresented() > 3; }));
            }
            const qsizetype before = JournalSize();
            Click(dialog.Button(CCorvanaDlg::IDC_RECORD));
            ASSERT_TRUE(WaitFor([&] { return dialog.Button(CCorvanaDlg::IDC_RECORD)->IsLatched(); }));
            // The length of the recording, as written.
            ASSERT_TRUE(WaitFor([&] {
                return (entry.mode == MediaMode::Video ? CCaptureGraph::Instance().RecordedSeconds()
                                                       : CAudioRecorder::Instance().RecordedSeconds()) >= 1.5;
            }));
            Click(dialog.Button(CCorvanaDlg::IDC_RECORD));
            ASSERT_TRUE(WaitFor([&] { return !dialog.Button(CCorvanaDlg::IDC_RECORD)->IsLatched(); }));

            const QStringList files = Files(env, entry.folder, entry.pattern);
            ASSERT_EQ(files.size(), 1);
            EXPECT_EQ(dialog.List()->GetCount(), 1);
            EXPECT_EQ(dialog.List()->GetText(dialog.List()->GetCurSel()), files.first());
            const ProbedFile probed = ProbeMedia(env.MediaFolder(QString::fromLatin1(entry.folder)) + files.first());
            ASSERT_TRUE(probed.ok) << "not a finished file";
            EXPECT_GT(probed.duration, 1.0);
            EXPECT_EQ(entry.mode == MediaMode::Video ? probed.video.codec : probed.audio.codec,
                      QString::fromLatin1(entry.codec));
            EXPECT_EQ(JournalSince(env, before),
                      (QStringList{QString::fromLatin1(entry.micByte), QStringLiteral("D2"), QStringLiteral("D3")}));
        }
    });
}

TEST_F(ModesTest, SwitchingModesDuringARecordingStopsItFirst)
{
    WithDialog(0, [&](CCorvanaDlg& dialog) {
        Click(dialog.Button(CCorvanaDlg::IDC_RECORD));
        ASSERT_TRUE(WaitFor([] { return CAudioRecorder::Instance().RecordedSeconds() >= 0.8; }));
        const qsizetype before = JournalSize();
        Click(dialog.Button(CCorvanaDlg::IDC_CONFERENCE));
        ASSERT_TRUE(WaitFor([&] { return dialog.Mode() == MediaMode::Conference; }));
        EXPECT_EQ(CAudioRecorder::Instance().IsRunning(), 0);
        EXPECT_EQ(JournalSince(env, before), QStringList{QStringLiteral("D3")}) << "no microphone call on a switch";
        EXPECT_FALSE(dialog.Button(CCorvanaDlg::IDC_RECORD)->IsLatched());
        EXPECT_TRUE(dialog.Button(CCorvanaDlg::IDC_CONFERENCE)->IsLatched());
        EXPECT_TRUE(dialog.Button(CCorvanaDlg::IDC_CONFERENCE)->IsPushed());
        EXPECT_FALSE(dialog.Button(CCorvanaDlg::IDC_SOLO)->IsPushed());
        const QStringList solo = Files(env, "AudioSolo", "*.wma");
        ASSERT_EQ(solo.size(), 1);
        EXPECT_TRUE(ProbeMedia(env.MediaFolder(QStringLiteral("AudioSolo")) + solo.first()).ok);

        // The same mode's button only renews its latch: no refill, nothing started.
        dialog.Button(CCorvanaDlg::IDC_CONFERENCE)->SetLatched(false);
        TestEnvironment::WriteFile(env.MediaFolder(QStringLiteral("AudioConference")) + QStringLiteral("070101-000000.wma"), "x");
        Click(dialog.Button(CCorvanaDlg::IDC_CONFERENCE));
        ASSERT_TRUE(WaitFor([&] { return dialog.Button(CCorvanaDlg::IDC_CONFERENCE)->IsLatched(); }));
        EXPECT_EQ(dialog.List()->GetCount(), 0);
        EXPECT_EQ(CAudioRecorder::Instance().IsRunning(), 0);
    });
}

TEST_F(ModesTest, PhotoGrabKeepsTheUsersBitmapsAndShowsAndResumes)
{
    const QString photoFolder = env.MediaFolder(QStringLiteral("Photo"));
    TestEnvironment::WriteFile(photoFolder + QStringLiteral("holiday.bmp"), "user's own");
    TestEnvironment::WriteFile(photoFolder + QStringLiteral("061231-235905.bmp"), "stale intermediate");
    WithDialog(3, [&](CCorvanaDlg& dialog) {
        ASSERT_EQ(dialog.Mode(), MediaMode::Photo);
        ASSERT_TRUE(WaitFor([&] { return dialog.Preview()->FramesPresented() > 3; }));
        const qsizetype before = JournalSize();
        Click(dialog.Button(CCorvanaDlg::IDC_RECORD));
        ASSERT_TRUE(WaitFor([&] { return Files(env, "Photo", "*.jpg").size() == 1 && dialog.List()->GetCount() == 1; }));
        EXPECT_EQ(JournalSince(env, before), (QStringList{QStringLiteral("D2"), QStringLiteral("D3")}));
        EXPECT_EQ(Files(env, "Photo", "*.bmp"), QStringList{QStringLiteral("holiday.bmp")});
        const QString jpg = Files(env, "Photo", "*.jpg").first();
        EXPECT_EQ(QImage(photoFolder + jpg).size(), QSize(1024, 768));
        EXPECT_EQ(dialog.List()->GetText(dialog.List()->GetCurSel()), jpg);

        // A double click shows the photo and freezes the live picture.
        QWidget* viewport = dialog.List()->viewport();
        const QRect item = dialog.List()->visualItemRect(dialog.List()->item(0));
        const QPoint at = viewport->mapToGlobal(item.center());
        RunTool(QStringLiteral("xdotool"), {QStringLiteral("mousemove"), QString::number(at.x()),
                                            QString::number(at.y()), QStringLiteral("click"), QStringLiteral("--repeat"),
                                            QStringLiteral("2"), QStringLiteral("--delay"), QStringLiteral("40"),
                                            QStringLiteral("1")});
        ASSERT_TRUE(WaitFor([] { return CProgramState::PhotoShown == 1; }));
        EXPECT_EQ(CProgramState::ShownPhotoIndex, 0);
        EXPECT_TRUE(WaitFor([] { return !CPhotoCapture::Instance().IsPreviewing(); })) << "the live picture kept running";
        QCoreApplication::processEvents();
        const quint64 frozen = dialog.Preview()->FramesPresented();
        QCoreApplication::processEvents();
        EXPECT_EQ(dialog.Preview()->FramesPresented(), frozen) << "a frame was painted over the photo";
        // Play on the same photo returns to the live picture.
        Click(dialog.Button(CCorvanaDlg::IDC_PLAY));
        ASSERT_TRUE(WaitFor([] { return CProgramState::PhotoShown == 0; }));
        EXPECT_TRUE(WaitFor([&] { return dialog.Preview()->FramesPresented() > frozen + 2; }));
    });
}

TEST_F(ModesTest, LockOverDBusDuringAConferenceRecordingStopsItSavesTheModeAndUnlockRestores)
{
    WithDialog(1, [&](CCorvanaDlg& dialog) {
        Click(dialog.Button(CCorvanaDlg::IDC_RECORD));
        ASSERT_TRUE(WaitFor([] { return CAudioRecorder::Instance().RecordedSeconds() >= 0.8; }));
        const qsizetype before = JournalSize();
        QFile::remove(env.UserSettings());  // so that the mode found later was saved by the lock
        auto screensaver = [](const char* active) {
            RunTool(QStringLiteral("dbus-send"), {QStringLiteral("--session"), QStringLiteral("--type=signal"),
                                                  QStringLiteral("/org/freedesktop/ScreenSaver"),
                                                  QStringLiteral("org.freedesktop.ScreenSaver.ActiveChanged"),
                                                  QStringLiteral("boolean:%1").arg(QLatin1String(active))});
        };
        screensaver("true");
        ASSERT_TRUE(WaitFor([&] { return JournalSince(env, before).contains(QStringLiteral("D1")); }));
        EXPECT_EQ(JournalSince(env, before), (QStringList{QStringLiteral("D3"), QStringLiteral("D1")}));
        EXPECT_EQ(CAudioRecorder::Instance().IsRunning(), 0);
        EXPECT_FALSE(dialog.Button(CCorvanaDlg::IDC_RECORD)->IsLatched());
        EXPECT_EQ(CSettingsStore::LoadModeState(), 1);
        const QStringList files = Files(env, "AudioConference", "*.wma");
        ASSERT_EQ(files.size(), 1);
        EXPECT_TRUE(ProbeMedia(env.MediaFolder(QStringLiteral("AudioConference")) + files.first()).ok);

        screensaver("false");
        ASSERT_TRUE(WaitFor([&] { return JournalSince(env, before).contains(QStringLiteral("D0")); }));
        EXPECT_EQ(dialog.Mode(), MediaMode::Conference);
        EXPECT_TRUE(dialog.Button(CCorvanaDlg::IDC_CONFERENCE)->IsPushed());
        EXPECT_TRUE(dialog.Preview()->isVisible());
        EXPECT_EQ(dialog.List()->GetCount(), 1);
    });
}

TEST_F(ModesTest, ModeKeyStepsThroughTheModesAndItsLongPressSavesAndCloses)
{
    WithDialog(0, [&](CCorvanaDlg& dialog) {
        for (MediaMode next : {MediaMode::Conference, MediaMode::Video, MediaMode::Photo, MediaMode::Solo}) {
            PressKey("XF86Launch1");
            ASSERT_TRUE(WaitFor([&] { return dialog.Mode() == next; })) << ToInt(next);
        }
        EXPECT_TRUE(dialog.Button(CCorvanaDlg::IDC_SOLO)->IsLatched());
        PressKey("XF86Launch1");
        ASSERT_TRUE(WaitFor([&] { return dialog.Mode() == MediaMode::Conference; }));
        RunTool(QStringLiteral("xdotool"), {QStringLiteral("keydown"), QStringLiteral("XF86Launch1")});
        EXPECT_TRUE(WaitFor([&] { return !dialog.isVisible(); }, 6000)) << "the long press did not close the dialog";
        RunTool(QStringLiteral("xdotool"), {QStringLiteral("keyup"), QStringLiteral("XF86Launch1")});
        EXPECT_EQ(CSettingsStore::LoadModeState(), 1);
    });
}

TEST_F(ModesTest, OpeningInVideoWithoutCameraReportsOnceAndDisablesRecord)
{
    TestEnvironment::Set("CORVANA_DEVICES", QStringLiteral("none"));
    WithDialog(2, [&](CCorvanaDlg& dialog) {
        EXPECT_TRUE(WaitFor([&] { return !dialog.Button(CCorvanaDlg::IDC_RECORD)->IsEnabledState(); }));
        EXPECT_EQ(boxes.Texts(), QStringList{QStringLiteral("No video capture device was detected.")});
        // The record key still runs Record, which reports the camera again and leaves the light off.
        const qsizetype before = JournalSize();
        PressKey("XF86AudioRecord");
        ASSERT_TRUE(WaitFor([&] { return boxes.Texts().size() == 2; }));
        EXPECT_EQ(boxes.Texts().last(), QStringLiteral("No video capture device was detected."));
        EXPECT_EQ(JournalSince(env, before), QStringList{QStringLiteral("C1")});
        EXPECT_FALSE(dialog.Button(CCorvanaDlg::IDC_RECORD)->IsLatched());
        EXPECT_EQ(dialog.Mode(), MediaMode::Video);
    });
}

TEST_F(ModesTest, RecordWithoutMicrophoneTellsEachPressAndLeavesNoFile)
{
    TestEnvironment::Set("CORVANA_DEVICES", QStringLiteral("none"));
    WithDialog(0, [&](CCorvanaDlg& dialog) {
        const qsizetype before = JournalSize();
        for (int press = 1; press <= 2; ++press) {
            Click(dialog.Button(CCorvanaDlg::IDC_RECORD));
            ASSERT_TRUE(WaitFor([&] { return boxes.Seen().size() == press; }));
            EXPECT_EQ(boxes.Seen().last().caption, QStringLiteral("Corvana"));
            EXPECT_TRUE(boxes.Seen().last().text.contains(QStringLiteral("No microphone"))) << boxes.Seen().last().text.toStdString();
            EXPECT_FALSE(dialog.Button(CCorvanaDlg::IDC_RECORD)->IsLatched());
        }
        EXPECT_EQ(JournalSince(env, before), (QStringList{QStringLiteral("C1"), QStringLiteral("C1")}));
        EXPECT_TRUE(Files(env, "AudioSolo", "*").isEmpty());
        EXPECT_EQ(dialog.List()->GetCount(), 0);
    });
}

// The Video folder on a file system of 600 KB, mounted for the test (needs root).
TEST_F(ModesTest, AFullDiskStopsTheRecordingKeepsItAndTellsTheUser)
{
    const QString folder = env.MediaFolder(QStringLiteral("Video"));
    QDir().mkpath(folder);
    if (mount("tmpfs", QFile::encodeName(folder).constData(), "tmpfs", MS_NOSUID | MS_NODEV, "size=600k,mode=0700") != 0)
        GTEST_SKIP() << "cannot mount a tmpfs (" << std::strerror(errno) << "); this test needs to run as root";
    struct Unmount {
        QByteArray path;
        ~Unmount() { umount2(path.constData(), MNT_DETACH); }
    } unmount{QFile::encodeName(folder)};
    struct statvfs info {};
    ASSERT_EQ(statvfs(unmount.path.constData(), &info), 0);
    const qint64 leave = 80 * 1024;
    const qint64 available = static_cast<qint64>(info.f_bavail) * static_cast<qint64>(info.f_frsize);
    TestEnvironment::WriteFile(folder + QStringLiteral("filler.bin"), QByteArray(static_cast<int>(available - leave), '\0'));

    WithDialog(2, [&](CCorvanaDlg& dialog) {
        ASSERT_TRUE(WaitFor([&] { return dialog.Preview()->FramesPresented() > 3; }));
        const qsizetype before = JournalSize();
        Click(dialog.Button(CCorvanaDlg::IDC_RECORD));
        ASSERT_TRUE(WaitFor([&] { return boxes.Seen().size() == 1; }, 15000)) << "the writer never ran out of space";
        EXPECT_TRUE(boxes.Seen().first().text.contains(QStringLiteral("disk is full"))) << boxes.Seen().first().text.toStdString();
        EXPECT_EQ(JournalSince(env, before), (QStringList{QStringLiteral("C1"), QStringLiteral("D2"), QStringLiteral("D3")}));
        EXPECT_FALSE(dialog.Button(CCorvanaDlg::IDC_RECORD)->IsLatched());
        const QStringList files = Files(env, "Video", "*.wmv");
        ASSERT_EQ(files.size(), 1);
        EXPECT_EQ(dialog.List()->GetText(dialog.List()->GetCurSel()), files.first());
        EXPECT_TRUE(boxes.Seen().first().text.contains(files.first()));
        EXPECT_TRUE(ProbeMedia(folder + files.first()).ok) << "what was written is kept and decodable";
        // The camera is fine: Record is offered and the next press starts a new recording.
        EXPECT_TRUE(dialog.Button(CCorvanaDlg::IDC_RECORD)->IsEnabledState());
    });
}

} // namespace
