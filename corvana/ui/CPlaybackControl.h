#pragma once
#include <QString>

namespace corvana {

class IPlaybackView;

// Play, Previous, Next and the list's double click: recordings go to the system's media player,
// photos are shown in the preview area over the paused live picture. Whether a photo is shown,
// and which, is program state that outlives each opening of the dialog.
class CPlaybackControl {
public:
    explicit CPlaybackControl(IPlaybackView& view);

    void OnPlay();
    void OnPrevious();
    void OnNext();
    void OnListDoubleClick();

private:
    void Step(int direction);
    void LaunchPlayer(const QString& name);
    void ShowPhoto(const QString& name);

    IPlaybackView& m_view;
};

} // namespace corvana
