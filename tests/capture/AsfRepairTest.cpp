// Recordings the writer never finished: made for real by killing gst-launch-1.0 in the middle of
// a recording with the program's encoders and muxer, then repaired and played with ffprobe,
// ffmpeg and mpv. Files of any other kind must come out of a repair exactly as they went in.
#include "CaptureTestSupport.h"
#include "TestEnvironment.h"

#include "capture/AsfRepair.h"
#include "capture/UnfinishedRecordings.h"

#include <QRandomGenerator>
#include <memory>

using corvana::AsfRepair;
using corvana::UnfinishedRecordings;
using Outcome = corvana::AsfRepair::Outcome;

namespace {

QByteArray Bytes(const QString& path) { return TestEnvironment::ReadFile(path); }
void Put(const QString& path, const QByteArray& bytes) { TestEnvironment::WriteFile(path, bytes); }

// The program's pipeline into `path`, with its file sink's default buffering.
std::unique_ptr<QProcess> StartWriter(const QString& path, bool video, const QString& source)
{
    QString line = QStringLiteral("-q asfmux name=mux ! filesink location=%1 audiotestsrc %2 ! audioconvert ! audioresample "
                                  "! audio/x-raw,rate=44100,channels=2 ! avenc_wmav2 bitrate=64000 ! identity single-segment=true ! mux. ")
                       .arg(path, source);
    if (video)
        line += QStringLiteral("videotestsrc %1 ! video/x-raw,width=640,height=480,framerate=30000/1001 ! videoconvert "
                               "! avenc_wmv2 bitrate=636000 ! identity single-segment=true ! mux. ").arg(source);
    auto writer = std::make_unique<QProcess>();
    writer->start(QStringLiteral("gst-launch-1.0"), QProcess::splitCommand(line));
    return writer;
}

// Where the writer keeps its broadcast / seekable flags: the File Properties object's + 88.
qsizetype FlagsAt(const QByteArray& file)
{
    return file.indexOf(QByteArray::fromHex("a1dcab8c47a9cf118ee400c00c205365")) + 88;
}

// Where mpv lands when it starts playing from the middle, and the length it sees.
std::pair<double, double> PlayFromMiddle(const QString& path)
{
    QProcess mpv;
    mpv.setProcessChannelMode(QProcess::MergedChannels);
    mpv.start(QStringLiteral("mpv"), {"--no-config", "--vo=null", "--ao=null", "--start=50%", "--frames=1", "--length=0.2",
                                      "--term-playing-msg=AT ${=time-pos} OF ${=duration}", path});
    mpv.waitForFinished(60000);
    const QString out = QString::fromUtf8(mpv.readAll());
    EXPECT_EQ(mpv.exitCode(), 0) << out.toStdString();
    const auto match = QRegularExpression(QStringLiteral("AT (\\S+) OF (\\S+)")).match(out);
    return {match.captured(1).toDouble(), match.captured(2).toDouble()};
}

// Where the file's last packet ends, by its timestamps: under load a live source leaves gaps, so
// the decoded sample count can fall short of the time the file covers.
double MediaEnd(const QString& path)
{
    QProcess probe;
    probe.start(QStringLiteral("ffprobe"), {"-v", "error", "-show_entries", "packet=pts_time,duration_time", "-of", "csv=p=0", path});
    probe.waitForFinished(60000);
    double end = 0;
    for (const QString& line : QString::fromUtf8(probe.readAllStandardOutput()).split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        const QStringList fields = line.split(QLatin1Char(','));
        end = std::max(end, fields.value(0).toDouble() + fields.value(1).toDouble());
    }
    return end;
}

} // namespace

class AsfRepairTest : public ::testing::Test {
protected:
    // Killed once they have grown past a few seconds; both at once, as the program may record both.
    // And a video of ten seconds the writer finished.
    static void SetUpTestSuite()
    {
        s_audio = s_folder.filePath(QStringLiteral("killed.wma"));
        s_video = s_folder.filePath(QStringLiteral("killed.wmv"));
        s_finished = s_folder.filePath(QStringLiteral("finished.wmv"));
        const auto audio = StartWriter(s_audio, false, QStringLiteral("is-live=true"));
        const auto video = StartWriter(s_video, true, QStringLiteral("is-live=true"));
        const bool grown = QTest::qWaitFor([&] { return QFileInfo(s_audio).size() > 40000 && QFileInfo(s_video).size() > 500000; }, 60000);
        const bool running = audio->state() == QProcess::Running && video->state() == QProcess::Running;
        audio->kill(), video->kill();
        audio->waitForFinished(), video->waitForFinished();
        ASSERT_TRUE(grown && running) << QFileInfo(s_audio).size() << " " << QFileInfo(s_video).size();
        const auto finished = StartWriter(s_finished, true, QStringLiteral("num-buffers=300"));
        ASSERT_TRUE(finished->waitForFinished(60000) && finished->exitCode() == 0);
    }

