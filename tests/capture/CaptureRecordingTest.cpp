// Recordings, previews and the photo grab with the synthetic devices, checked from the files.
#include "CaptureTestSupport.h"

#include <QElapsedTimer>
#include <QImageReader>

using namespace corvana;
using namespace capturetest;

// The writer's last packet is filled to a different degree by each length; a badly written last
// packet shows up as a decoding error for some of them. Closing the recorder while it records
// finishes the file as a stop does.
TEST(AudioRecorder, WritesWmaOfTheRecordedLengthThatDecodesWithoutErrors)
{
    CAudioRecorder& recorder = CAudioRecorder::Instance();
    for (int milliseconds : {700, 1000, 1250, 1600, 2300, 2500}) {
        SCOPED_TRACE(testing::Message() << milliseconds << " ms");
        ASSERT_EQ(PrepareAudio(), S_OK);
        const QString path = recorder.OutputPath();
        EXPECT_TRUE(path.startsWith(Folder(QStringLiteral("AudioSolo"))) && path.endsWith(QStringLiteral(".wma")));
        // From the press: the sound is taken from then on, while the first recording's Start still
        // loads the encoders.
        QElapsedTimer timer;
        timer.start();
        EXPECT_EQ(recorder.Start(), S_OK);
        EXPECT_EQ(recorder.IsRunning(), 1);
        // The recording's length, as the writer has it.
        ASSERT_TRUE(QTest::qWaitFor([&] { return recorder.RecordedSeconds() >= milliseconds / 1000.0; }, milliseconds + 10000));
        milliseconds == 1000 ? recorder.ReleaseAll() : recorder.Stop();
        const double seconds = timer.elapsed() / 1000.0;
        EXPECT_EQ(recorder.IsRunning(), 0);
        recorder.ReleaseAll();

        const ProbedFile probed = ProbeMedia(path);
        EXPECT_EQ(std::tuple(probed.audio.codec, probed.audio.sampleRate, probed.audio.channels), std::tuple(QStringLiteral("wmav2"), 44100, 2));
        EXPECT_TRUE(milliseconds < 2300 || std::abs(probed.audio.bitRate - 64000) <= 2000) << probed.audio.bitRate;
        EXPECT_NEAR(probed.duration, seconds, 0.15);
        // The synthetic microphone's 440 Hz tone is what was recorded.
        EXPECT_GT(ToneShare(DecodeAudio(path, 8000), 8000, 440), 0.5);
        EXPECT_EQ(DecodeErrors(path), QString());
    }
    // A build that never starts leaves no empty file behind.
    ASSERT_EQ(PrepareAudio(), S_OK);
    const QString unused = recorder.OutputPath();
    EXPECT_TRUE(QFile::exists(unused));
    recorder.ReleaseAll();
    EXPECT_FALSE(QFile::exists(unused));
}

TEST(CaptureGraph, RecordsWmvWithEveryFrameWhileThePreviewRuns)
{
    TestSurface surface;
    CCaptureGraph& graph = CCaptureGraph::Instance();
    ASSERT_EQ(StartPreview(surface), S_OK);
    ASSERT_TRUE(surface.Advances());
    // Preview frames are scaled to the area they fill.
    EXPECT_EQ(surface.lastFrame.size(), QSize(320, 240));

    // The other core is kept busy: frames that come late are repeated, never missing.
    QProcess busy;
    busy.start(QStringLiteral("sh"), {"-c", "while :; do :; done"});
    ASSERT_TRUE(busy.waitForStarted());
    QElapsedTimer timer;  // from the press, as the sound is taken
    timer.start();
    EXPECT_EQ(graph.StartRecording(), S_OK);
    EXPECT_EQ(graph.StartRecording(), S_FALSE); // already recording: still one file
    const int framesAtStart = surface.frames;
    ASSERT_TRUE(QTest::qWaitFor([&] { return graph.RecordedSeconds() >= 6.0; }, 20000)); // the recording's length
    EXPECT_GT(surface.frames, framesAtStart + 30); // the preview went on while recording
    graph.StopRecording();
    const double seconds = timer.elapsed() / 1000.0;
    busy.kill();
    busy.waitForFinished();
    EXPECT_EQ(graph.IsRecording(), 0);
    const QString path = graph.OutputPath();
    ASSERT_TRUE(path.startsWith(Folder(QStringLiteral("Video"))));
    graph.CloseInterfaces();

    const ProbedFile probed = ProbeMedia(path);
    EXPECT_EQ(std::tuple(probed.video.codec, probed.video.width, probed.video.height, probed.audio.codec, probed.audio.sampleRate),
              std::tuple(QStringLiteral("wmv2"), 640, 480, QStringLiteral("wmav2"), 44100));
    EXPECT_NEAR(probed.duration, seconds, 0.3);
    const double expectedFrames = probed.duration * 30000.0 / 1001.0;
    EXPECT_NEAR(double(probed.video.frames), expectedFrames, expectedFrames * 0.01);
    EXPECT_EQ(DecodeErrors(path), QString());
    // The encoder is held to about 636 kbit/s; the simple synthetic picture needs less.
    EXPECT_GT(probed.bitRate, 100000);
    EXPECT_LT(probed.bitRate, 800000);
    // The header declares the profile's rates: 636 kbit/s of video, 700 at most in all.
    const DeclaredRates declared = ReadDeclaredRates(path);
    EXPECT_EQ(declared.general.value(QStringLiteral("OverallBitRate_Maximum")).toString(), QStringLiteral("700000"));
    EXPECT_EQ(declared.videoTrack.value(QStringLiteral("BitRate")).toString(), QStringLiteral("636000"));
    // It also gives the video a five-second buffer window: data bitrate and buffer size, and the
    // same again as the alternates, in one of the two Extended Stream Properties.
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray header = file.read(4096);
    const QByteArray rates = QByteArray::fromHex("60b4090088130000");  // 636000, 5000 ms
    const QByteArray extendedStream = QByteArray::fromHex("cba5e61472c632438399a96952065b5a");
    int withRates = 0;
    for (qsizetype at = header.indexOf(extendedStream); at >= 0; at = header.indexOf(extendedStream, at + 1))
        withRates += header.mid(at + 40, 8) == rates && header.mid(at + 52, 8) == rates ? 1 : 0;
    EXPECT_EQ(withRates, 1);
}

