#pragma once
#include <QObject>
#include <QPointer>
#include <QString>
#include <QVariantMap>

namespace corvana {

// Desktop session changes from D-Bus, posted to a window as WM_WTSSESSION_CHANGE: the screen
// saver's ActiveChanged (lock 7 / unlock 8) on the session bus and, where logind runs, the
// session's Lock/Unlock and its Active property (console connect 1 / disconnect 2).
// No bus means no notifications, never an error.
class CSessionNotifier : public QObject {
    Q_OBJECT
public:
    explicit CSessionNotifier(QObject* parent = nullptr);
    ~CSessionNotifier() override;

    void Register(QObject* target);
    void Unregister();

private Q_SLOTS:
    void OnScreenSaverActiveChanged(bool active);
    void OnSessionLock();
    void OnSessionUnlock();
    void OnSessionPropertiesChanged(const QString& interfaceName, const QVariantMap& changed,
                                    const QStringList& invalidated);

private:
    void Post(int event);

    QPointer<QObject> m_target;
    QString m_sessionPath;
    bool m_registered = false;
};

} // namespace corvana
