// The resident program on PipeWire, the sound and camera server of current desktops (the session
// of scripts/with-session.sh with CORVANA_SOUND=pipewire), with the machine's devices as it finds
// them: a recording from the server's default source, video and a photo from a PipeWire camera, and
// a camera that goes away in the middle of a recording.
#include "MediaProbe.h"
#include "PipeWireNodes.h"
#include "ProgramRunner.h"
#include "TestEnvironment.h"
#include "Xdotool.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QImageReader>
#include <QRegularExpression>
#include <gtest/gtest.h>

namespace {

int Windows() { return VisibleWindowsNamed(QStringLiteral("Corvana")); }

class PipeWireProgramTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!OnPipeWire())
            GTEST_SKIP() << "needs the PipeWire session (CORVANA_SOUND=pipewire scripts/with-session.sh)";
    }
    void TearDown() override
    {
        if (m_resident && m_resident->state() != QProcess::NotRunning) {
            m_resident->kill();
            m_resident->waitForFinished(5000);
        }
        Pactl({QStringLiteral("set-default-source"), QStringLiteral("mic")});
    }

    // The dialog open in the mode, with the real devices.
    void OpenDialog(int mode)
    {
        env.SetUserSettings(QStringLiteral("[General]\nModeState=%1\n").arg(mode).toLatin1());
        m_resident = StartCorvana();
        ASSERT_TRUE(WaitForListener(env.RuntimeDir() + QStringLiteral("/corvana.socket")));
        ASSERT_EQ(RunCorvana(), 0);
        ASSERT_TRUE(WaitFor([] { return Windows() == 1; }));
    }
    // The newest file of the folder (of the pattern) once it holds more than `bytes`.
    QString FileGrownTo(const QString& folder, qint64 bytes, const QString& pattern = QStringLiteral("*"))
    {
        QString file;
        WaitFor([&] {
            const QStringList files = QDir(env.MediaFolder(folder)).entryList({pattern}, QDir::Files, QDir::Time);
            file = files.isEmpty() ? QString() : env.MediaFolder(folder) + files.first();
            return !file.isEmpty() && QFileInfo(file).size() > bytes;
        }, 20000);
        return file;
    }
    QString RecordLight() const
    {
        const QStringList bytes = env.JournalBytes(Pid(m_resident.get())).filter(QRegularExpression(QStringLiteral("^D[23]$")));
        return bytes.isEmpty() ? QString() : bytes.last();
    }
    void Close()
    {
        EXPECT_EQ(RunCorvana({QStringLiteral("Close")}), 0);
        EXPECT_TRUE(m_resident->waitForFinished(10000));
        EXPECT_EQ(m_resident->exitStatus(), QProcess::NormalExit);
    }

    TestEnvironment env;
    std::unique_ptr<QProcess> m_resident;
};

} // namespace

// Solo records the source the sound server calls the default, with another source present.
TEST_F(PipeWireProgramTest, SoloRecordsTheServersDefaultSource)
{
    const auto tone = OwnedNode::ToneMicrophone(QStringLiteral("ToneMic"));
    ASSERT_TRUE(tone->Exists());
    ASSERT_TRUE(Pactl({QStringLiteral("set-default-source"), QStringLiteral("ToneMic")}));
    OpenDialog(0);
    Xdotool(QStringLiteral("key XF86AudioRecord"));
    const QString file = FileGrownTo(QStringLiteral("AudioSolo"), 20000);  // about 2 s at 64 kbit/s
    ASSERT_FALSE(file.isEmpty());
    EXPECT_TRUE(WaitFor([&] { return RecordLight() == QStringLiteral("D2"); }));
    Xdotool(QStringLiteral("key XF86AudioRecord"));
    ASSERT_TRUE(WaitFor([&] { return RecordLight() == QStringLiteral("D3"); }));
    Close();
    const std::vector<qint16> samples = DecodeAudio(file, 8000);
    ASSERT_GT(samples.size(), 8000u);
    EXPECT_GT(ToneShare(samples, 8000, 440), 0.5);  // PipeWire's test tone, not the silent microphone
    EXPECT_EQ(DecodeErrors(file), QString());
}

