#include "TestFiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTest>

#include <numeric>

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

void writeSRecords(const QString &path, const QByteArray &image)
{
    QByteArray file = "S0030000FC\r\n";
    for (int a = 0; a < image.size(); a += 16) {
        QByteArray rec = char(qMin<int>(16, image.size() - a) + 4) + QByteArray(1, 0) +
                         char(a >> 8) + char(a) + image.mid(a, 16);
        rec += char(~std::accumulate(rec.begin(), rec.end(), 0,
                                     [](int n, char c) { return n + quint8(c); }));
        file += "S2" + rec.toHex().toUpper() + "\r\n";
    }
    writeFile(path, file + "S804000000FB\r\n");
}

} // namespace nuvora::test
