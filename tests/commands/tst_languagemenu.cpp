#include "RecordingPrompter.h"
#include "TestFiles.h"
#include "app/SettingsFile.h"
#include "lang/LanguageMenu.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

using namespace nuvora;

namespace {

// A language file of `lines` lines with markers on lines 3 and 10; line k reads "<tag> k".
QByteArray languageFile(const QString &tag, int lines)
{
    QByteArray text;
    for (int k = 1; k <= lines; ++k) {
        if (k == 3 || k == 10)
            text += ";-- section\r\n";
        else
            text += tag.toUtf8() + ' ' + QByteArray::number(k) + "\r\n";
    }
    return text;
}

class FakeView : public LanguageMenuView {
public:
    void setLanguageItem(int index, const QString &caption, bool visible) override
    {
        captions[static_cast<size_t>(index)] = caption;
        visibleItems[static_cast<size_t>(index)] = visible;
    }
    void setLanguageChecked(int index, bool checked) override
    {
        marks[static_cast<size_t>(index)] = checked;
    }
    void SetCaptions() override { ++captionRuns; }

    QList<int> checkedItems() const
    {
        QList<int> items;
        for (int i = 0; i < kLanguageItems; ++i)
            if (marks[static_cast<size_t>(i)])
                items << i;
        return items;
    }

    std::array<QString, kLanguageItems> captions;
    std::array<bool, kLanguageItems> visibleItems{true};
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

    QString folder() const { return m_dir->path(); }
    void language(const QString &name, int lines)
    {
        test::writeFile(m_dir->filePath(name + QStringLiteral(".lng")), languageFile(name, lines));
    }

private slots:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        m_state = std::make_unique<AppState>();
        m_state->ComPort = 3;
        m_prompter = {};
        m_view = {};
        m_settings = std::make_unique<SettingsFile>(folder());
        m_menu = std::make_unique<LanguageMenu>(*m_state, m_prompter, *m_settings, m_view,
                                                folder());
    }

    void listing_data()
    {
        QTest::addColumn<QStringList>("files"); // a trailing "/" makes a folder
        QTest::addColumn<QStringList>("listed");
        QTest::newRow("sorted by name") << QStringList{"Zulu.lng", "Alpha.lng", "Mid.lng"}
                                        << QStringList{"Alpha", "Mid", "Zulu"};
        QTest::newRow("upper-case extension is not ours")
            << QStringList{"English.LNG", "Italiano.lng"} << QStringList{"Italiano"};
        QTest::newRow("folders, hidden files and lookalikes skipped")
            << QStringList{"Dir.lng/", ".hidden.lng", "English.lng.bak", "Eng.lngx", "Deutsch.lng"}
            << QStringList{"Deutsch"};
        QTest::newRow("blanks kept in the name") << QStringList{"My Lang .lng"}
                                                 << QStringList{"My Lang "};
        QTest::newRow("none") << QStringList{"readme.txt"} << QStringList{};
        QStringList twelve;
        for (int i = 1; i <= 12; ++i)
            twelve << QStringLiteral("L%1.lng").arg(i, 2, 10, QLatin1Char('0'));
        QTest::newRow("twelve files: the first ten")
            << twelve
            << QStringList{"L01", "L02", "L03", "L04", "L05", "L06", "L07", "L08", "L09", "L10"};
    }
    void listing()
    {
        QFETCH(QStringList, files);
        QFETCH(QStringList, listed);
        for (const QString &f : files) {
            if (f.endsWith(QLatin1Char('/')))
                QVERIFY(QDir().mkpath(m_dir->filePath(f)));
            else
                test::writeFile(m_dir->filePath(f), "x\r\n");
        }
        QCOMPARE(listLanguageFiles(folder()), listed);
    }

    void fillNone()
    {
        test::writeFile(m_dir->filePath(QStringLiteral("English.LNG")), "x\r\n");
        QVERIFY(!m_menu->FillLangMenu());
        QCOMPARE(m_prompter.boxes.size(), 1);
        QCOMPARE(m_prompter.boxes[0],
                 (test::Box{"File missing! Reinstall program", 16, "Error"}));
    }

    void fillTwelve()
    {
        for (int i = 1; i <= 12; ++i)
            language(QStringLiteral("L%1").arg(i, 2, 10, QLatin1Char('0')), 20);
        QVERIFY(m_menu->FillLangMenu());
        QVERIFY(m_prompter.boxes.isEmpty());
        for (int i = 0; i < kLanguageItems; ++i) {
            QCOMPARE(m_view.captions[static_cast<size_t>(i)],
                     QStringLiteral("L%1").arg(i + 1, 2, 10, QLatin1Char('0')));
            QVERIFY(m_view.visibleItems[static_cast<size_t>(i)]);
        }
    }

    void fillOne()
    {
        language(QStringLiteral("English"), 20);
        QVERIFY(m_menu->FillLangMenu());
        QCOMPARE(m_view.captions[0], QStringLiteral("English"));
        for (int i = 1; i < kLanguageItems; ++i)
            QVERIFY(!m_view.visibleItems[static_cast<size_t>(i)]);
    }

