#include "support/CSessionLock.h"

#include "support/Logging.h"
#include "support/WindowMessages.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusInterface>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusReply>
#include <QDBusVariant>
#include <QPointer>

#include <unistd.h>

namespace corvana {

namespace {

const QString kLogin1 = QStringLiteral("org.freedesktop.login1");
const QString kLogin1Session = QStringLiteral("org.freedesktop.login1.Session");
const QString kScreenSaverInterfaces[] = {QStringLiteral("org.freedesktop.ScreenSaver"),
                                          QStringLiteral("org.gnome.ScreenSaver")};
const QString kScreenSaverPaths[] = {QStringLiteral("/org/freedesktop/ScreenSaver"),
                                     QStringLiteral("/org/gnome/ScreenSaver")};
// The initial state is asked without waiting: a desktop without a screen saver must not hold
// up the start.
constexpr int kAskTimeoutMs = 2000;

QPointer<CSessionLock> s_instance;

} // namespace

CSessionLock& CSessionLock::Instance()
{
    if (!s_instance)
        s_instance = new CSessionLock(QCoreApplication::instance());
    return *s_instance;
}

bool CSessionLock::IsLocked()
{
    return s_instance && s_instance->m_locked;
}

CSessionLock::CSessionLock(QObject* parent) : QObject(parent)
{
    Watch();
    AskInitialState();
}

void CSessionLock::Watch()
{
    QDBusConnection session = QDBusConnection::sessionBus();
    if (session.isConnected())
        for (const QString& interfaceName : kScreenSaverInterfaces)
            session.connect(QString(), QString(), interfaceName, QStringLiteral("ActiveChanged"), this,
                            SLOT(OnScreenSaverActiveChanged(bool)));

    QDBusConnection system = QDBusConnection::systemBus();
    if (!system.isConnected())
        return;
    QDBusInterface manager(kLogin1, QStringLiteral("/org/freedesktop/login1"),
                           QStringLiteral("org.freedesktop.login1.Manager"), system);
    if (!manager.isValid())
        return;
    manager.setTimeout(kAskTimeoutMs);
    const QDBusReply<QDBusObjectPath> reply =
        manager.call(QStringLiteral("GetSessionByPID"), static_cast<quint32>(::getpid()));
    if (!reply.isValid())
        return;
    m_sessionPath = reply.value().path();
    system.connect(kLogin1, m_sessionPath, kLogin1Session, QStringLiteral("Lock"), this, SLOT(OnLoginLock()));
    system.connect(kLogin1, m_sessionPath, kLogin1Session, QStringLiteral("Unlock"), this, SLOT(OnLoginUnlock()));
    system.connect(kLogin1, m_sessionPath, QStringLiteral("org.freedesktop.DBus.Properties"),
                   QStringLiteral("PropertiesChanged"), this,
                   SLOT(OnLoginPropertiesChanged(QString, QVariantMap, QStringList)));
}

// A program started on a locked desk (a second start from a terminal, a restart) must not take
// the desk for unlocked until it is told: the screen saver and logind are asked once.
void CSessionLock::AskInitialState()
{
    const auto takeAnswer = [this](bool locked) {
        if (locked && !m_changedSinceAsked && !m_locked) {
            SetLocked(true);
            Q_EMIT SessionChanged(WTS_SESSION_LOCK);
        }
    };
    QDBusConnection session = QDBusConnection::sessionBus();
    if (session.isConnected())
        for (std::size_t i = 0; i < std::size(kScreenSaverInterfaces); ++i) {
            QDBusMessage ask = QDBusMessage::createMethodCall(kScreenSaverInterfaces[i], kScreenSaverPaths[i],
                                                              kScreenSaverInterfaces[i], QStringLiteral("GetActive"));
            // Asking must not start a screen saver that is not running.
            ask.setAutoStartService(false);
            auto* watcher = new QDBusPendingCallWatcher(session.asyncCall(ask, kAskTimeoutMs), this);
            connect(watcher, &QDBusPendingCallWatcher::finished, this, [watcher, takeAnswer] {
                watcher->deleteLater();
                const QDBusPendingReply<bool> reply = *watcher;
                if (reply.isValid())
                    takeAnswer(reply.value());
            });
        }
    if (m_sessionPath.isEmpty())
        return;
    QDBusMessage ask = QDBusMessage::createMethodCall(kLogin1, m_sessionPath, QStringLiteral("org.freedesktop.DBus.Properties"),
                                                      QStringLiteral("Get"));
    ask << kLogin1Session << QStringLiteral("LockedHint");
    auto* watcher = new QDBusPendingCallWatcher(QDBusConnection::systemBus().asyncCall(ask, kAskTimeoutMs), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [watcher, takeAnswer] {
        watcher->deleteLater();
        const QDBusPendingReply<QDBusVariant> reply = *watcher;
        if (reply.isValid())
            takeAnswer(reply.value().variant().toBool());
    });
}

void CSessionLock::SetLocked(bool locked)
{
    m_changedSinceAsked = true;
    if (m_locked != locked)
        CORVANA_DEBUG_LINE(lcSupport, locked ? "session locked" : "session unlocked");
    m_locked = locked;
}

void CSessionLock::OnScreenSaverActiveChanged(bool active)
{
    SetLocked(active);
    Q_EMIT SessionChanged(active ? WTS_SESSION_LOCK : WTS_SESSION_UNLOCK);
}

void CSessionLock::OnLoginLock()
{
    SetLocked(true);
    Q_EMIT SessionChanged(WTS_SESSION_LOCK);
}

void CSessionLock::OnLoginUnlock()
{
    SetLocked(false);
    Q_EMIT SessionChanged(WTS_SESSION_UNLOCK);
}

void CSessionLock::OnLoginPropertiesChanged(const QString& interfaceName, const QVariantMap& changed, const QStringList&)
{
    if (interfaceName != kLogin1Session || !changed.contains(QStringLiteral("Active")))
        return;
    Q_EMIT SessionChanged(changed.value(QStringLiteral("Active")).toBool() ? WTS_CONSOLE_CONNECT : WTS_CONSOLE_DISCONNECT);
}

} // namespace corvana
