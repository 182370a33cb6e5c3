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

QByteArray languageFile(const QString &tag, int lines, int emptyLine)
{
    QByteArray text;
    for (int k = 1; k <= lines; ++k) {
        if (k == 3 || k == 10)
            text += ";--\r\n";
        else if (k != emptyLine)
            text += tag.toUtf8() + ' ' + QByteArray::number(k) + "\r\n";
        else
            text += "\r\n";
    }
    return text;
}

} // namespace nuvora::test
