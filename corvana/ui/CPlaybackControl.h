#pragma once
#include "ui/CShownPhoto.h"

#include <QString>

namespace corvana {

class IPlaybackView;

// Play, Previous, Next and the list's double click: recordings go to the system's media player,
// photos are shown in the preview area over the paused live picture.
class CPlaybackControl {
public:
    explicit CPlaybackControl(IPlaybackView& view, CShownPhoto& shown = CShownPhoto::ForProgram());

    void OnPlay();
    void OnPrevious();
    void OnNext();
    void OnListDoubleClick();

private:
    void Step(int direction);
    void LaunchPlayer(const QString& name);
    void ShowPhoto(const QString& name);

    IPlaybackView& m_view;
    CShownPhoto& m_shown;
};

} // namespace corvana
