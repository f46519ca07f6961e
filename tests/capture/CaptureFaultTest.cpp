// Faults outside the program: an encoder plugin that is not installed (a child process of this
// binary runs with a plugin set lacking it) and a disk that fills up in the middle of a recording.
#include "CaptureTestSupport.h"
#include "MediaProbe.h"

#include "capture/CAudioRecorder.h"
#include "capture/CCaptureGraph.h"
#include "capture/CPhotoCapture.h"
#include "capture/GstRuntime.h"
#include "capture/RecordingPipeline.h"
#include "library/MediaFolders.h"
#include "capture/RequiredElements.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <cerrno>
#include <cstring>
#include <sys/mount.h>
#include <sys/statvfs.h>

using namespace corvana;
using namespace capturetest;

namespace {

const QString kLibavPackage = QStringLiteral("gstreamer1.0-libav");

QString SystemPluginFolder()
{
    GstRuntime::Ensure();
    GObjectHandle<GstPlugin> core = GObjectHandle<GstPlugin>::Adopt(gst_registry_find_plugin(gst_registry_get(), "coreelements"));
    return core ? QFileInfo(QString::fromUtf8(gst_plugin_get_filename(core.get()))).absolutePath() : QString();
}

} // namespace

// Runs only in the child started below, whose plugin set lacks gst-libav.
TEST(ChildWithoutLibav, OneMessageNamesThePackageHoweverOftenRecordingIsTried)
{
    ASSERT_EQ(RequiredElements::Missing(RecordingPipeline::VideoElements()),
              QStringList({QStringLiteral("avenc_wmav2"), QStringLiteral("avenc_wmv2")}));
    DebugLines debug;
    MessageBoxWatcher boxes;
    TestSurface surface;

    CAudioRecorder& recorder = CAudioRecorder::Instance();
    for (int attempt = 0; attempt < 3; ++attempt) {
        ASSERT_EQ(recorder.CreateGraph(), S_OK);
        ASSERT_EQ(recorder.AddCaptureSource(DeviceCategory::AudioInput, QString()), S_OK);
        EXPECT_EQ(recorder.SetOutputAndRender(QStringLiteral("AudioSolo")), E_NOINTERFACE);
        EXPECT_LT(recorder.Start(), 0);
        EXPECT_EQ(recorder.IsRunning(), 0);
    }
    recorder.ReleaseAll();

    // The preview needs no encoder: it runs, and goes on running after each refused recording.
    CCaptureGraph& graph = CCaptureGraph::Instance();
    graph.SetOwnerWindow(&surface);
    ASSERT_EQ(graph.StartPreview(), S_OK);
    for (int attempt = 0; attempt < 3; ++attempt) {
        EXPECT_EQ(graph.StartRecording(), E_NOINTERFACE);
        EXPECT_EQ(graph.IsRecording(), 0);
        const int shown = surface.frames;
        EXPECT_TRUE(QTest::qWaitFor([&] { return surface.frames > shown + 2; }, 3000));
    }
    graph.StopRecording();
    graph.CloseInterfaces();

    ASSERT_EQ(boxes.Seen().size(), 1) << boxes.Texts().join(QLatin1Char('\n')).toStdString();
    EXPECT_TRUE(boxes.Seen().first().text.contains(kLibavPackage)) << boxes.Seen().first().text.toStdString();
    EXPECT_TRUE(boxes.Seen().first().text.contains(QStringLiteral("avenc_wmav2")));
    EXPECT_EQ(boxes.Seen().first().caption, QStringLiteral("Corvana"));
    EXPECT_EQ(boxes.Seen().first().icon, QMessageBox::Information);
    // Every refusal is in the debug output, not only the first.
    EXPECT_EQ(debug.Containing(kLibavPackage), 6) << debug.lines.join(QLatin1Char('\n')).toStdString();
    EXPECT_TRUE(FilesIn(QStringLiteral("AudioSolo"), QStringLiteral("*")).isEmpty());
    EXPECT_TRUE(FilesIn(QStringLiteral("Video"), QStringLiteral("*")).isEmpty());

    // The photo mode has what it needs and still works.
    CPhotoCapture& photo = CPhotoCapture::Instance();
    ASSERT_EQ(photo.StartPreview(0, &surface, 1024, 768), S_OK);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !photo.NewestFrame().isNull(); }, 3000));
    photo.GrabPhoto();
    EXPECT_TRUE(QFile::exists(photo.LastPhotoPath()));
    photo.StopPreview();
    EXPECT_EQ(boxes.Seen().size(), 1);
}

TEST(MissingPlugin, WithoutLibavTheUserIsToldOnceWhichPackageToInstall)
{
    const QString system = SystemPluginFolder();
    ASSERT_FALSE(system.isEmpty());
    ASSERT_TRUE(QFile::exists(system + QStringLiteral("/libgstlibav.so"))) << "gst-libav is not installed, so it cannot be taken away";
    QTemporaryDir plugins;
    QTemporaryDir registry;
    ASSERT_TRUE(plugins.isValid() && registry.isValid());
    int linked = 0;
    for (const QFileInfo& plugin : QDir(system).entryInfoList({QStringLiteral("*.so")}, QDir::Files)) {
        if (plugin.fileName() == QStringLiteral("libgstlibav.so"))
            continue;
        ASSERT_TRUE(QFile::link(plugin.absoluteFilePath(), plugins.filePath(plugin.fileName())));
        ++linked;
    }
    ASSERT_GT(linked, 10);

    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"GST_PLUGIN_SYSTEM_PATH", "GST_PLUGIN_SYSTEM_PATH_1_0"})
        environment.insert(QString::fromLatin1(name), plugins.path());
    for (const char* name : {"GST_REGISTRY", "GST_REGISTRY_1_0"})
        environment.insert(QString::fromLatin1(name), registry.filePath(QStringLiteral("registry.bin")));
    for (const char* name : {"GST_PLUGIN_PATH", "GST_PLUGIN_PATH_1_0"})
        environment.remove(QString::fromLatin1(name));
    QProcess child;
    child.setProcessEnvironment(environment);
    child.setProcessChannelMode(QProcess::MergedChannels);
    child.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--child")});
    ASSERT_TRUE(child.waitForFinished(60000));
    const QString output = QString::fromUtf8(child.readAll());
    EXPECT_EQ(child.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(child.exitCode(), 0) << output.toStdString();
    EXPECT_TRUE(output.contains(QStringLiteral("[  PASSED  ] 1 test."))) << output.toStdString();
}

