#include "RecordingPrompter.h"
#include "TestFiles.h"
#include "settings/SettingsFile.h"
#include "commands/LoadCommands.h"
#include "commands/LanguageMenu.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

using namespace nuvora;

namespace {

// 19 data bytes at 0 to 18.
const QByteArray kGood = "S00600004844521B\r\nS2140000003031323334353637383941424344454649\r\n"
                         "S20700001078797A7D\r\nS804000000FB\r\n";
const QByteArray kNoData = "S9030000FC\r\n";
const QList<test::Box> kNone;

// The window as the File and Language menus see it, after an earlier good load.
class FakeView : public LoadView, public LanguageMenuView {
public:
    void ShowFileName(const QString &name) override { shown = name; }
    void setBannerVisible(bool visible) override { banner = visible; }
    void setStartEnabled(bool enabled) override { start = enabled; }
    void ShowRecentFiles() override { ++refreshes; }
    void setLanguageItem(int i, const QString &caption, bool on) override
    {
        captions[size_t(i)] = caption;
        visible[size_t(i)] = on;
    }
    void setLanguageChecked(int i, bool on) override
    {
        marks.removeAll(i);
        marks << QList<int>(on ? 1 : 0, i);
    }
    void SetCaptions() override { ++captionRuns; }

    QString shown = QStringLiteral("old.mhx");
    bool banner = true, start = true;
    int refreshes = 0, captionRuns = 0;
    std::array<QString, kLanguageItems> captions;
    std::array<bool, kLanguageItems> visible{};
    QList<int> marks;                             // the checked items
};

} // namespace

// The File menu's load commands and the Language menu, on a program folder of their own.
class TestCommands : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<AppState> m_state;
    test::RecordingPrompter m_prompter;
    FakeView m_view;
    std::unique_ptr<SettingsFile> m_settings;
    std::unique_ptr<LoadCommands> m_load;
    std::unique_ptr<LanguageMenu> m_menu;

    QString inDir(const QString &name) const { return m_dir->filePath(name); }
    QString image(const QByteArray &content)
    {
        test::writeFile(inDir("images/msg 1.mhx"), content);
        return inDir("images/msg 1.mhx");
    }
    QByteArray ini() const { return test::readFile(inDir("nuvora.ini")); }
    void block() { QVERIFY(QDir().mkpath(inDir("nuvora.ini"))); } // no settings file fits there
    QStringList recent() const
    {
        return {m_state->RecentFiles.begin(), m_state->RecentFiles.end()};
    }

