#include "base/TextFile.h"
#include "commands/ComMenuMarks.h"
#include "commands/SettingsCommands.h"
#include "settings/RecentFiles.h"

#include "Programs.h"
#include "RecordingPrompter.h"
#include "TestFiles.h"

#include <QTemporaryDir>
#include <QTest>

#include <cstdio>
#include <memory>

using namespace nuvora;

namespace {

// Records the Com menu's check marks as "com<n>" and "usb".
class RecordingMarks : public ComMenuMarks {
public:
    void setComChecked(int n, bool on) override
    {
        marks << QString(on ? "com%1" : "-com%1").arg(n);
    }
    void setUsbChecked(bool on) override { marks << (on ? "usb" : "-usb"); }
    QStringList marks;
};

QByteArray ini(const QByteArray &com, const QByteArray &language, const QByteArray &file1 = {})
{
    return "COM=" + com + "\r\nLINGUA=" + language + "\r\nFILE1=" + file1 +
           "\r\nFILE2=\r\nFILE3=\r\nFILE4=\r\n";
}

// Run as "--probe load|save FOLDER" by another user: loads or saves, printing "path=", "com=",
// "save=" and "box=" lines for the test to read.
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
    } else {
        const SaveResult saved = settings.SaveFileINI(*state);
        std::printf("save=%d|%d\n", int(saved.ok), saved.error);
    }
    for (const test::Box &b : prompter.boxes)
        std::printf("box=%d|%s|%s\n", b.style, qPrintable(b.title), qPrintable(b.text));
    return 0;
}

} // namespace

class TestSettingsFile : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    std::unique_ptr<AppState> m_state;

    QString iniPath() const { return m_dir.filePath(QStringLiteral("nuvora.ini")); }
    QStringList list() const { return {m_state->RecentFiles.begin(), m_state->RecentFiles.end()}; }

