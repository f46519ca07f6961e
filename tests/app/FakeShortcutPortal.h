#pragma once
// A desktop portal offering GlobalShortcuts on the test's private session bus, inside the test
// process: the real names, each request answered with a Response on its Request object that lists
// the shortcuts bound, and Activated / Deactivated sent when the test presses and releases a
// shortcut. Like a portal that binds only through BindShortcuts, its CreateSession lists none.
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusVariant>
#include <QDBusVirtualObject>
#include <QDateTime>
#include <QStringList>

// An a(sa{sv}) entry of the shortcut lists.
struct FakePortalShortcut {
    QString id;
    QVariantMap properties;
};
Q_DECLARE_METATYPE(FakePortalShortcut)

inline QDBusArgument& operator<<(QDBusArgument& argument, const FakePortalShortcut& shortcut)
{
    argument.beginStructure();
    argument << shortcut.id << shortcut.properties;
    argument.endStructure();
    return argument;
}

inline const QDBusArgument& operator>>(const QDBusArgument& argument, FakePortalShortcut& shortcut)
{
    argument.beginStructure();
    argument >> shortcut.id >> shortcut.properties;
    argument.endStructure();
    return argument;
}

class FakeShortcutPortal : public QDBusVirtualObject {
public:
    static constexpr const char* kPath = "/org/freedesktop/portal/desktop";
    static constexpr const char* kInterface = "org.freedesktop.portal.GlobalShortcuts";

    FakeShortcutPortal()
    {
        qDBusRegisterMetaType<FakePortalShortcut>();
        qDBusRegisterMetaType<QList<FakePortalShortcut>>();
        m_bus.registerVirtualObject(QLatin1String(kPath), this, QDBusConnection::SubPath);
        Register();
    }
    ~FakeShortcutPortal() override
    {
        Unregister();
        m_bus.unregisterObject(QLatin1String(kPath), QDBusConnection::UnregisterTree);
    }

    bool Register() { return m_bus.registerService(QStringLiteral("org.freedesktop.portal.Desktop")); }
    bool Unregister() { return m_bus.unregisterService(QStringLiteral("org.freedesktop.portal.Desktop")); }
    void Press(const QString& id) { SendKey("Activated", id); }
    void Release(const QString& id) { SendKey("Deactivated", id); }
    void Tap(const QString& id) { Press(id), Release(id); }
    void CloseSession() { m_bus.send(QDBusMessage::createSignal(session, "org.freedesktop.portal.Session", "Closed") << QVariantMap{}); }

    bool bindNothing = false;  // answer 0 and list no shortcut, as a backend that ignores them does
    int binds = 0;             // BindShortcuts requests answered
    QString session;           // the last session made
    QStringList sessionIds;    // the shortcuts the last CreateSession came with, in order
    QStringList ids;           // of the last BindShortcuts, in order
    QStringList triggers;      // their preferred triggers
    QStringList closed;        // sessions the program closed

    // Nothing asks the portal what it offers but through its version property.
    QString introspect(const QString&) const override { return {}; }

    bool handleMessage(const QDBusMessage& message, const QDBusConnection&) override
    {
        const QVariantList arguments = message.arguments();
        const QString member = message.member();
        if (member == "Get" && arguments.value(0).toString() == kInterface && arguments.value(1).toString() == "version")
            return m_bus.send(message.createReply(QVariant::fromValue(QDBusVariant(1u))));
        if (member == "Close") {
            closed << message.path();
            return m_bus.send(message.createReply());
        }
        if (member == "CreateSession") {
            const QVariantMap options = qdbus_cast<QVariantMap>(arguments.value(0));
            session = ObjectPath(message, "session", options.value("session_handle_token").toString());
            sessionIds.clear();
            for (const FakePortalShortcut& shortcut : Shortcuts(options.value("shortcuts")))
                sessionIds << shortcut.id;
            return Answer(message, options, {{"session_handle", session}, {"shortcuts", QVariant::fromValue(QList<FakePortalShortcut>())}});
        }
        if (member != "BindShortcuts" || arguments.size() != 4)
            return false;
        ids.clear();
        triggers.clear();
        QList<FakePortalShortcut> bound;
        for (const FakePortalShortcut& shortcut : Shortcuts(arguments.at(1))) {
            ids << shortcut.id;
            triggers << shortcut.properties.value("preferred_trigger").toString();
            if (!bindNothing)
                bound.push_back({shortcut.id, {{"description", shortcut.properties.value("description")},
                                               {"trigger_description", shortcut.properties.value("preferred_trigger")}}});
        }
        ++binds;
        return Answer(message, qdbus_cast<QVariantMap>(arguments.at(3)), {{"shortcuts", QVariant::fromValue(bound)}});
    }

private:
    // An a(sa{sv}) argument; anything else holds none.
    static QList<FakePortalShortcut> Shortcuts(const QVariant& value)
    {
        if (value.metaType() != QMetaType::fromType<QDBusArgument>()
            || value.value<QDBusArgument>().currentSignature() != QLatin1String("a(sa{sv})"))
            return {};
        return qdbus_cast<QList<FakePortalShortcut>>(value);
    }

    static QString ObjectPath(const QDBusMessage& message, const char* kind, const QString& token)
    {
        const QString sender = message.service().mid(1).replace('.', '_');
        return QStringLiteral("%1/%2/%3/%4").arg(QLatin1String(kPath), QLatin1String(kind), sender, token);
    }

    // The request's handle as the reply, then its Response.
    bool Answer(const QDBusMessage& message, const QVariantMap& options, const QVariantMap& results)
    {
        const QString request = ObjectPath(message, "request", options.value("handle_token").toString());
        m_bus.send(message.createReply(QVariant::fromValue(QDBusObjectPath(request))));
        return m_bus.send(QDBusMessage::createSignal(request, "org.freedesktop.portal.Request", "Response") << 0u << results);
    }

    void SendKey(const char* signal, const QString& id)
    {
        m_bus.send(QDBusMessage::createSignal(QLatin1String(kPath), QLatin1String(kInterface), QLatin1String(signal))
                   << QVariant::fromValue(QDBusObjectPath(session)) << id
                   << static_cast<qulonglong>(QDateTime::currentMSecsSinceEpoch()) << QVariantMap{});
    }

    QDBusConnection m_bus = QDBusConnection::sessionBus();
};
