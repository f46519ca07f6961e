// The recording controller against a scripted view and scripted capture objects: every way a
// start or a running recording can fail, with the real hardware-control library writing the
// controller journal.
#include "TestEnvironment.h"
#include "ui/CProgramState.h"
#include "ui/CRecordingControl.h"
#include "ui/ICaptureObjects.h"
#include "ui/IRecordingView.h"

#include <QCoreApplication>
#include <gtest/gtest.h>

#include <map>

using namespace corvana;

namespace {

class FakeView : public IRecordingView {
public:
    IPreviewSurface* PreviewSurface() override { return nullptr; }
    void ShowPlaceholder() override {}
    void ShowPreview() override {}
    void LatchRecord(bool latched) override { recordLatched = latched; }
    void EnableRecord(bool enabled) override { recordEnabled = enabled; }
    void LatchModeButton(MediaMode, bool) override {}
    void PushModeButton(MediaMode mode, bool down) override { pushed[mode] = down; }
    void UncheckModeButton(MediaMode) override {}
    void FillList(MediaMode, const QString& selectPath) override { selected << selectPath; }
    void SetListMode(MediaMode) override {}
    void SuspendSpecialKeys() override {}
    void ResumeSpecialKeys() override {}
    bool PlayerOpen() override { return false; }
    void StopPlayer() override {}
    void ClosePlayer() override {}
    void Tell(const QString& text) override { told << text; }

    bool recordLatched = false, recordEnabled = true;
    std::map<MediaMode, bool> pushed;
    QStringList selected, told;  // the paths each list refill selects; the messages
};

// A start takes its scripted outcome once, and succeeds otherwise.
class FakeCapture : public ICaptureObjects {
public:
    void SetFailureHandler(FailureHandler handler) override { onFailure = std::move(handler); }
    CaptureOutcome StartAudio(MediaMode) override { return Next("audio"); }
    void StopAudio() override {}
    void ReleaseAudio() override { calls << QStringLiteral("release audio"); }
    CaptureOutcome StartVideoPreview(IPreviewSurface*) override { return Next("video preview"); }
    CaptureOutcome StartVideoRecording() override { return Next("video recording"); }
    void StopVideoRecording() override {}
    void CloseVideo() override { calls << QStringLiteral("close video"); }
    CaptureOutcome StartPhotoPreview(IPreviewSurface*) override { return Next("photo preview"); }
    void StopPhotoPreview() override {}
    void ResumeLivePhoto() override {}
    CaptureOutcome GrabPhoto() override { return Next("grab"); }
    bool CameraMissing(MediaMode) const override { return false; }
    QString OutputPath(MediaMode) const override { return output; }

    std::map<QString, CaptureOutcome> script;
    QStringList calls;
    FailureHandler onFailure;
    QString output;

private:
    CaptureOutcome Next(const char* what)
    {
        calls << QString::fromLatin1(what);
        const CaptureOutcome outcome = script[calls.last()];
        script.erase(calls.last());
        return outcome;
    }
};

class RecordingControlTest : public ::testing::Test {
protected:
    void SetUp() override { CProgramState::busy = false; }
    QStringList Journal() const { return env.JournalBytes(QCoreApplication::applicationPid()); }
    // Enters the mode and forgets what happened so far.
    void Fresh(MediaMode mode)
    {
        control.EnterMode(mode);
        env.ClearJournal();
        view.told.clear();
        view.selected.clear();
        capture.calls.clear();
    }

