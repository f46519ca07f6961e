#pragma once
#include <QObject>
#include <QString>
#include <QVariantMap>

namespace corvana {

// Whether the desktop is locked, for the whole program and for as long as it runs: the screen
// saver's ActiveChanged on the session bus and, where logind runs, the session's Lock/Unlock and
// its Active property. Every change is also sent on as the WTS_* session event it stands for.
// No bus means never locked, never an error.
class CSessionLock : public QObject {
    Q_OBJECT
public:
    // The one watcher; made on first use, it lives until the application ends.
    static CSessionLock& Instance();
    // False when there is no watcher yet.
    static bool IsLocked();

Q_SIGNALS:
    // WTS_SESSION_LOCK, WTS_SESSION_UNLOCK, WTS_CONSOLE_CONNECT or WTS_CONSOLE_DISCONNECT.
    void SessionChanged(int event);

private Q_SLOTS:
    void OnScreenSaverActiveChanged(bool active);
    void OnLoginLock();
    void OnLoginUnlock();
    void OnLoginPropertiesChanged(const QString& interfaceName, const QVariantMap& changed,
                                  const QStringList& invalidated);

private:
    explicit CSessionLock(QObject* parent);
    void Watch();
    void AskInitialState();
    void SetLocked(bool locked);

    bool m_locked = false;
    bool m_changedSinceAsked = false;
    QString m_sessionPath;
};

} // namespace corvana
