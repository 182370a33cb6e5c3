#include "app/SettingsFile.h"

#include "RecordingPrompter.h"
#include "TestFiles.h"
#include "Unprivileged.h"

#include <QDirIterator>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

using namespace nuvora;
using nuvora::test::RecordingPrompter;

namespace {

// Records the Com menu's check marks as "com<n>" and "usb".
class RecordingMarks : public ComMenuMarks {
public:
    void setComChecked(int index, bool checked) override
    {
        if (checked)
            marks << QStringLiteral("com%1").arg(index);
    }
    void setUsbChecked(bool checked) override
    {
        if (checked)
            marks << QStringLiteral("usb");
    }
    QStringList marks;
};

const QByteArray kReset = "COM=1\r\nLINGUA=\r\nFILE1=\r\nFILE2=\r\nFILE3=\r\nFILE4=\r\n";

QByteArray resetWith(const QByteArray &language)
{
    return "COM=1\r\nLINGUA=" + language + "\r\nFILE1=\r\nFILE2=\r\nFILE3=\r\nFILE4=\r\n";
}

struct ProbeRun {
    QMap<QString, QStringList> values;
    QByteArray raw;
};

} // namespace

// The settings file: reading with its reset, writing, the folder it lives in.
class TestSettingsFile : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<AppState> m_state;
    RecordingPrompter m_prompter;
    RecordingMarks m_marks;

    QString iniPath() const { return m_dir->filePath(QStringLiteral("nuvora.ini")); }

    // Runs the helper as an unprivileged user with its own configuration folder.
    ProbeRun probe(const QString &mode, const QString &folder, const QString &configHome)
    {
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), configHome);
        env.insert(QStringLiteral("HOME"), configHome);
        p.setProcessEnvironment(env);
        const QString helper =
            QCoreApplication::applicationDirPath() + QStringLiteral("/settings_probe");
        QStringList command = test::unprivilegedPrefix();
        command << helper << mode << folder;
        p.start(command.first(), command.mid(1));
        ProbeRun run;
        if (!p.waitForFinished(30000) || p.exitCode() != 0) {
            run.raw = "helper failed: " + p.readAllStandardError();
            return run;
        }
        run.raw = p.readAllStandardOutput();
        for (const QByteArray &line : run.raw.split('\n')) {
            const qsizetype eq = line.indexOf('=');
            if (eq > 0)
                run.values[QString::fromUtf8(line.left(eq))] << QString::fromUtf8(line.mid(eq + 1));
        }
        return run;
    }

    // A folder the unprivileged user can reach; writable by it when asked.
    QString sharedFolder(const QString &name, bool writable)
    {
        const QString path = m_dir->filePath(name);
        QDir().mkpath(path);
        QFile::setPermissions(
            path, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner |
                      QFileDevice::ReadOther | QFileDevice::ExeOther |
                      (writable ? QFileDevice::WriteOther : QFileDevice::Permissions{}));
        return path;
    }

