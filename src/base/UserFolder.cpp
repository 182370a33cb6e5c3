#include "base/UserFolder.h"

#include <QDir>
#include <QStandardPaths>

namespace nuvora {

QString UserFolder()
{
    const QString config = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    return config.isEmpty() ? QString() : QDir(config).filePath(QStringLiteral("Nuvora"));
}

} // namespace nuvora
