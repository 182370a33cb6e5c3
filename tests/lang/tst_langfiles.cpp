#include "lang/LangTable.h"
#include "base/TextFile.h"

#include "TestFiles.h"

#include <QTemporaryDir>
#include <QTest>

#include <memory>

using namespace nuvora;

namespace {

// count lines "<prefix> k", CR LF ended, with markers on the given line numbers.
QByteArray langFile(int count, const QByteArray &prefix, const QList<int> &markers = {})
{
    QByteArray out;
    for (int k = 1; k <= count; ++k)
        out += markers.contains(k) ? ";-- " + prefix + "\r\n"
                                   : prefix + ' ' + QByteArray::number(k) + "\r\n";
    return out;
}

} // namespace

// Settings and language files as text (encodings, line ends, failures), the string table
// loaded from them over each other, and the layout check.
class TestLangFiles : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    std::unique_ptr<AppState> m_state;
    int m_fileNo = 0;

    bool load(const QString &name, const QByteArray &bytes = {})
    {
        if (!bytes.isNull())
            test::writeFile(m_dir.filePath(name + ".lng"), bytes);
        m_state->LanguageName = name;
        return LoadLanguage(*m_state, m_dir.path());
    }

private slots:
    void init() { m_state = std::make_unique<AppState>(); }

    // The plain UTF-8 and Windows-1252 cases are in texts below.
    void read_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QStringList>("lines");
        QTest::addColumn<int>("maxLines");
        const auto row = [](const char *name, const QByteArray &bytes, const QStringList &lines,
                            int max = -1) { QTest::newRow(name) << bytes << lines << max; };
        row("1252 0x80..0x9F", "\x80\x93\x94\x96\x8A\x8C\x8E\x99\x9A\x9F", {u"€“”–ŠŒŽ™šŸ"_qs});
        // The holes keep their number, the upper half is Latin-1.
        row("1252 holes, upper half", "\x81\x8D\x8F\x90\x9D\xA0\xC0\xFF",
            {u"\u0081\u008D\u008F\u0090\u009D\u00A0\u00C0\u00FF"_qs});
        // One byte that is not UTF-8 makes the whole file Windows-1252.
        row("mixed: whole file as 1252", "\xC3\xA9 \xE9", {u"Ã© é"_qs});
        row("overlong UTF-8 is 1252", "\xC0\xAF", {u"À¯"_qs});
        row("truncated UTF-8 at the end is 1252", "ab\xC3", {u"abÃ"_qs});
        row("empty file", "", {});
        row("mixed ends, last unterminated", "a\rb\nc\r\nd", {"a", "b", "c", "d"});
        row("CR CR LF is two ends", "a\r\r\nb", {"a", "", "b"});
        row("LF CR is two ends", "a\n\rb", {"a", "", "b"});
        row("one empty line", "\r\n", {""});
        row("blanks kept", " a \r\n\t\r\n", {" a ", "\t"});
        row("first 2 of 4", "1\r\n2\r\n3\r\n4", {"1", "2"}, 2);
        // Only the lines asked for decide the encoding.
        row("first 2 are UTF-8, the third not", "\xC3\xA9\r\nb\r\n\xE9", {u"é"_qs, "b"}, 2);
        row("a long tail after the lines asked for",
            "1\r\n2\r\n" + QByteArray(kMaxTextFileBytes + 1, ' '), {"1", "2"}, 2);
    }

    void read()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QStringList, lines);
        QFETCH(int, maxLines);
        const QString path = m_dir.filePath(QStringLiteral("t%1.txt").arg(++m_fileNo));
        test::writeFile(path, bytes);
        const TextLines read = ReadTextFile(path, maxLines);
        QVERIFY(read.ok);
        QCOMPARE(read.lines, lines);
    }

    void failures_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("reason");
        const QString large = m_dir.filePath(QStringLiteral("large.lng"));
        QFile f(large);
        QVERIFY(f.open(QIODevice::WriteOnly) && f.resize(kMaxTextFileBytes + 1));
        QTest::newRow("missing") << m_dir.filePath("none.lng") << "file not found";
        QTest::newRow("folder") << m_dir.path() << "folder";
        QTest::newRow("device") << "/dev/zero"
                                << "not a regular file";
        QTest::newRow("too large") << large << "too large";
        QTest::newRow("read error") << "/proc/self/mem"
                                    << ":";
    }

    void failures()
    {
        QFETCH(QString, path);
        QFETCH(QString, reason);
        if (!path.startsWith(m_dir.path()) && !QFileInfo::exists(path))
            QSKIP("this system has no such file");
        const TextLines read = ReadTextFile(path);
        QVERIFY(!read.ok);
        QVERIFY(read.lines.isEmpty());
        QVERIFY2(read.error.contains(reason), qPrintable(read.error));
        QVERIFY2(read.error.contains(QDir::toNativeSeparators(path)), qPrintable(read.error));
    }

    // A shorter file leaves the longer one's tail; lines past the table's end are not read.
    void longerThenShorter()
    {
        QVERIFY(load("Short", langFile(300, "short")));
        QVERIFY(load("Long", langFile(700, "long")));
        QVERIFY(load("Short"));
        for (int k = 1; k <= kMaxLangLines; ++k) {
            const char *from = k <= 300 ? "short" : "long";
            QCOMPARE(m_state->LangText[size_t(k)], QStringLiteral("%1 %2").arg(from).arg(k));
        }
        QVERIFY(m_state->LangText[0].isEmpty());
    }

    // Texts as written, in either encoding; the line after the file's last keeps its text.
    void texts_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QStringList>("texts");
        const QStringList perche = {u"Perché no?"_qs, u"€ 5"_qs};
        QTest::newRow("UTF-8") << QByteArray("Perch\xC3\xA9 no?\r\n\xE2\x82\xAC 5\r\n") << perche;
        QTest::newRow("Windows-1252") << QByteArray("Perch\xE9 no?\r\n\x80 5\r\n") << perche;
        QTest::newRow("UTF-8, mark")
            << QByteArray("\xEF\xBB\xBFPerch\xC3\xA9 no?\n\xE2\x82\xAC 5") << perche;
        QTest::newRow("as written") << QByteArray("  a  \r\n;-- m\r\n\r\nlast")
                                    << QStringList{"  a  ", ";-- m", "", "last"};
    }

    void texts()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QStringList, texts);
        m_state->LangText[size_t(texts.size() + 1)] = QStringLiteral("before");
        QVERIFY(load("Text", bytes));
        for (int k = 1; k <= texts.size() + 1; ++k)
            QCOMPARE(m_state->LangText[size_t(k)], texts.value(k - 1, QStringLiteral("before")));
    }

    // A missing file, a folder named like a language, no name: the table stays as it was.
    void unreadableKeepsTable()
    {
        QDir(m_dir.path()).mkpath(QStringLiteral("Folder.lng"));
        for (int k = 1; k <= kMaxLangLines; ++k)
            m_state->LangText[size_t(k)] = QStringLiteral("kept %1").arg(k);
        const auto before = m_state->LangText;
        for (const char *name : {"Missing", "Folder", ""}) {
            QVERIFY2(!load(name), name);
            QVERIFY2(m_state->LangText == before, name);
        }
    }

    // A null file is not written (missing); "dir" makes a folder of that name.
    void check_data()
    {
        QTest::addColumn<QByteArray>("current");
        QTest::addColumn<QByteArray>("chosen");
        QTest::addColumn<bool>("accepted");
        const QByteArray cur = langFile(20, "c", {3, 7, 20}), same = langFile(20, "x", {3, 7, 20});
        const auto row = [](const char *name, const QByteArray &cur, const QByteArray &chosen,
                            bool ok) { QTest::newRow(name) << cur << chosen << ok; };
        row("same layout", cur, same, true);
        row("more lines", cur, langFile(25, "new", {3, 7, 20}), true);
        row("extra marker", cur, langFile(20, "new", {1, 3, 7, 20}), true);
        row("LF, Windows-1252", cur, langFile(20, "\xE9", {3, 7, 20}).replace("\r", ""), true);
        row("empty current accepts anything", "", "", true);
        row("fewer lines, markers match", cur, langFile(19, "new", {3, 7}), false);
        row("marker missing", cur, langFile(20, "new", {3, 20}), false);
        row("one dash where two", cur, QByteArray(same).replace(";-- ", ";- "), false);
        row("marker mid-line", cur, QByteArray(same).replace(";-- ", "x;-- "), false);
        row("empty chosen refused", cur, "", false);
        row("only beyond line 500 shorter", langFile(700, "c", {3, 600}),
            langFile(500, "new", {3}), true);
        row("current missing", {}, same, false);
        row("chosen missing", cur, {}, false);
        row("chosen is a folder", cur, "dir", false);
    }

    void check()
    {
        QFETCH(QByteArray, current);
        QFETCH(QByteArray, chosen);
        QFETCH(bool, accepted);
        QTemporaryDir dir;
        for (const auto &[name, bytes] : {std::pair{"Cur.lng", current}, {"New.lng", chosen}}) {
            if (bytes == "dir")
                QVERIFY(QDir(dir.path()).mkpath(name));
            else if (!bytes.isNull())
                test::writeFile(dir.filePath(name), bytes);
        }
        QCOMPARE(CheckLangFile(dir.path(), "Cur.lng", "New.lng"), accepted);
    }

    // The shipped files: the layout every index relies on, and switching between them.
    void shippedFiles()
    {
        const QString folder = test::sourceDataDir();
        for (const QString name : {"English", "Italiano"}) {
            const QByteArray raw = test::readFile(folder + '/' + name + ".lng");
            QVERIFY2(raw.endsWith("\r\n") && raw.count("\r\n") == raw.count('\n') &&
                         raw.count('\n') == raw.count('\r'),
                     qPrintable(name + " has other line ends than CR LF"));
            m_state->LanguageName = name;
            QVERIFY(LoadLanguage(*m_state, folder));
            for (int k : {1, 2, 4, 6, 8, 9, 10, 11, 16, 18, 19, 20}) {
                const QString &text = m_state->LangText[size_t(k)];
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