private slots:
    void initTestCase() { test::openUpForOthers(m_dir.path()); }
    void init() { m_state = std::make_unique<AppState>(); }

    // A file that is kept stays as it is; any other is reset to COM1 without recent files,
    // keeping the language when its line was read, and rewritten.
    void load_data()
    {
        QTest::addColumn<QByteArray>("file");
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
        keep("COM4 is the last menu item", com("4"), 4, "com4");
        keep("COM5 is the USB adapter", com("5"), 5, "usb");
        keep("largest port number, blanks around", com("  32767\t"), 32767, "usb");
        keep("a tail larger than any settings file is not read",
             com("3") + B(kMaxTextFileBytes, 'x'), 3, "com3");
        keep("UTF-8, blanks belong to the values", ini("2", "Fran\303\247ais ", " /\342\202\254"),
             2, "com2", u"Français "_qs, u" /€"_qs);
        reset("empty file", "");
        reset("COM0 keeps the language", com("0"), "Italiano");
        reset("port above 16 bits", com("32768"));
        reset("digits then letters", com("3x"));
        reset("language line one short", com("2").replace("LINGUA=Italiano", "LINGUA"));
        reset("file line one short", com("2").replace("FILE3=", "FILE3"), "Italiano");
    }
    void load()
    {
        QFETCH(QByteArray, file);
        QFETCH(int, comPort);
        QFETCH(QString, language);
        QFETCH(QString, file1);
        QFETCH(QString, mark);
        test::writeFile(iniPath(), file);
        m_state->LanguageName = QStringLiteral("Before");
        m_state->RecentFiles = {"/old1", "/old2", "/old3", "/old4"};
        const SettingsFile settings(m_dir.path());
        QCOMPARE(settings.path(), iniPath());
        test::RecordingPrompter prompter;
        RecordingMarks marks;
        LoadFileINI(settings, *m_state, marks, prompter);
        QCOMPARE(int(m_state->ComPort), comPort);
        QCOMPARE(m_state->LanguageName, language);
        QCOMPARE(list(), (QStringList{file1, "", "", ""}));
        QCOMPARE(marks.marks, mark.isEmpty() ? QStringList{} : QStringList{mark});
        QVERIFY(prompter.boxes.isEmpty());
        QCOMPARE(test::readFile(iniPath()), mark.isEmpty() ? ini("1", language.toUtf8()) : file);
    }

    // Six lines over a longer file; a folder in the file's place cannot be written (75).
    void save()
    {
        m_state->ComPort = 12;
        m_state->LanguageName = QStringLiteral("Italiano ");
        m_state->RecentFiles = {QStringLiteral(u"/dati/perché.mhx"), "", "/b.mhx", ""};
        test::writeFile(iniPath(), QByteArray(200, 'x') + "\r\n");
        QVERIFY(SettingsFile(m_dir.path()).SaveFileINI(*m_state).ok);
        QCOMPARE(test::readFile(iniPath()),
                 QByteArray("COM=12\r\nLINGUA=Italiano \r\nFILE1=/dati/perch\xC3\xA9.mhx\r\n"
                            "FILE2=\r\nFILE3=/b.mhx\r\nFILE4=\r\n"));
        QVERIFY(QFile::remove(iniPath()) && QDir().mkpath(iniPath()));
        const SaveResult saved = SettingsFile(m_dir.path()).SaveFileINI(*m_state);
        QVERIFY(!saved.ok && !saved.reason.isEmpty() && saved.error == 75);
        QVERIFY(QDir(iniPath()).removeRecursively());
    }

    // The probe as an unprivileged user (root ignores file permissions). program and config:
    // the folders, "ro" or "rw", with "+r" or "+0" a settings file in it, read-only or
    // unreadable. out: what the probe must print ("%P", "%C": the folders); then one box or
    // none, naming the file, and a file that was there left as it was.
    void asUser_data()
    {
        QTest::addColumn<QString>("mode");
        QTest::addColumn<QString>("program");
        QTest::addColumn<QString>("config");
        QTest::addColumn<QStringList>("out");
        const auto row = [](const char *name, const char *mode, const char *program,
                            const char *config, const QStringList &out) {
            QTest::newRow(name) << QString(mode) << QString(program) << QString(config) << out;
        };
        row("read-only program folder: the user's file", "load", "ro", "rw",
            {"path=%C/", "com=1\n"});
        row("nowhere to write: one box", "load", "ro", "ro", {"com=1\n", "box=48|Nuvora|"});
        row("write-protected file is kept", "save", "rw+r", "rw", {"path=%P/", "save=0|70"});
        row("unreadable file is named", "load", "rw+0", "rw", {"box=48|Nuvora|", "cannot be read"});
    }
    void asUser()
    {
        QFETCH(QString, mode);
        QFETCH(QString, program);
        QFETCH(QString, config);
        QFETCH(QStringList, out);
        const QString base =
            m_dir.filePath(QString::number(qHash(QString(QTest::currentDataTag()))));
        const QString dirs[2] = {base + "/program", base + "/home"};
        const auto read = QFile::ReadOwner | QFile::ReadOther;
        const auto write = QFile::WriteOwner | QFile::WriteOther;
        for (int i : {0, 1}) {
            const QString kind = i ? config : program, file = dirs[i] + "/nuvora.ini";
            QDir().mkpath(dirs[i]);
            if (kind.contains('+')) {
                test::writeFile(file, ini("4", "Old"));
                QFile::setPermissions(file, kind.endsWith('r') ? read : QFile::Permissions{});
            }
            // The same rights for the owner (when the tests run unprivileged) and the others.
            QFile::setPermissions(dirs[i],
                                  read | QFile::ExeOwner | QFile::ExeOther |
                                      (kind.startsWith("rw") ? write : QFile::Permissions{}));
        }
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), dirs[1]);
        env.insert(QStringLiteral("HOME"), dirs[1]);
        const auto run = test::runProgram(
            test::unprivilegedPrefix() +
                QStringList{QCoreApplication::applicationFilePath(), "--probe", mode, dirs[0]},
            env);
        const QString text = QString::fromUtf8(run.out + run.err);
        const QString path = text.section("path=", 1).section('\n', 0, 0);
        for (QString expected : out)
            QVERIFY2(text.contains(expected.replace("%P", dirs[0]).replace("%C", dirs[1])),
                     qPrintable(text));
        const bool box = out.join(' ').contains("box=");
        QCOMPARE(text.count("box="), box ? 1 : 0);
        QVERIFY2(!box || text.section("box=", 1).section('\n', 0, 0).contains(path),
                 qPrintable(text));
        QVERIFY(path.endsWith("/nuvora.ini"));
        QFile::setPermissions(path, read); // for a look at what the probe left
        QCOMPARE(test::readFile(path), program.contains('+') ? ini("4", "Old")
                                       : config == "rw"      ? ini("1", "")
                                                             : QByteArray());
        QVERIFY(program.contains('+') || !QFile::exists(dirs[0] + "/nuvora.ini"));
    }

    // op is a path to add, or "-" and the number of the item to remove.
    void change_data()
    {
        QTest::addColumn<QStringList>("before");
        QTest::addColumn<QString>("op");
        QTest::addColumn<QStringList>("after");
        using L = QStringList;
        const L full = {"/a", "/b", "/c", "/d"};
        QTest::newRow("new path drops the oldest") << full << "/n" << L{"/n", "/a", "/b", "/c"};
        QTest::newRow("already first") << full << "/a" << full;
        QTest::newRow("from entry 2, entry 3 stays") << full << "/c" << L{"/c", "/a", "/b", "/d"};
        QTest::newRow("duplicate: the later moves")
            << L{"/a", "/x", "/c", "/x"} << "/x" << L{"/x", "/a", "/x", "/c"};
        QTest::newRow("remove item 1") << full << "-1" << L{"/b", "/c", "/d", ""};
        QTest::newRow("remove item 4") << full << "-4" << L{"/a", "/b", "/c", ""};
        QTest::newRow("item 5 is no item") << full << "-5" << full;
        QTest::newRow("item 0 is no item") << full << "-0" << full;
    }
    void change()
    {
        QFETCH(QStringList, before);
        QFETCH(QString, op);
        QFETCH(QStringList, after);
        std::copy(before.begin(), before.end(), m_state->RecentFiles.begin());
        if (op.startsWith('-'))
            RemoveRecentFile(*m_state, op.mid(1).toInt());
        else
            AddRecentFile(*m_state, op);
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