    void startLanguage_data()
    {
        QTest::addColumn<QString>("saved");
        QTest::addColumn<int>("checked");
        QTest::addColumn<QString>("name");
        QTest::newRow("saved found") << "L03" << 2 << "L03";
        QTest::newRow("saved is the tenth") << "L10" << 9 << "L10";
        QTest::newRow("saved file removed") << "Klingon" << 0 << "L01";
        QTest::newRow("empty") << "" << 0 << "L01";
        QTest::newRow("letter case counts") << "l03" << 0 << "L01";
        QTest::newRow("beyond the tenth is not listed") << "L11" << 0 << "L01";
    }
    void startLanguage()
    {
        QFETCH(QString, saved);
        QFETCH(int, checked);
        QFETCH(QString, name);
        for (int i = 1; i <= 11; ++i)
            language(QStringLiteral("L%1").arg(i, 2, 10, QLatin1Char('0')), 20);
        QVERIFY(m_menu->FillLangMenu());
        m_state->LanguageName = saved;
        m_menu->SelectStartLanguage();
        QCOMPARE(m_view.checkedItems(), QList<int>{checked});
        QCOMPARE(m_state->LanguageName, name);
        // Nothing is saved by this step.
        QVERIFY(!QFile::exists(m_dir->filePath(QStringLiteral("nuvora.ini"))));
    }

    void switchAndRefuse()
    {
        language(QStringLiteral("Long"), 320);
        language(QStringLiteral("Short"), 300);
        QVERIFY(m_menu->FillLangMenu()); // Long = 0, Short = 1
        m_state->LanguageName = QStringLiteral("Short");
        m_menu->SelectStartLanguage();
        QCOMPARE(m_view.checkedItems(), QList<int>{1});
        // 300 -> 320 lines: accepted, saved, loaded, captions set again.
        m_menu->smnuLingue_Click(0);
        QVERIFY(m_prompter.boxes.isEmpty());
        QCOMPARE(m_state->LanguageName, QStringLiteral("Long"));
        QCOMPARE(m_view.checkedItems(), QList<int>{0});
        QCOMPARE(m_state->LangText[1], QStringLiteral("Long 1"));
        QCOMPARE(m_state->LangText[320], QStringLiteral("Long 320"));
        QCOMPARE(m_view.captionRuns, 1);
        const QByteArray saved = test::readFile(m_dir->filePath(QStringLiteral("nuvora.ini")));
        QVERIFY(saved.startsWith("COM=3\r\nLINGUA=Long\r\n"));
        // 320 -> 300 lines: refused, nothing changes.
        m_view.marks[1] = true; // the menu item ticks itself when clicked
        m_menu->smnuLingue_Click(1);
        QCOMPARE(m_prompter.boxes.size(), 1);
        QCOMPARE(m_prompter.boxes[0], (test::Box{"Check file message!", 48, "Wrong file"}));
        QCOMPARE(m_state->LanguageName, QStringLiteral("Long"));
        QCOMPARE(m_view.checkedItems(), QList<int>{0});
        QCOMPARE(m_state->LangText[1], QStringLiteral("Long 1"));
        QCOMPARE(m_view.captionRuns, 1);
        QCOMPARE(test::readFile(m_dir->filePath(QStringLiteral("nuvora.ini"))), saved);
        // The current language again passes against itself and reloads.
        m_menu->smnuLingue_Click(0);
        QCOMPARE(m_prompter.boxes.size(), 1);
        QCOMPARE(m_view.captionRuns, 2);
    }

    void switchToDeletedFile()
    {
        language(QStringLiteral("A"), 20);
        language(QStringLiteral("B"), 20);
        QVERIFY(m_menu->FillLangMenu());
        m_menu->SelectStartLanguage();
        QVERIFY(QFile::remove(m_dir->filePath(QStringLiteral("B.lng"))));
        m_menu->smnuLingue_Click(1);
        QCOMPARE(m_prompter.boxes.value(0), (test::Box{"Check file message!", 48, "Wrong file"}));
        QCOMPARE(m_state->LanguageName, QStringLiteral("A"));
    }

    void switchSaveFails()
    {
        language(QStringLiteral("A"), 20);
        language(QStringLiteral("B"), 25);
        QVERIFY(QDir().mkpath(m_dir->filePath(QStringLiteral("nuvora.ini"))));
        QVERIFY(m_menu->FillLangMenu());
        m_menu->SelectStartLanguage();
        m_menu->smnuLingue_Click(1);
        // Reported once, naming the file; the switch itself stands.
        QCOMPARE(m_prompter.boxes.size(), 1);
        QCOMPARE(m_prompter.boxes[0].style, 48);
        QVERIFY2(m_prompter.boxes[0].text.contains(QStringLiteral("nuvora.ini")),
                 qPrintable(m_prompter.boxes[0].text));
        QCOMPARE(m_state->LanguageName, QStringLiteral("B"));
        QCOMPARE(m_state->LangText[25], QStringLiteral("B 25"));
        QCOMPARE(m_view.captionRuns, 1);
    }
};

QTEST_MAIN(TestLanguageMenu)
#include "tst_languagemenu.moc"
