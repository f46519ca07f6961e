#include "support/CPlayerSteering.h"

#include "support/CMediaPlayer.h"
#include "support/DesktopSession.h"
#include "support/Logging.h"

namespace corvana {

// By key symbol rather than key position, so that every keyboard layout gives the player these keys.
const PlayerKeySequence CPlayerSteering::PlayPauseKeys = {
    {{{"Control_L", false}, {"p", false}, {"p", true}, {"Control_L", true}}}, "ctrl+p"};
const PlayerKeySequence CPlayerSteering::StopKeys = {
    {{{"Control_L", false}, {"s", false}, {"s", true}, {"Control_L", true}}}, "ctrl+s"};
const PlayerKeySequence CPlayerSteering::CloseKeys = {
    {{{"Alt_L", false}, {"F4", false}, {"F4", true}, {"Alt_L", true}}}, "alt+f4"};

std::optional<CDesktopWindows::WindowId> CPlayerSteering::FindPlayerWindow()
{
    return CDesktopWindows::FindWindowByClass(CMediaPlayer::kWindowClass);
}

void CPlayerSteering::SendPlayerKeys(CDesktopWindows::WindowId window, const PlayerKeySequence& keys)
{
    // Keys reach whichever window has the focus: they are typed only while the player has it.
    if (CDesktopWindows::ActivateWindow(window) && CDesktopWindows::SendKeys(window, keys.keys))
        return;
    qCDebug(lcUi) << "no keys could be typed into the media player;" << keys.chord << "goes over its socket";
    if (!CMediaPlayer::PressKeys(keys.chord))
        qCDebug(lcUi) << "the media player did not take" << keys.chord;
}

bool CPlayerSteering::PlayerRunning()
{
    return DesktopSession::IsWayland() ? CMediaPlayer::IsRunning() : FindPlayerWindow().has_value();
}

bool CPlayerSteering::SteerPlayer(const PlayerKeySequence& keys)
{
    if (DesktopSession::IsWayland())
        return CMediaPlayer::PressKeys(keys.chord);
    const auto player = FindPlayerWindow();
    if (!player)
        return false;
    SendPlayerKeys(*player, keys);
    return true;
}

bool CPlayerSteering::ClosePlayerIfRunning()
{
    return SteerPlayer(CloseKeys);
}

void CPlayerSteering::Open(const QString& path)
{
    CMediaPlayer::Open(path);
}

} // namespace corvana