// With the usual camera and with one that sends JPEG only.
TEST_F(FedDevices, PhotoPreviewPausesAndGrabWritesBitmapAndJpegOfTheShownFrame)
{
    for (const bool jpegOnly : {false, true}) {
        SCOPED_TRACE(jpegOnly ? "JPEG-only camera" : "raw camera");
        Feed({jpegOnly ? JpegWebcam() : Webcam(QStringLiteral("Webcam"))}, {Microphone(QStringLiteral("Mic"))});
        CPhotoCapture& photo = CPhotoCapture::Instance();
        ASSERT_EQ(photo.StartPreview(0, &surface, 1024, 768), S_OK);
        ASSERT_NE(photo.m_pControl, nullptr);
        ASSERT_TRUE(surface.Advances());
        EXPECT_EQ(surface.lastFrame.size(), QSize(1024, 768));

        // Frozen: nothing more reaches the surface until Run.
        EXPECT_EQ(photo.m_pControl->Pause(), S_OK);
        EXPECT_TRUE(QTest::qWaitFor([&] { return !photo.IsPreviewing(); }, 3000));
        QCoreApplication::processEvents();
        const int frozenAt = surface.frames;
        QCoreApplication::processEvents();
        EXPECT_EQ(surface.frames, frozenAt);
        const QImage shown = surface.lastFrame;

        photo.GrabPhoto();
        const QString bitmap = photo.LastBitmapPath();
        const QString jpeg = photo.LastPhotoPath();
        EXPECT_EQ(bitmap.chopped(4), jpeg.chopped(4));
        EXPECT_TRUE(jpeg.startsWith(Folder(QStringLiteral("Photo"))));
        // A 32-bit bitmap with bottom-up rows, which the comparison with the shown frame checks.
        EXPECT_EQ(QFileInfo(bitmap).size(), 14 + 40 + 1024 * 768 * 4);
        const QImage fromBitmap(bitmap);
        ASSERT_FALSE(fromBitmap.isNull());
        EXPECT_LT(MeanDifference(shown, fromBitmap), 0.5);
        QImageReader reader(jpeg);
        EXPECT_EQ(reader.format(), QByteArray("jpeg"));
        const QImage decoded = reader.read();
        EXPECT_EQ(decoded.size(), QSize(1024, 768));
        EXPECT_LT(MeanDifference(shown, decoded), 4.0);
        // The decoded camera picture, not a blank frame.
        EXPECT_TRUE(!jpegOnly || qGray(decoded.pixel(20, 20)) > 150);

        // Run resumes the frames; a second grab in the same second gets its own names.
        EXPECT_EQ(photo.m_pControl->Run(), S_OK);
        ASSERT_TRUE(surface.Advances());
        photo.GrabPhoto();
        EXPECT_NE(photo.LastPhotoPath(), jpeg);
        EXPECT_TRUE(QFile::exists(jpeg));
        photo.StopPreview();
        EXPECT_EQ(photo.m_pControl, nullptr);
        EXPECT_GT(surface.placeholders, 0);
    }
}
