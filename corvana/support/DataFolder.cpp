#include "support/DataFolder.h"

#include <QCoreApplication>
#include <QFileInfo>

namespace corvana {

QString DataFilePath(const QString& name)
{
    const QString installed = QCoreApplication::applicationDirPath() + QStringLiteral("/../share/corvana/") + name;
    if (QFileInfo::exists(installed))
        return QFileInfo(installed).canonicalFilePath();
    return QStringLiteral(CORVANA_BUILD_DATA_DIR "/") + name;
}

} // namespace corvana
