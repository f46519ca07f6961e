#include "app/CInstanceChannel.h"

#include "support/Logging.h"
#include "support/RuntimeFolder.h"

#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QFile>
#include <QLocalServer>
#include <QLocalSocket>
#include <QPointer>
#include <QTimer>

#include <chrono>
#include <thread>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <unistd.h>

namespace corvana {

namespace {

using namespace std::chrono_literals;

constexpr int kMaxRequestBytes = 16;
constexpr std::chrono::milliseconds kClaimDeadline = 15s;
constexpr std::chrono::milliseconds kReadDeadline = 2s;
constexpr std::chrono::milliseconds kLockPoll = 20ms;

QByteArray RequestLine(CInstanceChannel::Request request)
{
    return request == CInstanceChannel::Request::Close ? QByteArrayLiteral("Close\n") : QByteArrayLiteral("Show\n");
}

QString LockPath() { return RuntimeFolder() + QStringLiteral("/corvana.lock"); }
QString SocketPath() { return RuntimeFolder() + QStringLiteral("/corvana.socket"); }

bool PeerIsSameUser(qintptr fd)
{
    ucred credentials{};
    socklen_t length = sizeof credentials;
    if (::getsockopt(static_cast<int>(fd), SOL_SOCKET, SO_PEERCRED, &credentials, &length) != 0)
        return false;
    return credentials.uid == ::getuid();
}

int Milliseconds(std::chrono::milliseconds duration)
{
    return static_cast<int>(duration.count());
}

// Waits for the reply line; false on time-out or when the peer went away without answering.
// Blocking, without an event loop: a forwarding start may have no display at all.
bool WaitForReply(QLocalSocket& socket, std::chrono::milliseconds timeout)
{
    QDeadlineTimer deadline(timeout);
    while (socket.bytesAvailable() == 0 && !deadline.hasExpired())
        if (!socket.waitForReadyRead(static_cast<int>(deadline.remainingTime())))
            return false;
    return socket.bytesAvailable() > 0;
}

} // namespace

CInstanceChannel::CInstanceChannel(QObject* parent) : QObject(parent) {}

CInstanceChannel::~CInstanceChannel()
{
    if (m_server) {
        m_server->close();
        QFile::remove(SocketPath());
    }
    if (m_lockFd >= 0)
        ::close(m_lockFd);
}

bool CInstanceChannel::TryLock()
{
    if (m_lockFd < 0) {
        const QByteArray native = QFile::encodeName(LockPath());
        m_lockFd = ::open(native.constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
        if (m_lockFd < 0)
            return false;
    }
    return ::flock(m_lockFd, LOCK_EX | LOCK_NB) == 0;
}

bool CInstanceChannel::Listen()
{
    // The lock is ours, so a socket file left here belongs to an instance that died.
    QLocalServer::removeServer(SocketPath());
    m_server = new QLocalServer(this);
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    if (!m_server->listen(SocketPath())) {
        qCWarning(lcApp) << "cannot listen on" << SocketPath() << m_server->errorString();
        return false;
    }
    connect(m_server, &QLocalServer::newConnection, this, &CInstanceChannel::OnNewConnection);
    return true;
}

bool CInstanceChannel::Forward(Request request)
{
    QLocalSocket socket;
    socket.connectToServer(SocketPath());
    if (!socket.waitForConnected(Milliseconds(kReadDeadline)))
        return false;
    const QByteArray line = RequestLine(request);
    if (socket.write(line) != line.size() || !socket.waitForBytesWritten(Milliseconds(kReadDeadline)))
        return false;
    // Even when no reply comes (the instance died meanwhile) the request was delivered or lost
    // with the instance; whether a Close took effect is judged by the lock, not by the reply.
    WaitForReply(socket, request == Request::Close ? kCloseDeadline : kReadDeadline);
    return true;
}

bool CInstanceChannel::WaitForInstanceEnd(const QElapsedTimer& sinceRequest)
{
    // The instance holds the lock until its very last step, so a free lock means it has ended.
    do {
        if (TryLock()) {
            ::close(m_lockFd);
            m_lockFd = -1;
            return true;
        }
        std::this_thread::sleep_for(kLockPoll);
    } while (!sinceRequest.hasExpired(kCloseDeadline.count()));
    return false;
}

CInstanceChannel::Outcome CInstanceChannel::Claim(Request request)
{
    if (RuntimeFolder().isEmpty())
        return Outcome::Failed;
    QElapsedTimer clock;
    clock.start();
    while (!clock.hasExpired(kClaimDeadline.count())) {
        if (TryLock()) {
            if (request == Request::Close) {
                ::close(m_lockFd);
                m_lockFd = -1;
                return Outcome::NoInstance;
            }
            return Outcome::Resident;
        }
        QElapsedTimer sinceRequest;
        sinceRequest.start();
        if (Forward(request)) {
            if (request == Request::Close && !WaitForInstanceEnd(sinceRequest))
                return Outcome::NotEnded;
            return Outcome::Forwarded;
        }
        // The resident instance holds the lock but is not listening yet (it is starting).
        std::this_thread::sleep_for(kLockPoll);
    }
    return Outcome::Failed;
}

void CInstanceChannel::OnNewConnection()
{
    while (QLocalSocket* socket = m_server->nextPendingConnection()) {
        if (!PeerIsSameUser(socket->socketDescriptor())) {
            socket->abort();
            socket->deleteLater();
            continue;
        }
        // Each connection gets one request and one answer.
        auto answered = std::make_shared<bool>(false);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket, answered] { OnReadable(socket, *answered); });
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        QTimer::singleShot(kReadDeadline, socket, [socket, answered] {
            if (!*answered)
                socket->abort();
        });
    }
}

void CInstanceChannel::OnReadable(QLocalSocket* socket, bool& answered)
{
    if (answered)
        return;
    if (!socket->canReadLine()) {
        if (socket->bytesAvailable() > kMaxRequestBytes)
            socket->abort();
        return;
    }
    const QByteArray line = socket->readLine(kMaxRequestBytes + 1);
    Request request;
    if (line == "Close\n")
        request = Request::Close;
    else if (line == "Show\n")
        request = Request::Show;
    else {
        socket->abort();
        return;
    }
    answered = true;
    QPointer<QLocalSocket> peer(socket);
    auto done = [peer] {
        if (!peer)
            return;
        peer->write("done\n");
        peer->flush();
        peer->waitForBytesWritten(500);
        peer->disconnectFromServer();
    };
    if (m_handler)
        m_handler(request, done);
    else
        done();
}

} // namespace corvana