    TestEnvironment env;
    FakeView view;
    FakeCapture capture;
    CRecordingControl control{view, capture};
};

QStringList Split(const char* list) { return QString::fromLatin1(list).split(QLatin1Char(','), Qt::SkipEmptyParts); }

TEST_F(RecordingControlTest, AFailedStartOrRecordingLeavesTheLightOffRecordReleasedAndTellsTheCauseOnce)
{
    const struct {
        bool whileRecording;  // the capture object stops by itself, as from its bus; else the start fails
        MediaMode mode;
        const char* step;
        CaptureOutcome outcome;
        const char* told;  // parts of the one message
        const char* journal;
        const char* calls;
        bool recordOffered;
    } cases[] = {
        {false, MediaMode::Solo, "audio", {CaptureFailure::NoMicrophone}, "No microphone", "C1", "audio,release audio", true},
        {false, MediaMode::Solo, "audio", {CaptureFailure::MissingCodec, "gstreamer1.0-libav"}, "gstreamer1.0-libav", "C1", "audio,release audio", true},
        {false, MediaMode::Solo, "audio", {CaptureFailure::FolderNotWritable, "/media/AudioSolo"}, "/media/AudioSolo cannot be written", "C1",
         "audio,release audio", true},
        {false, MediaMode::Solo, "audio", {CaptureFailure::MicrophoneBusy}, "in use by another program", "C1", "audio,release audio", true},
        {false, MediaMode::Solo, "audio", {CaptureFailure::DiskFull}, "disk is full", "C1", "audio,release audio", true},
        {false, MediaMode::Conference, "audio", {CaptureFailure::MissingCodec, "gstreamer1.0-libav", {"avenc_wmav2"}}, "element avenc_wmav2,package gstreamer1.0-libav",
         "C2", "audio,release audio", true},
        // A writer that cannot start leaves the working camera offered; a busy one is told at each press.
        {false, MediaMode::Video, "video recording", {CaptureFailure::FolderNotWritable, "/media/Video"}, "/media/Video", "C1",
         "close video,video preview,video recording", true},
        {false, MediaMode::Video, "video preview", {CaptureFailure::CameraBusy}, "camera is in use", "C1", "close video,video preview", false},
        {false, MediaMode::Photo, "grab", {CaptureFailure::FolderNotWritable, "/media/Photo"}, "/media/Photo", "D2,D3", "grab", true},
        {false, MediaMode::Photo, "grab", {CaptureFailure::DiskFull, "No space left on device"}, "photo could not be saved,disk is full",
         "D2,D3", "grab", true},
        {false, MediaMode::Photo, "grab", {CaptureFailure::WriteFailed, "Input/output error"}, "photo could not be saved,Input/output error",
         "D2,D3", "grab", true},
        {true, MediaMode::Solo, "", {CaptureFailure::DiskFull, "/media/1.wma"}, "disk is full,/media/1.wma", "D3", "", true},
        {true, MediaMode::Video, "", {CaptureFailure::CameraLost, "/media/1.wmv"}, "camera stopped working", "D3", "", false},
    };
    for (const auto& entry : cases) {
        SCOPED_TRACE(std::string(entry.told) + " " + entry.step);
        Fresh(entry.mode);
        if (entry.whileRecording) {
            control.Record();
            ASSERT_TRUE(control.IsRecording());
            Fresh(entry.mode);
            capture.output = entry.outcome.detail;
            capture.onFailure(entry.mode, entry.outcome);
        } else {
            capture.script[QString::fromLatin1(entry.step)] = entry.outcome;
            control.Record();
        }
        // A failure of another mode's capture object is not this mode's.
        capture.onFailure(entry.mode == MediaMode::Video ? MediaMode::Photo : MediaMode::Video, {CaptureFailure::CameraLost});
        EXPECT_EQ(Journal(), Split(entry.journal));
        EXPECT_FALSE(view.recordLatched);
        EXPECT_FALSE(control.IsRecording());
        EXPECT_EQ(view.recordEnabled, entry.recordOffered);
        EXPECT_EQ(control.RecordAvailable(), entry.recordOffered);
        EXPECT_EQ(capture.calls, Split(entry.calls)) << "the half-made capture is let go";
        ASSERT_EQ(view.told.size(), 1);
        for (const QString& part : Split(entry.told))
            EXPECT_TRUE(view.told.first().contains(part)) << view.told.first().toStdString();
        if (entry.mode == MediaMode::Photo)
            continue;
        EXPECT_EQ(view.selected, entry.whileRecording ? QStringList{capture.output} : QStringList()) << "the file is selected";
        // The next press starts a new recording, and this time it works.
        control.Record();
        EXPECT_EQ(Journal(), Split(entry.journal) << (entry.mode == MediaMode::Conference ? "C2" : "C1") << "D2");
        EXPECT_TRUE(view.recordLatched);
        control.Record();
        EXPECT_EQ(Journal().last(), "D3");
        EXPECT_EQ(view.told.size(), 1);
    }
}

TEST_F(RecordingControlTest, ABusyCameraIsToldOncePerOpeningAndRecordStaysOffUntilACameraWorks)
{
    capture.script["video preview"] = {CaptureFailure::CameraBusy};
    capture.script["photo preview"] = {CaptureFailure::CameraBusy};
    control.RestoreMode(MediaMode::Video);
    EXPECT_FALSE(view.recordEnabled);
    EXPECT_FALSE(control.RecordAvailable());
    ASSERT_EQ(view.told.size(), 1);
    EXPECT_TRUE(view.told.first().contains("camera is in use"));
    control.EnterMode(MediaMode::Photo);
    EXPECT_FALSE(view.recordEnabled);
    EXPECT_EQ(view.told.size(), 1) << "told again in another mode";
    // An audio mode offers Record; a camera that works again offers it in Video too.
    control.EnterMode(MediaMode::Solo);
    EXPECT_TRUE(view.recordEnabled);
    control.EnterMode(MediaMode::Video);
    EXPECT_TRUE(view.recordEnabled);
    EXPECT_TRUE(control.RecordAvailable());
    EXPECT_EQ(view.told.size(), 1);
    // A listing without any camera is told at each discovery, the once-rule notwithstanding.
    capture.script["photo preview"] = {CaptureFailure::NoVideoDevice};
    control.EnterMode(MediaMode::Photo);
    capture.script["video preview"] = {CaptureFailure::NoVideoDevice};
    control.EnterMode(MediaMode::Video);
    EXPECT_EQ(view.told.mid(1), QStringList(2, "No video capture device was detected."));
    EXPECT_EQ(control.Camera(), CRecordingControl::CameraState::Missing);
}

} // namespace

