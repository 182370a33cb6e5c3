#include "settings/RecentFiles.h"
#include "commands/ComMenuMarks.h"
#include "commands/SettingsCommands.h"
#include "base/TextFile.h"

#include "Programs.h"
#include "RecordingPrompter.h"
#include "TestFiles.h"

#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <cstdio>

#include <sys/resource.h>
#include <memory>

using namespace nuvora;

namespace {

// Records the Com menu's check marks as "com<n>" and "usb".
class RecordingMarks : public ComMenuMarks {
public:
    void setComChecked(int n, bool on) override { mark(on, QStringLiteral("com%1").arg(n)); }
    void setUsbChecked(bool on) override { mark(on, QStringLiteral("usb")); }
    void mark(bool on, const QString &what) { marks += on ? QStringList{what} : QStringList{}; }
    QStringList marks;
};

QByteArray ini(const QByteArray &com, const QByteArray &language, const QByteArray &file1 = {})
{
    return "COM=" + com + "\r\nLINGUA=" + language + "\r\nFILE1=" + file1 +
           "\r\nFILE2=\r\nFILE3=\r\nFILE4=\r\n";
}

// Run as "--probe load|save FOLDER" by another user (root ignores file permissions): loads or
// saves, printing "key=value" lines for the test to read.
int probe(const QString &mode, const QString &folder)
{
    const SettingsFile settings(folder);
    const auto state = std::make_unique<AppState>();
    test::RecordingPrompter prompter;
    RecordingMarks marks;
    std::printf("path=%s\n", qPrintable(settings.path()));
    if (mode == QLatin1String("load")) {
        LoadFileINI(settings, *state, marks, prompter);
        std::printf("com=%d\n", state->ComPort);
    } else if (mode == QLatin1String("full")) {
        // A disk that takes no more than 8 bytes of any file; the save must say so.
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{8, 8};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        state->ComPort = 9;
        SaveSettings(settings, *state, prompter);
    } else {
        state->ComPort = 3;
        const SaveResult saved = settings.SaveFileINI(*state);
        std::printf("save=%d|%d|%s\n", int(saved.ok), saved.error, qPrintable(saved.reason));
    }
    for (const test::Box &b : prompter.boxes)
        std::printf("box=%d|%s|%s\n", b.style, qPrintable(b.title), qPrintable(b.text));
    return 0;
}

} // namespace

