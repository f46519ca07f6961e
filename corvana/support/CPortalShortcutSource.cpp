#include "support/CPortalShortcutSource.h"

#include "support/Logging.h"
#include "support/ScanCodeTable.h"

#include <QDBusArgument>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusVariant>

#include <linux/input-event-codes.h>

#include <array>

namespace corvana {

namespace {

const QString kService = QStringLiteral("org.freedesktop.portal.Desktop");
const QString kPath = QStringLiteral("/org/freedesktop/portal/desktop");
const QString kInterface = QStringLiteral("org.freedesktop.portal.GlobalShortcuts");
const QString kRequestInterface = QStringLiteral("org.freedesktop.portal.Request");
const QString kSessionInterface = QStringLiteral("org.freedesktop.portal.Session");
constexpr int kCallTimeoutMs = 5000;

// One shortcut and the stand-in key whose events it stands for.
struct Shortcut {
    const char* id;
    unsigned evdev;
    const char* trigger;
    const char* description;
};

constexpr std::array kShortcuts{
    Shortcut{"mode", KEY_PROG1, "XF86Launch1",
             QT_TRANSLATE_NOOP("CPortalShortcutSource", "Open Corvana and switch its mode; hold to close it")},
    Shortcut{"play", KEY_PLAYPAUSE, "XF86AudioPlay",
             QT_TRANSLATE_NOOP("CPortalShortcutSource", "Play or pause the selected recording; hold to close the player")},
    Shortcut{"previous", KEY_PREVIOUSSONG, "XF86AudioPrev",
             QT_TRANSLATE_NOOP("CPortalShortcutSource", "Select the previous recording; hold to lower the volume")},
    Shortcut{"next", KEY_NEXTSONG, "XF86AudioNext",
             QT_TRANSLATE_NOOP("CPortalShortcutSource", "Select the next recording; hold to raise the volume")},
    Shortcut{"record", KEY_RECORD, "XF86AudioRecord",
             QT_TRANSLATE_NOOP("CPortalShortcutSource", "Start or stop recording")},
};

const Shortcut* FindShortcut(const QString& id)
{
    for (const Shortcut& shortcut : kShortcuts)
        if (id == QLatin1String(shortcut.id))
            return &shortcut;
    return nullptr;
}

// The a(sa{sv}) entries of BindShortcuts and of the portal's Responses.
struct BoundShortcut {
    QString id;
    QVariantMap properties;
};

QDBusArgument& operator<<(QDBusArgument& argument, const BoundShortcut& shortcut)
{
    argument.beginStructure();
    argument << shortcut.id << shortcut.properties;
    argument.endStructure();
    return argument;
}

const QDBusArgument& operator>>(const QDBusArgument& argument, BoundShortcut& shortcut)
{
    argument.beginStructure();
    argument >> shortcut.id >> shortcut.properties;
    argument.endStructure();
    return argument;
}

QString PathOf(const QVariant& value)
{
    if (value.metaType() == QMetaType::fromType<QDBusObjectPath>())
        return value.value<QDBusObjectPath>().path();
    return value.toString();
}

} // namespace
} // namespace corvana

Q_DECLARE_METATYPE(corvana::BoundShortcut)

namespace corvana {
namespace {

QList<BoundShortcut> ShortcutList()
{
    QList<BoundShortcut> shortcuts;
    for (const Shortcut& shortcut : kShortcuts)
        shortcuts.push_back({QLatin1String(shortcut.id),
                             {{QStringLiteral("description"), CPortalShortcutSource::tr(shortcut.description)},
                              {QStringLiteral("preferred_trigger"), QLatin1String(shortcut.trigger)}}});
    return shortcuts;
}

// Our ids among the shortcuts a Response lists; a list of another type lists nothing.
QSet<QString> ListedIds(const QVariantMap& results)
{
    QSet<QString> ids;
    const QVariant listed = results.value(QStringLiteral("shortcuts"));
    if (listed.metaType() != QMetaType::fromType<QDBusArgument>()
        || listed.value<QDBusArgument>().currentSignature() != QLatin1String("a(sa{sv})"))
        return ids;
    for (const BoundShortcut& shortcut : qdbus_cast<QList<BoundShortcut>>(listed))
        if (FindShortcut(shortcut.id))
            ids.insert(shortcut.id);
    return ids;
}

} // namespace
} // namespace corvana

