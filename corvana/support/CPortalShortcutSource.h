#pragma once
#include "support/CKeyTranslator.h"

#include <QDBusConnection>
#include <QDBusServiceWatcher>
#include <QObject>
#include <QSet>
#include <QString>

#include <functional>
#include <map>

class QDBusMessage;

namespace corvana {

// The special keys of a Wayland desktop, where no program sees another's keys: five shortcuts
// bound through the desktop portal's GlobalShortcuts interface on the session bus. Activated and
// Deactivated become the same key-down and key-up events the X11 source reports for the stand-in
// keys. The session is made again whenever the portal comes back or closes a bound one. A shortcut
// counts as bound only once a Response of the portal lists it: a backend may answer 0 and bind
// nothing.
class CPortalShortcutSource : public QObject {
    Q_OBJECT
public:
    using KeyHandler = std::function<void(const HookKey&)>;
    // Told why, once, when the portal has bound none of the shortcuts; the source then waits to go.
    using UnboundHandler = std::function<void(const QString& why)>;

    // Whether the portal on the session bus offers GlobalShortcuts; otherwise why not.
    static bool Available(QString* failure = nullptr);

    CPortalShortcutSource(KeyHandler handler, UnboundHandler unbound);
    ~CPortalShortcutSource() override;

    // The portal has bound the shortcuts of the current session.
    bool IsBound() const { return m_bBound; }

private Q_SLOTS:
    void OnResponse(const QDBusMessage& message);
    void OnActivated(const QDBusMessage& message);
    void OnDeactivated(const QDBusMessage& message);
    void OnSessionClosed(const QDBusMessage& message);

private:
    using ResponseHandler = std::function<void(uint response, const QVariantMap& results)>;

    void CreateSession();
    void BindShortcuts();
    void GiveUp(const QString& why);
    void Call(QDBusMessage call, const QString& token, ResponseHandler handler);
    QString RequestPath(const QString& token) const;
    QString NextToken();
    void DropSession();
    void Key(const QDBusMessage& message, bool released);

    QDBusConnection m_bus;
    QDBusServiceWatcher m_watcher;
    KeyHandler m_handler;
    UnboundHandler m_unbound;
    CKeyTranslator m_translator;
    QString m_sessionPath;
    bool m_bBound = false;
    bool m_bGivenUp = false;
    // Ids the Responses of the current session listed as bound.
    QSet<QString> m_listed;
    int m_nTokens = 0;
    // Requests waiting for their Response, by object path; a dropped session forgets them.
    std::map<QString, ResponseHandler> m_pending;
    // Shortcuts down now: a portal's second Activated is no second key-down, and a session that
    // goes away releases them, so no long press runs on without a key.
    QSet<QString> m_held;
};

} // namespace corvana
