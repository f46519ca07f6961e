#include "support/CSessionNotifier.h"

#include "support/CSessionLock.h"
#include "support/WindowMessages.h"

#include <QCoreApplication>

namespace corvana {

CSessionNotifier::CSessionNotifier(QObject* parent) : QObject(parent) {}

CSessionNotifier::~CSessionNotifier()
{
    Unregister();
}

void CSessionNotifier::Register(QObject* target)
{
    Unregister();
    m_target = target;
    m_relay = connect(&CSessionLock::Instance(), &CSessionLock::SessionChanged, this, &CSessionNotifier::Post);
}

void CSessionNotifier::Unregister()
{
    disconnect(m_relay);
    m_target = nullptr;
}

void CSessionNotifier::Post(int event)
{
    if (m_target)
        QCoreApplication::postEvent(m_target, new CMessageEvent(WM_WTSSESSION_CHANGE, static_cast<std::uintptr_t>(event)));
}

} // namespace corvana