namespace corvana {

bool CPortalShortcutSource::Available(QString* failure)
{
    auto fail = [failure](const QString& why) {
        if (failure)
            *failure = why;
        return false;
    };
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return fail(QStringLiteral("there is no D-Bus session bus"));
    QDBusMessage get = QDBusMessage::createMethodCall(kService, kPath, QStringLiteral("org.freedesktop.DBus.Properties"),
                                                      QStringLiteral("Get"));
    get << kInterface << QStringLiteral("version");
    const QDBusMessage reply = bus.call(get, QDBus::Block, kCallTimeoutMs);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
        return fail(QStringLiteral("the desktop portal offers no global shortcuts (%1)").arg(reply.errorName()));
    if (reply.arguments().constFirst().value<QDBusVariant>().variant().toUInt() < 1)
        return fail(QStringLiteral("the desktop portal's global shortcuts have no version"));
    return true;
}

CPortalShortcutSource::CPortalShortcutSource(KeyHandler handler, UnboundHandler unbound)
    : m_bus(QDBusConnection::sessionBus()),
      m_watcher(kService, m_bus, QDBusServiceWatcher::WatchForOwnerChange),
      m_handler(std::move(handler)),
      m_unbound(std::move(unbound))
{
    qDBusRegisterMetaType<BoundShortcut>();
    qDBusRegisterMetaType<QList<BoundShortcut>>();
    // A portal that ends takes its sessions along; the one that comes back needs a new one.
    connect(&m_watcher, &QDBusServiceWatcher::serviceOwnerChanged, this,
            [this](const QString&, const QString&, const QString& newOwner) {
                if (m_bGivenUp)
                    return;
                DropSession();
                if (!newOwner.isEmpty())
                    CreateSession();
            });
    // Every request's Response is followed, since a request's path is known only once it is made.
    m_bus.connect(kService, QString(), kRequestInterface, QStringLiteral("Response"), this, SLOT(OnResponse(QDBusMessage)));
    m_bus.connect(kService, kPath, kInterface, QStringLiteral("Activated"), this, SLOT(OnActivated(QDBusMessage)));
    m_bus.connect(kService, kPath, kInterface, QStringLiteral("Deactivated"), this, SLOT(OnDeactivated(QDBusMessage)));
    m_bus.connect(kService, QString(), kSessionInterface, QStringLiteral("Closed"), this, SLOT(OnSessionClosed(QDBusMessage)));
    CreateSession();
}

CPortalShortcutSource::~CPortalShortcutSource()
{
    if (!m_sessionPath.isEmpty())
        m_bus.send(QDBusMessage::createMethodCall(kService, m_sessionPath, kSessionInterface, QStringLiteral("Close")));
}

QString CPortalShortcutSource::NextToken()
{
    return QStringLiteral("corvana%1").arg(++m_nTokens);
}

QString CPortalShortcutSource::RequestPath(const QString& token) const
{
    QString sender = m_bus.baseService().mid(1);
    sender.replace(QLatin1Char('.'), QLatin1Char('_'));
    return QStringLiteral("/org/freedesktop/portal/desktop/request/%1/%2").arg(sender, token);
}

void CPortalShortcutSource::Call(QDBusMessage call, const QString& token, ResponseHandler handler)
{
    // Known before the call, so a Response that overtakes the reply still finds its handler.
    const QString expected = RequestPath(token);
    m_pending[expected] = std::move(handler);
    auto* watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(call, kCallTimeoutMs), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, expected](QDBusPendingCallWatcher* finished) {
        finished->deleteLater();
        const QDBusPendingReply<QDBusObjectPath> reply = *finished;
        const auto waiting = m_pending.find(expected);
        if (waiting == m_pending.end())
            return;
        if (reply.isError()) {
            ResponseHandler failed = std::move(waiting->second);
            m_pending.erase(waiting);
            qCDebug(lcSupport) << "portal shortcuts: call failed:" << reply.error().message();
            failed(2, {});
            return;
        }
        // Portals older than the handle_token option choose the path themselves.
        if (reply.value().path() != expected) {
            ResponseHandler moved = std::move(waiting->second);
            m_pending.erase(waiting);
            m_pending[reply.value().path()] = std::move(moved);
        }
    });
}

void CPortalShortcutSource::OnResponse(const QDBusMessage& message)
{
    const auto waiting = m_pending.find(message.path());
    const QVariantList arguments = message.arguments();
    if (waiting == m_pending.end() || arguments.size() < 2)
        return;
    ResponseHandler handler = std::move(waiting->second);
    m_pending.erase(waiting);
    handler(arguments.at(0).toUInt(), qdbus_cast<QVariantMap>(arguments.at(1)));
}