private slots:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(m_dir->isValid());
        test::openUpForOthers(m_dir->path());
        m_state = std::make_unique<AppState>();
        m_prompter.boxes.clear();
        m_marks.marks.clear();
    }

    void load_data()
    {
        QTest::addColumn<QByteArray>("file"); // a null array: no file at all
        QTest::addColumn<QString>("languageBefore");
        QTest::addColumn<int>("comPort");
        QTest::addColumn<QString>("language");
        QTest::addColumn<QStringList>("recent");
        QTest::addColumn<QStringList>("marks");
        QTest::addColumn<QByteArray>("afterwards"); // the file on disk after the load

        const QStringList none = {"", "", "", ""};
        const QByteArray good = "COM=3\r\nLINGUA=Italiano\r\nFILE1=/img/a.mhx\r\n"
                                "FILE2=/img/b.mhx\r\nFILE3=\r\nFILE4=\r\n";
        const QStringList goodRecent = {"/img/a.mhx", "/img/b.mhx", "", ""};

        QTest::newRow("first start, no file")
            << QByteArray() << "" << 1 << "" << none << QStringList{} << kReset;
        QTest::newRow("good file, COM3")
            << good << "" << 3 << "Italiano" << goodRecent << QStringList{"com3"} << good;
        const QByteArray com12 = QByteArray(good).replace("COM=3", "COM=12");
        QTest::newRow("COM12 is the USB adapter")
            << com12 << "" << 12 << "Italiano" << goodRecent << QStringList{"usb"} << com12;
        const QByteArray com4 = QByteArray(good).replace("COM=3", "COM=4");
        QTest::newRow("COM4 is the last menu item")
            << com4 << "" << 4 << "Italiano" << goodRecent << QStringList{"com4"} << com4;
        const QByteArray com5 = QByteArray(good).replace("COM=3", "COM=5");
        QTest::newRow("COM5 is the USB adapter")
            << com5 << "" << 5 << "Italiano" << goodRecent << QStringList{"usb"} << com5;
        const QByteArray com1 = QByteArray(good).replace("COM=3", "COM=1");
        QTest::newRow("COM1") << com1 << "" << 1 << "Italiano" << goodRecent << QStringList{"com1"}
                              << com1;
        const QByteArray max = QByteArray(good).replace("COM=3", "COM=32767");
        QTest::newRow("largest port number")
            << max << "" << 32767 << "Italiano" << goodRecent << QStringList{"usb"} << max;
        const QByteArray blanks = QByteArray(good).replace("COM=3", "COM=  7\t");
        QTest::newRow("blanks around the number")
            << blanks << "" << 7 << "Italiano" << goodRecent << QStringList{"usb"} << blanks;
        const QByteArray plus = QByteArray(good).replace("COM=3", "COM=+2");
        QTest::newRow("plus sign")
            << plus << "" << 2 << "Italiano" << goodRecent << QStringList{"com2"} << plus;

        QTest::newRow("COM0: reset keeps the language")
            << QByteArray(good).replace("COM=3", "COM=0") << "" << 1 << "Italiano" << none
            << QStringList{} << resetWith("Italiano");
        QTest::newRow("negative port: reset")
            << QByteArray(good).replace("COM=3", "COM=-3") << "" << 1 << "Italiano" << none
            << QStringList{} << resetWith("Italiano");
        QTest::newRow("port above 16 bits: reset")
            << QByteArray(good).replace("COM=3", "COM=32768") << "Before" << 1 << "Before" << none
            << QStringList{} << resetWith("Before");
        QTest::newRow("letters: reset")
            << QByteArray(good).replace("COM=3", "COM=abc") << "Before" << 1 << "Before" << none
            << QStringList{} << resetWith("Before");
        QTest::newRow("digits then letters: reset")
            << QByteArray(good).replace("COM=3", "COM=3x") << "Before" << 1 << "Before" << none
            << QStringList{} << resetWith("Before");
        QTest::newRow("decimal point: reset") << QByteArray(good).replace("COM=3", "COM=2.0") << ""
                                              << 1 << "" << none << QStringList{} << kReset;
        QTest::newRow("hex: reset") << QByteArray(good).replace("COM=3", "COM=0x10") << "" << 1
                                    << "" << none << QStringList{} << kReset;
        QTest::newRow("no number: reset") << QByteArray(good).replace("COM=3", "COM=") << "" << 1
                                          << "" << none << QStringList{} << kReset;
        QTest::newRow("first line too short: reset")
            << QByteArray(good).replace("COM=3", "CO") << "" << 1 << "" << none << QStringList{}
            << kReset;
        QTest::newRow("empty file: reset")
            << QByteArray("") << "" << 1 << "" << none << QStringList{} << kReset;
        QTest::newRow("three lines: reset keeps the language")
            << QByteArray("COM=2\r\nLINGUA=English\r\nFILE1=/img/a.mhx\r\n") << "" << 1 << "English"
            << none << QStringList{} << resetWith("English");
        QTest::newRow("one line: reset") << QByteArray("COM=2\r\n") << "Before" << 1 << "Before"
                                         << none << QStringList{} << resetWith("Before");
        QTest::newRow("five lines: reset")
            << QByteArray(good).left(good.lastIndexOf("FILE4")) << "" << 1 << "Italiano" << none
            << QStringList{} << resetWith("Italiano");
        QTest::newRow("language line too short: reset, language not read")
            << QByteArray(good).replace("LINGUA=Italiano", "LINGU") << "Before" << 1 << "Before"
            << none << QStringList{} << resetWith("Before");
        QTest::newRow("file line too short: reset")
            << QByteArray(good).replace("FILE3=", "FILE") << "" << 1 << "Italiano" << none
            << QStringList{} << resetWith("Italiano");

        const QByteArray misspelled = "CMO=2\r\nLANGUA=English\r\nFIEL1=/x.mhx\r\nfile2=/y.mhx\r\n"
                                      "XXXXX=\r\nFILE9=/z.mhx\r\n";
        QTest::newRow("key names are not looked at")
            << misspelled << "" << 2 << "English" << QStringList{"/x.mhx", "/y.mhx", "", "/z.mhx"}
            << QStringList{"com2"} << misspelled;
        const QByteArray swapped = "COM=2\r\nLINGUA=English\r\nFILE2=/b.mhx\r\nFILE1=/a.mhx\r\n"
                                   "FILE3=\r\nFILE4=\r\n";
        QTest::newRow("lines by position, not by key")
            << swapped << "" << 2 << "English" << QStringList{"/b.mhx", "/a.mhx", "", ""}
            << QStringList{"com2"} << swapped;
        const QByteArray spaced = "COM=2\r\nLINGUA=English  \r\nFILE1= /a b.mhx \r\n"
                                  "FILE2=\r\nFILE3=\r\nFILE4=\r\n";
        QTest::newRow("blanks belong to the values")
            << spaced << "" << 2 << "English  " << QStringList{" /a b.mhx ", "", "", ""}
            << QStringList{"com2"} << spaced;
        const QByteArray extra = QByteArray(good) + "COM=4\r\nanything\r\n";
        QTest::newRow("lines after the sixth are not read")
            << extra << "" << 3 << "Italiano" << goodRecent << QStringList{"com3"} << extra;
        const QByteArray lf = QByteArray(good).replace("\r\n", "\n");
        QTest::newRow("LF line ends")
            << lf << "" << 3 << "Italiano" << goodRecent << QStringList{"com3"} << lf;
        const QByteArray latin = "COM=2\r\nLINGUA=Fran\xE7"
                                 "ais\r\nFILE1=C:\\Im\xE1genes\\a.mhx\r\n"
                                 "FILE2=\r\nFILE3=\r\nFILE4=\r\n";
        QTest::newRow("Windows-1252 file")
            << latin << "" << 2 << QStringLiteral(u"Français")
            << QStringList{QStringLiteral(u"C:\\Imágenes\\a.mhx"), "", "", ""}
            << QStringList{"com2"} << latin;
        const QByteArray utf8 = "COM=2\r\nLINGUA=Fran\xC3\xA7"
                                "ais\r\nFILE1=/\xE2\x82\xAC.mhx\r\n"
                                "FILE2=\r\nFILE3=\r\nFILE4=\r\n";
        QTest::newRow("UTF-8 file")
            << utf8 << "" << 2 << QStringLiteral(u"Français")
            << QStringList{QStringLiteral(u"/€.mhx"), "", "", ""} << QStringList{"com2"} << utf8;
    }

    void load()
    {
        QFETCH(QByteArray, file);
        QFETCH(QString, languageBefore);
        QFETCH(int, comPort);
        QFETCH(QString, language);
        QFETCH(QStringList, recent);
        QFETCH(QStringList, marks);
        QFETCH(QByteArray, afterwards);

        if (!file.isNull())
            test::writeFile(iniPath(), file);
        m_state->LanguageName = languageBefore;
        m_state->RecentFiles = {"/old1", "/old2", "/old3", "/old4"};
        const SettingsFile settings(m_dir->path());
        QCOMPARE(settings.path(), iniPath());
        settings.LoadFileINI(*m_state, m_marks, m_prompter);

        QCOMPARE(int(m_state->ComPort), comPort);
        QCOMPARE(m_state->LanguageName, language);
        for (int i = 0; i < kRecentFileCount; ++i)
            QCOMPARE(m_state->RecentFiles[size_t(i)], recent.at(i));
        QCOMPARE(m_marks.marks, marks);
        QVERIFY(m_prompter.boxes.isEmpty());
        QCOMPARE(test::readFile(iniPath()), afterwards);
    }

    void saveWritesSixLines()
    {
        m_state->ComPort = 12;
        m_state->LanguageName = QStringLiteral("Italiano ");
        m_state->RecentFiles = {QStringLiteral(u"/dati/perché.mhx"), "", "/b.mhx", ""};
        test::writeFile(iniPath(), "old contents that are longer than the new ones........"
                                   "..............................................\r\n");
        const SettingsFile settings(m_dir->path());
        const SaveResult saved = settings.SaveFileINI(*m_state);
        QVERIFY(saved.ok);
        QCOMPARE(saved.path, iniPath());
        QCOMPARE(test::readFile(iniPath()),
                 QByteArray("COM=12\r\nLINGUA=Italiano \r\nFILE1=/dati/perch\xC3\xA9.mhx\r\n"
                            "FILE2=\r\nFILE3=/b.mhx\r\nFILE4=\r\n"));
        // Nothing but the file itself is left in the folder.
        QCOMPARE(QDir(m_dir->path()).entryList(QDir::Files | QDir::Hidden),
                 QStringList{QStringLiteral("nuvora.ini")});

        // What was saved reads back the same.
        auto again = std::make_unique<AppState>();
        settings.LoadFileINI(*again, m_marks, m_prompter);
        QCOMPARE(again->ComPort, m_state->ComPort);
        QCOMPARE(again->LanguageName, m_state->LanguageName);
        QCOMPARE(again->RecentFiles, m_state->RecentFiles);
    }

    void folderNamedLikeTheFile()
    {
        QVERIFY(QDir().mkpath(iniPath()));
        m_state->LanguageName = QStringLiteral("English");
        const SettingsFile settings(m_dir->path());
        settings.LoadFileINI(*m_state, m_marks, m_prompter);
        QCOMPARE(int(m_state->ComPort), 1);
        QCOMPARE(m_state->LanguageName, QStringLiteral("English"));
        QVERIFY(m_marks.marks.isEmpty());
        QCOMPARE(m_prompter.boxes.size(), 1);
        QCOMPARE(m_prompter.boxes.first().style, int(kStyleExclamation));
        QVERIFY(m_prompter.boxes.first().text.contains(QDir::toNativeSeparators(iniPath())));
        QVERIFY(QFileInfo(iniPath()).isDir());

        const SaveResult saved = settings.SaveFileINI(*m_state);
        QVERIFY(!saved.ok);
        QCOMPARE(saved.error, 75);
        QCOMPARE(saved.path, iniPath());
        QVERIFY(!saved.reason.isEmpty());
    }

    // As an unprivileged user: a read-only program folder sends the file to the user's
    // configuration folder, for reading and writing alike.
    void readOnlyProgramFolderUsesConfigFolder()
    {
        const QString program = sharedFolder(QStringLiteral("program"), false);
        const QString config = sharedFolder(QStringLiteral("home"), true);
        const ProbeRun run = probe(QStringLiteral("load"), program, config);
        const QString path = run.values.value(QStringLiteral("path")).value(0);
        QVERIFY2(path.startsWith(config + QLatin1Char('/')), run.raw.constData());
        QVERIFY2(path.endsWith(QStringLiteral("/nuvora.ini")), run.raw.constData());
        QVERIFY2(!run.values.contains(QStringLiteral("box")), run.raw.constData());
        QCOMPARE(run.values.value(QStringLiteral("com")), QStringList{QStringLiteral("1")});
        QCOMPARE(test::readFile(path), kReset);
        QVERIFY(!QFileInfo::exists(program + QStringLiteral("/nuvora.ini")));

        // The next start reads what the first one wrote there.
        QFile::remove(path);
        test::writeFile(path,
                        "COM=2\r\nLINGUA=English\r\nFILE1=\r\nFILE2=\r\nFILE3=\r\nFILE4=\r\n");
        test::openUpForOthers(path);
        const ProbeRun second = probe(QStringLiteral("load"), program, config);
        QCOMPARE(second.values.value(QStringLiteral("com")), QStringList{QStringLiteral("2")});
        QCOMPARE(second.values.value(QStringLiteral("mark")),
                 QStringList{QStringLiteral("com2:1")});
    }

    // As an unprivileged user: nowhere to write. The reset's failed save is shown exactly once.
    void nowhereToWriteShowsOneBox()
    {
        const QString program = sharedFolder(QStringLiteral("program"), false);
        const QString config = sharedFolder(QStringLiteral("home"), false);
        const ProbeRun run = probe(QStringLiteral("load"), program, config);
        const QStringList boxes = run.values.value(QStringLiteral("box"));
        QCOMPARE(boxes.size(), 1);
        QVERIFY2(boxes.first().startsWith(QStringLiteral("48|Nuvora|")), qPrintable(boxes.first()));
        const QString path = run.values.value(QStringLiteral("path")).value(0);
        QVERIFY2(boxes.first().contains(path), qPrintable(boxes.first()));
        QCOMPARE(run.values.value(QStringLiteral("com")), QStringList{QStringLiteral("1")});
    }

    // As an unprivileged user: a write-protected settings file in a writable folder is kept.
    void writeProtectedFileIsKept()
    {
        const QString program = sharedFolder(QStringLiteral("program"), true);
        const QString path = program + QStringLiteral("/nuvora.ini");
        const QByteArray before = "COM=4\r\nLINGUA=Old\r\nFILE1=\r\nFILE2=\r\nFILE3=\r\nFILE4=\r\n";
        test::writeFile(path, before);
        QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::ReadOther);
        const ProbeRun run = probe(QStringLiteral("save"), program, m_dir->path());
        QCOMPARE(run.values.value(QStringLiteral("path")), QStringList{path});
        const QString save = run.values.value(QStringLiteral("save")).value(0);
        QVERIFY2(save.startsWith(QStringLiteral("0|70|")), run.raw.constData());
        QCOMPARE(test::readFile(path), before);
    }
};

std::unique_ptr<QObject> makeSettingsFileTest()
{
    return std::make_unique<TestSettingsFile>();
}

#include "tst_SettingsFile.moc"
