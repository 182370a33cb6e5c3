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

// One S2 record with its count and checksum.
QByteArray s2(int address, const QByteArray &data)
{
    QByteArray body;
    body.append(char(data.size() + 4));
    body.append(char(address >> 16)).append(char(address >> 8)).append(char(address));
    body.append(data);
    unsigned sum = 0;
    for (char c : body)
        sum += static_cast<unsigned char>(c);
    body.append(char(~sum & 0xFF));
    return "S2" + body.toHex().toUpper() + "\r\n";
}

QByteArray goodImage()
{
    return "S00600004844521B\r\n" + s2(0, "0123456789ABCDEF") + s2(16, "xyz") +
           "S804000000FB\r\n";
}

// The window as the load commands see it.
class FakeView : public LoadView {
public:
    void ShowFileName(const QString &name) override { shown = name; }
    void setBannerVisible(bool visible) override { banner = visible; }
    void setStartEnabled(bool enabled) override { start = enabled; }
    void ShowRecentFiles() override { ++refreshes; }

    QString shown = QStringLiteral("old.mhx");
    bool banner = true; // as after an earlier good load
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

    QString image(const QString &name, const QByteArray &content)
    {
        const QString path = m_dir.filePath(QStringLiteral("images/") + name);
        test::writeFile(path, content);
        return path;
    }
    QByteArray settingsText() const
    {
        return test::readFile(m_folder + QStringLiteral("/nuvora.ini"));
    }
    QStringList recent() const
    {
        return {m_state->RecentFiles.begin(), m_state->RecentFiles.end()};
    }
    void setRecent(const QStringList &entries)
    {
        for (int i = 0; i < 4; ++i)
            m_state->RecentFiles[static_cast<size_t>(i)] = entries.value(i);
    }
    // A settings file that cannot be written: a folder stands where it would go.
    void blockSettings() { QVERIFY(QDir().mkpath(m_folder + QStringLiteral("/nuvora.ini"))); }

private slots:
    void init()
    {
        m_folder = m_dir.filePath(QStringLiteral("prog%1").arg(QTest::currentDataTag()));
        QDir(m_folder).removeRecursively();
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
        m_settings = std::make_unique<SettingsFile>(m_folder);
        m_commands = std::make_unique<LoadCommands>(*m_state, m_prompter, *m_settings, m_view);
    }

    void dialogOptions()
    {
        m_commands->smnuFile_Click(0);
        QCOMPARE(m_prompter.dialogs.size(), 1);
        QCOMPARE(m_prompter.dialogs[0].defaultExt, QStringLiteral("mhx"));
        QCOMPARE(m_prompter.dialogs[0].filter, QStringLiteral("Fujitsu S-file (*.mhx)|*.mhx"));
        QCOMPARE(m_prompter.dialogs[0].flags, 0x20180Cu);
        m_commands->smnuFile_Click(1); // the array has item 0 only
        QCOMPARE(m_prompter.dialogs.size(), 1);
    }

    void cancelChangesNothing()
    {
        setRecent({QStringLiteral("/a.mhx")});
        m_commands->smnuFile_Click(0); // the prompter's empty queue cancels
        QVERIFY(m_prompter.boxes.isEmpty());
        QCOMPARE(m_state->CurrentFile, QStringLiteral("before.mhx"));
        QCOMPARE(m_view.shown, QStringLiteral("old.mhx"));
        QVERIFY(m_view.banner && m_view.start);
        QCOMPARE(m_view.refreshes, 0);
        QCOMPARE(recent(), (QStringList{"/a.mhx", "", "", ""}));
        QVERIFY(settingsText().isEmpty());
    }

    void loadThroughDialog()
    {
        setRecent({QStringLiteral("/a.mhx"), QStringLiteral("/b.mhx")});
        const QString path = image(QStringLiteral("good one.mhx"), goodImage());
        m_prompter.chooseFile(path);
        m_view.banner = m_view.start = false;
        m_commands->smnuFile_Click(0);
        QVERIFY2(m_prompter.boxes.isEmpty(), qPrintable(m_prompter.boxes.value(0).text));
        QCOMPARE(m_view.shown, QStringLiteral("good one.mhx"));
        QVERIFY(m_view.banner && m_view.start);
        QCOMPARE(m_state->CurrentFile, path);
        QCOMPARE(m_state->ImageEnd, 18);
        QCOMPARE(recent(), (QStringList{path, "/a.mhx", "/b.mhx", ""}));
        QVERIFY(m_view.refreshes >= 1);
        QCOMPARE(settingsText(), QByteArray("COM=2\r\nLINGUA=English\r\nFILE1=" + path.toUtf8() +
                                            "\r\nFILE2=/a.mhx\r\nFILE3=/b.mhx\r\nFILE4=\r\n"));
    }

