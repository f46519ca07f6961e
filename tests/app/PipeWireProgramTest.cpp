// The resident program on PipeWire, the sound and camera server of current desktops (the session
// of scripts/with-session.sh with CORVANA_SOUND=pipewire), with the machine's devices as it finds
// them: a recording from the server's default source, a camera that goes away in the middle of a
// recording, and video and a photo from the camera that is left.
#include "MediaProbe.h"
#include "PipeWireNodes.h"
#include "ResidentFixture.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QImageReader>
#include <QRegularExpression>

namespace {

class PipeWireProgramTest : public ResidentTest {
protected:
    void SetUp() override
    {
        if (!OnPipeWire())
            GTEST_SKIP() << "needs the PipeWire session (CORVANA_SOUND=pipewire scripts/with-session.sh)";
    }
    void TearDown() override
    {
        ResidentTest::TearDown();
        Pactl({QStringLiteral("set-default-source"), QStringLiteral("mic")});
    }

    // The dialog open in the mode, with the real devices.
    void OpenDialogIn(int mode)
    {
        env.SetUserSettings(QStringLiteral("[General]\nModeState=%1\n").arg(mode).toLatin1());
        OpenDialog();
    }
    // The newest file of the folder (of the pattern) once there are `count` and it holds more
    // than `bytes`.
    QString FileGrownTo(const char* folder, qint64 bytes, const QString& pattern = QStringLiteral("*"), int count = 1)
    {
        const QString path = env.MediaFolder(QString::fromLatin1(folder));
        QString file;
        WaitFor([&] {
            const QStringList files = QDir(path).entryList({pattern}, QDir::Files, QDir::Time);
            file = files.size() < count ? QString() : path + files.first();
            return !file.isEmpty() && QFileInfo(file).size() > bytes;
        }, 20000);
        return file;
    }
    // The record light's last switch: D2 on, D3 off.
    QString RecordLight() const
    {
        const QStringList switches = Lights().filter(QRegularExpression(QStringLiteral("^D[23]$")));
        return switches.isEmpty() ? QString() : switches.last();
    }
    void PressRecord() { Xdotool(QStringLiteral("key XF86AudioRecord")); }
};

} // namespace

// Solo records the source the sound server calls the default, with another source present.
TEST_F(PipeWireProgramTest, SoloRecordsTheServersDefaultSource)
{
    const auto tone = OwnedNode::ToneMicrophone(QStringLiteral("ToneMic"));
    ASSERT_TRUE(tone->Exists());
    ASSERT_TRUE(Pactl({QStringLiteral("set-default-source"), QStringLiteral("ToneMic")}));
    OpenDialogIn(0);
    PressRecord();
    const QString file = FileGrownTo("AudioSolo", 20000);  // about 2 s at 64 kbit/s
    ASSERT_FALSE(file.isEmpty());
    EXPECT_TRUE(WaitFor([&] { return RecordLight() == QStringLiteral("D2"); }));
    PressRecord();
    ASSERT_TRUE(WaitFor([&] { return RecordLight() == QStringLiteral("D3"); }));
    Close();
    const std::vector<qint16> samples = DecodeAudio(file, 8000);
    ASSERT_GT(samples.size(), 8000u);
    EXPECT_GT(ToneShare(samples, 8000, 440), 0.5);  // PipeWire's test tone, not the silent microphone
    EXPECT_EQ(DecodeErrors(file), QString());
}

// The camera node destroyed 3 s into a recording, as when it is unplugged: the user is told within
// 5 s, the record light goes off, the file decodes, and recording again and closing are safe. The
// camera that is left, the session's own, then gives a video and a photo of their sizes.
TEST_F(PipeWireProgramTest, ACameraGoneMidRecordingIsToldItsFileKeptAndTheCameraLeftRecordsAndGrabs)
{
    // Made after the session's camera, so it is the last one listed: the one a recording takes.
    const auto camera = OwnedNode::Camera(QStringLiteral("DoomedCamera"));
    ASSERT_TRUE(camera->Exists());
    OpenDialogIn(2);
    PressRecord();
    const QString lost = FileGrownTo("Video", 200000);
    ASSERT_FALSE(lost.isEmpty());
    ASSERT_TRUE(WaitFor([&] { return RecordLight() == QStringLiteral("D2"); }));
    camera->End();  // its node goes with the program that made it
    QElapsedTimer told;
    told.start();
    ASSERT_TRUE(WaitFor([] { return Windows() == 2; }, 8000)) << "nobody was told";
    EXPECT_LT(told.elapsed(), 5000);
    EXPECT_EQ(RecordLight(), QStringLiteral("D3"));
    Xdotool(QStringLiteral("key Return"));
    ASSERT_TRUE(WaitFor(DialogOpen));
    // Record again: a fresh preview finds the camera that is left, records with it and stops,
    // with nothing of the lost one touched.
    PressRecord();
    EXPECT_TRUE(WaitFor([&] { return RecordLight() == QStringLiteral("D2"); }));
    const QString video = FileGrownTo("Video", 150000, QStringLiteral("*"), 2);
    ASSERT_NE(video, lost);
    PressRecord();
    EXPECT_TRUE(WaitFor([&] { return RecordLight() == QStringLiteral("D3"); }));
    EXPECT_EQ(resident->state(), QProcess::Running);
    Close();
    ProbedFile probed = ProbeMedia(lost);
    EXPECT_EQ(probed.video.codec, QStringLiteral("wmv2"));
    EXPECT_GE(probed.duration, 2.0);
    EXPECT_EQ(DecodeErrors(lost), QString());
    probed = ProbeMedia(video);
    EXPECT_EQ(std::tuple(probed.video.codec, probed.video.width, probed.video.height, probed.audio.codec),
              std::tuple(QStringLiteral("wmv2"), 640, 480, QStringLiteral("wmav2")));
    EXPECT_EQ(DecodeErrors(video), QString());

    OpenDialogIn(3);
    PressRecord();
    const QString photo = FileGrownTo("Photo", 10000, QStringLiteral("*.jpg"));
    ASSERT_TRUE(photo.endsWith(QStringLiteral(".jpg"))) << photo.toStdString();
    EXPECT_EQ(QImageReader(photo).size(), QSize(1024, 768));
    Close();
}
