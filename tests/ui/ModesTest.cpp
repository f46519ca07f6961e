// The main dialog's modes, recordings and photos with the synthetic webcam and microphone:
// buttons clicked and keys typed through the X server, files checked with ffprobe, the lights
// and the microphone in the controller journal.
#include "DialogRunner.h"
#include "MediaProbe.h"
#include "MessageBoxWatcher.h"
#include "TestEnvironment.h"
#include "Xdotool.h"
#include "capture/CAudioRecorder.h"
#include "capture/CCaptureGraph.h"
#include "capture/CPhotoCapture.h"
#include "support/CSettingsStore.h"
#include "ui/CHoverButton.h"
#include "ui/CMediaListBox.h"
#include "ui/CPreviewArea.h"
#include "ui/CShownPhoto.h"

#include <QAccessible>
#include <QImage>
#include <gtest/gtest.h>

#include <cstring>
#include <tuple>
#include <sys/mount.h>
#include <sys/statvfs.h>

using namespace corvana;

namespace {

void ScreenSaver(const char* active)
{
    RunTool("dbus-send", {"--session", "--type=signal", "/org/freedesktop/ScreenSaver",
                          "org.freedesktop.ScreenSaver.ActiveChanged", QStringLiteral("boolean:") + active});
}

class ModesTest : public ::testing::Test {
protected:
    void WithDialog(int modeState, const std::function<void(CCorvanaDlg&)>& check, const char* devices = "synthetic")
    {
        TestEnvironment::Set("CORVANA_DEVICES", devices);
        CShownPhoto::ForProgram().SetShown(false);
        env.SetUserSettings("[General]\nModeState=" + QByteArray::number(modeState) + "\n");
        RunDialog(check);
    }
    QStringList Files(const QString& folder, const char* pattern) const
    {
        return QDir(env.MediaFolder(folder)).entryList({pattern}, QDir::Files, QDir::Name);
    }
    // Whether the folder holds `count` files and the newest is finished and decodable.
    bool LastFileFinished(const QString& folder, int count = 1) const
    {
        const QStringList files = Files(folder, "*.wm?");
        return files.size() == count && ProbeMedia(env.MediaFolder(folder) + files.last()).ok;
    }
    // The journal bytes of this process written since Mark().
    void Mark() { mark = env.JournalBytes(QCoreApplication::applicationPid()).size(); }
    QStringList Since() const { return env.JournalBytes(QCoreApplication::applicationPid()).mid(mark); }