    void dialogFailures_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<bool>("deleteFirst");
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("style");
        QTest::newRow("no S2 data") << QByteArray("S00600004844521B\r\nS9030000FC\r\n") << false
                                    << "No data in this file" << 48;
        QTest::newRow("empty file") << QByteArray() << false << "No data in this file" << 48;
        QTest::newRow("byte outside the buffer: error 9")
            << QByteArray(s2(0, "ab") + s2(0xFFF8, "0123456789ABCDEF")) << false
            << "Cannot read the image, error 9" << 16;
        QTest::newRow("file gone after choosing: error 53")
            << goodImage() << true << "Cannot read the image, error 53" << 16;
    }
    void dialogFailures()
    {
        QFETCH(QByteArray, content);
        QFETCH(bool, deleteFirst);
        QFETCH(QString, text);
        QFETCH(int, style);
        setRecent({QStringLiteral("/a.mhx")});
        const QString path = image(QStringLiteral("bad.mhx"), content);
        if (deleteFirst)
            QVERIFY(QFile::remove(path));
        m_prompter.chooseFile(path);
        m_commands->smnuFile_Click(0);
        QCOMPARE(m_prompter.boxes.size(), 1);
        QCOMPARE(m_prompter.boxes[0], (test::Box{text, style, "Nuvora message"}));
        QVERIFY(!m_view.banner);
        QVERIFY(!m_view.start);
        QCOMPARE(m_state->CurrentFile, path); // kept though the load failed
        QCOMPARE(recent(), (QStringList{"/a.mhx", "", "", ""}));
        QVERIFY(settingsText().isEmpty());
    }

    void dialogSaveFails()
    {
        blockSettings();
        const SaveResult expected = m_settings->SaveFileINI(*m_state);
        QVERIFY(!expected.ok);
        const QString path = image(QStringLiteral("good.mhx"), goodImage());
        m_prompter.chooseFile(path);
        m_commands->smnuFile_Click(0);
        QCOMPARE(m_prompter.boxes.size(), 1);
        QCOMPARE(m_prompter.boxes[0],
                 (test::Box{"Cannot read the image, error " + QString::number(expected.error), 16,
                            "Nuvora message"}));
        QVERIFY(!m_view.banner && !m_view.start);
    }

    void recentFailures_data()
    {
        QTest::addColumn<int>("item");
        QTest::addColumn<QStringList>("after");
        QTest::newRow("item 1") << 1 << QStringList{"/1", "/2", "/3", ""};
        QTest::newRow("item 2") << 2 << QStringList{"/0", "/2", "/3", ""};
        QTest::newRow("item 4: nothing moves") << 4 << QStringList{"/0", "/1", "/2", ""};
    }
    void recentFailures()
    {
        // Every entry names a file that does not exist.
        QFETCH(int, item);
        QFETCH(QStringList, after);
        QStringList entries;
        for (int i = 0; i < 4; ++i)
            entries << m_dir.filePath(QStringLiteral("gone/%1").arg(i));
        setRecent(entries);
        for (QString &e : after)
            if (!e.isEmpty())
                e = m_dir.filePath(QStringLiteral("gone") + e);
        m_commands->fileM_Click(item);
        QCOMPARE(m_prompter.boxes.size(), 1);
        QCOMPARE(m_prompter.boxes[0], (test::Box{"File not found", 64, "Nuvora"}));
        QCOMPARE(recent(), after);
        QVERIFY(m_state->CurrentFile.isEmpty());
        QVERIFY(!m_view.banner && !m_view.start);
        QVERIFY(m_view.refreshes >= 1);
        QVERIFY(settingsText().endsWith("FILE4=\r\n"));
        QVERIFY(settingsText().contains("FILE1=" + after[0].toUtf8() + "\r\n"));
    }

    void recentGood()
    {
        const QString path = image(QStringLiteral("r.mhx"), goodImage());
        setRecent({QStringLiteral("/0"), path, QStringLiteral("/2")});
        m_view.banner = m_view.start = false;
        m_commands->fileM_Click(2);
        QVERIFY(m_prompter.boxes.isEmpty());
        QCOMPARE(m_view.shown, QStringLiteral("r.mhx"));
        QVERIFY(m_view.banner && m_view.start);
        QCOMPARE(recent(), (QStringList{path, "/0", "/2", ""}));
        QCOMPARE(m_state->CurrentFile, path);
        QVERIFY(settingsText().contains("FILE1=" + path.toUtf8() + "\r\nFILE2=/0\r\n"));
    }

    void recentWithoutData()
    {
        const QString path = image(QStringLiteral("nodata.mhx"), "S9030000FC\r\n");
        setRecent({QStringLiteral("/0"), QStringLiteral("/1"), path, QStringLiteral("/3")});
        m_commands->fileM_Click(3);
        QCOMPARE(m_prompter.boxes.size(), 1);
        QCOMPARE(m_prompter.boxes[0], (test::Box{"No data in this file", 48, "Nuvora message"}));
        QVERIFY(!m_view.banner && !m_view.start);
        // Still chosen by the operator: it moves to the top.
        QCOMPARE(recent(), (QStringList{path, "/0", "/1", "/3"}));
        QCOMPARE(m_state->CurrentFile, path);
    }

    void recentSaveFails()
    {
        blockSettings();
        const QString path = image(QStringLiteral("r.mhx"), goodImage());
        setRecent({QStringLiteral("/0"), QStringLiteral("/1"), path});
        m_commands->fileM_Click(3);
        QCOMPARE(m_prompter.boxes.size(), 1);
        QCOMPARE(m_prompter.boxes[0], (test::Box{"File not found", 64, "Nuvora"}));
        // The chosen path is dropped, wherever the move had put it; the others stay.
        QCOMPARE(recent(), (QStringList{"/0", "/1", "", ""}));
        QVERIFY(m_state->CurrentFile.isEmpty());
        QVERIFY(!m_view.banner && !m_view.start);
    }

    void fileNames_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("name");
        QTest::newRow("unix") << "/home/op/msg.mhx" << "msg.mhx";
        QTest::newRow("windows") << "C:\\Images\\msg.mhx" << "msg.mhx";
        QTest::newRow("mixed") << "C:\\a/b\\c.mhx" << "c.mhx";
        QTest::newRow("bare name") << "msg.mhx" << "msg.mhx";
        QTest::newRow("ends in separator") << "C:\\dir\\" << "";
        QTest::newRow("empty") << "" << "";
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
