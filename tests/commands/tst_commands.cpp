// The File menu's load commands and the Language menu, on a program folder of their own.
#include "Fixtures.h"
#include "RecordingPrompter.h"
#include "Rows.h"
#include "commands/LanguageMenu.h"
#include "commands/LoadCommands.h"
#include "settings/SettingsFile.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

using namespace nuvora;
using test::Box;

namespace {

// 19 data bytes at 0 to 18.
const QByteArray kGood = "S00600004844521B\r\nS2140000003031323334353637383941424344454649\r\n"
                         "S20700001078797A7D\r\nS804000000FB\r\n";
const QByteArray kNoData = "S9030000FC\r\n";

// The window as the File and Language menus see it, after an earlier good load.
class FakeView : public LoadView, public LanguageMenuView {
public:
    void ShowFileName(const QString &name) override { shown = name; }
    void setBannerVisible(bool visible) override { banner = visible; }
    void setStartEnabled(bool enabled) override { start = enabled; }
    void ShowRecentFiles() override { ++refreshes; }
    void setLanguageItem(int i, const QString &caption, bool on) override
    {
        captions[size_t(i)] = on ? caption : QString();
    }
    void setLanguageChecked(int i, bool on) override
    {
        marks.removeAll(i);
        marks << QList<int>(on ? 1 : 0, i);
    }
    // The captions are set from the texts as they are at this moment.
    void SetCaptions() override { captionTexts << state->LangText[1]; }

    const AppState *state = nullptr;
    QString shown = QStringLiteral("old.mhx");
    bool banner = true, start = true;
    int refreshes = 0;
    std::array<QString, kLanguageItems> captions;
    QList<int> marks; // the checked items
    QStringList captionTexts;
};

} // namespace

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
    QByteArray ini() const { return test::readFile(inDir("nuvora.ini")); }
    void block() { QVERIFY(QDir().mkpath(inDir("nuvora.ini"))); } // no settings file fits there
    QStringList recent() const
    {
        return {m_state->RecentFiles.begin(), m_state->RecentFiles.end()};
    }

    // File > Load (item 0, the dialog answered with the file) and the recent items 1 to 4, on
    // the list /0 /1 /2 /3 where the clicked entry becomes the file. content: null no file, "-"
    // the dialog cancelled; blocked: a folder where the settings file goes; box
    // "text|style|title"; after: the list, "*" for the file.
    struct LoadRow {
        const char *name;
        int item;
        QByteArray content;
        bool blocked;
        QString box, after;
    };
    const QString kNoDataBox = "No data in this file|48|Nuvora message", kOld = "/0 /1 /2 /3";
    const QString kNotFound = "File not found|64|Nuvora";
    const QString kError = "Cannot read the image, error %1|16|Nuvora message";
    const std::vector<LoadRow> m_loads{
        {"Load: good", 0, kGood, false, "", "* /0 /1 /2"},
        {"Load: cancelled changes nothing", 0, "-", false, "", kOld},
        {"Load: no S2 data", 0, kNoData, false, kNoDataBox, kOld},
        // Between the dialog and the load the file goes: the reader's error number is shown.
        {"Load: file gone", 0, {}, false, kError.arg(53), kOld},
        // Kept on top in memory and in the menu though not saved: a path/file access error.
        {"Load: settings unwritable", 0, kGood, true, kError.arg(75), "* /0 /1 /2"},
        {"recent: good", 2, kGood, false, "", "* /0 /2 /3"},
        {"recent: missing", 2, {}, false, kNotFound, "/0 /2 /3 "},
        {"recent: no data, on top", 3, kNoData, false, kNoDataBox, "* /0 /1 /3"},
        {"recent: settings unwritable, dropped", 3, kGood, true, kNotFound, "/0 /1 /3 "},
    };
    // From A (item 0, the start language) to B (item 1), of so many lines each; now: the
    // language after the click.
    struct SwitchRow {
        const char *name;
        int aLines, bLines;
        bool blocked;
        QString now;
    };
    const std::vector<SwitchRow> m_switches{
        {"300 to 300 lines", 300, 300, false, "B"},
        {"300 to 299: one line shorter, refused", 300, 299, false, "A"},
        {"settings unwritable", 20, 25, true, "B"},
    };