    static inline QTemporaryDir s_folder;
    static inline QString s_audio;
    static inline QString s_video;
    static inline QString s_finished;
};

TEST_F(AsfRepairTest, KilledRecordingsPlayForAllTheyHoldAndASecondRepairChangesNothing)
{
    EXPECT_FALSE(ProbeMedia(s_video).ok); // before the repair, ffprobe finds no length
    for (const QString& original : {s_audio, s_video}) {
        SCOPED_TRACE(original.toStdString());
        const QString path = s_folder.filePath(QStringLiteral("repaired.") + QFileInfo(original).suffix());
        Put(path, Bytes(original).chopped(1000)); // its last packet cut short too, as a lost disk cache leaves it
        const AsfRepair::Result result = AsfRepair::Repair(path);
        ASSERT_EQ(result.outcome, Outcome::Repaired) << result.reason.toStdString();

        // The seconds of audio and video the file really holds, by decoding it.
        const ProbedFile probed = ProbeMedia(path);
        const double decoded = std::max(static_cast<double>(DecodeAudio(path, 44100).size()) / 44100,
                                        static_cast<double>(probed.video.frames) * 1001 / 30000);
        EXPECT_GT(decoded, 2.5);
        EXPECT_LE(decoded, probed.duration + 0.05);
        EXPECT_NEAR(probed.duration, MediaEnd(path), 0.1);
        // The header's length ends with the last whole frame; ffprobe's may add one sound frame (46 ms).
        EXPECT_NEAR(result.seconds, probed.duration, 0.07);
        // The video's millisecond times, rounded onto the null output's 1/framerate clock, would
        // collide now and then: the output keeps the input's clock instead.
        EXPECT_EQ(DecodeErrors(path, original == s_video ? QStringList{"-enc_time_base", "-1"} : QStringList()), QString());
        const auto [position, length] = PlayFromMiddle(path);
        EXPECT_NEAR(length, probed.duration, 0.05);
        EXPECT_NEAR(position, probed.duration / 2, 0.1);

        const QByteArray repaired = Bytes(path);
        const AsfRepair::Result again = AsfRepair::Repair(path);
        EXPECT_EQ(again.outcome, Outcome::AlreadyComplete);
        EXPECT_EQ(again.reason, QStringLiteral("it is already complete"));
        EXPECT_NEAR(again.seconds, result.seconds, 1e-9);
        EXPECT_TRUE(Bytes(path) == repaired);
    }
}

// A repair may itself be cut off at any point before it clears the broadcast flag, its last write.
TEST_F(AsfRepairTest, AnInterruptedRepairEndsInTheSameFile)
{
    const QString path = s_folder.filePath(QStringLiteral("interrupted.wma"));
    const QByteArray killed = Bytes(s_audio).chopped(1000); // the last packet cut short, whatever the kill left
    Put(path, killed);
    ASSERT_EQ(AsfRepair::Repair(path).outcome, Outcome::Repaired);
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
            EXPECT_EQ(result.outcome, Outcome::Repaired) << result.reason.toStdString();
            EXPECT_TRUE(Bytes(path) == repaired);
        }
    }
}

// A finished video turned back into what a kill leaves (no index after the data, the broadcast
// flag set) gets from the repair the very index the muxer wrote when it finished the file.
TEST_F(AsfRepairTest, ARepairedVideoGetsTheSimpleIndexTheMuxerWrites)
{
    const QByteArray whole = Bytes(s_finished);
    const qsizetype indexAt = whole.indexOf(QByteArray::fromHex("90080033b1e5cf1189f400a0c90349cb"));
    ASSERT_GT(indexAt, 0) << "the muxer wrote no index";
    ASSERT_GT(whole.size() - indexAt, 56 + 6 * 8) << "fewer entries than seconds";

    QByteArray killed = whole.left(indexAt);
    killed[FlagsAt(killed)] = 1;
    const QString path = s_folder.filePath(QStringLiteral("unindexed.wmv"));
    Put(path, killed);
    const AsfRepair::Result result = AsfRepair::Repair(path);
    ASSERT_EQ(result.outcome, Outcome::Repaired) << result.reason.toStdString();
    const QByteArray repaired = Bytes(path);
    EXPECT_EQ(repaired.size(), whole.size());
    EXPECT_EQ(repaired.mid(indexAt).toHex().toStdString(), whole.mid(indexAt).toHex().toStdString());
    // An index left by a repair that was cut off before its end is rebuilt, not taken for damage.
    QByteArray interrupted = repaired;
    interrupted[FlagsAt(interrupted)] = 1;
    Put(path, interrupted);
    EXPECT_EQ(AsfRepair::Repair(path).outcome, Outcome::Repaired);
    EXPECT_TRUE(Bytes(path) == repaired);
}

