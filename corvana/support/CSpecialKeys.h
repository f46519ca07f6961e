#pragma once
#include <QObject>
#include <QTimer>

#include <array>
#include <chrono>
#include <cstdint>

namespace corvana {

class ISpecialKeyCommands;

// The main dialog's special keys: the mode, play, previous, next and record keys with their
// long presses, measured by timers 0 to 3. The dialog builds one per opening; the key state
// belongs to the program and outlives it, so a long press that closed one opening still
// swallows the release that arrives in the next.
class CSpecialKeys : public QObject {
public:
    static constexpr std::uint32_t kModeKey = 0x79;
    static constexpr std::uint32_t kPlayKey = 0x77;
    static constexpr std::uint32_t kPreviousKey = 0x74;
    static constexpr std::uint32_t kNextKey = 0x39;
    static constexpr std::uint32_t kRecordKey = 0x08;
    static constexpr std::uint32_t kDown = 0x01;   // extended, pressed, no Alt, not injected
    static constexpr std::uint32_t kUp = 0x81;     // extended, released

    enum TimerId { NextTimer = 0, PreviousTimer = 1, ModeTimer = 2, PlayTimer = 3 };

    // The program-wide state; all of it starts cleared.
    struct State {
        bool modeKeyPressed = false;
        int modeCycleIndex = 0;
        bool longPressDoneMode = false;
        bool longPressDonePlay = false;
        bool longPressDonePrevious = false;
        bool longPressDoneNext = false;
        friend bool operator==(const State&, const State&) = default;
    };

    explicit CSpecialKeys(ISpecialKeyCommands& commands, QObject* parent = nullptr);
    ~CSpecialKeys() override;

    // WM_HOOKKEY: flags and scan code as the keyboard hook reports them.
    void HandleHookKey(std::uint32_t flags, std::uint32_t scan);
    bool IsTimerActive(TimerId id) const;

    static State ProgramState();
    static void ResetProgramState();

    // A key is held for two units before its long press; next and previous repeat every unit.
    // One second unless changed (tests shorten it).
    static void SetTimeUnit(std::chrono::milliseconds unit);
    static std::chrono::milliseconds TimeUnit();

private:
    void StartTimer(TimerId id, std::chrono::milliseconds period);
    void KillTimer(TimerId id);
    void OnTimer(TimerId id);
    void ModeKeyUp();

    ISpecialKeyCommands& m_commands;
    std::array<QTimer, 4> m_timers;
};

} // namespace corvana
