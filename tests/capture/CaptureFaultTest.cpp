// Faults outside the program: an encoder plugin that is not installed (a child process of this
// binary runs with a plugin set lacking it), an output that cannot be written and a disk that
// fills up in the middle of a recording.
#include "CaptureTestSupport.h"

#include "capture/DibFile.h"
#include "capture/GstRuntime.h"
#include "capture/RecordingPipeline.h"
#include "library/MediaFolders.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QTemporaryDir>
#include <cerrno>
#include <cstring>
#include <sys/mount.h>

using namespace corvana;
using namespace capturetest;

// Runs only in the child started below, whose plugin set lacks gst-libav.
TEST(ChildWithoutLibav, EachRefusalNamesTheElementAndThePackage)
{
    DebugLines debug;
    TestSurface surface;
    CAudioRecorder& recorder = CAudioRecorder::Instance();
    CCaptureGraph& graph = CCaptureGraph::Instance();
    ASSERT_EQ(StartPreview(surface), S_OK); // the preview needs no encoder
    for (int attempt = 0; attempt < 3; ++attempt) {
        EXPECT_EQ(PrepareAudio(), E_NOINTERFACE);
        EXPECT_LT(recorder.Start(), 0);
        EXPECT_EQ(graph.StartRecording(), E_NOINTERFACE);
        for (const CaptureOutcome& outcome : {recorder.LastFailure(), graph.LastFailure()}) {
            EXPECT_EQ(outcome.failure, CaptureFailure::MissingCodec);
            EXPECT_EQ(outcome.detail, QStringLiteral("gstreamer1.0-libav"));
            EXPECT_TRUE(outcome.missing.contains(QStringLiteral("avenc_wmav2"))) << outcome.missing.join(' ').toStdString();
        }
        EXPECT_EQ(graph.IsRecording(), 0);
        EXPECT_TRUE(surface.Advances()); // the preview goes on after each refused recording
    }
    recorder.ReleaseAll();
    graph.CloseInterfaces();
    // Every refusal is in the debug output, not only the first.
    EXPECT_EQ(debug.Containing(QStringLiteral("gstreamer1.0-libav")), 6) << debug.All();
    EXPECT_TRUE(QDir(Folder(QStringLiteral("AudioSolo"))).isEmpty());
    EXPECT_TRUE(QDir(Folder(QStringLiteral("Video"))).isEmpty());
}

TEST(MissingPlugin, WithoutLibavEveryRefusalNamesThePackageToInstall)
{
    GstRuntime::Ensure();
    const auto core = GObjectHandle<GstPlugin>::Adopt(gst_registry_find_plugin(gst_registry_get(), "coreelements"));
    ASSERT_TRUE(core);
    const QString system = QFileInfo(QString::fromUtf8(gst_plugin_get_filename(core.get()))).absolutePath();
    ASSERT_TRUE(QFile::exists(system + QStringLiteral("/libgstlibav.so"))) << "gst-libav is not installed, so it cannot be taken away";
    QTemporaryDir plugins, registry;
    for (const QFileInfo& plugin : QDir(system).entryInfoList({QStringLiteral("*.so")}, QDir::Files))
        ASSERT_TRUE(plugin.fileName() == QStringLiteral("libgstlibav.so") || QFile::link(plugin.absoluteFilePath(), plugins.filePath(plugin.fileName())));

    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const QString& suffix : {QString(), QStringLiteral("_1_0")}) {
        environment.insert(QStringLiteral("GST_PLUGIN_SYSTEM_PATH") + suffix, plugins.path());
        environment.insert(QStringLiteral("GST_REGISTRY") + suffix, registry.filePath(QStringLiteral("registry.bin")));
        environment.remove(QStringLiteral("GST_PLUGIN_PATH") + suffix);
    }
    QProcess child;
    child.setProcessEnvironment(environment);
    child.setProcessChannelMode(QProcess::MergedChannels);
    child.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--child")});
    ASSERT_TRUE(child.waitForFinished(60000));
    const std::string output = child.readAll().toStdString();
    EXPECT_EQ(child.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(child.exitCode(), 0) << output;
    EXPECT_NE(output.find("[  PASSED  ] 1 test."), std::string::npos) << output;
}

