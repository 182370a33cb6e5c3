#include "Unprivileged.h"

#include <QFile>
#include <QStandardPaths>
#include <QTest>

#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

namespace nuvora::test {

QStringList unprivilegedPrefix()
{
#ifdef Q_OS_UNIX
    if (::geteuid() == 0) {
        const QString setpriv = QStandardPaths::findExecutable(QStringLiteral("setpriv"));
        if (setpriv.isEmpty())
            qFatal("running as root without setpriv: cannot check permissions as a user");
        return {setpriv, QStringLiteral("--reuid=65534"), QStringLiteral("--regid=65534"),
                QStringLiteral("--clear-groups")};
    }
#endif
    return {};
}

void openUpForOthers(const QString &path)
{
    QFile::setPermissions(path, QFile::permissions(path) | QFileDevice::ReadOther |
                                    QFileDevice::ExeOther | QFileDevice::ReadGroup |
                                    QFileDevice::ExeGroup);
}

} // namespace nuvora::test
