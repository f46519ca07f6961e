// Recordings the writer never finished: made for real by killing gst-launch-1.0 in the middle of
// a recording with the program's encoders and muxer, then repaired and played with ffprobe,
// ffmpeg and mpv. Files of any other kind must come out of a repair exactly as they went in.
#include "CaptureTestSupport.h"
#include "MediaProbe.h"
#include "QtPrinters.h"

#include "capture/AsfRepair.h"
#include "capture/UnfinishedRecordings.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QProcess>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTemporaryFile>
#include <QTest>

#include <cstdio>
#include <functional>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

using corvana::AsfRepair;
using corvana::UnfinishedRecordings;

namespace {

const QString kAudio = QStringLiteral(
    "audiotestsrc %1 ! audioconvert ! audioresample ! audio/x-raw,rate=44100,channels=2 ! avenc_wmav2 bitrate=64000 "
    "! identity single-segment=true ! mux. ");
const QString kVideo = QStringLiteral(
    "videotestsrc %1 ! video/x-raw,width=640,height=480,framerate=30000/1001 ! videoconvert ! avenc_wmv2 bitrate=636000 "
    "! identity single-segment=true ! mux. ");

// The program's pipeline into `path`, with its file sink's default buffering.
std::unique_ptr<QProcess> StartWriter(const QString& path, bool video, const QString& source)
{
    auto writer = std::make_unique<QProcess>();
    writer->start(QStringLiteral("gst-launch-1.0"),
                  QProcess::splitCommand(QStringLiteral("-q asfmux name=mux ! filesink location=%1 ").arg(path)
                                         + kAudio.arg(source) + (video ? kVideo.arg(source) : QString())));
    return writer;
}

QByteArray Bytes(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void Put(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(bytes);
}

QString CopyOf(const QString& original, const QString& name)
{
    const QString path = QFileInfo(original).dir().filePath(name);
    Put(path, Bytes(original));
    return path;
}

// Where the writer keeps its broadcast / seekable flags: the File Properties object's + 88.
qsizetype FlagsAt(const QByteArray& file)
{
    return file.indexOf(QByteArray::fromHex("a1dcab8c47a9cf118ee400c00c205365")) + 88;
}

struct ToolRun {
    int exitCode = -1;
    QString out;
};
ToolRun Tool(const QString& program, const QStringList& arguments)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, arguments);
    process.waitForFinished(60000);
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1, QString::fromUtf8(process.readAll())};
}

// What mpv says when it starts playing from the middle: the position it landed on and the length.
std::pair<double, double> PlayFromMiddle(const QString& path)
{
    const ToolRun mpv = Tool(QStringLiteral("mpv"), {QStringLiteral("--no-config"), QStringLiteral("--vo=null"), QStringLiteral("--ao=null"),
                                                 QStringLiteral("--start=50%"), QStringLiteral("--frames=1"), QStringLiteral("--length=0.2"),
                                                 QStringLiteral("--term-playing-msg=AT ${=time-pos} OF ${=duration}"), path});
    const auto match = QRegularExpression(QStringLiteral("AT (\\S+) OF (\\S+)")).match(mpv.out);
    EXPECT_EQ(mpv.exitCode, 0) << mpv.out.toStdString();
    return {match.captured(1).toDouble(), match.captured(2).toDouble()};
}

// Seconds of audio and video the file really holds, by decoding it.
double DecodedSeconds(const QString& path)
{
    const double audio = static_cast<double>(capturetest::DecodeAudio(path, 44100).size()) / 44100;
    return std::max(audio, static_cast<double>(ProbeMedia(path).video.frames) * 1001 / 30000);
}

} // namespace

class AsfRepairTest : public ::testing::Test {
protected:
    // Killed once they have grown past a few seconds; both at once, as the program may record both.
    static void SetUpTestSuite()
    {
        s_folder = new QTemporaryDir;
        s_audio = s_folder->filePath(QStringLiteral("killed.wma"));
        s_video = s_folder->filePath(QStringLiteral("killed.wmv"));
        const auto audio = StartWriter(s_audio, false, QStringLiteral("is-live=true"));
        const auto video = StartWriter(s_video, true, QStringLiteral("is-live=true"));
        const bool grown = QTest::qWaitFor([&] { return QFileInfo(s_audio).size() > 40000 && QFileInfo(s_video).size() > 500000; }, 60000);
        const bool running = audio->state() == QProcess::Running && video->state() == QProcess::Running;
        audio->kill();
        video->kill();
        audio->waitForFinished();
        video->waitForFinished();
        ASSERT_TRUE(grown && running) << QFileInfo(s_audio).size() << " " << QFileInfo(s_video).size();
    }
    static void TearDownTestSuite() { delete s_folder; }

