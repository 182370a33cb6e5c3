#include "RecordingPrompter.h"
#include "TestFiles.h"
#include "app/SettingsFile.h"
#include "image/LoadCommands.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace nuvora;

namespace {

// 19 data bytes at 0 to 18.
const QByteArray kGood = "S00600004844521B\r\nS2140000003031323334353637383941424344454649\r\n"
                         "S20700001078797A7D\r\nS804000000FB\r\n";
const test::Box kNotFound{"File not found", 64, "Nuvora"};

// The window as the load commands see it, after an earlier good load.
class FakeView : public LoadView {
public:
    void ShowFileName(const QString &name) override { shown = name; }
    void setBannerVisible(bool visible) override { banner = visible; }
    void setStartEnabled(bool enabled) override { start = enabled; }
    void ShowRecentFiles() override { ++refreshes; }

    QString shown = QStringLiteral("old.mhx");
    bool banner = true;
    bool start = true;
    int refreshes = 0;
};

} // namespace

class TestLoadCommands : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_folder;
    std::unique_ptr<AppState> m_state;
    test::RecordingPrompter m_prompter;
    FakeView m_view;
    std::unique_ptr<SettingsFile> m_settings;
    std::unique_ptr<LoadCommands> m_commands;

    QString image(const QByteArray &content)
    {
        const QString path = m_folder + QStringLiteral("/images/msg 1.mhx");
        test::writeFile(path, content);
        return path;
    }
    QByteArray settingsText() const { return test::readFile(m_folder + "/nuvora.ini"); }
    QStringList recent() const
    {
        return {m_state->RecentFiles.begin(), m_state->RecentFiles.end()};
    }
    void setRecent(const QStringList &entries)
    {
        for (int i = 0; i < 4; ++i)
            m_state->RecentFiles[size_t(i)] = entries.value(i);
    }