// A folder that cannot be made and a file that cannot be opened: each says why, in the result and
// in the debug output.
TEST(UnwritableOutput, TheRecorderNamesTheFolderAndTheWriterTheElementThatFailed)
{
    DebugLines debug;
    // A file where the recorder's folder should be: the folder can never be made.
    const QString blocked = MediaFolders::MediaRoot() + QStringLiteral("AudioSolo");
    QDir(blocked).removeRecursively();
    QDir().mkpath(MediaFolders::MediaRoot());
    ASSERT_TRUE(QFile(blocked).open(QIODevice::WriteOnly));
    CAudioRecorder& recorder = CAudioRecorder::Instance();
    EXPECT_LT(PrepareAudio(), 0);
    EXPECT_LT(recorder.Start(), 0);
    EXPECT_EQ(recorder.LastFailure().failure, CaptureFailure::FolderNotWritable);
    EXPECT_EQ(recorder.LastFailure().detail, blocked);
    recorder.ReleaseAll();
    EXPECT_TRUE(QFileInfo(blocked).isFile());
    QFile::remove(blocked);

    // The file sink itself refuses: the start fails with the element and GStreamer's reason logged.
    RecordingPipeline writer;
    ASSERT_EQ(writer.AddAudioSource(ElementHandle::Adopt(gst_element_factory_make("audiotestsrc", nullptr))), S_OK);
    ASSERT_EQ(writer.SetOutput(QStringLiteral("/proc/corvana-cannot-write-here.wma")), S_OK);
    ASSERT_EQ(writer.RenderAudio(), S_OK);
    EXPECT_LT(writer.Start(nullptr), 0);
    EXPECT_EQ(writer.StartFailure(), CaptureFailure::FolderNotWritable);
    EXPECT_EQ(debug.Containing(QStringLiteral("recording did not reach PLAYING: filesink")), 1) << debug.All();
}

// The video folder on a file system of 600 KB mounted for the test, filled up to 80 KB.
TEST(FullDisk, TheRecordingStopsKeepsWhatWasWrittenAndRecordsAgainOnceThereIsSpace)
{
    const QString folder = Folder(QStringLiteral("Video"));
    QDir().mkpath(folder);
    if (mount("tmpfs", QFile::encodeName(folder).constData(), "tmpfs", MS_NOSUID | MS_NODEV, "size=600k,mode=0700") != 0)
        GTEST_SKIP() << "cannot mount a tmpfs on " << folder.toStdString() << " (" << std::strerror(errno) << "); this test needs root";
    DebugLines debug;
    TestSurface surface;
    const std::shared_ptr<void> unmount(nullptr, [&](void*) {
        CCaptureGraph::Instance().CloseInterfaces();
        EXPECT_EQ(umount2(QFile::encodeName(folder).constData(), MNT_DETACH), 0) << std::strerror(errno);
    });
    QFile filler(folder + QStringLiteral("filler"));
    ASSERT_TRUE(filler.open(QIODevice::WriteOnly));
    ASSERT_EQ(filler.write(QByteArray(600 * 1024 - 80 * 1024, '\0')), 600 * 1024 - 80 * 1024);
    ASSERT_TRUE(filler.flush());
    CCaptureGraph& graph = CCaptureGraph::Instance();
    ASSERT_EQ(StartPreview(surface), S_OK);
    ASSERT_EQ(graph.StartRecording(), S_OK);
    const QString broken = graph.OutputPath();
    ASSERT_TRUE(broken.startsWith(folder));
    ASSERT_TRUE(QTest::qWaitFor([&] { return graph.IsRecording() == 0; }, 10000)) << "the writer never ran out of space";
    EXPECT_GT(debug.Containing(QStringLiteral("recording error from")), 0) << debug.All();
    // Nothing more can reach a file that failed: the stop does not wait for an end that never comes.
    EXPECT_EQ(debug.Containing(QStringLiteral("recording was not finalised")), 0);
    EXPECT_EQ(ProbeMedia(broken).video.codec, QStringLiteral("wmv2"));
    EXPECT_TRUE(surface.Advances()); // the preview is another pipeline and carries on
    graph.StopRecording();

    ASSERT_TRUE(filler.remove());
    const ProbedFile probed = ProbeMedia(RecordAtLeast(1.0));
    EXPECT_TRUE(QFile::exists(broken));
    EXPECT_EQ(probed.video.width, 640);
    EXPECT_NEAR(probed.duration, 1.0, 0.35);
}

