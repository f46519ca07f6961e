#include "ui/CPlaybackControl.h"

#include "capture/CPhotoCapture.h"
#include "library/MediaFolders.h"
#include "support/CMediaPlayer.h"
#include "support/DesktopSession.h"
#include "support/Logging.h"
#include "ui/CCorvanaDlg.h"
#include "ui/CMediaListBox.h"
#include "ui/CPicture.h"
#include "ui/CPreviewArea.h"
#include "ui/CProgramState.h"
#include "ui/CRecordingControl.h"

#include <QPainter>

namespace corvana {

// By key symbol rather than key position, so that every keyboard layout gives the player these keys.
const PlayerKeySequence CPlaybackControl::PlayPauseKeys = {
    {{{"Control_L", false}, {"p", false}, {"p", true}, {"Control_L", true}}}, "ctrl+p"};
const PlayerKeySequence CPlaybackControl::StopKeys = {
    {{{"Control_L", false}, {"s", false}, {"s", true}, {"Control_L", true}}}, "ctrl+s"};
const PlayerKeySequence CPlaybackControl::CloseKeys = {
    {{{"Alt_L", false}, {"F4", false}, {"F4", true}, {"Alt_L", true}}}, "alt+f4"};

CPlaybackControl::CPlaybackControl(CCorvanaDlg& dialog) : m_dialog(dialog) {}

std::optional<CDesktopWindows::WindowId> CPlaybackControl::FindPlayerWindow() const
{
    return CDesktopWindows::FindWindowByClass(CMediaPlayer::kWindowClass);
}

void CPlaybackControl::SendPlayerKeys(CDesktopWindows::WindowId window, const PlayerKeySequence& keys)
{
    // Keys reach whichever window has the focus: they are typed only while the player has it.
    if (CDesktopWindows::ActivateWindow(window) && CDesktopWindows::SendKeys(window, keys.keys))
        return;
    qCDebug(lcUi) << "no keys could be typed into the media player;" << keys.chord << "goes over its socket";
    if (!CMediaPlayer::PressKeys(keys.chord))
        qCDebug(lcUi) << "the media player did not take" << keys.chord;
}

bool CPlaybackControl::PlayerRunning() const
{
    return DesktopSession::IsWayland() ? CMediaPlayer::IsRunning() : FindPlayerWindow().has_value();
}

bool CPlaybackControl::SteerPlayer(const PlayerKeySequence& keys)
{
    if (DesktopSession::IsWayland())
        return CMediaPlayer::PressKeys(keys.chord);
    const auto player = FindPlayerWindow();
    if (!player)
        return false;
    SendPlayerKeys(*player, keys);
    return true;
}

bool CPlaybackControl::ClosePlayerIfRunning()
{
    return SteerPlayer(CloseKeys);
}

void CPlaybackControl::TakeForeground()
{
    m_dialog.TakeDialogForeground();
}

void CPlaybackControl::LaunchPlayer(MediaMode mode, const QString& name)
{
    const QString path = MediaFolders::ModeFolder(mode) + name;
    TakeForeground();
    CMediaPlayer::Open(path);
}

void CPlaybackControl::ShowPhoto(const QString& name)
{
    CPicture& picture = m_dialog.Picture();
    picture.Load(MediaFolders::ModeFolder(MediaMode::Photo) + name);
    const QRect target = m_dialog.PreviewRect();
    m_dialog.Preview()->PaintOver([&picture, target](QPainter& painter, const QRect&) { picture.Draw(&painter, target); });
}

void CPlaybackControl::PauseLivePicture()
{
    if (CMediaControl* control = CPhotoCapture::Instance().m_pControl)
        control->Pause();
}

void CPlaybackControl::ResumeLivePicture()
{
    if (CMediaControl* control = CPhotoCapture::Instance().m_pControl)
        control->Run();
}

void CPlaybackControl::OnPlay()
{
    const bool playerRunning = PlayerRunning();
    CMediaListBox* list = m_dialog.List();
    const int selection = list->GetCurSel();
    if (list->GetCount() == 0 || selection < 0)
        return;
    const QString name = list->GetText(selection);
    if (playerRunning) {
        SteerPlayer(PlayPauseKeys);
        return;
    }
    if (m_dialog.Mode() != MediaMode::Photo) {
        m_dialog.Recording().StopRecordingForPlayer();
        LaunchPlayer(m_dialog.Mode(), name);
        return;
    }
    if (CProgramState::PhotoShown == 1 && CProgramState::ShownPhotoIndex == selection) {
        ResumeLivePicture();
        CProgramState::SetPhotoShown(0);
        return;
    }
    if (CProgramState::PhotoShown == 0)
        PauseLivePicture();
    ShowPhoto(name);
    CProgramState::SetPhotoShown(1);
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
    const bool playerRunning = PlayerRunning();
    CMediaListBox* list = m_dialog.List();
    const int count = list->GetCount();
    if (count == 0)
        return;
    const int selection = list->GetCurSel();
    int next;
    if (direction < 0)
        next = selection <= 0 ? count - 1 : selection - 1;
    else
        next = selection >= count - 1 ? 0 : selection + 1;
    list->SetCurSel(next);
    const QString name = list->GetText(next);
    if (playerRunning) {
        if (m_dialog.Mode() != MediaMode::Photo)
            LaunchPlayer(m_dialog.Mode(), name);
        return;
    }
    if (m_dialog.Mode() == MediaMode::Photo && CProgramState::PhotoShown == 1) {
        ShowPhoto(name);
        CProgramState::ShownPhotoIndex = next;
    }
}

void CPlaybackControl::OnListDoubleClick()
{
    CMediaListBox* list = m_dialog.List();
    const int selection = list->GetCurSel();
    if (list->GetCount() == 0 || selection < 0)
        return;
    const QString name = list->GetText(selection);
    if (m_dialog.Mode() != MediaMode::Photo) {
        m_dialog.Recording().StopRecordingForPlayer();
        LaunchPlayer(m_dialog.Mode(), name);
        return;
    }
    if (CProgramState::PhotoShown == 0)
        PauseLivePicture();
    ShowPhoto(name);
    CProgramState::SetPhotoShown(1);
    CProgramState::ShownPhotoIndex = selection;
}

} // namespace corvana
