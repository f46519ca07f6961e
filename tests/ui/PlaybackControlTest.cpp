// Play, Previous, Next and the double click against a scripted view: what goes to the media
// player, which photo is shown over the paused live picture, and how the list's selection moves.
#include "TestEnvironment.h"
#include "library/MediaFolders.h"
#include "ui/CPlaybackControl.h"
#include "ui/CShownPhoto.h"
#include "ui/IPlaybackView.h"

#include <gtest/gtest.h>

using namespace corvana;

namespace {

class FakeView : public IPlaybackView {
public:
    MediaMode Mode() const override { return mode; }
    int ListCount() const override { return static_cast<int>(names.size()); }
    int ListSelection() const override { return selection; }
    void SelectListItem(int index) override { selection = index; }
    QString ListText(int index) const override { return names.value(index); }
    void StopRecordingForPlayer() override { calls << QStringLiteral("stop recording"); }
    void TakeDialogForeground() override { calls << QStringLiteral("foreground"); }
    void ShowPhotoFile(const QString& path) override { calls << QStringLiteral("show ") + Name(path); }
    void PauseLivePicture() override { calls << QStringLiteral("pause live"); }
    void ResumeLivePicture() override { calls << QStringLiteral("resume live"); }
    bool PlayerRunning() override { return playerRunning; }
    void PlayPausePlayer() override { calls << QStringLiteral("play/pause"); }
    void OpenInPlayer(const QString& path) override
    {
        calls << QStringLiteral("open ") + Name(path);
        opened << path;
    }

    static QString Name(const QString& path) { return path.section(QLatin1Char('/'), -1); }
    QStringList Take() { return std::exchange(calls, {}); }

    MediaMode mode = MediaMode::Solo;
    QStringList names{QStringLiteral("a.wma"), QStringLiteral("b.wma"), QStringLiteral("c.wma")};
    int selection = 2;
    bool playerRunning = false;
    QStringList calls, opened;
};

class PlaybackControlTest : public ::testing::Test {
protected:
    TestEnvironment env;
    FakeView view;
    CShownPhoto shown;
    CPlaybackControl playback{view, shown};
};

TEST_F(PlaybackControlTest, RecordingsGoToThePlayerWhichStepsAlongWhileItRuns)
{
    playback.OnPlay();
    EXPECT_EQ(view.Take(), (QStringList{"stop recording", "foreground", "open c.wma"}));
    EXPECT_EQ(view.opened.last(), MediaFolders::ModeFolder(MediaMode::Solo) + QStringLiteral("c.wma"));

    // With the player running Play toggles it, and Next and Previous play the neighbour, wrapping.
    view.playerRunning = true;
    playback.OnPlay();
    EXPECT_EQ(view.Take(), QStringList{"play/pause"});
    playback.OnNext();
    EXPECT_EQ(view.selection, 0);
    EXPECT_EQ(view.Take(), (QStringList{"foreground", "open a.wma"}));
    playback.OnPrevious();
    EXPECT_EQ(view.selection, 2);
    EXPECT_EQ(view.Take(), (QStringList{"foreground", "open c.wma"}));

    // Without it they only move the selection; a double click plays.
    view.playerRunning = false;
    playback.OnPrevious();
    EXPECT_EQ(view.selection, 1);
    EXPECT_EQ(view.Take(), QStringList());
    playback.OnListDoubleClick();
    EXPECT_EQ(view.Take(), (QStringList{"stop recording", "foreground", "open b.wma"}));

    // An empty list or no selection plays nothing.
    view.selection = -1;
    playback.OnPlay();
    playback.OnListDoubleClick();
    view.names.clear();
    playback.OnNext();
    EXPECT_EQ(view.Take(), QStringList());
}

TEST_F(PlaybackControlTest, PhotosAreShownOverThePausedLivePictureAndPlayOnTheShownOneResumesIt)
{
    view.mode = MediaMode::Photo;
    view.names = {QStringLiteral("1.jpg"), QStringLiteral("2.jpg"), QStringLiteral("3.jpg")};
    view.selection = 0;
    playback.OnListDoubleClick();
    EXPECT_EQ(view.Take(), (QStringList{"pause live", "show 1.jpg"}));
    EXPECT_TRUE(shown.Shown());
    EXPECT_EQ(shown.Index(), 0);

    // Next while a photo is shown shows the next one, and the live picture stays paused.
    playback.OnNext();
    EXPECT_EQ(view.Take(), QStringList{"show 2.jpg"});
    EXPECT_EQ(shown.Index(), 1);

    // Play on another selection paints it without taking over the index; on the shown one it
    // brings the live picture back.
    view.selection = 2;
    playback.OnPlay();
    EXPECT_EQ(view.Take(), QStringList{"show 3.jpg"});
    EXPECT_EQ(shown.Index(), 1);
    view.selection = 1;
    playback.OnPlay();
    EXPECT_EQ(view.Take(), QStringList{"resume live"});
    EXPECT_FALSE(shown.Shown());

    // With the live picture running, Next only moves the selection and photos never reach the player.
    playback.OnNext();
    EXPECT_EQ(view.Take(), QStringList());
    view.playerRunning = true;
    playback.OnNext();
    EXPECT_EQ(view.Take(), QStringList());
    EXPECT_TRUE(view.opened.isEmpty());
}

} // namespace
