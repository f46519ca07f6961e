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

#include <deque>
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
    void PushModeButton(MediaMode, bool) override {}
    void UncheckModeButton(MediaMode) override {}
    void FillList(MediaMode mode, const QString& selectPath) override { fills.push_back({mode, selectPath}); }
    void SetListMode(MediaMode) override {}
    void SuspendSpecialKeys() override {}
    void ResumeSpecialKeys() override {}
    bool PlayerOpen() override { return playerOpen; }
    void StopPlayer() override { ++playerStops; }
    void ClosePlayer() override { ++playerCloses; }
    void Tell(const QString& text) override { told << text; }

    bool recordLatched = false;
    bool recordEnabled = true;
    bool playerOpen = false;
    int playerStops = 0;
    int playerCloses = 0;
    std::vector<std::pair<MediaMode, QString>> fills;
    QStringList told;
};

// Each start takes the next scripted outcome, success once the script is used up.
class FakeCapture : public ICaptureObjects {
public:
    void SetFailureHandler(FailureHandler handler) override { onFailure = std::move(handler); }
    CaptureOutcome StartAudio(MediaMode) override { return Next("audio"); }
    void StopAudio() override { calls << QStringLiteral("stop audio"); }
    void ReleaseAudio() override { calls << QStringLiteral("release audio"); }
    CaptureOutcome StartVideoPreview(IPreviewSurface*) override { return Next("video preview"); }
    CaptureOutcome StartVideoRecording() override { return Next("video recording"); }
    void StopVideoRecording() override { calls << QStringLiteral("stop video"); }
    void CloseVideo() override { calls << QStringLiteral("close video"); }
    CaptureOutcome StartPhotoPreview(IPreviewSurface*) override { return Next("photo preview"); }
    void StopPhotoPreview() override { calls << QStringLiteral("stop photo"); }
    void ResumeLivePhoto() override {}
    CaptureOutcome GrabPhoto() override { return Next("grab"); }
    bool CameraMissing(MediaMode) const override { return cameraMissing; }
    QString OutputPath(MediaMode) const override { return output; }

    // The capture object stopping by itself, as from its bus.
    void Fails(MediaMode mode, CaptureFailure failure) { onFailure(mode, {failure, output}); }

    std::map<QString, std::deque<CaptureOutcome>> script;
    QStringList calls;
    FailureHandler onFailure;
    bool cameraMissing = false;
    QString output = QStringLiteral("/media/AudioSolo/261207-101500.wma");

private:
    CaptureOutcome Next(const char* what)
    {
        const QString key = QString::fromLatin1(what);
        calls << key;
        auto& queue = script[key];
        if (queue.empty())
            return {};
        CaptureOutcome outcome = queue.front();
        queue.pop_front();
        return outcome;
    }
};

class RecordingControlTest : public ::testing::Test {
protected:
    void SetUp() override { CProgramState::busy = false; }

    QStringList Journal() const { return env.JournalBytes(QCoreApplication::applicationPid()); }
    void ClearJournal() { env.ClearJournal(); }

    TestEnvironment env;
    FakeView view;
    FakeCapture capture;
    CRecordingControl control{view, capture};
};

