#include "app/CInstanceChannel.h"

#include "support/Logging.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLocalServer>
#include <QLocalSocket>
#include <QPointer>
#include <QThread>
#include <QTimer>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace corvana {

namespace {

constexpr int kMaxRequestBytes = 16;
constexpr int kClaimDeadlineMs = 15000;
constexpr int kReadDeadlineMs = 2000;

QByteArray RequestLine(CInstanceChannel::Request request)
{
    return request == CInstanceChannel::Request::Close ? QByteArrayLiteral("Close\n") : QByteArrayLiteral("Show\n");
}

QString LockPath() { return CInstanceChannel::RuntimeFolder() + QStringLiteral("/corvana.lock"); }
QString SocketPath() { return CInstanceChannel::RuntimeFolder() + QStringLiteral("/corvana.socket"); }

bool PeerIsSameUser(qintptr fd)
{
    ucred credentials{};
    socklen_t length = sizeof credentials;
    if (::getsockopt(static_cast<int>(fd), SOL_SOCKET, SO_PEERCRED, &credentials, &length) != 0)
        return false;
    return credentials.uid == ::getuid();
}

// Blocking client side, without an event loop: a forwarding start may have no display at all.
class ClientSocket {
public:
    ClientSocket() : m_fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0)) {}
    ~ClientSocket()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    ClientSocket(const ClientSocket&) = delete;
    ClientSocket& operator=(const ClientSocket&) = delete;

    bool Connect(const QString& path)
    {
        const QByteArray native = QFile::encodeName(path);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        if (m_fd < 0 || native.size() >= static_cast<qsizetype>(sizeof address.sun_path))
            return false;
        std::memcpy(address.sun_path, native.constData(), static_cast<size_t>(native.size()));
        return ::connect(m_fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    }
    bool Send(const QByteArray& data)
    {
        return ::send(m_fd, data.constData(), static_cast<size_t>(data.size()), MSG_NOSIGNAL) == data.size();
    }
    // Waits for the reply line; false on time-out or when the peer went away without answering.
    bool WaitForReply(int timeoutMs)
    {
        QElapsedTimer clock;
        clock.start();
        char buffer[16];
        while (clock.elapsed() < timeoutMs) {
            pollfd descriptor{m_fd, POLLIN, 0};
            const int ready = ::poll(&descriptor, 1, static_cast<int>(timeoutMs - clock.elapsed()));
            if (ready < 0 && errno == EINTR)
                continue;
            if (ready <= 0)
                return false;
            const ssize_t got = ::recv(m_fd, buffer, sizeof buffer, 0);
            if (got < 0 && errno == EINTR)
                continue;
            return got > 0;
        }
        return false;
    }

private:
    int m_fd;
};

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

QString CInstanceChannel::RuntimeFolder()
{
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && QDir(runtime).exists())
        return runtime;
    // A private folder of the user's under the temp dir; refuse one that someone else owns.
    const QString folder = QDir::tempPath() + QStringLiteral("/corvana-") + QString::number(::getuid());
    const QByteArray native = QFile::encodeName(folder);
    ::mkdir(native.constData(), 0700);
    struct stat info {};
    if (::lstat(native.constData(), &info) != 0 || !S_ISDIR(info.st_mode) || info.st_uid != ::getuid()
        || (info.st_mode & 077) != 0)
        return {};
    return folder;
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
    ClientSocket socket;
    if (!socket.Connect(SocketPath()))
        return false;
    if (!socket.Send(RequestLine(request)))
        return false;
    // Even when no reply comes (the instance died meanwhile) the request was delivered or lost
    // with the instance; whether a Close took effect is judged by the lock, not by the reply.
    socket.WaitForReply(request == Request::Close ? kCloseDeadlineMs : kReadDeadlineMs);
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
        QThread::msleep(20);
    } while (sinceRequest.elapsed() < kCloseDeadlineMs);
    return false;
}

CInstanceChannel::Outcome CInstanceChannel::Claim(Request request)
{
    if (RuntimeFolder().isEmpty())
        return Outcome::Failed;
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < kClaimDeadlineMs) {
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
        QThread::msleep(20);
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
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] { OnReadable(socket); });
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        QTimer::singleShot(kReadDeadlineMs, socket, [socket] {
            if (!socket->property("answered").toBool())
                socket->abort();
        });
    }
}

void CInstanceChannel::OnReadable(QLocalSocket* socket)
{
    if (socket->property("answered").toBool())
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
    socket->setProperty("answered", true);
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