// Video and Photo with the session's PipeWire camera.
TEST_F(PipeWireProgramTest, AVideoAndAPhotoFromAPipeWireCamera)
{
    OpenDialog(2);
    ASSERT_TRUE(WaitFor([&] { return !env.JournalBytes(Pid(m_resident.get())).isEmpty(); }));
    Xdotool(QStringLiteral("key XF86AudioRecord"));
    const QString video = FileGrownTo(QStringLiteral("Video"), 150000);
    ASSERT_FALSE(video.isEmpty());
    Xdotool(QStringLiteral("key XF86AudioRecord"));
    ASSERT_TRUE(WaitFor([&] { return RecordLight() == QStringLiteral("D3"); }));
    Close();
    const ProbedFile probed = ProbeMedia(video);
    EXPECT_EQ(std::tuple(probed.video.codec, probed.video.width, probed.video.height, probed.audio.codec),
              std::tuple(QStringLiteral("wmv2"), 640, 480, QStringLiteral("wmav2")));
    EXPECT_EQ(DecodeErrors(video), QString());

    OpenDialog(3);
    Xdotool(QStringLiteral("key XF86AudioRecord"));
    const QString photo = FileGrownTo(QStringLiteral("Photo"), 10000, QStringLiteral("*.jpg"));
    ASSERT_TRUE(photo.endsWith(QStringLiteral(".jpg"))) << photo.toStdString();
    EXPECT_EQ(QImageReader(photo).size(), QSize(1024, 768));
    Close();
}

// The camera node destroyed 3 s into a recording, as when it is unplugged: the user is told within
// 5 s, the record light goes off, the file decodes, and recording again and closing are safe.
TEST_F(PipeWireProgramTest, ACameraGoneMidRecordingIsToldAndItsFileKept)
{
    // Made after the session's camera, so it is the last one listed: the one a recording takes.
    const auto camera = OwnedNode::Camera(QStringLiteral("DoomedCamera"));
    ASSERT_TRUE(camera->Exists());
    OpenDialog(2);
    Xdotool(QStringLiteral("key XF86AudioRecord"));
    const QString video = FileGrownTo(QStringLiteral("Video"), 200000);
    ASSERT_FALSE(video.isEmpty());
    ASSERT_TRUE(WaitFor([&] { return RecordLight() == QStringLiteral("D2"); }));
    camera->End();  // its node goes with the program that made it
    QElapsedTimer told;
    told.start();
    ASSERT_TRUE(WaitFor([] { return Windows() == 2; }, 8000)) << "nobody was told";
    EXPECT_LT(told.elapsed(), 5000);
    EXPECT_EQ(RecordLight(), QStringLiteral("D3"));
    Xdotool(QStringLiteral("key Return"));
    ASSERT_TRUE(WaitFor([] { return Windows() == 1; }));
    // Record again: a fresh preview finds the camera that is left (the session's own), records
    // with it and stops, with nothing of the lost one touched.
    Xdotool(QStringLiteral("key XF86AudioRecord"));
    EXPECT_TRUE(WaitFor([&] { return RecordLight() == QStringLiteral("D2"); }));
    Xdotool(QStringLiteral("key XF86AudioRecord"));
    EXPECT_TRUE(WaitFor([&] { return RecordLight() == QStringLiteral("D3"); }));
    EXPECT_EQ(m_resident->state(), QProcess::Running);
    Close();
    const ProbedFile probed = ProbeMedia(video);
    EXPECT_EQ(probed.video.codec, QStringLiteral("wmv2"));
    EXPECT_GE(probed.duration, 2.0);
    EXPECT_EQ(DecodeErrors(video), QString());
}