TEST_F(RecordingControlTest, AFailedStartLeavesTheLightOffRecordUnlatchedAndTellsTheCauseOnce)
{
    const struct {
        CaptureOutcome outcome;
        QString named;
    } cases[] = {
        {{CaptureFailure::NoMicrophone}, QStringLiteral("No microphone")},
        {{CaptureFailure::MissingCodec, QStringLiteral("gstreamer1.0-libav")}, QStringLiteral("gstreamer1.0-libav")},
        {{CaptureFailure::FolderNotWritable, QStringLiteral("/media/AudioSolo")}, QStringLiteral("/media/AudioSolo cannot be written")},
        {{CaptureFailure::MicrophoneBusy}, QStringLiteral("in use by another program")},
        {{CaptureFailure::DiskFull}, QStringLiteral("disk is full")},
    };
    control.RestoreMode(MediaMode::Solo);
    for (const auto& entry : cases) {
        SCOPED_TRACE(entry.named.toStdString());
        ClearJournal();
        view.told.clear();
        view.fills.clear();
        capture.calls.clear();
        capture.script["audio"] = {entry.outcome};
        control.Record();
        EXPECT_EQ(Journal(), QStringList{QStringLiteral("C1")});
        EXPECT_FALSE(view.recordLatched);
        EXPECT_FALSE(control.IsRecording());
        ASSERT_EQ(view.told.size(), 1);
        EXPECT_TRUE(view.told.first().contains(entry.named)) << view.told.first().toStdString();
        // The half-made recorder goes, with any empty file; the list is not refilled with it.
        EXPECT_EQ(capture.calls, QStringList({QStringLiteral("audio"), QStringLiteral("release audio")}));
        EXPECT_TRUE(view.fills.empty());

        // The next press tries again, and this time it works.
        control.Record();
        EXPECT_EQ(Journal(), QStringList({QStringLiteral("C1"), QStringLiteral("C1"), QStringLiteral("D2")}));
        EXPECT_TRUE(view.recordLatched);
        EXPECT_TRUE(control.IsRecording());
        control.Record();
        EXPECT_EQ(Journal().last(), QStringLiteral("D3"));
        EXPECT_EQ(view.told.size(), 1);
    }
}

TEST_F(RecordingControlTest, AFailureTheCaptureObjectAlreadyReportedIsNotToldTwice)
{
    control.RestoreMode(MediaMode::Conference);
    capture.script["audio"] = {{CaptureFailure::MissingCodec, QStringLiteral("gstreamer1.0-libav"), true}};
    ClearJournal();
    control.Record();
    EXPECT_EQ(Journal(), QStringList{QStringLiteral("C2")});
    EXPECT_TRUE(view.told.isEmpty());
    EXPECT_FALSE(view.recordLatched);
    // Without its own report the next failure is told.
    capture.script["audio"] = {{CaptureFailure::MissingCodec, QStringLiteral("gstreamer1.0-libav")}};
    control.Record();
    EXPECT_EQ(view.told.size(), 1);
}

TEST_F(RecordingControlTest, ARecordingThatFailsKeepsItsFileSwitchesTheLightOffAndTellsOnce)
{
    control.RestoreMode(MediaMode::Solo);
    control.Record();
    ASSERT_TRUE(control.IsRecording());
    ClearJournal();
    view.fills.clear();
    capture.Fails(MediaMode::Solo, CaptureFailure::DiskFull);
    EXPECT_EQ(Journal(), QStringList{QStringLiteral("D3")});
    EXPECT_FALSE(view.recordLatched);
    EXPECT_FALSE(control.IsRecording());
    ASSERT_EQ(view.fills.size(), 1u);
    EXPECT_EQ(view.fills.front().second, capture.output) << "the file written so far is selected";
    ASSERT_EQ(view.told.size(), 1);
    EXPECT_TRUE(view.told.first().contains(QStringLiteral("disk is full")));
    EXPECT_TRUE(view.told.first().contains(capture.output));
    // The next press starts a new recording rather than stopping the failed one.
    capture.calls.clear();
    control.Record();
    EXPECT_EQ(capture.calls, QStringList{QStringLiteral("audio")});
    EXPECT_TRUE(control.IsRecording());
    EXPECT_EQ(Journal().last(), QStringLiteral("D2"));
}

TEST_F(RecordingControlTest, AVideoRecordingWhoseCameraGoesKeepsItsFileAndDisablesRecord)
{
    capture.output = QStringLiteral("/media/Video/261207-101500.wmv");
    control.RestoreMode(MediaMode::Video);
    control.Record();
    ASSERT_TRUE(control.IsRecording());
    ClearJournal();
    capture.Fails(MediaMode::Video, CaptureFailure::CameraLost);
    EXPECT_EQ(Journal(), QStringList{QStringLiteral("D3")});
    EXPECT_FALSE(view.recordLatched);
    EXPECT_FALSE(view.recordEnabled);
    EXPECT_FALSE(control.RecordAvailable());
    ASSERT_EQ(view.told.size(), 1);
    EXPECT_TRUE(view.told.first().contains(QStringLiteral("camera stopped working")));
    // A failure of another mode's capture object is not this recording's.
    capture.Fails(MediaMode::Photo, CaptureFailure::CameraLost);
    capture.Fails(MediaMode::Solo, CaptureFailure::MicrophoneLost);
    EXPECT_EQ(view.told.size(), 1);
}