// The restore after an unlock or a console connect starts from whatever runs: a recording in
// another mode is finished and its capture object let go, and only the restored mode is pushed.
TEST_F(RecordingControlTest, RestoringLeavesWhateverRunsAndPushesOneMode)
{
    for (const auto& [running, restored, release] : {std::tuple{MediaMode::Video, MediaMode::Solo, "close video"},
                                                    {MediaMode::Solo, MediaMode::Video, "release audio"},
                                                    {MediaMode::Photo, MediaMode::Conference, ""}}) {
        SCOPED_TRACE(static_cast<int>(running));
        Fresh(running);
        if (running != MediaMode::Photo) {
            control.Record();
            ASSERT_TRUE(view.recordLatched);
        }
        capture.calls.clear();
        control.RestoreMode(restored);
        EXPECT_EQ(control.Mode(), restored);
        EXPECT_FALSE(view.recordLatched);
        if (*release) {
            EXPECT_TRUE(capture.calls.contains(QString::fromLatin1(release))) << capture.calls.join(',').toStdString();
        }
        if (running != MediaMode::Photo) {
            EXPECT_EQ(Journal().filter("D3").size(), 1);
        }
        int pushed = 0;
        for (const auto& [mode, down] : view.pushed)
            pushed += down && mode == restored ? 1 : down ? 100 : 0;
        EXPECT_EQ(pushed, 1) << "another mode stayed pushed";
    }
}

TEST_F(RecordingControlTest, OnALockedDeskNothingStartsUntilTheUnlockRestores)
{
    const QStringList starts = Split("audio,video preview,video recording,photo preview,grab");
    const auto started = [&] {
        QStringList made;
        for (const QString& call : capture.calls)
            if (starts.contains(call))
                made << call;
        return made;
    };
    for (MediaMode locked : {MediaMode::Solo, MediaMode::Video, MediaMode::Photo}) {
        SCOPED_TRACE(static_cast<int>(locked));
        Fresh(locked);
        control.OnSessionLock();
        control.Record();
        for (MediaMode mode : {MediaMode::Photo, MediaMode::Video, MediaMode::Conference}) {
            control.EnterMode(mode);
            control.Record();
        }
        control.RestoreMode(locked);  // a console connect while still locked
        control.Record();
        EXPECT_EQ(started(), QStringList()) << capture.calls.join(',').toStdString();
        EXPECT_FALSE(view.recordLatched);
        EXPECT_FALSE(Journal().contains("D2")) << "the record light went on";
        EXPECT_TRUE(view.told.isEmpty());

        control.SetSessionLocked(false);
        control.RestoreMode(MediaMode::Video);
        EXPECT_TRUE(view.recordEnabled);
        control.Record();
        EXPECT_EQ(started(), Split("video preview,video preview,video recording"));
        EXPECT_TRUE(view.recordLatched);
        control.Record();
    }
}

TEST_F(RecordingControlTest, TheStatesCanBeReadAtEveryStep)
{
    using State = CRecordingControl::RecordingState;
    using Camera = CRecordingControl::CameraState;
    EXPECT_EQ(control.State(), State::Idle);
    EXPECT_EQ(control.Camera(), Camera::Unknown);
    capture.script["video preview"] = {CaptureFailure::CameraBusy};
    Fresh(MediaMode::Video);
    EXPECT_EQ(control.Camera(), Camera::Failed);
    capture.script["photo preview"] = {CaptureFailure::NoCamera};
    control.EnterMode(MediaMode::Photo);
    EXPECT_EQ(control.Camera(), Camera::Missing);
    control.EnterMode(MediaMode::Video);
    EXPECT_EQ(control.Camera(), Camera::Running);
    control.Record();
    EXPECT_EQ(control.State(), State::Recording);
    EXPECT_TRUE(control.IsRecording());
    control.Record();
    EXPECT_EQ(control.State(), State::Idle);
    capture.script["audio"] = {CaptureFailure::NoMicrophone};
    control.EnterMode(MediaMode::Solo);
    control.Record();
    EXPECT_EQ(control.State(), State::Idle) << "a start that failed leaves no recording behind";
}
