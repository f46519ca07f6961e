#pragma once
// The program's private messages. Each becomes a custom QEvent posted with
// QCoreApplication::postEvent, so a post stays a post and arrives in order.
#include <QEvent>
#include <cstdint>

namespace corvana {

constexpr int WM_HOOKKEY = 0x1400;
constexpr int WM_SHOWDIALOG = 0x8078;
constexpr int WM_WTSSESSION_CHANGE = 0x2B1;

// Session change events (wParam of WM_WTSSESSION_CHANGE).
constexpr int WTS_CONSOLE_CONNECT = 1;
constexpr int WTS_CONSOLE_DISCONNECT = 2;
constexpr int WTS_SESSION_LOCK = 7;
constexpr int WTS_SESSION_UNLOCK = 8;

inline QEvent::Type EventTypeOf(int message)
{
    return static_cast<QEvent::Type>(QEvent::User + message);
}

// A window message with its two parameters.
class CMessageEvent : public QEvent {
public:
    CMessageEvent(int message, std::uintptr_t wParam = 0, std::intptr_t lParam = 0)
        : QEvent(EventTypeOf(message)), m_message(message), m_wParam(wParam), m_lParam(lParam) {}
    int message() const { return m_message; }
    std::uintptr_t wParam() const { return m_wParam; }
    std::intptr_t lParam() const { return m_lParam; }

private:
    int m_message;
    std::uintptr_t m_wParam;
    std::intptr_t m_lParam;
};

} // namespace corvana