TEST_F(RecordingControlTest, ABusyCameraIsToldOnceAndRecordStaysOffUntilACameraWorks)
{
    const CaptureOutcome busy{CaptureFailure::CameraBusy};
    capture.script["video preview"] = {busy};
    capture.script["photo preview"] = {busy};
    control.RestoreMode(MediaMode::Video);
    EXPECT_FALSE(view.recordEnabled);
    EXPECT_FALSE(control.RecordAvailable());
    ASSERT_EQ(view.told.size(), 1);
    EXPECT_TRUE(view.told.first().contains(QStringLiteral("camera is in use")));

    control.EnterMode(MediaMode::Photo);
    EXPECT_EQ(control.Mode(), MediaMode::Photo);
    EXPECT_FALSE(view.recordEnabled);
    EXPECT_EQ(view.told.size(), 1) << "once per opening of the dialog";

    // An audio mode offers Record; a camera that works again offers it in Video too.
    control.EnterMode(MediaMode::Solo);
    EXPECT_TRUE(view.recordEnabled);
    control.EnterMode(MediaMode::Video);
    EXPECT_TRUE(view.recordEnabled);
    EXPECT_TRUE(control.RecordAvailable());
    EXPECT_EQ(view.told.size(), 1);
}

TEST_F(RecordingControlTest, RecordWithABusyCameraOrAFailingWriterTellsAndLeavesThePreviewAlone)
{
    control.RestoreMode(MediaMode::Video);
    ClearJournal();
    capture.calls.clear();
    capture.script["video recording"] = {{CaptureFailure::FolderNotWritable, QStringLiteral("/media/Video")}};
    control.Record();
    EXPECT_EQ(capture.calls, QStringList({QStringLiteral("close video"), QStringLiteral("video preview"), QStringLiteral("video recording")}));
    EXPECT_EQ(Journal(), QStringList{QStringLiteral("C1")});
    EXPECT_FALSE(view.recordLatched);
    EXPECT_TRUE(view.recordEnabled) << "the camera itself works";
    ASSERT_EQ(view.told.size(), 1);

    capture.script["video preview"] = {{CaptureFailure::CameraBusy}};
    control.Record();
    EXPECT_FALSE(view.recordEnabled);
    EXPECT_EQ(view.told.size(), 2) << "each press that fails is answered";
    EXPECT_EQ(Journal(), QStringList({QStringLiteral("C1"), QStringLiteral("C1")}));
}

TEST_F(RecordingControlTest, AFailedGrabSwitchesTheLightBackOffAndTells)
{
    control.RestoreMode(MediaMode::Photo);
    ClearJournal();
    capture.script["grab"] = {{CaptureFailure::FolderNotWritable, QStringLiteral("/media/Photo")}};
    control.Record();
    EXPECT_EQ(Journal(), QStringList({QStringLiteral("D2"), QStringLiteral("D3")}));
    EXPECT_FALSE(view.recordLatched);
    ASSERT_EQ(view.told.size(), 1);
    EXPECT_TRUE(view.told.first().contains(QStringLiteral("/media/Photo")));
}

TEST_F(RecordingControlTest, StopWithThePlayerOpenOnlyStopsThePlayer)
{
    control.RestoreMode(MediaMode::Solo);
    control.Record();
    view.playerOpen = true;
    control.Stop();
    EXPECT_EQ(view.playerStops, 1);
    EXPECT_TRUE(control.IsRecording());
    view.playerOpen = false;
    control.Stop();
    EXPECT_FALSE(control.IsRecording());
    EXPECT_FALSE(view.recordLatched);
}

} // namespace
