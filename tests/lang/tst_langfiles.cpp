#include "base/TextFile.h"
#include "lang/LangTable.h"

#include "Fixtures.h"

#include <QTemporaryDir>
#include <QTest>

#include <memory>
#include <tuple>
#include <vector>

using namespace nuvora;
using test::languageFile;

// Settings and language files as text (encodings, line ends, failures), the string table
// loaded from them over each other, and the layout check.
class TestLangFiles : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;

private slots:
    // Each as lines, all of them or (maxLines) the first few.
    void read()
    {
        for (const auto &[bytes, lines, maxLines] :
             std::vector<std::tuple<QByteArray, QStringList, int>>{
                 // 0x80..0x9F, the five holes keeping their number; the upper half Latin-1.
                 {"\x80\x81\x82\x83\x84\x85\x86\x87\x88\x89\x8A\x8B\x8C\x8D\x8E\x8F"
                  "\x90\x91\x92\x93\x94\x95\x96\x97\x98\x99\x9A\x9B\x9C\x9D\x9E\x9F\xA0\xC0\xFF",
                  {u"€\u0081‚ƒ„…†‡ˆ‰Š‹Œ\u008DŽ\u008F\u0090‘’“”•–—˜™š›œ\u009DžŸ\u00A0Àÿ"_qs},
                  -1},
                 // One byte that is not UTF-8 makes the whole file Windows-1252, a cut tail too.
                 {"\xC3\xA9 \xE9", {u"Ã© é"_qs}, -1},
                 {"ab\xC3", {u"abÃ"_qs}, -1},
                 {"\xEF\xBB\xBFPerch\xC3\xA9\n\xE2\x82\xAC 5", {u"Perché"_qs, u"€ 5"_qs}, -1},
                 // CR, LF, CR LF; CR CR LF and LF CR are two.
                 {"a\rb\nc\r\r\nd\n\re", {"a", "b", "c", "", "d", "", "e"}, -1},
                 {" a \r\n\t\r\n", {" a ", "\t"}, -1}, // blanks kept, no line after the last end
                 // Only the lines asked for decide the encoding, and only they count for the size.
                 {"\xC3\xA9\r\nb\r\n\xE9", {u"é"_qs, "b"}, 2},
                 {"1\r\n2\r\n" + QByteArray(kMaxTextFileBytes + 1, ' '), {"1", "2"}, 2}}) {
            test::writeFile(m_dir.filePath("read.txt"), bytes);
            const TextLines read = ReadTextFile(m_dir.filePath("read.txt"), maxLines);
            QVERIFY(read.ok);
            QCOMPARE(read.lines, lines);
        }
    }

    void failures()
    {
        const QString large = m_dir.filePath(QStringLiteral("large.lng"));
        test::writeFile(large, QByteArray(kMaxTextFileBytes + 1, 'x'));
        for (const auto &[path, reason] : {std::pair{m_dir.filePath("none.lng"), "file not found"},
                                           {m_dir.path(), "folder"},
                                           {QString("/dev/zero"), "not a regular file"},
                                           {large, "too large"},
                                           {QString("/proc/self/mem"), ":"}}) { // a read error
            const TextLines read = ReadTextFile(path);
            QVERIFY2(!read.ok && read.lines.isEmpty() && read.error.contains(reason) &&
                         read.error.contains(QDir::toNativeSeparators(path)),
                     qPrintable(path + ": " + read.error));
        }
    }

    // A shorter file leaves the longer one's tail; lines past 500 are not read. A missing file,
    // a folder named like a language, no name: the table stays as it was.
    void table()
    {
        test::writeFile(m_dir.filePath("Short.lng"), languageFile("short", 300));
        test::writeFile(m_dir.filePath("Long.lng"), languageFile("long", 700));
        QDir(m_dir.path()).mkpath(QStringLiteral("Folder.lng"));
        const auto state = std::make_unique<AppState>();
        for (const char *name : {"Short", "Long", "Short", "Missing", "Folder", ""}) {
            state->LanguageName = name;
            QCOMPARE(LoadLanguage(*state, m_dir.path()),
                     QFileInfo(m_dir.filePath(name + QString(".lng"))).isFile());
        }
        for (int k = 1; k <= 500; ++k) {
            const QString line = QStringLiteral("%1 %2").arg(k <= 300 ? "short" : "long").arg(k);
            QCOMPARE(state->LangText[size_t(k)], k == 3 || k == 10 ? ";--" : line);
        }
        QVERIFY(state->LangText[0].isEmpty());
    }

    // Markers on lines 3 and 10 of each; rows take one away or add more. A null file is not
    // written (missing).
    void check()
    {
        const QByteArray cur = languageFile("c", 20), same = languageFile("x", 20);
        for (const auto &[name, current, chosen, accepted] :
             std::vector<std::tuple<const char *, QByteArray, QByteArray, bool>>{
                 {"as long, same layout", cur, same, true},
                 {"more lines, extra marker", cur,
                  languageFile("new", 25).replace("new 20\r", ";--\r"), true},
                 {"empty current accepts anything", "", "", true},
                 {"marker missing", cur, QByteArray(same).replace(";--\r\nx 11", "x 10\r\nx 11"),
                  false},
                 {"one dash where two", cur, QByteArray(same).replace(";--", ";-"), false},
                 {"marker mid-line", cur, QByteArray(same).replace(";--", "x;--"), false},
                 {"only beyond line 500 shorter",
                  languageFile("c", 700).replace("c 600\r", ";--\r"), languageFile("new", 500),
                  true},
                 {"current missing", {}, same, false},
                 {"chosen missing", cur, {}, false}}) {
            QTemporaryDir dir;
            if (!current.isNull())
                test::writeFile(dir.filePath("Cur.lng"), current);
            if (!chosen.isNull())
                test::writeFile(dir.filePath("New.lng"), chosen);
            QVERIFY2(CheckLangFile(dir.path(), "Cur.lng", "New.lng") == accepted, name);
        }
    }

    // The shipped files: the layout every index relies on, and switching between them.
    void shippedFiles()
    {
        const QString folder = test::sourceDataDir();
        const auto state = std::make_unique<AppState>();
        for (const QString name : {"English", "Italiano"}) {
            const QByteArray raw = test::readFile(folder + '/' + name + ".lng");
            QVERIFY2(raw.endsWith("\r\n") && raw.count("\r\n") == raw.count('\n') &&
                         raw.count('\n') == raw.count('\r'),
                     qPrintable(name + " has other line ends than CR LF"));
            state->LanguageName = name;
            QVERIFY(LoadLanguage(*state, folder));
            for (int k : {1, 2, 4, 6, 8, 9, 10, 11, 16, 18, 19, 20}) {
                const QString &text = state->LangText[size_t(k)];
                QVERIFY2(!text.trimmed().isEmpty() && (k == 20 || !text.startsWith(kLangMarker)),
                         qPrintable(QStringLiteral("%1 line %2: '%3'").arg(name).arg(k).arg(text)));
            }
            QVERIFY(CheckLangFile(folder, name + ".lng", QStringLiteral("English.lng")));
            QVERIFY(CheckLangFile(folder, QStringLiteral("English.lng"), name + ".lng"));
        }
    }
};

QTEST_GUILESS_MAIN(TestLangFiles)
#include "tst_langfiles.moc"