// A photo on a disk with room for its bitmap but not for the photo: it is not kept, not reported
// as taken, and the reason is the disk's. A link at the next photo's name is passed over, never
// written through.
TEST_F(FedDevices, APhotoThatCannotBeSavedWholeIsNotKeptAndNoLinkIsFollowed)
{
    const QString folder = Folder(QStringLiteral("Photo"));
    QDir().mkpath(folder);
    CPhotoCapture& photo = CPhotoCapture::Instance();
    ASSERT_EQ(photo.StartPreview(0, &surface, 1024, 768), S_OK);
    ASSERT_TRUE(surface.Advances());

    // Links to nowhere at the names of the next seconds' photos.
    QTemporaryDir outside;
    QStringList links;
    for (int second = 0; second < 4; ++second) {
        links << folder + QDateTime::currentDateTime().addSecs(second).toString(QStringLiteral("yyMMdd-HHmmss")) + QStringLiteral(".jpg");
        ASSERT_TRUE(QFile::link(outside.filePath(QStringLiteral("taken%1.jpg").arg(second)), links.last()));
    }
    photo.GrabPhoto();
    ASSERT_FALSE(photo.LastPhotoPath().isEmpty());
    EXPECT_FALSE(links.contains(photo.LastPhotoPath()));
    EXPECT_TRUE(QFileInfo(photo.LastPhotoPath()).isFile() && !QFileInfo(photo.LastPhotoPath()).isSymLink());
    EXPECT_TRUE(QDir(outside.path()).isEmpty()) << "a photo was written through a link";
    for (const QString& link : links)
        QFile::remove(link);

    // Room for the 3 MB bitmap and one page more.
    const qint64 bitmapBytes = DibFile::Encode(photo.NewestFrame()).size();
    if (mount("tmpfs", QFile::encodeName(folder).constData(), "tmpfs", MS_NOSUID | MS_NODEV,
              QStringLiteral("size=%1,mode=0700").arg((bitmapBytes / 4096 + 2) * 4096).toLatin1().constData()) != 0)
        GTEST_SKIP() << "cannot mount a tmpfs on " << folder.toStdString() << " (" << std::strerror(errno) << "); this part needs root";
    const std::shared_ptr<void> unmount(nullptr, [&](void*) {
        photo.StopPreview();
        EXPECT_EQ(umount2(QFile::encodeName(folder).constData(), MNT_DETACH), 0) << std::strerror(errno);
    });
    photo.GrabPhoto();
    EXPECT_TRUE(photo.LastPhotoPath().isEmpty());
    EXPECT_EQ(photo.LastFailure().failure, CaptureFailure::DiskFull);
    EXPECT_EQ(QDir(folder).entryList({QStringLiteral("*.jpg")}, QDir::Files), QStringList());
}

// The dialog may destroy its preview area before a capture object's preview stops: the frames
// that still arrive go nowhere, and the stop afterwards touches nothing that is gone.
TEST(PreviewSurface, FramesArrivingAfterTheSurfaceIsGoneAreDroppedNotPainted)
{
    DebugLines debug;
    const QString dropped = QStringLiteral("the preview surface is gone");
    for (const bool video : {true, false}) {
        SCOPED_TRACE(video ? "video" : "photo");
        auto surface = std::make_unique<TestSurface>();
        ASSERT_EQ(video ? StartPreview(*surface) : CPhotoCapture::Instance().StartPreview(0, surface.get(), 1024, 768), S_OK);
        ASSERT_TRUE(surface->Advances());
        const int told = debug.Containing(dropped);
        surface.reset();
        EXPECT_TRUE(QTest::qWaitFor([&] { return debug.Containing(dropped) > told; }, 5000)) << debug.All();
        if (video)
            CCaptureGraph::Instance().CloseInterfaces();
        else
            CPhotoCapture::Instance().StopPreview();
    }
}