private slots:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        m_state = std::make_unique<AppState>();
        m_state->ComPort = 2;
        m_state->CurrentFile = QStringLiteral("before.mhx");
        m_state->LangText[8] = QStringLiteral("Nuvora message");
        m_state->LangText[11] = QStringLiteral("Cannot read the image, error");
        m_state->LangText[16] = QStringLiteral("No data in this file");
        m_state->RecentFiles = {"/a.mhx", "/b.mhx", "", ""};
        m_prompter = {};
        m_view = {};
        m_settings = std::make_unique<SettingsFile>(m_dir->path());
        m_load = std::make_unique<LoadCommands>(*m_state, m_prompter, *m_settings, m_view);
        m_menu = std::make_unique<LanguageMenu>(*m_state, m_prompter, *m_settings, m_view,
                                                m_dir->path());
    }

    void cancelChangesNothing()
    {
        m_load->smnuFile_Click(0); // the prompter's empty queue cancels
        QVERIFY(m_prompter.dialogs.size() == 1 && m_prompter.boxes.isEmpty());
        QCOMPARE(m_state->CurrentFile, QStringLiteral("before.mhx"));
        QVERIFY(m_view.shown == "old.mhx" && m_view.banner && m_view.start && !m_view.refreshes);
        QCOMPARE(recent(), (QStringList{"/a.mhx", "/b.mhx", "", ""}));
        QVERIFY(!QFile::exists(inDir("nuvora.ini")));
    }

    void dialog_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<bool>("blocked");
        QTest::addColumn<QString>("text"); // empty: loaded
        const QByteArray outside =
            "S206000000616236\r\nS21400FFF83031323334353637383941424344454652\r\n";
        QTest::newRow("good") << kGood << false << QString();
        QTest::newRow("no S2 data") << kNoData << false << "No data in this file";
        QTest::newRow("byte outside the buffer")
            << outside << false << "Cannot read the image, error 9";
        QTest::newRow("settings unwritable") << kGood << true << "Cannot read the image, error %1";
    }
    void dialog()
    {
        QFETCH(QByteArray, content);
        QFETCH(bool, blocked);
        QFETCH(QString, text);
        const bool ok = text.isEmpty();
        const QString path = image(content);
        if (blocked)
            block();
        m_prompter.chooseFile(path);
        m_view.banner = m_view.start = !ok;
        m_load->smnuFile_Click(0);
        if (blocked)
            text = text.arg(m_settings->SaveFileINI(*m_state).error);
        const test::Box box{text, content == kNoData ? 48 : 16, "Nuvora message"};
        QCOMPARE(m_prompter.boxes, ok ? kNone : QList<test::Box>{box});
        QVERIFY(m_view.banner == ok && m_view.start == ok);
        QCOMPARE(m_state->CurrentFile, path); // kept though the load failed
        // A load that worked stays on top in memory even when it cannot be saved.
        QCOMPARE(recent(),
                 (QStringList{path, "/a.mhx", "/b.mhx", "", ""}.mid(ok || blocked ? 0 : 1, 4)));
        QCOMPARE(ini().contains("FILE1=" + path.toUtf8() + "\r\nFILE2=/a.mhx\r\nFILE3=/b.mhx\r\n"),
                 ok);
        QVERIFY(!ok || (m_view.shown == "msg 1.mhx" && m_state->ImageEnd == 18));
    }

    void recentFiles_data()
    {
        // The entries are /0 to /3, no files; the clicked one becomes a file when the row has one.
        QTest::addColumn<int>("item");
        QTest::addColumn<QByteArray>("content"); // empty: no file
        QTest::addColumn<bool>("blocked");
        QTest::addColumn<QString>("after"); // "*" for the clicked file
        QTest::newRow("good") << 2 << kGood << false << "* /0 /2 /3";
        QTest::newRow("missing") << 2 << QByteArray() << false << "/0 /2 /3 ";
        QTest::newRow("missing last: nothing moves") << 4 << QByteArray() << false << "/0 /1 /2 ";
        QTest::newRow("no data: on top") << 3 << kNoData << false << "* /0 /1 /3";
        QTest::newRow("settings unwritable: dropped") << 3 << kGood << true << "/0 /1 /3 ";
    }
    void recentFiles()
    {
        QFETCH(int, item);
        QFETCH(QByteArray, content);
        QFETCH(bool, blocked);
        QFETCH(QString, after);
        QStringList entries{"/0", "/1", "/2", "/3"};
        if (!content.isEmpty())
            entries[item - 1] = image(content);
        std::copy(entries.begin(), entries.end(), m_state->RecentFiles.begin());
        if (blocked)
            block();
        const bool good = content == kGood && !blocked;
        m_view.banner = m_view.start = !good; // so that a missing change shows
        m_load->fileM_Click(item);
        const test::Box box = content == kNoData
                                  ? test::Box{"No data in this file", 48, "Nuvora message"}
                                  : test::Box{"File not found", 64, "Nuvora"};
        QCOMPARE(m_prompter.boxes, good ? kNone : QList<test::Box>{box});
        const QStringList list = after.split(' ').replaceInStrings("*", entries[item - 1]);
        QCOMPARE(recent(), list);
        QCOMPARE(m_state->CurrentFile, list[0] == entries[item - 1] ? list[0] : QString());
        QVERIFY(m_view.banner == good && m_view.start == good && m_view.refreshes >= 1);
        QVERIFY(blocked || ini().contains("FILE1=" + list[0].toUtf8() + "\r\n"));
    }

    void fileNames()
    {
        // Only this platform's separator cuts: on Linux a backslash belongs to the name.
        QCOMPARE(fileNameOf("/x/a\\b.mhx"), "a\\b.mhx");
        QCOMPARE(fileNameOf("/x/dir/"), "");
    }

    void fillLanguages_data()
    {
        QTest::addColumn<QStringList>("files"); // a trailing "/" makes a folder
        QTest::addColumn<QStringList>("listed");
        QTest::addColumn<QString>("saved");
        QTest::addColumn<int>("checked");
        QStringList twelve;
        for (int i = 1; i <= 12; ++i)
            twelve << QStringLiteral("L%1.lng").arg(i, 2, 10, QLatin1Char('0'));
        const QStringList ten = QStringList(twelve.mid(0, 10)).replaceInStrings(".lng", "");
        QTest::newRow("sorted") << QStringList{"Zulu.lng", "Alpha.lng", "My Lang .lng"}
                                << QStringList{"Alpha", "My Lang ", "Zulu"} << "Zulu" << 2;
        QTest::newRow("only ours")
            << QStringList{"E.LNG", "Dir.lng/", ".h.lng", "E.lng.bak", "D.lng"} << QStringList{"D"}
            << "E" << 0;
        QTest::newRow("empty name") << QStringList{".lng", "A.lng"} << QStringList{"", "A"}
                                    << "A" << 1;
        QTest::newRow("none") << QStringList{"readme.txt"} << QStringList{} << "" << -1;
        QTest::newRow("twelve: the tenth saved") << twelve << ten << "L10" << 9;
        QTest::newRow("twelve: the eleventh saved") << twelve << ten << "L11" << 0;
        QTest::newRow("letter case counts") << twelve << ten << "l03" << 0;
    }
    void fillLanguages()
    {
        QFETCH(QStringList, files);
        QFETCH(QStringList, listed);
        QFETCH(QString, saved);
        QFETCH(int, checked);
        for (const QString &f : files)
            f.endsWith('/') ? void(QDir().mkpath(inDir(f))) : test::writeFile(inDir(f), "x\r\n");
        QCOMPARE(m_menu->FillLangMenu(), !listed.isEmpty());
        QStringList shown;
        for (int i = 0; i < kLanguageItems; ++i) {
            if (m_view.visible[size_t(i)])
                shown << m_view.captions[size_t(i)];
        }
        QCOMPARE(shown, listed);
        const QList<test::Box> missing{{"File missing! Reinstall program", 16, "Error"}};
        QCOMPARE(m_prompter.boxes, listed.isEmpty() ? missing : kNone);
        if (listed.isEmpty())
            return;
        m_state->LanguageName = saved;
        m_menu->SelectStartLanguage();
        QCOMPARE(m_view.marks, QList<int>{checked});
        QCOMPARE(m_state->LanguageName, listed[checked]);
        QVERIFY(m_prompter.boxes.isEmpty() && ini().isEmpty()); // nothing is saved by these steps
    }

    void switchLanguage_data()
    {
        // Items A (0, the start language) and B (1); 0 lines: B deleted once listed.
        QTest::addColumn<int>("aLines");
        QTest::addColumn<int>("bLines");
        QTest::addColumn<int>("click");
        QTest::addColumn<bool>("blocked");
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
        test::writeFile(inDir("A.lng"), test::languageFile("A", aLines));
        test::writeFile(inDir("B.lng"), test::languageFile("B", bLines ? bLines : 20));
        QVERIFY(m_menu->FillLangMenu());
        m_menu->SelectStartLanguage();
        QVERIFY(bLines || QFile::remove(inDir("B.lng")));
        if (blocked)
            block();
        m_view.marks << click; // the menu item ticks itself when clicked
        m_menu->smnuLingue_Click(click);
        const bool switched = now == "B" || click == 0;
        QCOMPARE(m_state->LanguageName, now);
        QCOMPARE(m_view.marks, QList<int>{now == "A" ? 0 : 1});
        QCOMPARE(m_view.captionRuns, switched ? 1 : 0);
        QCOMPARE(m_state->LangText[1], switched ? now + " 1" : QString());
        QVERIFY(now == "A" || m_state->LangText[bLines] == "B " + QString::number(bLines));
        QCOMPARE(ini().startsWith("COM=2\r\nLINGUA=" + now.toUtf8()), switched && !blocked);
        // One box: the refusal, or the failed save naming the file (the switch itself stands).
        QCOMPARE(m_prompter.boxes.size(), qsizetype(!switched || blocked));
        QVERIFY(switched
                    ? !blocked || m_prompter.boxes[0].text.contains("nuvora.ini")
                    : m_prompter.boxes[0] == (test::Box{"Check file message!", 48, "Wrong file"}));
    }
};

QTEST_MAIN(TestCommands)
#include "tst_commands.moc"