private slots:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        m_state = std::make_unique<AppState>();
        m_state->ComPort = 12;
        m_state->LanguageName = u"Français "_qs; // saved as UTF-8, the blank kept
        m_state->CurrentFile = QStringLiteral("before.mhx");
        m_state->LangText[8] = QStringLiteral("Nuvora message");
        m_state->LangText[11] = QStringLiteral("Cannot read the image, error");
        m_state->LangText[16] = QStringLiteral("No data in this file");
        m_prompter = {};
        m_view = {};
        m_view.state = m_state.get();
        m_settings = std::make_unique<SettingsFile>(m_dir->path());
        m_load = std::make_unique<LoadCommands>(*m_state, m_prompter, *m_settings, m_view);
        m_menu = std::make_unique<LanguageMenu>(*m_state, m_prompter, *m_settings, m_view,
                                                m_dir->path());
    }

    void load_data() { test::indexRows(m_loads); }
    void load()
    {
        const LoadRow &r = test::currentRow(m_loads);
        QStringList entries{"/0", "/1", "/2", "/3"};
        const QString path = inDir(u"perché 1.mhx"_qs);
        const bool cancel = r.content == "-", good = r.content == kGood && !r.blocked;
        if (!r.content.isNull() && !cancel)
            test::writeFile(path, r.content);
        if (r.item > 0)
            entries[r.item - 1] = path;
        else if (!cancel) // the prompter's empty queue cancels
            m_prompter.chooseFile(path);
        std::copy(entries.begin(), entries.end(), m_state->RecentFiles.begin());
        if (r.blocked)
            block();
        m_view.banner = m_view.start = !good; // so that a missing change shows
        r.item ? m_load->fileM_Click(r.item) : m_load->smnuFile_Click(0);
        QCOMPARE(m_prompter.dialogs.size(), r.item ? 0 : 1);
        for (const OpenFileOptions &asked : m_prompter.dialogs) {
            QCOMPARE(asked.defaultExt + ' ' + asked.filter, "mhx Fujitsu S-file (*.mhx)|*.mhx");
            QCOMPARE(asked.flags, 0x20180Cu); // read-only box hidden, folder kept, must exist
        }
        const QStringList b = r.box.split('|');
        const QList<Box> boxes{{b[0], b.value(1).toInt(), b.value(2)}};
        QCOMPARE(m_prompter.boxes, r.box.isEmpty() ? QList<Box>{} : boxes);
        const QStringList list = r.after.split(' ').replaceInStrings("*", path);
        QCOMPARE(recent(), list);
        // The dialog's choice stays current though its load failed.
        QCOMPARE(m_state->CurrentFile, cancel                                   ? "before.mhx"
                                       : r.item == 0 || r.after.startsWith('*') ? path
                                                                                : QString());
        QVERIFY(m_view.banner == (good || cancel) && m_view.start == (good || cancel));
        QCOMPARE(m_view.shown, r.content == kGood ? u"perché 1.mhx"_qs : "old.mhx");
        QCOMPARE(m_view.refreshes, r.item || r.content == kGood ? 1 : 0);
        QByteArray saved = "COM=12\r\nLINGUA=Fran\xC3\xA7"
                           "ais \r\n";
        for (int k = 0; k < 4; ++k)
            saved += "FILE" + QByteArray::number(k + 1) + '=' + list[k].toUtf8() + "\r\n";
        QCOMPARE(ini(), !r.blocked && (r.item || r.content == kGood) ? saved : QByteArray());
        QVERIFY(!good || m_state->ImageEnd == 18);
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
        QTest::newRow("empty name")
            << QStringList{".lng", "A.lng"} << QStringList{"", "A"} << "A" << 1;
        QTest::newRow("twelve: the tenth saved") << twelve << ten << "L10" << 9;
        QTest::newRow("twelve: the eleventh saved") << twelve << ten << "L11" << 0;
    }
    void fillLanguages()
    {
        QFETCH(QStringList, files);
        QFETCH(QStringList, listed);
        QFETCH(QString, saved);
        QFETCH(int, checked);
        for (const QString &f : files)
            f.endsWith('/') ? void(QDir().mkpath(inDir(f))) : test::writeFile(inDir(f), "x\r\n");
        QVERIFY(m_menu->FillLangMenu()); // an empty folder is the window's start-up
        QCOMPARE(QStringList(m_view.captions.begin(), m_view.captions.end()),
                 listed + QStringList(kLanguageItems - listed.size(), QString()));
        m_state->LanguageName = saved;
        m_menu->SelectStartLanguage();
        QCOMPARE(m_view.marks, QList<int>{checked});
        QCOMPARE(m_state->LanguageName, listed[checked]);
        QVERIFY(m_prompter.boxes.isEmpty() && ini().isEmpty()); // nothing is saved by these steps
    }

    void switchLanguage_data() { test::indexRows(m_switches); }
    void switchLanguage()
    {
        const auto &[name, aLines, bLines, blocked, now] = test::currentRow(m_switches);
        test::writeFile(inDir("A.lng"), test::languageFile("A", aLines));
        test::writeFile(inDir("B.lng"), test::languageFile("B", bLines));
        QVERIFY(m_menu->FillLangMenu());
        m_menu->SelectStartLanguage();
        if (blocked)
            block();
        m_view.marks << 1; // the menu item ticks itself when clicked
        m_menu->smnuLingue_Click(1);
        const bool switched = now == "B";
        QCOMPARE(m_state->LanguageName, now);
        QCOMPARE(m_view.marks, QList<int>{switched ? 1 : 0});
        // The captions follow the texts of the new file, loaded before them.
        QCOMPARE(m_view.captionTexts, switched ? QStringList{"B 1"} : QStringList{});
        QCOMPARE(m_state->LangText[size_t(bLines)], switched ? "B " + QString::number(bLines) : "");
        QCOMPARE(ini().startsWith("COM=12\r\nLINGUA=" + now.toUtf8()), switched && !blocked);
        // One box: the refusal, or the failed save naming the file (the switch itself stands).
        QCOMPARE(m_prompter.boxes.size(), qsizetype(!switched || blocked));
        QVERIFY(switched ? !blocked || m_prompter.boxes[0].text.contains("nuvora.ini")
                         : m_prompter.boxes[0] == (Box{"Check file message!", 48, "Wrong file"}));
    }
};

QTEST_GUILESS_MAIN(TestCommands)
#include "tst_commands.moc"
