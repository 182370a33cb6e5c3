#include "util/TextFile.h"

#include "TestFiles.h"

#include <QTemporaryDir>
#include <QTest>

#include <memory>

using namespace nuvora;

// Reads settings and language files: encodings, line ends, failures.
class TestTextFile : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    int m_fileNo = 0;

    QString write(const QByteArray &bytes)
    {
        const QString path = m_dir.filePath(QStringLiteral("t%1.txt").arg(++m_fileNo));
        test::writeFile(path, bytes);
        return path;
    }

private slots:
    void decoding_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("text");
        QTest::newRow("ASCII") << QByteArray("Load") << QStringLiteral("Load");
        QTest::newRow("UTF-8") << QByteArray("Perch\xC3\xA9") << QStringLiteral(u"Perché");
        QTest::newRow("Windows-1252") << QByteArray("Perch\xE9") << QStringLiteral(u"Perché");
        QTest::newRow("UTF-8 with byte-order mark") << QByteArray("\xEF\xBB\xBF"
                                                                  "Citt\xC3\xA0")
                                                    << QStringLiteral(u"Città");
        QTest::newRow("1252 euro, quotes, dash")
            << QByteArray("\x80 \x93x\x94 \x96") << QStringLiteral(u"€ “x” –");
        QTest::newRow("1252 0x8A..0x9F")
            << QByteArray("\x8A\x8C\x8E\x99\x9A\x9C\x9E\x9F") << QStringLiteral(u"ŠŒŽ™šœžŸ");
        QTest::newRow("1252 holes keep their number")
            << QByteArray("\x81\x8D\x8F\x90\x9D")
            << QStringView(u"\u0081\u008D\u008F\u0090\u009D").toString();
        QTest::newRow("1252 upper half is Latin-1")
            << QByteArray("\xA0\xC0\xFF") << QStringView(u"\u00A0\u00C0\u00FF").toString();
        // One byte that is not UTF-8 makes the whole file Windows-1252.
        QTest::newRow("mixed: whole file as 1252")
            << QByteArray("\xC3\xA9 \xE9") << QStringLiteral(u"Ã© é");
        QTest::newRow("overlong UTF-8 is not UTF-8")
            << QByteArray("\xC0\xAF") << QStringLiteral(u"À¯");
        QTest::newRow("truncated UTF-8 sequence at the end")
            << QByteArray("ab\xC3") << QStringLiteral(u"abÃ");
        QTest::newRow("UTF-8 surrogate is not UTF-8")
            << QByteArray("\xED\xA0\x80") << QStringLiteral(u"í\u00A0€");
    }

    void decoding()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, text);
        QCOMPARE(DecodeText(bytes), text);
        const TextLines read = ReadTextFile(write(bytes));
        QVERIFY(read.ok);
        QCOMPARE(read.lines, QStringList{text});
    }

    void lines_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QStringList>("lines");
        QTest::newRow("empty file") << QByteArray() << QStringList{};
        QTest::newRow("CR LF") << QByteArray("a\r\nb\r\n") << QStringList{"a", "b"};
        QTest::newRow("LF") << QByteArray("a\nb\n") << QStringList{"a", "b"};
        QTest::newRow("CR") << QByteArray("a\rb\r") << QStringList{"a", "b"};
        QTest::newRow("last line unterminated") << QByteArray("a\r\nb") << QStringList{"a", "b"};
        QTest::newRow("mixed ends")
            << QByteArray("a\rb\nc\r\nd") << QStringList{"a", "b", "c", "d"};
        QTest::newRow("CR CR LF is two ends")
            << QByteArray("a\r\r\nb") << QStringList{"a", "", "b"};
        QTest::newRow("LF CR is two ends") << QByteArray("a\n\rb") << QStringList{"a", "", "b"};
        QTest::newRow("one empty line") << QByteArray("\r\n") << QStringList{""};
        QTest::newRow("blanks kept") << QByteArray(" a \r\n\t\r\n") << QStringList{" a ", "\t"};
        QTest::newRow("1252 with CR LF")
            << QByteArray("Perch\xE9\r\n\x80\r\n") << QStringList{QStringLiteral(u"Perché"), "€"};
    }

    void lines()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QStringList, lines);
        const TextLines read = ReadTextFile(write(bytes));
        QVERIFY(read.ok);
        QCOMPARE(read.lines, lines);
    }

    void maxLines()
    {
        const QString path = write("1\r\n2\r\n3\r\n4");
        QCOMPARE(ReadTextFile(path, 2).lines, (QStringList{"1", "2"}));
        QCOMPARE(ReadTextFile(path, 4).lines, (QStringList{"1", "2", "3", "4"}));
        QCOMPARE(ReadTextFile(path, 9).lines, (QStringList{"1", "2", "3", "4"}));
    }

    void failures_data()
    {
        QTest::addColumn<QString>("what");
        QTest::addColumn<QString>("reason");
        QTest::newRow("missing") << "missing"
                                 << "file not found";
        QTest::newRow("folder") << "folder"
                                << "folder";
        QTest::newRow("device") << "device"
                                << "not a regular file";
        QTest::newRow("too large") << "large"
                                   << "too large";
        QTest::newRow("read error") << "eio"
                                    << ":";
    }

    void failures()
    {
        QFETCH(QString, what);
        QFETCH(QString, reason);
        QString path;
        if (what == QLatin1String("missing")) {
            path = m_dir.filePath(QStringLiteral("none.lng"));
        } else if (what == QLatin1String("folder")) {
            path = m_dir.filePath(QStringLiteral("dir.lng"));
            QVERIFY(QDir().mkpath(path));
        } else if (what == QLatin1String("device")) {
            path = QStringLiteral("/dev/zero");
        } else if (what == QLatin1String("large")) {
            path = m_dir.filePath(QStringLiteral("large.lng"));
            QFile f(path);
            QVERIFY(f.open(QIODevice::WriteOnly));
            QVERIFY(f.resize(kMaxTextFileBytes + 1));
        } else if (what == QLatin1String("eio")) {
            path = QStringLiteral("/proc/self/mem");
        }
        if (path.startsWith(QLatin1String("/dev/")) || path.startsWith(QLatin1String("/proc/"))) {
            if (!QFileInfo::exists(path))
                QSKIP("this system has no such file");
        }
        const TextLines read = ReadTextFile(path);
        QVERIFY(!read.ok);
        QVERIFY(read.lines.isEmpty());
        QVERIFY2(read.error.contains(reason), qPrintable(read.error));
        QVERIFY2(read.error.contains(QDir::toNativeSeparators(path)), qPrintable(read.error));
    }
};

std::unique_ptr<QObject> makeTextFileTest()
{
    return std::make_unique<TestTextFile>();
}

#include "tst_TextFile.moc"
