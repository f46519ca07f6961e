#include "ui/CSessionNotifier.h"

#include "support/WindowMessages.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusInterface>
#include <QDBusObjectPath>
#include <QDBusReply>

#include <unistd.h>

namespace corvana {

namespace {

const QString kLogin1 = QStringLiteral("org.freedesktop.login1");
const QString kLogin1Session = QStringLiteral("org.freedesktop.login1.Session");
const QString kScreenSaverInterfaces[] = {QStringLiteral("org.freedesktop.ScreenSaver"),
                                          QStringLiteral("org.gnome.ScreenSaver")};

} // namespace

CSessionNotifier::CSessionNotifier(QObject* parent) : QObject(parent) {}

CSessionNotifier::~CSessionNotifier()
{
    Unregister();
}

void CSessionNotifier::Register(QObject* target)
{
    Unregister();
    m_target = target;
    m_registered = true;

    QDBusConnection session = QDBusConnection::sessionBus();
    if (session.isConnected()) {
        for (const QString& interfaceName : kScreenSaverInterfaces)
            session.connect(QString(), QString(), interfaceName, QStringLiteral("ActiveChanged"), this,
                            SLOT(OnScreenSaverActiveChanged(bool)));
    }

    QDBusConnection system = QDBusConnection::systemBus();
    if (!system.isConnected())
        return;
    QDBusInterface manager(kLogin1, QStringLiteral("/org/freedesktop/login1"),
                           QStringLiteral("org.freedesktop.login1.Manager"), system);
    if (!manager.isValid())
        return;
    manager.setTimeout(2000);
    const QDBusReply<QDBusObjectPath> reply =
        manager.call(QStringLiteral("GetSessionByPID"), static_cast<quint32>(::getpid()));
    if (!reply.isValid())
        return;
    m_sessionPath = reply.value().path();
    system.connect(kLogin1, m_sessionPath, kLogin1Session, QStringLiteral("Lock"), this, SLOT(OnSessionLock()));
    system.connect(kLogin1, m_sessionPath, kLogin1Session, QStringLiteral("Unlock"), this, SLOT(OnSessionUnlock()));
    system.connect(kLogin1, m_sessionPath, QStringLiteral("org.freedesktop.DBus.Properties"),
                   QStringLiteral("PropertiesChanged"), this,
                   SLOT(OnSessionPropertiesChanged(QString, QVariantMap, QStringList)));
}

void CSessionNotifier::Unregister()
{
    if (!m_registered)
        return;
    m_registered = false;
    QDBusConnection session = QDBusConnection::sessionBus();
    if (session.isConnected()) {
        for (const QString& interfaceName : kScreenSaverInterfaces)
            session.disconnect(QString(), QString(), interfaceName, QStringLiteral("ActiveChanged"), this,
                               SLOT(OnScreenSaverActiveChanged(bool)));
    }
    if (!m_sessionPath.isEmpty()) {
        QDBusConnection system = QDBusConnection::systemBus();
        system.disconnect(kLogin1, m_sessionPath, kLogin1Session, QStringLiteral("Lock"), this,
                          SLOT(OnSessionLock()));
        system.disconnect(kLogin1, m_sessionPath, kLogin1Session, QStringLiteral("Unlock"), this,
                          SLOT(OnSessionUnlock()));
        system.disconnect(kLogin1, m_sessionPath, QStringLiteral("org.freedesktop.DBus.Properties"),
                          QStringLiteral("PropertiesChanged"), this,
                          SLOT(OnSessionPropertiesChanged(QString, QVariantMap, QStringList)));
        m_sessionPath.clear();
    }
    m_target = nullptr;
}

void CSessionNotifier::Post(int event)
{
    if (m_target)
        QCoreApplication::postEvent(m_target, new CMessageEvent(WM_WTSSESSION_CHANGE, static_cast<std::uintptr_t>(event)));
}

void CSessionNotifier::OnScreenSaverActiveChanged(bool active)
{
    Post(active ? WTS_SESSION_LOCK : WTS_SESSION_UNLOCK);
}

void CSessionNotifier::OnSessionLock()
{
    Post(WTS_SESSION_LOCK);
}

void CSessionNotifier::OnSessionUnlock()
{
    Post(WTS_SESSION_UNLOCK);
}

void CSessionNotifier::OnSessionPropertiesChanged(const QString& interfaceName, const QVariantMap& changed,
                                                  const QStringList&)
{
    if (interfaceName != kLogin1Session || !changed.contains(QStringLiteral("Active")))
        return;
    Post(changed.value(QStringLiteral("Active")).toBool() ? WTS_CONSOLE_CONNECT : WTS_CONSOLE_DISCONNECT);
}

} // namespace corvana