    TestEnvironment env;
    MessageBoxWatcher boxes;
    qsizetype mark = 0;
};

// Ends in Conference, where a screen lock during a recording stops it and saves the mode, and the
// unlock restores the dialog.
TEST_F(ModesTest, RecordTwiceMakesOneFinishedFileListedAndSelectedAModeSwitchOrALockStopsARecordingFirst)
{
    WithDialog(1, [&](CCorvanaDlg& dialog) {
        CHoverButton* record = dialog.Button(CCorvanaDlg::IDC_RECORD);
        const auto startAudio = [&] {
            Click(record);
            ASSERT_TRUE(WaitFor([&] { return record->IsLatched(); }));
            ASSERT_TRUE(WaitFor([] { return CAudioRecorder::Instance().RecordedSeconds() >= 0.8; }));
            Mark();
        };
        for (auto [mode, folder, micByte, codec] : {std::tuple{MediaMode::Conference, "AudioConference", "C2", "wmav2"},
                                                    std::tuple{MediaMode::Video, "Video", "C1", "wmv2"},
                                                    std::tuple{MediaMode::Solo, "AudioSolo", "C1", "wmav2"}}) {
            SCOPED_TRACE(folder);
            const bool video = mode == MediaMode::Video;
            Click(dialog.ModeButton(mode));
            ASSERT_TRUE(WaitFor([&] { return dialog.Mode() == mode; }));
            ASSERT_TRUE(!video || WaitFor([&] { return dialog.Preview()->FramesPresented() > 3; }));
            Mark();
            Click(record);
            ASSERT_TRUE(WaitFor([&] { return record->IsLatched(); }));
            // The length of the recording, as written.
            ASSERT_TRUE(WaitFor([&] {
                return (video ? CCaptureGraph::Instance().RecordedSeconds() : CAudioRecorder::Instance().RecordedSeconds()) >= 1.5;
            }));
            Click(record);
            ASSERT_TRUE(WaitFor([&] { return !record->IsLatched(); }));
            const QStringList files = Files(folder, "*.wm?");
            ASSERT_EQ(files.size(), 1);
            EXPECT_EQ(dialog.List()->GetCount(), 1);
            EXPECT_EQ(dialog.List()->GetText(dialog.List()->GetCurSel()), files.first());
            const ProbedFile probed = ProbeMedia(env.MediaFolder(folder) + files.first());
            ASSERT_TRUE(probed.ok) << "not a finished file";
            EXPECT_GT(probed.duration, 1.0);
            EXPECT_EQ(video ? probed.video.codec : probed.audio.codec, codec);
            EXPECT_EQ(Since(), (QStringList{micByte, "D2", "D3"}));
        }

        // Solo to Conference during a recording: the recording ends first.
        startAudio();
        Click(dialog.Button(CCorvanaDlg::IDC_CONFERENCE));
        ASSERT_TRUE(WaitFor([&] { return dialog.Mode() == MediaMode::Conference; }));
        EXPECT_EQ(CAudioRecorder::Instance().IsRunning(), 0);
        EXPECT_EQ(Since(), QStringList{"D3"}) << "no microphone call on a switch";
        EXPECT_FALSE(record->IsLatched());
        EXPECT_TRUE(LastFileFinished("AudioSolo", 2));

        startAudio();
        QFile::remove(env.UserSettings());  // so that the mode found later was saved by the lock
        ScreenSaver("true");
        ASSERT_TRUE(WaitFor([&] { return Since().contains("D1"); }));
        EXPECT_EQ(Since(), (QStringList{"D3", "D1"}));
        EXPECT_EQ(CAudioRecorder::Instance().IsRunning(), 0);
        EXPECT_FALSE(record->IsLatched());
        EXPECT_EQ(CSettingsStore::LoadModeState(), 1);
        EXPECT_TRUE(LastFileFinished("AudioConference", 2));
        ScreenSaver("false");
        ASSERT_TRUE(WaitFor([&] { return Since().contains("D0"); }));
        EXPECT_EQ(dialog.Mode(), MediaMode::Conference);
        EXPECT_TRUE(dialog.Preview()->isVisible());
        EXPECT_EQ(dialog.List()->GetCount(), 2);
    });
}

// A recording shows its elapsed time over the preview (and, for sound, the level of what it
// records) for the eye and for assistive tools; after it, the area shows what it showed before.
TEST_F(ModesTest, ARecordingShowsItsTimeAndLevelOverThePreviewUntilItStops)
{
    for (const auto& [modeState, folder] : {std::pair{0, "AudioSolo"}, {2, "Video"}}) {
        SCOPED_TRACE(folder);
        const bool video = modeState == 2;
        WithDialog(modeState, [&](CCorvanaDlg& dialog) {
            CPreviewArea* preview = dialog.Preview();
            CHoverButton* record = dialog.Button(CCorvanaDlg::IDC_RECORD);
            ASSERT_TRUE(!video || WaitFor([&] { return preview->FramesPresented() > 3; }));
            EXPECT_TRUE(preview->ShownElapsedTime().isEmpty());
            Click(record);
            ASSERT_TRUE(WaitFor([&] { return record->IsLatched(); }));
            ASSERT_TRUE(WaitFor([&] { return preview->ShownElapsedTime() == QStringLiteral("0:02"); }, 8000))
                << preview->ShownElapsedTime().toStdString();
            // The synthetic microphone's tone, at about -10 dB.
            if (!video) {
                EXPECT_TRUE(WaitFor([&] { return preview->ShownLevel() && preview->ShownLevel()->first > -20; }));
            } else {
                EXPECT_FALSE(preview->ShownLevel()) << "a meter over the video";
            }
            QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(preview);
            ASSERT_NE(accessible, nullptr);
            EXPECT_TRUE(accessible->text(QAccessible::Description).contains(QStringLiteral("0:02")));

            // On the screen: the time's plate in the top left corner, the meter along the bottom.
            const QImage shot = preview->grab().toImage().convertToFormat(QImage::Format_RGB32);
            const QImage under = preview->Content();
            const auto differing = [&](const QRect& area) {
                int count = 0;
                for (int y = area.top(); y <= area.bottom(); ++y)
                    for (int x = area.left(); x <= area.right(); ++x)
                        count += shot.pixel(x, y) != under.pixel(x, y) ? 1 : 0;
                return count;
            };
            EXPECT_GT(differing(QRect(8, 8, 40, 20)), 200) << "no time painted";
            EXPECT_EQ(differing(QRect(100, 60, 120, 100)), 0) << "the overlay covers the picture";
            const QRect meter(16, preview->height() - 24, preview->width() - 32, 10);
            EXPECT_EQ(differing(meter) > 0, !video);

            Click(record);
            ASSERT_TRUE(WaitFor([&] { return !record->IsLatched(); }));
            EXPECT_TRUE(preview->ShownElapsedTime().isEmpty());
            EXPECT_FALSE(accessible->text(QAccessible::Description).contains(QStringLiteral("0:0")));
            if (!video) {
                EXPECT_TRUE(preview->ShowsPlaceholder());
                EXPECT_EQ(preview->grab().toImage().convertToFormat(QImage::Format_RGB32), preview->Content())
                    << "the placeholder is not back as it was";
            }
        });
        // The time shown followed what was recorded: two seconds and a little more.
        const QStringList files = Files(folder, "*.wm?");
        ASSERT_EQ(files.size(), 1);
        const double seconds = ProbeMedia(env.MediaFolder(folder) + files.first()).duration;
        EXPECT_GE(seconds, 1.9);
        EXPECT_LT(seconds, 4.0);
        QDir(env.MediaFolder(folder)).removeRecursively();
    }
}

TEST_F(ModesTest, AGrabKeepsTheUsersBitmapsAndAShownPhotoPausesTheLivePicture)
{
    const QString photos = env.MediaFolder("Photo");
    TestEnvironment::WriteFile(photos + "holiday.bmp", "user's own");
    TestEnvironment::WriteFile(photos + "061231-235905.bmp", "stale intermediate");
    WithDialog(3, [&](CCorvanaDlg& dialog) {
        ASSERT_TRUE(WaitFor([&] { return dialog.Preview()->FramesPresented() > 3; }));
        Mark();
        Click(dialog.Button(CCorvanaDlg::IDC_RECORD));
        ASSERT_TRUE(WaitFor([&] { return Files("Photo", "*.jpg").size() == 1 && dialog.List()->GetCount() == 1; }));
        EXPECT_EQ(Since(), (QStringList{"D2", "D3"}));
        EXPECT_EQ(Files("Photo", "*.bmp"), QStringList{"holiday.bmp"});
        const QString jpg = Files("Photo", "*.jpg").first();
        EXPECT_EQ(QImage(photos + jpg).size(), QSize(1024, 768));
        EXPECT_EQ(dialog.List()->GetText(dialog.List()->GetCurSel()), jpg);

        // A double click shows the photo and freezes the live picture; Play returns to it.
        Click(dialog.List()->viewport(), dialog.List()->visualItemRect(dialog.List()->item(0)).center(), "2");
        ASSERT_TRUE(WaitFor([] { return CShownPhoto::ForProgram().Shown(); }));
        EXPECT_TRUE(WaitFor([] { return !CPhotoCapture::Instance().IsPreviewing(); })) << "the live picture kept running";
        const quint64 frozen = dialog.Preview()->FramesPresented();
        Click(dialog.Button(CCorvanaDlg::IDC_PLAY));
        ASSERT_TRUE(WaitFor([] { return !CShownPhoto::ForProgram().Shown(); }));
        EXPECT_TRUE(WaitFor([&] { return dialog.Preview()->FramesPresented() > frozen + 2; }));
    });
}

TEST_F(ModesTest, ModeKeyStepsThroughTheModesAndItsLongPressSavesAndCloses)
{
    WithDialog(0, [&](CCorvanaDlg& dialog) {
        for (MediaMode next : {MediaMode::Conference, MediaMode::Video, MediaMode::Photo, MediaMode::Solo, MediaMode::Conference}) {
            Xdo({"key", "XF86Launch1"});
            ASSERT_TRUE(WaitFor([&] { return dialog.Mode() == next; })) << ToInt(next);
            EXPECT_TRUE(dialog.ModeButton(next)->IsLatched());
        }
        Xdo({"keydown", "XF86Launch1"});
        EXPECT_TRUE(WaitFor([&] { return !dialog.isVisible(); }, 6000)) << "the long press did not close the dialog";
        Xdo({"keyup", "XF86Launch1"});
        EXPECT_EQ(CSettingsStore::LoadModeState(), 1);
    });
}

TEST_F(ModesTest, WithoutDevicesRecordTellsEachPressAndRecordsNothing)
{
    const QString noCamera = "No video capture device was detected.";
    WithDialog(2, [&](CCorvanaDlg& dialog) {
        // Opening in Video tells once and disables Record; the record key still runs Record,
        // which tells again and leaves the light off.
        EXPECT_TRUE(WaitFor([&] { return !dialog.Button(CCorvanaDlg::IDC_RECORD)->IsEnabledState(); }));
        EXPECT_EQ(boxes.Texts(), QStringList{noCamera});
        Mark();
        Xdo({"key", "XF86AudioRecord"});
        ASSERT_TRUE(WaitFor([&] { return boxes.Texts().size() == 2; }));
        EXPECT_EQ(boxes.Texts().last(), noCamera);
        EXPECT_EQ(Since(), QStringList{"C1"});
        EXPECT_FALSE(dialog.Button(CCorvanaDlg::IDC_RECORD)->IsLatched());

        Click(dialog.Button(CCorvanaDlg::IDC_SOLO));
        ASSERT_TRUE(WaitFor([&] { return dialog.Mode() == MediaMode::Solo; }));
        Mark();
        for (int press = 1; press <= 2; ++press) {
            Click(dialog.Button(CCorvanaDlg::IDC_RECORD));
            ASSERT_TRUE(WaitFor([&] { return boxes.Seen().size() == 2 + press; })) << "Record not offered in Solo: " << !dialog.Button(CCorvanaDlg::IDC_RECORD)->IsEnabledState();
            EXPECT_TRUE(boxes.Seen().last().text.contains("No microphone")) << boxes.Seen().last().text.toStdString();
            EXPECT_FALSE(dialog.Button(CCorvanaDlg::IDC_RECORD)->IsLatched());
        }
        EXPECT_EQ(Since(), (QStringList{"C1", "C1"}));
        EXPECT_TRUE(Files("AudioSolo", "*").isEmpty());
    }, "none");
}

// The Video folder on a file system of 600 KB, mounted for the test (needs root).
TEST_F(ModesTest, AFullDiskStopsTheRecordingKeepsItAndTellsTheUserOnce)
{
    const QString folder = env.MediaFolder("Video");
    QDir().mkpath(folder);
    if (mount("tmpfs", QFile::encodeName(folder).constData(), "tmpfs", MS_NOSUID | MS_NODEV, "size=600k,mode=0700") != 0)
        GTEST_SKIP() << "cannot mount a tmpfs (" << std::strerror(errno) << "); this test needs to run as root";
    struct Unmount {
        QByteArray path;
        ~Unmount() { umount2(path.constData(), MNT_DETACH); }
    } unmount{QFile::encodeName(folder)};
    struct statvfs info {};
    ASSERT_EQ(statvfs(unmount.path.constData(), &info), 0);
    // Full but for 80 KB.
    TestEnvironment::WriteFile(folder + "filler.bin", QByteArray(int(info.f_bavail * info.f_frsize - 80 * 1024), '\0'));

    WithDialog(2, [&](CCorvanaDlg& dialog) {
        ASSERT_TRUE(WaitFor([&] { return dialog.Preview()->FramesPresented() > 3; }));
        Mark();
        Click(dialog.Button(CCorvanaDlg::IDC_RECORD));
        ASSERT_TRUE(WaitFor([&] { return boxes.Seen().size() == 1; }, 15000)) << "the writer never ran out of space";
        const QString told = boxes.Seen().first().text;
        EXPECT_TRUE(told.contains("disk is full")) << told.toStdString();
        EXPECT_EQ(Since(), (QStringList{"C1", "D2", "D3"}));
        EXPECT_FALSE(dialog.Button(CCorvanaDlg::IDC_RECORD)->IsLatched());
        EXPECT_TRUE(LastFileFinished("Video")) << "what was written is kept and decodable";
        const QString file = Files("Video", "*.wmv").value(0);
        EXPECT_EQ(dialog.List()->GetText(dialog.List()->GetCurSel()), file);
        EXPECT_TRUE(told.contains(file));
        // The camera is fine: Record is still offered.
        EXPECT_TRUE(dialog.Button(CCorvanaDlg::IDC_RECORD)->IsEnabledState());
        // Told once: a click handled after all that was queued before it.
        Click(dialog.Button(CCorvanaDlg::IDC_SOLO));
        ASSERT_TRUE(WaitFor([&] { return dialog.Mode() == MediaMode::Solo; }));
        EXPECT_EQ(boxes.Seen().size(), 1);
    });
}

} // namespace
