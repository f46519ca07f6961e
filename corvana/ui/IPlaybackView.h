#pragma once
#include "support/MediaMode.h"

#include <QString>

namespace corvana {

// What playback needs of the main dialog: its mode and file list, the recording it stops before
// a file plays, the photo it paints over the paused live picture, and the system's media player.
class IPlaybackView {
public:
    virtual ~IPlaybackView() = default;

    virtual MediaMode Mode() const = 0;
    virtual int ListCount() const = 0;
    // -1 without a selection.
    virtual int ListSelection() const = 0;
    virtual void SelectListItem(int index) = 0;
    virtual QString ListText(int index) const = 0;

    virtual void StopRecordingForPlayer() = 0;
    virtual void TakeDialogForeground() = 0;

    // Paints the photo file over the preview area.
    virtual void ShowPhotoFile(const QString& path) = 0;
    virtual void PauseLivePicture() = 0;
    virtual void ResumeLivePicture() = 0;

    virtual bool PlayerRunning() = 0;
    virtual void PlayPausePlayer() = 0;
    virtual void OpenInPlayer(const QString& path) = 0;
};

} // namespace corvana