// The settings file (reading, its reset, writing, where it lives) and its recent-file list.
class TestSettingsFile : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<AppState> m_state;
    test::RecordingPrompter m_prompter;
    RecordingMarks m_marks;

    QString iniPath() const { return m_dir->filePath(QStringLiteral("nuvora.ini")); }
    AppState &with(const QStringList &list)
    {
        std::copy(list.begin(), list.end(), m_state->RecentFiles.begin());
        return *m_state;
    }
    QStringList list() const { return {m_state->RecentFiles.begin(), m_state->RecentFiles.end()}; }

    // Runs the probe as an unprivileged user with its own configuration folder.
    QByteArray asUser(const char *mode, const QString &folder, const QString &configHome)
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), configHome);
        env.insert(QStringLiteral("HOME"), configHome);
        const auto run = test::runProgram(test::unprivilegedPrefix() +
                                              QStringList{QCoreApplication::applicationFilePath(),
                                                          "--probe", QString(mode), folder},
                                          env);
        return run.out + run.err;
    }
    // The value of the probe's first "key=value" line.
    static QString field(const QByteArray &out, const char *key)
    {
        const QRegularExpression line(QStringLiteral("^%1=(.*)$").arg(key),
                                      QRegularExpression::MultilineOption);
        return line.match(QString::fromUtf8(out)).captured(1);
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
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }

    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(m_dir->isValid());
        test::openUpForOthers(m_dir->path());
        m_state = std::make_unique<AppState>();
        m_prompter.boxes.clear();
        m_marks.marks.clear();
    }

    // A file that is kept stays as it is; any other is reset to COM1 without recent files,
    // keeping the language when its line was read, and rewritten.
    void load_data()
    {
        QTest::addColumn<QByteArray>("file"); // a null array: no file at all
        QTest::addColumn<int>("comPort");
        QTest::addColumn<QString>("language");
        QTest::addColumn<QString>("file1");
        QTest::addColumn<QString>("mark"); // empty: reset
        using B = QByteArray;
        const auto keep = [](const char *name, const B &file, int port, const char *mark,
                             const QString &lang = "Italiano", const QString &file1 = "/a.mhx") {
            QTest::newRow(name) << file << port << lang << file1 << QString(mark);
        };
        const auto reset = [](const char *name, const B &file, const char *lang = "Before") {
            QTest::newRow(name) << file << 1 << QString(lang) << QString() << QString();
        };
        const auto com = [](const B &value) { return ini(value, "Italiano", "/a.mhx"); };
        keep("COM3", com("3"), 3, "com3");
        keep("COM4 is the last menu item", com("4"), 4, "com4");
        keep("COM5 is the USB adapter", com("5"), 5, "usb");
        keep("COM12 is the USB adapter", com("12"), 12, "usb");
        keep("largest port number", com("32767"), 32767, "usb");
        keep("blanks around the number", com("  7\t"), 7, "usb");
        keep("lines after the sixth are not read", com("3") + "COM=4\r\nx\r\n", 3, "com3");
        keep("nor is a tail larger than any settings file", com("3") + B(kMaxTextFileBytes, 'x'), 3,
             "com3");
        keep("misspelled keys are not looked at",
             "CMO=2\r\nLANGUA=En\r\nFIEL1=/x\r\nfile2=\r\nXXXXX=\r\nFILE9=\r\n", 2, "com2", "En",
             "/x");
        keep("blanks belong to the values", ini("2", "En  ", " /a b "), 2, "com2", "En  ",
             " /a b ");
        keep("Windows-1252 file", ini("2", "Fran\347ais", "C:\\\301.mhx"), 2, "com2",
             u"Français"_qs, u"C:\\Á.mhx"_qs);
        keep("UTF-8 file", ini("2", "Fran\303\247ais", "/\342\202\254"), 2, "com2", u"Français"_qs,
             u"/€"_qs);

        reset("first start, no file", {});
        reset("empty file", "");
        reset("COM0 keeps the language", com("0"), "Italiano");
        reset("port above 16 bits", com("32768"));
        reset("negative port keeps the language", com("-3"), "Italiano");
        reset("digits then letters", com("3x"));
        reset("one line", "COM=2\r\n");
        reset("three lines keep the language", "COM=2\r\nLINGUA=English\r\nFILE1=/a\r\n",
              "English");
        reset("language line too short", com("2").replace("LINGUA=Italiano", "LINGU"));
        reset("file line too short", com("2").replace("FILE3=", "FILE"), "Italiano");
    }

    void load()
    {
        QFETCH(QByteArray, file);
        QFETCH(int, comPort);
        QFETCH(QString, language);
        QFETCH(QString, file1);
        QFETCH(QString, mark);
        if (!file.isNull())
            test::writeFile(iniPath(), file);
        m_state->LanguageName = QStringLiteral("Before");
        const SettingsFile settings(m_dir->path());
        QCOMPARE(settings.path(), iniPath());
        LoadFileINI(settings, with({"/old1", "/old2", "/old3", "/old4"}), m_marks, m_prompter);
        QCOMPARE(int(m_state->ComPort), comPort);
        QCOMPARE(m_state->LanguageName, language);
        QCOMPARE(list(), (QStringList{file1, "", "", ""}));
        QCOMPARE(m_marks.marks, mark.isEmpty() ? QStringList{} : QStringList{mark});
        QVERIFY(m_prompter.boxes.isEmpty());
        QCOMPARE(test::readFile(iniPath()), mark.isEmpty() ? ini("1", language.toUtf8()) : file);
    }

    void saveWritesSixLines()
    {
        m_state->ComPort = 12;
        m_state->LanguageName = QStringLiteral("Italiano ");
        m_state->RecentFiles = {QStringLiteral(u"/dati/perché.mhx"), "", "/b.mhx", ""};
        test::writeFile(iniPath(), QByteArray(200, 'x') + "\r\n");
        const SettingsFile settings(m_dir->path());
        const SaveResult saved = settings.SaveFileINI(*m_state);
        QVERIFY(saved.ok);
        QCOMPARE(test::readFile(iniPath()),
                 QByteArray("COM=12\r\nLINGUA=Italiano \r\nFILE1=/dati/perch\xC3\xA9.mhx\r\n"
                            "FILE2=\r\nFILE3=/b.mhx\r\nFILE4=\r\n"));
        // Nothing but the file itself is left in the folder.
        QCOMPARE(QDir(m_dir->path()).entryList(QDir::Files | QDir::Hidden),
                 QStringList{"nuvora.ini"});
    }

    void folderNamedLikeTheFile()
    {
        QVERIFY(QDir().mkpath(iniPath()));
        m_state->LanguageName = QStringLiteral("English");
        const SettingsFile settings(m_dir->path());
        LoadFileINI(settings, *m_state, m_marks, m_prompter);
        QCOMPARE(int(m_state->ComPort), 1);
        QCOMPARE(m_prompter.boxes.size(), 1);
        QCOMPARE(m_prompter.boxes.first().style, int(kStyleExclamation));
        QVERIFY(m_prompter.boxes.first().text.contains(QDir::toNativeSeparators(iniPath())));
        const SaveResult saved = settings.SaveFileINI(*m_state);
        QVERIFY(!saved.ok && !saved.reason.isEmpty());
        QCOMPARE(saved.error, 75);
    }

    // As an unprivileged user: a read-only program folder sends the file to the user's
    // configuration folder; with nowhere to write, the reset's failed save shows one box.
    void readOnlyProgramFolder()
    {
        const QString program = sharedFolder("program", false), config = sharedFolder("home", true);
        QByteArray out = asUser("load", program, config);
        const QString path = field(out, "path");
        QVERIFY2(path.startsWith(config + '/') && path.endsWith("/nuvora.ini"), out);
        QVERIFY2(out.contains("com=1\n") && !out.contains("box="), out);
        QCOMPARE(test::readFile(path), ini("1", ""));
        QVERIFY(!QFileInfo::exists(program + "/nuvora.ini"));
        out = asUser("load", program, sharedFolder("locked", false));
        QVERIFY2(out.count("box=") == 1 && out.contains("com=1\n"), out);
        const QString box = field(out, "box");
        QVERIFY2(box.startsWith("48|Nuvora|") && box.contains(field(out, "path")), out);
    }

    // As an unprivileged user: a write-protected settings file in a writable folder is kept.
    void writeProtectedFileIsKept()
    {
        const QString path = sharedFolder("program", true) + "/nuvora.ini";
        test::writeFile(path, ini("4", "Old"));
        QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::ReadOther);
        const QByteArray out = asUser("save", QFileInfo(path).path(), m_dir->path());
        QVERIFY2(field(out, "path") == path && out.contains("save=0|70|"), out);
        QCOMPARE(test::readFile(path), ini("4", "Old"));
    }

    // As an unprivileged user: a file it cannot read is left alone, and the box says so.
    void unreadableFileIsNamed()
    {
        const QString path = sharedFolder("program", true) + "/nuvora.ini";
        test::writeFile(path, ini("4", "Old"));
        QFile::setPermissions(path, QFileDevice::Permissions{});
        const QByteArray out = asUser("load", QFileInfo(path).path(), m_dir->path());
        QVERIFY2(out.count("box=") == 1 && out.contains("cannot be read"), out);
        QVERIFY2(field(out, "box").startsWith("48|Nuvora|") && field(out, "box").contains(path),
                 out);
        QCOMPARE(test::readFile(path), ini("4", "Old"));
    }

    // A full disk under a save: the old file stays whole, and the box names the file.
    void fullDiskSaveKeepsTheOldFile()
    {
        test::writeFile(iniPath(), ini("4", "Old"));
        const auto run = test::runProgram(
            {QCoreApplication::applicationFilePath(), "--probe", "full", m_dir->path()});
        const QString box = field(run.out, "box");
        QVERIFY2(box.startsWith("48|Nuvora|") && box.contains(iniPath()), run.out);
        QCOMPARE(test::readFile(iniPath()), ini("4", "Old"));
    }

    // An operator's link to a file kept elsewhere stays a link.
    void linkedFileStaysALink()
    {
        const QString elsewhere = m_dir->filePath("kept/nuvora.ini");
        test::writeFile(elsewhere, ini("4", "Old"));
        QVERIFY(QFile::link(elsewhere, iniPath()));
        m_state->ComPort = 2;
        QVERIFY(SettingsFile(m_dir->path()).SaveFileINI(*m_state).ok);
        QVERIFY(QFileInfo(iniPath()).isSymLink());
        QVERIFY(test::readFile(elsewhere).startsWith("COM=2\r\n"));
    }

    // op is a path to add, or "-" and the number of the item to remove.
    void change_data()
    {
        QTest::addColumn<QStringList>("before");
        QTest::addColumn<QString>("op");
        QTest::addColumn<QStringList>("after");
        using L = QStringList;
        const L full = {"/a", "/b", "/c", "/d"};
        const auto row = [&](const char *name, const char *op, const L &after,
                             const L &before = {}) {
            QTest::newRow(name) << (before.isEmpty() ? full : before) << op << after;
        };
        row("new path drops the oldest", "/n", {"/n", "/a", "/b", "/c"});
        row("partial list grows", "/n", {"/n", "/a", "/b", ""}, {"/a", "/b", "", ""});
        row("already first", "/a", full);
        row("from entry 1", "/b", {"/b", "/a", "/c", "/d"});
        row("from entry 2, entry 3 stays", "/c", {"/c", "/a", "/b", "/d"});
        row("letter case makes another path", "/B", {"/B", "/a", "/b", "/c"});
        row("duplicate: the later moves", "/x", {"/x", "/a", "/x", "/c"}, {"/a", "/x", "/c", "/x"});
        row("remove item 1", "-1", {"/b", "/c", "/d", ""});
        row("remove item 2", "-2", {"/a", "/c", "/d", ""});
        row("remove item 3", "-3", {"/a", "/b", "/d", ""});
        row("remove item 4", "-4", {"/a", "/b", "/c", ""});
        row("item 5 is no item", "-5", full);
        row("item 0 is no item", "-0", full);
    }

    void change()
    {
        QFETCH(QStringList, before);
        QFETCH(QString, op);
        QFETCH(QStringList, after);
        if (op.startsWith('-'))
            RemoveRecentFile(with(before), op.mid(1).toInt());
        else
            AddRecentFile(with(before), op);
        QCOMPARE(list(), after);
    }
};

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (argc == 4 && QByteArray(argv[1]) == "--probe")
        return probe(QString::fromLocal8Bit(argv[2]), QString::fromLocal8Bit(argv[3]));
    TestSettingsFile tc;
    return QTest::qExec(&tc, argc, argv);
}
#include "tst_settingsfile.moc"
