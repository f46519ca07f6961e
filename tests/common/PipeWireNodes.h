#pragma once
// Nodes of PipeWire's own test sources on the session's PipeWire (scripts/with-session.sh with
// CORVANA_SOUND=pipewire): cameras and microphones that come and go the way real ones do.
#include "Pactl.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTest>

#include <optional>

inline bool OnPipeWire()
{
    return qgetenv("CORVANA_SOUND") == "pipewire" && Pactl({QStringLiteral("info")}).value_or(QString()).contains(QStringLiteral("PipeWire"));
}

// Whether PipeWire lists a node of that name (as the device lists see it: a Video/Source or an
// Audio/Source).
inline std::optional<int> NodeId(const QString& name)
{
    QProcess dump;
    dump.start(QStringLiteral("pw-dump"), {});
    if (!dump.waitForFinished(10000))
        return std::nullopt;
    for (const QJsonValue& object : QJsonDocument::fromJson(dump.readAllStandardOutput()).array()) {
        const QJsonObject props = object[QStringLiteral("info")][QStringLiteral("props")].toObject();
        if (props[QStringLiteral("node.name")].toString() == name)
            return object[QStringLiteral("id")].toInt();
    }
    return std::nullopt;
}

// A node made by a program that owns it: the node goes away with the program, as a virtual camera
// or microphone does when its program ends. With `lingers`, it stays until destroyed, as a device
// does until it is unplugged.
class OwnedNode {
public:
    OwnedNode(const QString& factory, const QString& properties, const QString& name, bool lingers = false)
        : m_name(name)
    {
        m_cli.start(QStringLiteral("pw-cli"), {});
        m_cli.write(QStringLiteral("create-node %1 { %2 node.name=%3 node.description=%3 object.linger=%4 }\n")
                        .arg(factory, properties, name, lingers ? QStringLiteral("true") : QStringLiteral("false"))
                        .toUtf8());
        std::optional<int> id;
        if (QTest::qWaitFor([&] { return (id = NodeId(name)).has_value(); }, 10000))
            m_id = id;
    }
    ~OwnedNode()
    {
        if (m_id)
            Destroy();
        End();
    }
    OwnedNode(const OwnedNode&) = delete;
    OwnedNode& operator=(const OwnedNode&) = delete;

    bool Exists() const { return m_id.has_value(); }
    // The program that made it ends.
    void End()
    {
        if (m_cli.state() == QProcess::NotRunning)
            return;
        m_cli.kill();
        m_cli.waitForFinished(5000);
    }
    // The node is taken away, as an unplugged camera's is.
    void Destroy()
    {
        QProcess::execute(QStringLiteral("pw-cli"), {QStringLiteral("destroy"), QString::number(*m_id)});
        if (!QTest::qWaitFor([&] { return !NodeId(m_name); }, 5000))
            qWarning("PipeWire kept the node %s", qPrintable(m_name));
        m_id.reset();
    }

    static std::unique_ptr<OwnedNode> Camera(const QString& name, bool lingers = false)
    {
        return std::make_unique<OwnedNode>(QStringLiteral("spa-node-factory"),
                                           QStringLiteral("factory.name=videotestsrc media.class=Video/Source"), name, lingers);
    }
    // A microphone hearing PipeWire's 440 Hz test tone.
    static std::unique_ptr<OwnedNode> ToneMicrophone(const QString& name)
    {
        return std::make_unique<OwnedNode>(QStringLiteral("adapter"),
                                           QStringLiteral("factory.name=audiotestsrc media.class=Audio/Source audio.position=[ FL FR ]"), name);
    }

private:
    QString m_name;
    QProcess m_cli;
    std::optional<int> m_id;
};

// A camera that another program provides through PipeWire's GStreamer sink (pipewiresink
// mode=provide), as virtual cameras and screen sharers do; it ends with the object.
class ProvidedCamera {
public:
    explicit ProvidedCamera(const QString& name)
    {
        m_provider.start(QStringLiteral("gst-launch-1.0"),
                         QProcess::splitCommand(QStringLiteral("-q videotestsrc is-live=true ! video/x-raw,format=YUY2,width=640,height=480,"
                                                               "framerate=30/1 ! pipewiresink mode=provide stream-properties=p,"
                                                               "media.class=Video/Source,node.name=%1,node.description=%1").arg(name)));
        m_exists = QTest::qWaitFor([&] { return NodeId(name).has_value(); }, 10000);
    }
    ~ProvidedCamera()
    {
        m_provider.kill();
        m_provider.waitForFinished(5000);
    }
    ProvidedCamera(const ProvidedCamera&) = delete;
    ProvidedCamera& operator=(const ProvidedCamera&) = delete;
    bool Exists() const { return m_exists; }

private:
    QProcess m_provider;
    bool m_exists = false;
};
