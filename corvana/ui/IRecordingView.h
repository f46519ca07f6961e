#pragma once
#include "support/MediaMode.h"

#include <QString>

namespace corvana {

class IPreviewSurface;

// What the recording controller needs of the main dialog: its buttons, preview area, file list,
// special keys, the media player it steers and a way to tell the user.
class IRecordingView {
public:
    virtual ~IRecordingView() = default;

    virtual IPreviewSurface* PreviewSurface() = 0;
    // The audio modes' picture: the placeholder, the area hidden and shown again.
    virtual void ShowPlaceholder() = 0;
    virtual void ShowPreview() = 0;

    virtual void LatchRecord(bool latched) = 0;
    virtual void EnableRecord(bool enabled) = 0;
    virtual void LatchModeButton(MediaMode mode, bool latched) = 0;
    virtual void PushModeButton(MediaMode mode, bool pushed) = 0;
    virtual void UncheckModeButton(MediaMode mode) = 0;

    // Lists the mode's files; selectPath, when in the list, is selected instead of the newest.
    virtual void FillList(MediaMode mode, const QString& selectPath = QString()) = 0;
    virtual void SetListMode(MediaMode mode) = 0;

    virtual void SuspendSpecialKeys() = 0;
    virtual void ResumeSpecialKeys() = 0;

    virtual bool PlayerOpen() = 0;
    virtual void StopPlayer() = 0;
    virtual void ClosePlayer() = 0;

    // One message in the program's style; shown after the current step has finished.
    virtual void Tell(const QString& text) = 0;
};

} // namespace corvana