    static QString Finished(const QString& name, bool video)
    {
        const QString path = s_folder->filePath(name);
        const auto writer = StartWriter(path, video, QStringLiteral("num-buffers=90"));
        EXPECT_TRUE(writer->waitForFinished(60000) && writer->exitCode() == 0);
        return path;
    }

    static inline QTemporaryDir* s_folder = nullptr;
    static inline QString s_audio;
    static inline QString s_video;
};

TEST_F(AsfRepairTest, KilledRecordingsPlayForAllTheyHoldAndASecondRepairChangesNothing)
{
    // Before the repair, ffprobe finds no length in the video.
    EXPECT_FALSE(ProbeMedia(s_video).ok);
    for (const QString& original : {s_audio, s_video}) {
        SCOPED_TRACE(original.toStdString());
        const QString path = s_folder->filePath(QStringLiteral("repaired.") + QFileInfo(original).suffix());
        Put(path, Bytes(original).chopped(1000)); // its last packet cut short too, as a lost disk cache leaves it
        const AsfRepair::Result result = AsfRepair::Repair(path);
        ASSERT_EQ(result.outcome, AsfRepair::Outcome::Repaired) << result.reason.toStdString();

        const ProbedFile probed = ProbeMedia(path);
        const double decoded = DecodedSeconds(path);
        EXPECT_GT(decoded, 2.5);
        EXPECT_NEAR(probed.duration, decoded, 0.1);
        EXPECT_NEAR(result.seconds, probed.duration, 0.05);
        // The video's millisecond times, rounded onto the null output's 1/framerate clock, would
        // collide now and then: the output keeps the input's clock instead.
        QStringList decode{QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-i"), path};
        if (original == s_video)
            decode << QStringLiteral("-enc_time_base") << QStringLiteral("-1");
        const ToolRun ffmpeg = Tool(QStringLiteral("ffmpeg"), decode << QStringLiteral("-f") << QStringLiteral("null") << QStringLiteral("-"));
        EXPECT_EQ(ffmpeg.exitCode, 0);
        EXPECT_EQ(ffmpeg.out, QString());
        const auto [position, length] = PlayFromMiddle(path);
        EXPECT_NEAR(length, probed.duration, 0.05);
        EXPECT_NEAR(position, probed.duration / 2, 0.1);

        const QByteArray repaired = Bytes(path);
        const AsfRepair::Result again = AsfRepair::Repair(path);
        EXPECT_EQ(again.outcome, AsfRepair::Outcome::AlreadyComplete);
        EXPECT_EQ(again.reason, QStringLiteral("it is already complete"));
        EXPECT_NEAR(again.seconds, result.seconds, 1e-9);
        EXPECT_TRUE(Bytes(path) == repaired);
    }
}

// A repair may itself be cut off at any point before it clears the broadcast flag, its last write.
TEST_F(AsfRepairTest, AnInterruptedRepairEndsInTheSameFile)
{
    const QString path = s_folder->filePath(QStringLiteral("interrupted.wma"));
    QByteArray killed = Bytes(s_audio);
    killed.chop(1000); // the last packet cut short, whatever the kill left
    Put(path, killed);
    ASSERT_EQ(AsfRepair::Repair(path).outcome, AsfRepair::Outcome::Repaired);
    const QByteArray repaired = Bytes(path);
    ASSERT_LT(repaired.size(), killed.size());

    const qsizetype flags = FlagsAt(repaired);
    QList<qsizetype> changed;
    for (qsizetype i = 0; i < repaired.size(); ++i)
        if (repaired[i] != killed[i] && (i < flags || i >= flags + 4))
            changed << i;
    ASSERT_GE(changed.size(), 8);
    for (const qsizetype written : {qsizetype(0), changed.size() / 3, changed.size() * 2 / 3, changed.size()}) {
        QByteArray state = killed.left(repaired.size());
        for (qsizetype i = 0; i < written; ++i)
            state[changed[i]] = repaired[changed[i]];
        for (const QByteArray& tail : {QByteArray(), QByteArray(3 * 4800 + 100, '\0')}) {
            SCOPED_TRACE(testing::Message() << written << " of " << changed.size() << " bytes written, " << tail.size() << " zeros after");
            Put(path, state + tail);
            const AsfRepair::Result result = AsfRepair::Repair(path);
            EXPECT_EQ(result.outcome, AsfRepair::Outcome::Repaired) << result.reason.toStdString();
            EXPECT_TRUE(Bytes(path) == repaired);
        }
    }
}

TEST_F(AsfRepairTest, AnythingButAnUnfinishedRecordingIsLeftAsItWas)
{
    const QByteArray killed = Bytes(s_audio);
    const qsizetype header = killed.indexOf(QByteArray::fromHex("3626b2758e66cf11a6d900aa0062ce6c"));
    ASSERT_GT(header, 0);
    const auto damaged = [&](qsizetype at, const QByteArray& bytes) { return killed.left(at) + bytes + killed.mid(at + bytes.size()); };
    QByteArray photo;
    {
        QImage image(64, 48, QImage::Format_RGB32);
        image.fill(Qt::darkCyan);
        QFile file(s_folder->filePath(QStringLiteral("photo.jpg")));
        ASSERT_TRUE(image.save(&file, "JPEG"));
        photo = Bytes(file.fileName());
    }
    QByteArray noise(20000, '\0');
    QRandomGenerator(7).fillRange(reinterpret_cast<quint32*>(noise.data()), noise.size() / 4);

    const std::vector<std::pair<const char*, QByteArray>> files{
        {"finished audio", Bytes(Finished(QStringLiteral("finished.wma"), false))},
        {"finished video", Bytes(Finished(QStringLiteral("finished.wmv"), true))},
        {"photo", photo},
        {"empty", QByteArray()},
        {"noise", noise},
        {"cut inside the header", killed.left(header - 10)},
        {"cut after the header", killed.left(header + 50)},
        {"header size beyond the file", damaged(16, QByteArray::fromHex("ffff0f00"))},
        {"one header object less", damaged(24, QByteArray(1, char(killed[24] - 1)))},
        {"no file properties", damaged(FlagsAt(killed) - 88, "XXXX")},
        {"packet sizes differ", damaged(FlagsAt(killed) + 4, QByteArray::fromHex("c112"))},
        {"data of another file", damaged(header + 30, "XX")},
        {"a damaged packet amid the data", damaged(header + 50 + 4800, QByteArray(40, '\xff'))},
    };
    for (const auto& [what, bytes] : files) {
        SCOPED_TRACE(what);
        const QString path = s_folder->filePath(QStringLiteral("other.wma"));
        Put(path, bytes);
        const AsfRepair::Result result = AsfRepair::Repair(path);
        EXPECT_NE(result.outcome, AsfRepair::Outcome::Repaired);
        EXPECT_FALSE(result.reason.isEmpty());
        EXPECT_EQ(result.outcome == AsfRepair::Outcome::AlreadyComplete, QByteArray(what).startsWith("finished")) << result.reason.toStdString();
        EXPECT_TRUE(Bytes(path) == bytes) << result.reason.toStdString();
    }

    // A recording some program still has open may still be written to.
    const QString open = CopyOf(s_audio, QStringLiteral("open.wma"));
    QFile reader(open);
    ASSERT_TRUE(reader.open(QIODevice::ReadOnly));
    EXPECT_EQ(AsfRepair::Repair(open).outcome, AsfRepair::Outcome::Failed);
    EXPECT_TRUE(Bytes(open) == killed);
    reader.close();
    EXPECT_EQ(AsfRepair::Repair(open).outcome, AsfRepair::Outcome::Repaired);
}

namespace {

// Standard error of this process while `run` runs, the lines this program itself writes.
QStringList ProgramLines(const std::function<void()>& run)
{
    QTemporaryFile file;
    EXPECT_TRUE(file.open());
    std::fflush(stderr);
    const int saved = ::dup(2);
    ::dup2(file.handle(), 2);
    run();
    std::fflush(stderr);
    ::dup2(saved, 2);
    ::close(saved);
    file.seek(0);
    return QString::fromUtf8(file.readAll()).split(QLatin1Char('\n')).filter(QRegularExpression(QStringLiteral("^corvana: ")));
}

} // namespace

TEST_F(AsfRepairTest, UnfinishedRecordingsRepairsOnlyTheFilesItNoted)
{
    QTemporaryDir state;
    qputenv("XDG_STATE_HOME", state.path().toUtf8());
    const QString folder = UnfinishedRecordings::Folder();
    EXPECT_EQ(folder, state.path() + QStringLiteral("/corvana/unfinished"));

    const QString noted = CopyOf(s_audio, QStringLiteral("Take 2\nnight café ♪.wma"));
    const QString unnoted = CopyOf(s_audio, QStringLiteral("unnoted.wma"));
    const QString photo = s_folder->filePath(QStringLiteral("photo\nof the night.wmv"));
    Put(photo, "\xff\xd8\xff\xe0 not a recording");
    const QString gone = s_folder->filePath(QStringLiteral("gone.wma"));
    for (const QString& path : {noted, photo, gone})
        ASSERT_TRUE(UnfinishedRecordings::Begin(path));
    for (const QString& created : {folder, state.path() + QStringLiteral("/corvana")}) {
        struct stat info {};
        ASSERT_EQ(::stat(QFile::encodeName(created).constData(), &info), 0);
        EXPECT_EQ(info.st_mode & 0777, 0700u) << created.toStdString();
    }
    EXPECT_EQ(QDir(folder).entryList(QDir::Files | QDir::Hidden).size(), 3);
    // Files in the folder that are no entries of it: not acted on, and left there.
    Put(folder + QStringLiteral("/notes.txt"), QFile::encodeName(unnoted));
    Put(folder + QStringLiteral("/") + QString(64, QLatin1Char('a')), QFile::encodeName(unnoted));

    QStringList lines = ProgramLines([] { EXPECT_EQ(UnfinishedRecordings::RepairAll(), 1); });
    EXPECT_EQ(lines, QStringList{QStringLiteral("corvana: could not repair %1: it is not an ASF file").arg(QString(photo).replace(QLatin1Char('\n'), QLatin1Char('?')))});
    EXPECT_EQ(AsfRepair::Repair(noted).outcome, AsfRepair::Outcome::AlreadyComplete);
    EXPECT_TRUE(Bytes(unnoted) == Bytes(s_audio));
    EXPECT_TRUE(Bytes(photo) == QByteArray("\xff\xd8\xff\xe0 not a recording"));
    // The photo keeps its entry and is named again; the others are forgotten.
    const QByteArray repaired = Bytes(noted);
    lines = ProgramLines([] { EXPECT_EQ(UnfinishedRecordings::RepairAll(), 0); });
    EXPECT_EQ(lines.size(), 1);
    EXPECT_TRUE(Bytes(noted) == repaired);
    EXPECT_EQ(QDir(folder).entryList(QDir::Files).size(), 3);

    UnfinishedRecordings::End(photo);
    EXPECT_TRUE(ProgramLines([] { EXPECT_EQ(UnfinishedRecordings::RepairAll(), 0); }).isEmpty());
    EXPECT_EQ(QDir(folder).entryList(QDir::Files | QDir::Hidden), QStringList({QString(64, QLatin1Char('a')), QStringLiteral("notes.txt")}));
    EXPECT_TRUE(Bytes(unnoted) == Bytes(s_audio));

    // A relative setting does not count; the default is under the home folder.
    qputenv("XDG_STATE_HOME", "state");
    EXPECT_EQ(UnfinishedRecordings::Folder(), QDir::homePath() + QStringLiteral("/.local/state/corvana/unfinished"));
    qunsetenv("XDG_STATE_HOME");
    EXPECT_EQ(UnfinishedRecordings::Folder(), QDir::homePath() + QStringLiteral("/.local/state/corvana/unfinished"));
}
