#pragma once
// A private world for one test: temporary HOME, configuration folders, runtime folder and the
// controller journal, all removed again afterwards.
#include "QtPrinters.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <cstdlib>
#include <optional>

// One controller transaction of the journal: when, by which process, the data byte (e.g. D2).
struct JournalLine {
    qint64 micros = 0;
    qint64 pid = 0;
    QString data;
};

class TestEnvironment {
public:
    TestEnvironment()
    {
        const QString root = m_root.path();
        for (const char* folder : {"/home/Documents", "/config", "/machine/Tessaly", "/run"})
            QDir().mkpath(root + QLatin1String(folder));
        QFile::setPermissions(root + QStringLiteral("/run"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        Set("HOME", root + QStringLiteral("/home"));
        Set("XDG_CONFIG_HOME", root + QStringLiteral("/config"));
        Set("XDG_CONFIG_DIRS", root + QStringLiteral("/machine:/etc/xdg"));
        Set("XDG_DOCUMENTS_DIR", root + QStringLiteral("/home/Documents"));
        Set("XDG_RUNTIME_DIR", root + QStringLiteral("/run"));
        Set("VESKOLIB_JOURNAL", root + QStringLiteral("/journal.txt"));
        ::unsetenv("VESKOLIB_FAIL");
        ::unsetenv("CORVANA_DEVICES");
        ::unsetenv("MPV_HOME");
    }

    QString Root() const { return m_root.path(); }
    QString Home() const { return Root() + QStringLiteral("/home"); }
    QString MediaFolder(const QString& sub) const { return Home() + QStringLiteral("/Documents/Corvana/") + sub + QLatin1Char('/'); }
    QString UserSettings() const { return Root() + QStringLiteral("/config/Tessaly/Corvana.conf"); }
    QString MachineSettings() const { return Root() + QStringLiteral("/machine/Tessaly/Corvana.conf"); }
    QString JournalPath() const { return Root() + QStringLiteral("/journal.txt"); }
    QString RuntimeDir() const { return Root() + QStringLiteral("/run"); }

    static void Set(const char* name, const QString& value) { ::setenv(name, QFile::encodeName(value).constData(), 1); }

    static void WriteFile(const QString& path, const QByteArray& bytes)
    {
        QDir().mkpath(QFileInfo(path).absolutePath());
        QFile file(path);
        file.open(QIODevice::WriteOnly | QIODevice::Truncate);
        file.write(bytes);
    }
    static QByteArray ReadFile(const QString& path)
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    void SetUserSettings(const QByteArray& text) const { WriteFile(UserSettings(), text); }
    void SetMachineSettings(const QByteArray& text) const { WriteFile(MachineSettings(), text); }

    QList<JournalLine> Journal() const
    {
        static const QRegularExpression line(
            QStringLiteral("^(\\d+) (\\d+) (?:write|receive) cmd=45 data=([0-9A-F:-]+)(?: reply=\\S+)? result=(?:ok|fail)$"));
        QList<JournalLine> lines;
        for (const QByteArray& text : ReadFile(JournalPath()).split('\n')) {
            if (const auto match = line.match(QString::fromUtf8(text)); match.hasMatch())
                lines.push_back({match.captured(1).toLongLong(), match.captured(2).toLongLong(), match.captured(3)});
        }
        return lines;
    }
    // The data bytes of the journal in order, optionally of one process only.
    QStringList JournalBytes(std::optional<qint64> pid = std::nullopt) const
    {
        QStringList bytes;
        for (const JournalLine& entry : Journal())
            if (!pid || entry.pid == *pid)
                bytes << entry.data;
        return bytes;
    }
    void ClearJournal() const { QFile::remove(JournalPath()); }

private:
    QTemporaryDir m_root{QDir::tempPath() + QStringLiteral("/corvana-test-XXXXXX")};
};