TEST_F(AsfRepairTest, AnythingButAnUnfinishedRecordingIsLeftAsItWas)
{
    const QByteArray killed = Bytes(s_audio);
    const qsizetype header = killed.indexOf(QByteArray::fromHex("3626b2758e66cf11a6d900aa0062ce6c"));
    ASSERT_GT(header, 0);
    const auto damaged = [&](qsizetype at, const QByteArray& bytes) { return killed.left(at) + bytes + killed.mid(at + bytes.size()); };
    QByteArray noise(20000, '\0');
    QRandomGenerator(7).fillRange(reinterpret_cast<quint32*>(noise.data()), noise.size() / 4);

    const std::vector<std::pair<const char*, QByteArray>> files{
        {"finished recording", Bytes(s_finished)},
        {"photo", QByteArray("\xff\xd8\xff\xe0\x00\x10JFIF not a recording")},
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
    const QString path = s_folder.filePath(QStringLiteral("other.wma"));
    for (const auto& [what, bytes] : files) {
        SCOPED_TRACE(what);
        Put(path, bytes);
        const AsfRepair::Result result = AsfRepair::Repair(path);
        EXPECT_FALSE(result.reason.isEmpty());
        EXPECT_EQ(result.outcome, QByteArray(what).startsWith("finished") ? Outcome::AlreadyComplete : Outcome::Failed)
            << result.reason.toStdString();
        EXPECT_TRUE(Bytes(path) == bytes) << result.reason.toStdString();
    }

    // A recording some program still has open may still be written to.
    Put(path, killed);
    QFile reader(path);
    ASSERT_TRUE(reader.open(QIODevice::ReadOnly));
    EXPECT_EQ(AsfRepair::Repair(path).outcome, Outcome::Failed);
    EXPECT_TRUE(Bytes(path) == killed);
    reader.close();
    EXPECT_EQ(AsfRepair::Repair(path).outcome, Outcome::Repaired);
}

// At start-up only the files the program noted are repaired; one that cannot be repaired keeps its
// entry, the others are forgotten, and files in the folder that are no entries are left alone.
TEST_F(AsfRepairTest, UnfinishedRecordingsRepairsOnlyTheFilesItNoted)
{
    QTemporaryDir state;
    qputenv("XDG_STATE_HOME", state.path().toUtf8());
    const QString folder = UnfinishedRecordings::Folder();
    const QString noted = s_folder.filePath(QStringLiteral("Take 2\nnight café ♪.wma"));
    const QString unnoted = s_folder.filePath(QStringLiteral("unnoted.wma"));
    const QString photo = s_folder.filePath(QStringLiteral("photo.wmv"));
    Put(noted, Bytes(s_audio));
    Put(unnoted, Bytes(s_audio));
    Put(photo, "\xff\xd8\xff\xe0 not a recording");
    for (const QString& path : {noted, photo, s_folder.filePath(QStringLiteral("gone.wma"))})
        ASSERT_TRUE(UnfinishedRecordings::Begin(path));
    EXPECT_EQ(QFileInfo(folder).permissions() & ~(QFile::ReadUser | QFile::WriteUser | QFile::ExeUser), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    Put(folder + QStringLiteral("/notes.txt"), QFile::encodeName(unnoted));

    EXPECT_EQ(UnfinishedRecordings::RepairAll(), 1);
    EXPECT_EQ(AsfRepair::Repair(noted).outcome, Outcome::AlreadyComplete);
    EXPECT_TRUE(Bytes(unnoted) == Bytes(s_audio));
    EXPECT_TRUE(Bytes(photo) == QByteArray("\xff\xd8\xff\xe0 not a recording"));
    EXPECT_EQ(QDir(folder).entryList(QDir::Files | QDir::Hidden).size(), 2); // the photo's entry and the notes
    UnfinishedRecordings::End(photo);
    EXPECT_EQ(UnfinishedRecordings::RepairAll(), 0);
    EXPECT_EQ(QDir(folder).entryList(QDir::Files | QDir::Hidden), QStringList{QStringLiteral("notes.txt")});
    EXPECT_TRUE(Bytes(unnoted) == Bytes(s_audio));
    qunsetenv("XDG_STATE_HOME");
}
