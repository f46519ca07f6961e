#include "ui/CPlaybackControl.h"

#include "library/MediaFolders.h"
#include "ui/IPlaybackView.h"

namespace corvana {

CPlaybackControl::CPlaybackControl(IPlaybackView& view, CShownPhoto& shown) : m_view(view), m_shown(shown) {}

void CPlaybackControl::LaunchPlayer(const QString& name)
{
    const QString path = MediaFolders::ModeFolder(m_view.Mode()) + name;
    m_view.TakeDialogForeground();
    m_view.OpenInPlayer(path);
}

void CPlaybackControl::ShowPhoto(const QString& name)
{
    m_view.ShowPhotoFile(MediaFolders::ModeFolder(MediaMode::Photo) + name);
}

void CPlaybackControl::OnPlay()
{
    const bool playerRunning = m_view.PlayerRunning();
    const int selection = m_view.ListSelection();
    if (m_view.ListCount() == 0 || selection < 0)
        return;
    const QString name = m_view.ListText(selection);
    if (playerRunning) {
        m_view.PlayPausePlayer();
        return;
    }
    if (m_view.Mode() != MediaMode::Photo) {
        m_view.StopRecordingForPlayer();
        LaunchPlayer(name);
        return;
    }
    if (m_shown.Shown() && m_shown.Index() == selection) {
        m_view.ResumeLivePicture();
        m_shown.SetShown(false);
        return;
    }
    if (!m_shown.Shown())
        m_view.PauseLivePicture();
    ShowPhoto(name);
    m_shown.SetShown(true);
}

void CPlaybackControl::OnPrevious()
{
    Step(-1);
}

void CPlaybackControl::OnNext()
{
    Step(+1);
}

void CPlaybackControl::Step(int direction)
{
    const bool playerRunning = m_view.PlayerRunning();
    const int count = m_view.ListCount();
    if (count == 0)
        return;
    const int selection = m_view.ListSelection();
    int next;
    if (direction < 0)
        next = selection <= 0 ? count - 1 : selection - 1;
    else
        next = selection >= count - 1 ? 0 : selection + 1;
    m_view.SelectListItem(next);
    const QString name = m_view.ListText(next);
    if (playerRunning) {
        if (m_view.Mode() != MediaMode::Photo)
            LaunchPlayer(name);
        return;
    }
    if (m_view.Mode() == MediaMode::Photo && m_shown.Shown()) {
        ShowPhoto(name);
        m_shown.SetIndex(next);
    }
}

void CPlaybackControl::OnListDoubleClick()
{
    const int selection = m_view.ListSelection();
    if (m_view.ListCount() == 0 || selection < 0)
        return;
    const QString name = m_view.ListText(selection);
    if (m_view.Mode() != MediaMode::Photo) {
        m_view.StopRecordingForPlayer();
        LaunchPlayer(name);
        return;
    }
    if (!m_shown.Shown())
        m_view.PauseLivePicture();
    ShowPhoto(name);
    m_shown.SetShown(true);
    m_shown.SetIndex(selection);
}

} // namespace corvana
