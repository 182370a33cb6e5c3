#include "Fixtures.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QRandomGenerator>

namespace nuvora::test {

QString programPath(const QString &name)
{
    return qEnvironmentVariable("NUVORA_BIN_DIR", QCoreApplication::applicationDirPath() +
                                                      QStringLiteral("/../bin")) +
           QLatin1Char('/') + name;
}

bool linkPort(const QString &folder, int n, const QString &target)
{
    return QDir(folder).mkpath(QStringLiteral("ports")) &&
           QFile::link(target, folder + QStringLiteral("/ports/COM%1").arg(n));
}

void layOutUsbSerial(const QString &root, const QString &driver, const QStringList &entries)
{
    const QString dir = root + QStringLiteral("/bus/usb-serial/drivers/") + driver + '/';
    QDir().mkpath(dir);
    for (const QString &entry : entries) {
        const QString kind = entry.section(QLatin1Char(':'), 0, 0);
        const QString name = entry.section(QLatin1Char(':'), -1);
        if (kind == QLatin1String("file")) {
            QFile f(dir + name);
            if (!f.open(QIODevice::WriteOnly))
                qWarning("cannot make %s", qPrintable(f.fileName()));
            continue;
        }
        const QString target = kind == QLatin1String("link")
                                   ? QStringLiteral("module/") + name
                                   : QStringLiteral("devices/usb1/1-2/1-2:1.0/") + name;
        if (kind != QLatin1String("dangling"))
            QDir().mkpath(root + '/' + target);
        QFile::link(QStringLiteral("../../../../") + target, dir + name);
    }
}

QByteArray randomBytes(int n, quint32 seed)
{
    QByteArray out(n, Qt::Uninitialized);
    QRandomGenerator gen(seed);
    for (char &c : out)
        c = char(gen.bounded(256));
    return out;
}

} // namespace nuvora::test
