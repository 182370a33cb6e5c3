#include "RecordingPrompter.h"
#include "TestFiles.h"
#include "app/SettingsFile.h"
#include "lang/LanguageMenu.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

using namespace nuvora;

namespace {

const test::Box kWrongFile{"Check file message!", 48, "Wrong file"};

class FakeView : public LanguageMenuView {
public:
    void setLanguageItem(int index, const QString &caption, bool visible) override
    {
        captions[size_t(index)] = visible ? caption : QString();
    }
    void setLanguageChecked(int index, bool checked) override { marks[size_t(index)] = checked; }
    void SetCaptions() override { ++captionRuns; }

    QList<int> checkedItems() const
    {
        QList<int> items;
        for (int i = 0; i < kLanguageItems; ++i)
            if (marks[size_t(i)])
                items << i;
        return items;
    }

    std::array<QString, kLanguageItems> captions; // empty: hidden
    std::array<bool, kLanguageItems> marks{};
    int captionRuns = 0;
};

} // namespace

class TestLanguageMenu : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<AppState> m_state;
    test::RecordingPrompter m_prompter;
    FakeView m_view;
    std::unique_ptr<SettingsFile> m_settings;
    std::unique_ptr<LanguageMenu> m_menu;

    void language(const QString &name, int lines)
    {
        test::writeFile(m_dir->filePath(name + ".lng"), test::languageFile(name, lines));
    }
    QByteArray ini() const { return test::readFile(m_dir->filePath("nuvora.ini")); }

private slots:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        m_state = std::make_unique<AppState>();
        m_state->ComPort = 3;
        m_prompter = {};
        m_view = {};
        m_settings = std::make_unique<SettingsFile>(m_dir->path());
        m_menu = std::make_unique<LanguageMenu>(*m_state, m_prompter, *m_settings, m_view,
                                                m_dir->path());
    }

    void fill_data()
    {
        QTest::addColumn<QStringList>("files"); // a trailing "/" makes a folder
        QTest::addColumn<QStringList>("listed");
        QTest::newRow("sorted") << QStringList{"Zulu.lng", "Alpha.lng", "My Lang .lng"}
                                << QStringList{"Alpha", "My Lang ", "Zulu"};
        QTest::newRow("only ours")
            << QStringList{"E.LNG", "Dir.lng/", ".h.lng", "E.lng.bak", "D.lng"} << QStringList{"D"};
        QTest::newRow("none") << QStringList{"readme.txt", "English.LNG"} << QStringList{};
        QStringList twelve;
        for (int i = 1; i <= 12; ++i)
            twelve << QStringLiteral("L%1.lng").arg(i, 2, 10, QLatin1Char('0'));
        QTest::newRow("twelve: the first ten")
            << twelve << twelve.mid(0, 10).replaceInStrings(".lng", "");
    }
    void fill()
    {
        QFETCH(QStringList, files);
        QFETCH(QStringList, listed);
        for (const QString &f : files) {
            if (f.endsWith(QLatin1Char('/')))
                QVERIFY(QDir().mkpath(m_dir->filePath(f)));
            else
                test::writeFile(m_dir->filePath(f), "x\r\n");
        }
        QCOMPARE(listLanguageFiles(m_dir->path()), listed);
        QCOMPARE(m_menu->FillLangMenu(), !listed.isEmpty());
        if (listed.isEmpty())
            QCOMPARE(m_prompter.boxes,
                     (QList<test::Box>{{"File missing! Reinstall program", 16, "Error"}}));
        else
            QVERIFY(m_prompter.boxes.isEmpty());
        QStringList shown(m_view.captions.begin(), m_view.captions.end());
        shown.removeAll(QString());
        QCOMPARE(shown, listed);
    }

    void startLanguage_data()
    {
        QTest::addColumn<QString>("saved");
        QTest::addColumn<int>("checked");
        QTest::newRow("saved found") << "L03" << 2;
        QTest::newRow("saved is the tenth") << "L10" << 9;
        QTest::newRow("saved file removed") << "Klingon" << 0;
        QTest::newRow("letter case counts") << "l03" << 0;
        QTest::newRow("beyond the tenth") << "L11" << 0;
    }
    void startLanguage()
    {
        QFETCH(QString, saved);
        QFETCH(int, checked);
        for (int i = 1; i <= 11; ++i)
            language(QStringLiteral("L%1").arg(i, 2, 10, QLatin1Char('0')), 20);
        QVERIFY(m_menu->FillLangMenu());
        m_state->LanguageName = saved;
        m_menu->SelectStartLanguage();
        QCOMPARE(m_view.checkedItems(), QList<int>{checked});
        QCOMPARE(m_state->LanguageName, m_view.captions[size_t(checked)]);
        QVERIFY(ini().isEmpty()); // nothing is saved by this step
    }

    void switchLanguage_data()
    {
        // Items A (0, the start language) and B (1); B's lines, 0 for a file deleted after
        // the menu was filled.
        QTest::addColumn<int>("aLines");
        QTest::addColumn<int>("bLines");
        QTest::addColumn<int>("click");
        QTest::addColumn<bool>("blocked"); // a folder stands where the settings go
        QTest::addColumn<QString>("now");
        QTest::newRow("300 to 320 lines") << 300 << 320 << 1 << false << "B";
        QTest::newRow("320 back to 300: refused") << 320 << 300 << 1 << false << "A";
        QTest::newRow("deleted file") << 20 << 0 << 1 << false << "A";
        QTest::newRow("the current one again") << 20 << 25 << 0 << false << "A";
        QTest::newRow("settings unwritable") << 20 << 25 << 1 << true << "B";
    }
    void switchLanguage()
    {
        QFETCH(int, aLines);
        QFETCH(int, bLines);
        QFETCH(int, click);
        QFETCH(bool, blocked);
        QFETCH(QString, now);
        language("A", aLines);
        language("B", bLines ? bLines : 20);
        QVERIFY(m_menu->FillLangMenu());
        m_menu->SelectStartLanguage();
        if (!bLines)
            QVERIFY(QFile::remove(m_dir->filePath("B.lng")));
        if (blocked)
            QVERIFY(QDir().mkpath(m_dir->filePath("nuvora.ini")));
        m_view.marks[size_t(click)] = true; // the menu item ticks itself when clicked
        m_menu->smnuLingue_Click(click);
        const bool switched = now == "B" || click == 0;
        QCOMPARE(m_state->LanguageName, now);
        QCOMPARE(m_view.checkedItems(), QList<int>{now == "A" ? 0 : 1});
        QCOMPARE(m_view.captionRuns, switched ? 1 : 0);
        QCOMPARE(m_state->LangText[1], switched ? now + " 1" : QString());
        QCOMPARE(m_state->LangText[bLines],
                 switched && now == "B" ? now + ' ' + QString::number(bLines) : QString());
        if (!switched)
            QCOMPARE(m_prompter.boxes, QList<test::Box>{kWrongFile});
        else if (blocked) // reported once, naming the file; the switch itself stands
            QVERIFY2(m_prompter.boxes.size() == 1 && m_prompter.boxes[0].style == 48 &&
                         m_prompter.boxes[0].text.contains("nuvora.ini"),
                     qPrintable(m_prompter.boxes.value(0).text));
        else
            QVERIFY(m_prompter.boxes.isEmpty() &&
                    ini().startsWith("COM=3\r\nLINGUA=" + now.toUtf8() + "\r\n"));
        if (!switched)
            QVERIFY(ini().isEmpty());
    }
};

QTEST_MAIN(TestLanguageMenu)
#include "tst_languagemenu.moc"
