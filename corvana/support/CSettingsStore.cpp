#include "support/CSettingsStore.h"

#include "support/Logging.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>
#include <QStringDecoder>

#include <limits>
#include <memory>
#include <optional>

namespace corvana {

namespace {

// A settings file larger than this is not a settings file; it is not parsed and never rewritten.
constexpr qint64 kMaxSettingsFileSize = 64 * 1024;
constexpr qsizetype kMaxVersionBytes = 255;

const QString kModeState = QStringLiteral("ModeState");
const QString kArrayMic = QStringLiteral("ArrayMic");
const QString kVersion = QStringLiteral("Version");

// A settings file is UTF-8 text; anything else (binary data, control bytes) is not one of ours.
bool LooksLikeText(const QString& file)
{
    QFile input(file);
    if (!input.open(QIODevice::ReadOnly))
        return false;
    const QByteArray bytes = input.read(kMaxSettingsFileSize + 1);
    if (bytes.size() > kMaxSettingsFileSize)
        return false;
    for (const char byte : bytes) {
        const auto c = static_cast<unsigned char>(byte);
        if (c < 0x20 && c != '\t' && c != '\n' && c != '\r')
            return false;
    }
    QStringDecoder decoder(QStringDecoder::Utf8);
    [[maybe_unused]] const QString text = decoder.decode(bytes);
    return !decoder.hasError();
}

// Opens a store for reading; null when the file is missing, too large or malformed.
std::unique_ptr<QSettings> OpenForReading(const QString& file)
{
    const QFileInfo info(file);
    if (!info.isFile() || !info.isReadable() || info.size() > kMaxSettingsFileSize || !LooksLikeText(file))
        return nullptr;
    auto settings = std::make_unique<QSettings>(file, QSettings::IniFormat);
    if (settings->status() != QSettings::NoError)
        return nullptr;
    return settings;
}

int ReadNumber(const QString& file, const QString& name)
{
    const auto settings = OpenForReading(file);
    if (!settings)
        return -1;
    const QVariant value = settings->value(name);
    if (value.typeId() != QMetaType::QString)
        return -1;
    bool ok = false;
    const qlonglong number = value.toString().trimmed().toLongLong(&ok, 10);
    if (!ok || number < std::numeric_limits<qint32>::min() || number > std::numeric_limits<qint32>::max())
        return -1;
    return static_cast<int>(number);
}

} // namespace

QString CSettingsStore::UserFile()
{
    QString base = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (base.isEmpty())
        base = QDir::homePath() + QStringLiteral("/.config");
    return base + QStringLiteral("/Tessaly/Corvana.conf");
}

QString CSettingsStore::MachineFile()
{
    // Desktops put their own folders ahead of /etc/xdg (Plasma's kdedefaults, Ubuntu's session
    // folders): the first folder that holds the file is the machine's.
    QStringList folders = qEnvironmentVariable("XDG_CONFIG_DIRS").split(QLatin1Char(':'), Qt::SkipEmptyParts);
    if (folders.isEmpty())
        folders << QStringLiteral("/etc/xdg");
    const QString name = QStringLiteral("/Tessaly/Corvana.conf");
    for (const QString& folder : folders)
        if (QFileInfo::exists(folder + name))
            return folder + name;
    return folders.first() + name;
}

int CSettingsStore::LoadModeState()
{
    return ReadNumber(UserFile(), kModeState);
}

int CSettingsStore::LoadArrayMic()
{
    return ReadNumber(MachineFile(), kArrayMic);
}

void CSettingsStore::SaveModeState(int mode)
{
    const QString file = UserFile();
    const QFileInfo info(file);
    // A store we cannot parse is left as it is rather than replaced by one holding only the mode.
    if (info.exists() && !OpenForReading(file)) {
        CORVANA_DEBUG_LINE(lcApp, "save registry error");
        return;
    }
    if (!QDir().mkpath(info.absolutePath())) {
        CORVANA_DEBUG_LINE(lcApp, "save registry error");
        return;
    }
    QSettings settings(file, QSettings::IniFormat);
    settings.setValue(kModeState, QString::number(mode));
    settings.sync();
    if (settings.status() != QSettings::NoError)
        CORVANA_DEBUG_LINE(lcApp, "save registry error");
}

QString CSettingsStore::LoadVersion()
{
    const QString file = MachineFile();
    const QFileInfo info(file);
    if (!info.isFile() || !info.isReadable() || info.size() > kMaxSettingsFileSize || !LooksLikeText(file))
        return {};
    QFile input(file);
    if (!input.open(QIODevice::ReadOnly))
        return {};
    // The text is shown as the machine's installation wrote it, so it is not read through the INI
    // parser, which would split it at commas and cut it at a semicolon.
    std::optional<QByteArray> version;
    bool inGeneral = true;
    const QList<QByteArray> lines = input.readAll().split('\n');
    for (const QByteArray& raw : lines) {
        const QByteArray line = raw.trimmed();
        if (line.startsWith('[') && line.endsWith(']')) {
            inGeneral = line == "[General]";
            continue;
        }
        const qsizetype equals = line.indexOf('=');
        if (!inGeneral || equals < 0 || line.left(equals).trimmed() != "Version")
            continue;
        version = line.mid(equals + 1).trimmed();
    }
    if (!version || version->size() > kMaxVersionBytes)
        return {};
    return QString::fromUtf8(*version);
}

} // namespace corvana
