#pragma once
#include <QObject>
#include <QString>

#include <chrono>
#include <functional>
#include <memory>

class QElapsedTimer;
class QLocalServer;
class QLocalSocket;

namespace corvana {

// The per-user rendezvous of the single-instance rule: a lock held for the resident instance's
// whole life (released by the kernel when it dies, so a crash never blocks the next start) and a
// user-only local socket through which later starts send "Show" or "Close".
class CInstanceChannel : public QObject {
    Q_OBJECT
public:
    enum class Request { Show, Close };
    enum class Outcome { Resident, Forwarded, NoInstance, NotEnded, Failed };

    explicit CInstanceChannel(QObject* parent = nullptr);
    ~CInstanceChannel() override;

    // Either takes the instance lock for this process (Resident; call Listen() once the
    // application object exists) or hands the request to the one that runs. Close with no
    // instance running gives NoInstance. A forwarded Close returns only after the running
    // instance has ended; NotEnded when it was still running at the deadline. Needs no
    // application object and no display.
    Outcome Claim(Request request);
    bool Listen();

    // How long a forwarded Close waits for the instance to end: it ends within 3 s whatever is
    // open, plus the finishing of a recording on a busy machine.
    static constexpr std::chrono::milliseconds kCloseDeadline{10000};

    // Called on the resident instance for each request. The handler calls done() once the request
    // has been handled; the sender waits for that.
    using RequestHandler = std::function<void(Request, std::function<void()> done)>;
    void SetRequestHandler(RequestHandler handler) { m_handler = std::move(handler); }

private:
    bool TryLock();
    bool Forward(Request request);
    bool WaitForInstanceEnd(const QElapsedTimer& sinceRequest);
    void OnNewConnection();
    void OnReadable(QLocalSocket* socket, bool& answered);

    int m_lockFd = -1;
    QLocalServer* m_server = nullptr;
    RequestHandler m_handler;
};

} // namespace corvana