// A folder that cannot be made and a file that cannot be opened: each says why, in the result and
// in the debug output, and leaves nothing behind.
TEST(UnwritableOutput, TheRecorderNamesTheFolderAndTheWriterTheElementThatFailed)
{
    DebugLines debug;
    // A file where the recorder's folder should be: the folder can never be made.
    const QString blocked = MediaFolders::MediaRoot() + QStringLiteral("AudioSolo");
    QDir(blocked).removeRecursively();
    QDir().mkpath(MediaFolders::MediaRoot());
    ASSERT_TRUE(QFile(blocked).open(QIODevice::WriteOnly));
    CAudioRecorder& recorder = CAudioRecorder::Instance();
    ASSERT_EQ(recorder.CreateGraph(), S_OK);
    ASSERT_EQ(recorder.AddCaptureSource(DeviceCategory::AudioInput, QString()), S_OK);
    EXPECT_LT(recorder.SetOutputAndRender(QStringLiteral("AudioSolo")), 0);
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
    EXPECT_EQ(debug.Containing(QStringLiteral("recording did not reach PLAYING: filesink")), 1) << debug.lines.join(QLatin1Char('\n')).toStdString();
}

// The video folder on a file system of 600 KB, mounted for the test.
class FullDisk : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_folder = Folder(QStringLiteral("Video"));
        QDir().mkpath(m_folder);
        if (mount("tmpfs", QFile::encodeName(m_folder).constData(), "tmpfs", MS_NOSUID | MS_NODEV, "size=600k,mode=0700") != 0)
            GTEST_SKIP() << "cannot mount a 600 KB tmpfs on " << m_folder.toStdString() << " (" << std::strerror(errno)
                         << "); this test needs to run as root";
        m_mounted = true;
    }
    void TearDown() override
    {
        CCaptureGraph::Instance().CloseInterfaces();
        if (m_mounted) {
            EXPECT_EQ(umount2(QFile::encodeName(m_folder).constData(), MNT_DETACH), 0) << std::strerror(errno);
        }
    }
    // Fills the file system up to `bytes` of free space.
    bool LeaveFree(qint64 bytes)
    {
        struct statvfs info {};
        if (statvfs(QFile::encodeName(m_folder).constData(), &info) != 0)
            return false;
        const qint64 available = static_cast<qint64>(info.f_bavail) * static_cast<qint64>(info.f_frsize);
        QFile filler(Filler());
        return available > bytes && filler.open(QIODevice::WriteOnly)
               && filler.write(QByteArray(static_cast<int>(available - bytes), '\0')) == available - bytes && filler.flush();
    }
    QString Filler() const { return m_folder + QStringLiteral("filler"); }

    QString m_folder;
    bool m_mounted = false;
    TestSurface surface;
};

TEST_F(FullDisk, TheRecordingStopsKeepsWhatWasWrittenAndRecordsAgainOnceThereIsSpace)
{
    DebugLines debug;
    ASSERT_TRUE(LeaveFree(80 * 1024));
    CCaptureGraph& graph = CCaptureGraph::Instance();
    graph.SetOwnerWindow(&surface);
    ASSERT_EQ(graph.StartPreview(), S_OK);
    ASSERT_EQ(graph.StartRecording(), S_OK);
    const QString broken = graph.OutputPath();
    ASSERT_TRUE(broken.startsWith(m_folder));
    ASSERT_TRUE(QTest::qWaitFor([&] { return graph.IsRecording() == 0; }, 10000)) << "the writer never ran out of space";
    EXPECT_GT(debug.Containing(QStringLiteral("recording error from")), 0) << debug.lines.join(QLatin1Char('\n')).toStdString();
    // Nothing more can reach a file that failed: the stop does not wait for an end that never comes.
    EXPECT_EQ(debug.Containing(QStringLiteral("recording was not finalised")), 0);
    EXPECT_GT(QFileInfo(broken).size(), 0);
    EXPECT_EQ(ProbeMedia(broken).video.codec, QStringLiteral("wmv2"));
    // The preview is another pipeline and carries on.
    const int shown = surface.frames;
    EXPECT_TRUE(QTest::qWaitFor([&] { return surface.frames > shown + 2; }, 3000));
    graph.StopRecording();

    ASSERT_TRUE(QFile::remove(Filler()));
    ASSERT_EQ(graph.StartRecording(), S_OK);
    EXPECT_TRUE(QTest::qWaitFor([&] { return graph.RecordedSeconds() >= 1.0; }, 5000));
    EXPECT_EQ(graph.IsRecording(), 1);
    graph.StopRecording();
    EXPECT_TRUE(QFile::exists(broken));
    const ProbedFile probed = ProbeMedia(graph.OutputPath());
    EXPECT_EQ(probed.video.width, 640);
    EXPECT_NEAR(probed.duration, 1.0, 0.35);
}
