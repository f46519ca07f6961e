#pragma once
#include <QMetaObject>
#include <QObject>
#include <QPointer>

namespace corvana {

// Desktop session changes posted to a window as WM_WTSSESSION_CHANGE while it is registered:
// lock 7 / unlock 8 and console connect 1 / disconnect 2, as the program's session watcher sees
// them. No bus means no notifications, never an error.
class CSessionNotifier : public QObject {
    Q_OBJECT
public:
    explicit CSessionNotifier(QObject* parent = nullptr);
    ~CSessionNotifier() override;

    void Register(QObject* target);
    void Unregister();

private:
    void Post(int event);

    QPointer<QObject> m_target;
    QMetaObject::Connection m_relay;
};

} // namespace corvana
