#include "TestFiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTest>

namespace nuvora::test {

void writeFile(const QString &path, const QByteArray &bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        qFatal("cannot write %s: %s", qPrintable(path), qPrintable(f.errorString()));
    f.write(bytes);
}

QByteArray readFile(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return f.readAll();
}

QString sourceDataDir()
{
    return qEnvironmentVariable("NUVORA_SOURCE_DIR", QStringLiteral(".")) + QStringLiteral("/data");
}

QString binDir()
{
    return qEnvironmentVariable("NUVORA_BIN_DIR", QStringLiteral("."));
}

} // namespace nuvora::test
