#include "lang/LangTable.h"

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
        out +=
            (markers.contains(k) ? ";-- " + prefix : prefix + ' ' + QByteArray::number(k)) + "\r\n";
    return out;
}

} // namespace

// The string table: loading language files over each other and the layout check.
class TestLangTable : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    std::unique_ptr<AppState> m_state = std::make_unique<AppState>();

    void put(const QString &name, const QByteArray &bytes)
    {
        test::writeFile(m_dir.filePath(name), bytes);
    }

private slots:
    void init() { m_state = std::make_unique<AppState>(); }

    void longerThenShorter()
    {
        put(QStringLiteral("Short.lng"), langFile(300, "short"));
        put(QStringLiteral("Long.lng"), langFile(320, "long"));

        m_state->LanguageName = QStringLiteral("Short");
        QVERIFY(LoadLanguage(*m_state, m_dir.path()));
        m_state->LanguageName = QStringLiteral("Long");
        QVERIFY(LoadLanguage(*m_state, m_dir.path()));
        for (int k = 1; k <= 320; ++k)
            QCOMPARE(m_state->LangText[size_t(k)], QStringLiteral("long %1").arg(k));

        m_state->LanguageName = QStringLiteral("Short");
        QVERIFY(LoadLanguage(*m_state, m_dir.path()));
        for (int k = 1; k <= 300; ++k)
            QCOMPARE(m_state->LangText[size_t(k)], QStringLiteral("short %1").arg(k));
        for (int k = 301; k <= 320; ++k)
            QCOMPARE(m_state->LangText[size_t(k)], QStringLiteral("long %1").arg(k));
        QVERIFY(m_state->LangText[0].isEmpty());
        QVERIFY(m_state->LangText[321].isEmpty());
    }

    void linesBeyond500Ignored()
    {
        put(QStringLiteral("Huge.lng"), langFile(700, "huge"));
        m_state->LanguageName = QStringLiteral("Huge");
        QVERIFY(LoadLanguage(*m_state, m_dir.path()));
        QCOMPARE(m_state->LangText[500], QStringLiteral("huge 500"));
        QVERIFY(m_state->LangText[0].isEmpty());
    }

    void textsKeptAsWritten()
    {
        put(QStringLiteral("Raw.lng"), "  padded  \r\n;-- marker\r\n\r\nlast without end");
        m_state->LanguageName = QStringLiteral("Raw");
        m_state->LangText[5] = QStringLiteral("before");
        QVERIFY(LoadLanguage(*m_state, m_dir.path()));
        QCOMPARE(m_state->LangText[1], QStringLiteral("  padded  "));
        QCOMPARE(m_state->LangText[2], QStringLiteral(";-- marker"));
        QCOMPARE(m_state->LangText[3], QString());
        QCOMPARE(m_state->LangText[4], QStringLiteral("last without end"));
        QCOMPARE(m_state->LangText[5], QStringLiteral("before"));
    }

    void unreadableKeepsTable_data()
    {
        QTest::addColumn<QString>("name");
        QTest::newRow("missing file") << "Missing";
        QTest::newRow("folder named like a language") << "Folder";
        QTest::newRow("empty language name") << "";
    }

    void unreadableKeepsTable()
    {
        QFETCH(QString, name);
        QDir(m_dir.path()).mkpath(QStringLiteral("Folder.lng"));
        for (int k = 1; k <= 500; ++k)
            m_state->LangText[size_t(k)] = QStringLiteral("kept %1").arg(k);
        m_state->LanguageName = name;
        QVERIFY(!LoadLanguage(*m_state, m_dir.path()));
        for (int k = 1; k <= 500; ++k)
            QCOMPARE(m_state->LangText[size_t(k)], QStringLiteral("kept %1").arg(k));
    }

    void encodingsGiveSameText_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("UTF-8") << QByteArray("Perch\xC3\xA9 no?\r\n\xE2\x82\xAC 5\r\n");
        QTest::newRow("Windows-1252") << QByteArray("Perch\xE9 no?\r\n\x80 5\r\n");
        QTest::newRow("UTF-8 with mark")
            << QByteArray("\xEF\xBB\xBFPerch\xC3\xA9 no?\n\xE2\x82\xAC 5");
    }

    void encodingsGiveSameText()
    {
        QFETCH(QByteArray, bytes);
        put(QStringLiteral("Enc.lng"), bytes);
        m_state->LanguageName = QStringLiteral("Enc");
        QVERIFY(LoadLanguage(*m_state, m_dir.path()));
        QCOMPARE(m_state->LangText[1], QStringLiteral(u"Perché no?"));
        QCOMPARE(m_state->LangText[2], QStringLiteral(u"€ 5"));
    }

    void check_data()
    {
        QTest::addColumn<QByteArray>("current");
        QTest::addColumn<QByteArray>("chosen");
        QTest::addColumn<bool>("accepted");
        const QByteArray base = langFile(20, "cur", {3, 7, 20});
        QTest::newRow("same layout") << base << langFile(20, "new", {3, 7, 20}) << true;
        QTest::newRow("more lines") << base << langFile(25, "new", {3, 7, 20}) << true;
        QTest::newRow("extra marker") << base << langFile(20, "new", {1, 3, 7, 20}) << true;
        QTest::newRow("fewer lines, markers match") << base << langFile(19, "new", {3, 7}) << false;
        QTest::newRow("marker missing") << base << langFile(20, "new", {3, 20}) << false;
        QTest::newRow("one dash where two")
            << base << QByteArray(langFile(20, "new", {3, 7, 20}).replace(";-- ", ";- ")) << false;
        QTest::newRow("marker in the middle of a line")
            << base << QByteArray(langFile(20, "new", {3, 7, 20}).replace(";-- ", "x;-- "))
            << false;
        QTest::newRow("empty current accepts anything") << QByteArray() << QByteArray() << true;
        QTest::newRow("empty chosen refused") << base << QByteArray() << false;
        QTest::newRow("other line ends, other encoding")
            << base << QByteArray(langFile(20, "n\xE9w", {3, 7, 20}).replace("\r\n", "\n")) << true;
    }

    void check()
    {
        QFETCH(QByteArray, current);
        QFETCH(QByteArray, chosen);
        QFETCH(bool, accepted);
        put(QStringLiteral("Cur.lng"), current);
        put(QStringLiteral("New.lng"), chosen);
        QCOMPARE(CheckLangFile(m_dir.path(), QStringLiteral("Cur.lng"), QStringLiteral("New.lng")),
                 accepted);
        // A file always passes against itself.
        QVERIFY(CheckLangFile(m_dir.path(), QStringLiteral("New.lng"), QStringLiteral("New.lng")));
    }

    void checkUnreadableRefuses_data()
    {
        QTest::addColumn<QString>("current");
        QTest::addColumn<QString>("chosen");
        QTest::newRow("current missing") << "Gone.lng"
                                         << "Ok.lng";
        QTest::newRow("chosen missing") << "Ok.lng"
                                        << "Gone.lng";
        QTest::newRow("chosen is a folder") << "Ok.lng"
                                            << "Dir.lng";
        QTest::newRow("itself, missing") << "Gone.lng"
                                         << "Gone.lng";
    }

    void checkUnreadableRefuses()
    {
        QFETCH(QString, current);
        QFETCH(QString, chosen);
        put(QStringLiteral("Ok.lng"), langFile(5, "ok"));
        QDir(m_dir.path()).mkpath(QStringLiteral("Dir.lng"));
        QVERIFY(!CheckLangFile(m_dir.path(), current, chosen));
    }

    // The shipped files: the layout every index relies on.
    void shippedFiles_data()
    {
        QTest::addColumn<QString>("name");
        QTest::newRow("English") << "English";
        QTest::newRow("Italiano") << "Italiano";
    }

    void shippedFiles()
    {
        QFETCH(QString, name);
        const QString folder = test::sourceDataDir();
        const QByteArray raw = test::readFile(folder + QLatin1Char('/') + name + ".lng");
        QVERIFY(!raw.isEmpty());
        QCOMPARE(raw.count("\r\n"), raw.count('\n'));
        QCOMPARE(raw.count("\r\n"), raw.count('\r'));
        QVERIFY(raw.endsWith("\r\n"));

        m_state->LanguageName = name;
        QVERIFY(LoadLanguage(*m_state, folder));
        for (int k : {1, 2, 4, 6, 8, 9, 10, 11, 16, 18, 19}) {
            const QString &text = m_state->LangText[size_t(k)];
            QVERIFY2(!text.trimmed().isEmpty() && !text.startsWith(kLangMarker),
                     qPrintable(QStringLiteral("%1 line %2: '%3'").arg(name).arg(k).arg(text)));
        }
        QVERIFY(!m_state->LangText[20].isEmpty());
        // Switching either way between the shipped languages passes the check.
        QVERIFY(CheckLangFile(folder, name + ".lng", QStringLiteral("English.lng")));
        QVERIFY(CheckLangFile(folder, QStringLiteral("English.lng"), name + ".lng"));
        QVERIFY(CheckLangFile(folder, QStringLiteral("Italiano.lng"), name + ".lng"));
    }

    void italianWords()
    {
        m_state->LanguageName = QStringLiteral("Italiano");
        QVERIFY(LoadLanguage(*m_state, test::sourceDataDir()));
        QVERIFY(m_state->LangText[16].contains(QStringLiteral(u"non è")));
    }
};

std::unique_ptr<QObject> makeLangTableTest()
{
    return std::make_unique<TestLangTable>();
}

#include "tst_LangTable.moc"
