#include "support/CSpecialKeys.h"

#include "support/ISpecialKeyCommands.h"

namespace corvana {

namespace {

CSpecialKeys::State s_state;
std::chrono::milliseconds s_timeUnit{1000};

int CycleIndexOf(MediaMode mode)
{
    switch (mode) {
    case MediaMode::Solo: return 1;
    case MediaMode::Conference: return 2;
    case MediaMode::Video: return 3;
    case MediaMode::Photo: return 0;
    }
    return 0;
}

} // namespace

CSpecialKeys::CSpecialKeys(ISpecialKeyCommands& commands, QObject* parent) : QObject(parent), m_commands(commands)
{
    for (std::size_t i = 0; i < m_timers.size(); ++i) {
        const auto id = static_cast<TimerId>(i);
        m_timers[i].setTimerType(Qt::PreciseTimer);
        connect(&m_timers[i], &QTimer::timeout, this, [this, id] { OnTimer(id); });
    }
}

CSpecialKeys::~CSpecialKeys() = default;

void CSpecialKeys::HandleHookKey(std::uint32_t flags, std::uint32_t scan)
{
    s_state.modeCycleIndex = CycleIndexOf(m_commands.CurrentMode());
    const auto firstPeriod = 2 * s_timeUnit;

    if (flags == kDown) {
        switch (scan) {
        case kModeKey:
            StartTimer(ModeTimer, firstPeriod);
            s_state.modeKeyPressed = true;
            break;
        case kPlayKey: StartTimer(PlayTimer, firstPeriod); break;
        case kPreviousKey: StartTimer(PreviousTimer, firstPeriod); break;
        case kNextKey: StartTimer(NextTimer, firstPeriod); break;
        default: break;
        }
    } else if (flags == kUp) {
        switch (scan) {
        case kModeKey: ModeKeyUp(); break;
        case kPlayKey:
            KillTimer(PlayTimer);
            if (!s_state.longPressDonePlay)
                m_commands.OnPlay();
            s_state.longPressDonePlay = false;
            break;
        case kPreviousKey:
            KillTimer(PreviousTimer);
            if (!s_state.longPressDonePrevious)
                m_commands.OnPrevious();
            s_state.longPressDonePrevious = false;
            break;
        case kNextKey:
            KillTimer(NextTimer);
            if (!s_state.longPressDoneNext)
                m_commands.OnNext();
            s_state.longPressDoneNext = false;
            break;
        case kRecordKey: m_commands.OnRecord(); break;
        default: break;
        }
    }
}

void CSpecialKeys::ModeKeyUp()
{
    KillTimer(ModeTimer);
    if (!s_state.longPressDoneMode) {
        m_commands.TakeDialogForeground();
        if (s_state.modeKeyPressed) {
            s_state.modeKeyPressed = false;
            s_state.modeCycleIndex += 1;
        }
        const int index = s_state.modeCycleIndex;
        s_state.modeCycleIndex = index % 4;
        switch (s_state.modeCycleIndex) {
        case 1: m_commands.OnSolo(); break;
        case 2: m_commands.OnConference(); break;
        case 3: m_commands.OnVideoRecord(); break;
        case 0:
            // Photo when the index came round to it, not when Photo is already the mode.
            if (index != 0)
                m_commands.OnPhotoGrab();
            break;
        }
    }
    s_state.longPressDoneMode = false;
}

void CSpecialKeys::OnTimer(TimerId id)
{
    switch (id) {
    case NextTimer:
        StartTimer(NextTimer, s_timeUnit);
        s_state.longPressDoneNext = true;
        m_commands.OnVolumeUp();
        break;
    case PreviousTimer:
        StartTimer(PreviousTimer, s_timeUnit);
        s_state.longPressDonePrevious = true;
        m_commands.OnVolumeDown();
        break;
    case ModeTimer:
        // Ending the dialog takes its timers with it.
        KillTimer(ModeTimer);
        s_state.longPressDoneMode = true;
        m_commands.SaveModeAndEnd();
        break;
    case PlayTimer:
        // Without a player window the timer goes on firing until the key is released.
        if (m_commands.ClosePlayerIfRunning()) {
            KillTimer(PlayTimer);
            s_state.longPressDonePlay = true;
        }
        break;
    }
}

void CSpecialKeys::StartTimer(TimerId id, std::chrono::milliseconds period)
{
    m_timers[static_cast<std::size_t>(id)].start(period);
}

void CSpecialKeys::KillTimer(TimerId id)
{
    m_timers[static_cast<std::size_t>(id)].stop();
}

bool CSpecialKeys::IsTimerActive(TimerId id) const
{
    return m_timers[static_cast<std::size_t>(id)].isActive();
}

CSpecialKeys::State CSpecialKeys::ProgramState()
{
    return s_state;
}

void CSpecialKeys::ResetProgramState()
{
    s_state = State{};
}

void CSpecialKeys::SetTimeUnit(std::chrono::milliseconds unit)
{
    s_timeUnit = unit;
}

std::chrono::milliseconds CSpecialKeys::TimeUnit()
{
    return s_timeUnit;
}

} // namespace corvana