private slots:
    void init()
    {
        m_folder = m_dir.filePath(QStringLiteral("prog%1").arg(QTest::currentDataTag()));
        QVERIFY(QDir().mkpath(m_folder));
        m_state = std::make_unique<AppState>();
        m_state->ComPort = 2;
        m_state->LanguageName = QStringLiteral("English");
        m_state->CurrentFile = QStringLiteral("before.mhx");
        m_state->LangText[8] = QStringLiteral("Nuvora message");
        m_state->LangText[11] = QStringLiteral("Cannot read the image, error");
        m_state->LangText[16] = QStringLiteral("No data in this file");
        m_prompter = {};
        m_view = {};
        setRecent({QStringLiteral("/a.mhx"), QStringLiteral("/b.mhx")});
        m_settings = std::make_unique<SettingsFile>(m_folder);
        m_commands = std::make_unique<LoadCommands>(*m_state, m_prompter, *m_settings, m_view);
    }

    void cancelChangesNothing()
    {
        m_commands->smnuFile_Click(0); // the prompter's empty queue cancels
        QCOMPARE(m_prompter.dialogs.size(), 1);
        QVERIFY(m_prompter.boxes.isEmpty());
        QCOMPARE(m_state->CurrentFile, QStringLiteral("before.mhx"));
        QCOMPARE(m_view.shown, QStringLiteral("old.mhx"));
        QVERIFY(m_view.banner && m_view.start);
        QCOMPARE(m_view.refreshes, 0);
        QCOMPARE(recent(), (QStringList{"/a.mhx", "/b.mhx", "", ""}));
        QVERIFY(!QFile::exists(m_folder + "/nuvora.ini"));
    }

    void loadThroughDialog()
    {
        const QString path = image(kGood);
        m_prompter.chooseFile(path);
        m_view.banner = m_view.start = false;
        m_commands->smnuFile_Click(0);
        QVERIFY2(m_prompter.boxes.isEmpty(), qPrintable(m_prompter.boxes.value(0).text));
        QCOMPARE(m_view.shown, QStringLiteral("msg 1.mhx"));
        QVERIFY(m_view.banner && m_view.start);
        QCOMPARE(m_state->CurrentFile, path);
        QCOMPARE(m_state->ImageEnd, 18);
        QCOMPARE(recent(), (QStringList{path, "/a.mhx", "/b.mhx", ""}));
        QVERIFY(m_view.refreshes >= 1);
        QCOMPARE(settingsText(), "COM=2\r\nLINGUA=English\r\nFILE1=" + path.toUtf8() +
                                     "\r\nFILE2=/a.mhx\r\nFILE3=/b.mhx\r\nFILE4=\r\n");
    }

    void dialogFailures_data()
    {
        QTest::addColumn<QByteArray>("content"); // empty: the file is gone once chosen
        QTest::addColumn<bool>("blocked");       // a folder stands where the settings go
        QTest::addColumn<int>("style");
        QTest::addColumn<QString>("text");
        const QByteArray outside =
            "S206000000616236\r\nS21400FFF83031323334353637383941424344454652\r\n";
        QTest::newRow("no S2 data")
            << QByteArray("S9030000FC\r\n") << false << 48 << "No data in this file";
        QTest::newRow("byte outside the buffer")
            << outside << false << 16 << "Cannot read the image, error 9";
        QTest::newRow("file gone")
            << QByteArray() << false << 16 << "Cannot read the image, error 53";
        QTest::newRow("settings unwritable")
            << kGood << true << 16 << "Cannot read the image, error %1";
    }
    void dialogFailures()
    {
        QFETCH(QByteArray, content);
        QFETCH(bool, blocked);
        QFETCH(int, style);
        QFETCH(QString, text);
        const QString path = image(content);
        if (content.isEmpty())
            QVERIFY(QFile::remove(path));
        if (blocked)
            QVERIFY(QDir().mkpath(m_folder + "/nuvora.ini"));
        m_prompter.chooseFile(path);
        m_commands->smnuFile_Click(0);
        if (blocked)
            text = text.arg(m_settings->SaveFileINI(*m_state).error);
        QCOMPARE(m_prompter.boxes, (QList<test::Box>{{text, style, "Nuvora message"}}));
        QVERIFY(!m_view.banner && !m_view.start);
        QCOMPARE(m_state->CurrentFile, path); // kept though the load failed
        // A load that worked stays on top in memory even when it cannot be saved.
        QCOMPARE(recent(), (QStringList{blocked ? path : "/a.mhx", blocked ? "/a.mhx" : "/b.mhx",
                                        blocked ? "/b.mhx" : "", ""}));
        QCOMPARE(settingsText(), QByteArray());
    }

    void recentFiles_data()
    {
        // The entries are /0 to /3, none of them a file; `item` holds the row's file, if any.
        QTest::addColumn<int>("item");
        QTest::addColumn<QByteArray>("content"); // empty: no file
        QTest::addColumn<bool>("blocked");
        QTest::addColumn<QStringList>("after"); // "*" for the chosen file
        QTest::newRow("good") << 2 << kGood << false << QStringList{"*", "/0", "/2", "/3"};
        QTest::newRow("missing") << 2 << QByteArray() << false << QStringList{"/0", "/2", "/3", ""};
        QTest::newRow("missing last")
            << 4 << QByteArray() << false << QStringList{"/0", "/1", "/2", ""};
        QTest::newRow("no data: still on top")
            << 3 << QByteArray("S9030000FC\r\n") << false << QStringList{"*", "/0", "/1", "/3"};
        QTest::newRow("settings unwritable: dropped")
            << 3 << kGood << true << QStringList{"/0", "/1", "/3", ""};
    }
    void recentFiles()
    {
        QFETCH(int, item);
        QFETCH(QByteArray, content);
        QFETCH(bool, blocked);
        QFETCH(QStringList, after);
        QStringList entries{"/0", "/1", "/2", "/3"};
        if (!content.isEmpty())
            entries[item - 1] = image(content);
        setRecent(entries);
        if (blocked)
            QVERIFY(QDir().mkpath(m_folder + "/nuvora.ini"));
        m_view.banner = m_view.start = false;
        m_commands->fileM_Click(item);
        const bool good = after[0] == "*" && content == kGood;
        QList<test::Box> boxes;
        if (after[0] == "*" && !good)
            boxes << test::Box{"No data in this file", 48, "Nuvora message"};
        else if (!good)
            boxes << kNotFound;
        QCOMPARE(m_prompter.boxes, boxes);
        after.replaceInStrings(QStringLiteral("*"), entries[item - 1]);
        QCOMPARE(recent(), after);
        QCOMPARE(m_state->CurrentFile, after[0] == entries[item - 1] ? after[0] : QString());
        QCOMPARE(m_view.banner && m_view.start, good);
        QVERIFY(m_view.refreshes >= 1);
        if (!blocked)
            QVERIFY(settingsText().contains("FILE1=" + after[0].toUtf8() + "\r\n"));
        if (good)
            QCOMPARE(m_view.shown, QStringLiteral("msg 1.mhx"));
    }

    void fileNames_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("name");
        QTest::newRow("unix") << "/home/op/msg.mhx"
                              << "msg.mhx";
        QTest::newRow("windows, mixed") << "C:\\a/b\\c.mhx"
                                        << "c.mhx";
        QTest::newRow("bare name") << "msg.mhx"
                                   << "msg.mhx";
        QTest::newRow("ends in separator") << "C:\\dir\\"
                                           << "";
    }
    void fileNames()
    {
        QFETCH(QString, path);
        QFETCH(QString, name);
        QCOMPARE(fileNameOf(path), name);
    }
};

QTEST_MAIN(TestLoadCommands)
#include "tst_loadcommands.moc"