void CPortalShortcutSource::CreateSession()
{
    QDBusMessage call = QDBusMessage::createMethodCall(kService, kPath, kInterface, QStringLiteral("CreateSession"));
    const QString token = NextToken();
    // The shortcuts go along here too: some backends bind only those a session is made with and
    // answer BindShortcuts with what they hold; the others pass over an option they do not know.
    call << QVariantMap{{QStringLiteral("handle_token"), token},
                        {QStringLiteral("session_handle_token"), NextToken()},
                        {QStringLiteral("shortcuts"), QVariant::fromValue(ShortcutList())}};
    Call(call, token, [this](uint response, const QVariantMap& results) {
        m_sessionPath = PathOf(results.value(QStringLiteral("session_handle")));
        if (response != 0 || m_sessionPath.isEmpty()) {
            m_sessionPath.clear();
            GiveUp(QStringLiteral("the desktop portal made no shortcut session (response %1)").arg(response));
            return;
        }
        m_listed = ListedIds(results);
        BindShortcuts();
    });
}

void CPortalShortcutSource::BindShortcuts()
{
    QDBusMessage call = QDBusMessage::createMethodCall(kService, kPath, kInterface, QStringLiteral("BindShortcuts"));
    const QString token = NextToken();
    call << QVariant::fromValue(QDBusObjectPath(m_sessionPath)) << QVariant::fromValue(ShortcutList()) << QString()
         << QVariantMap{{QStringLiteral("handle_token"), token}};
    Call(call, token, [this](uint response, const QVariantMap& results) {
        // What the session was made with stays bound when binding more is refused.
        if (response == 0)
            m_listed.unite(ListedIds(results));
        if (m_listed.isEmpty()) {
            GiveUp(response == 0
                       ? QStringLiteral("the desktop portal bound none of the shortcuts")
                       : QStringLiteral("the desktop portal did not bind the shortcuts (response %1)").arg(response));
            return;
        }
        m_bBound = true;
        QStringList ids = m_listed.values();
        ids.sort();
        qCDebug(lcSupport).noquote().nospace() << "portal shortcuts bound in " << m_sessionPath << ": " << ids.join(QLatin1Char(' '));
    });
}

void CPortalShortcutSource::GiveUp(const QString& why)
{
    if (std::exchange(m_bGivenUp, true))
        return;
    qCDebug(lcSupport).noquote() << "portal shortcuts: none bound:" << why;
    if (!m_sessionPath.isEmpty())
        m_bus.send(QDBusMessage::createMethodCall(kService, m_sessionPath, kSessionInterface, QStringLiteral("Close")));
    DropSession();
    m_unbound(why);
}

void CPortalShortcutSource::DropSession()
{
    for (const QString& id : std::exchange(m_held, {}))
        if (const Shortcut* shortcut = FindShortcut(id))
            m_handler(m_translator.Translate(shortcut->evdev + ScanCodeTable::kEvdevOffset, true));
    m_pending.clear();
    m_sessionPath.clear();
    m_listed.clear();
    m_bBound = false;
}

void CPortalShortcutSource::OnSessionClosed(const QDBusMessage& message)
{
    if (m_sessionPath.isEmpty() || message.path() != m_sessionPath)
        return;
    // A session closed before it was bound is not asked for again: that would be a loop.
    const bool wasBound = m_bBound;
    DropSession();
    if (wasBound)
        CreateSession();
    else
        GiveUp(QStringLiteral("the desktop portal closed the shortcut session before binding it"));
}

void CPortalShortcutSource::OnActivated(const QDBusMessage& message)
{
    Key(message, false);
}

void CPortalShortcutSource::OnDeactivated(const QDBusMessage& message)
{
    Key(message, true);
}

void CPortalShortcutSource::Key(const QDBusMessage& message, bool released)
{
    const QVariantList arguments = message.arguments();
    if (arguments.size() < 2 || m_sessionPath.isEmpty() || PathOf(arguments.at(0)) != m_sessionPath)
        return;
    const QString id = arguments.at(1).toString();
    const Shortcut* shortcut = FindShortcut(id);
    if (!shortcut)
        return;
    // Raw X key events carry no autorepeat either: one down and one up per press, so the
    // dialog's long-press timers run from the first down.
    if (released ? !m_held.remove(id) : m_held.contains(id))
        return;
    if (!released)
        m_held.insert(id);
    m_handler(m_translator.Translate(shortcut->evdev + ScanCodeTable::kEvdevOffset, released));
}

} // namespace corvana
