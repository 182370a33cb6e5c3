#include "base/TextFile.h"
#include "commands/ComMenuMarks.h"
#include "commands/SettingsCommands.h"
#include "settings/RecentFiles.h"

#include "Fixtures.h"
#include "RecordingPrompter.h"
#include "Rows.h"

#include <QTemporaryDir>
#include <QTest>

#include <cstdio>
#include <memory>

using namespace nuvora;

namespace {

// Records the Com menu's check marks as "com<n>" and "usb", "-" before a cleared one.
struct RecordingMarks : ComMenuMarks {
    void setComChecked(int n, bool on) override { marks << QString("-com%1").arg(n).mid(on); }
    void setUsbChecked(bool on) override { marks << QString("-usb").mid(on); }
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

    // A file that is kept stays as it is; any other is reset to COM1 without recent files,
    // keeping the language when its line was read, and rewritten. mark: empty for a reset.
    struct LoadRow {
        const char *name;
        QByteArray file;
        int port = 1;
        QString mark = {}, language = "Before", file1 = {};
    };
    static QByteArray com(const QByteArray &value) { return ini(value, "Italiano", "/a.mhx"); }
    const std::vector<LoadRow> m_loads{
        {"COM4 is the last menu item", com("4"), 4, "com4", "Italiano", "/a.mhx"},
        {"COM5 is the USB adapter", com("5"), 5, "usb", "Italiano", "/a.mhx"},
        {"largest port number, blanks around", com("  32767\t"), 32767, "usb", "Italiano",
         "/a.mhx"},
        {"a tail larger than any settings file is not read",
         com("3") + QByteArray(kMaxTextFileBytes, 'x'), 3, "com3", "Italiano", "/a.mhx"},
        {"UTF-8, blanks belong to the values", ini("2", "Fran\303\247ais ", " /\342\202\254"), 2,
         "com2", u"Français "_qs, u" /€"_qs},
        {"empty file", ""},
        {"COM0 keeps the language", com("0"), 1, "", "Italiano"},
        {"port above 16 bits", com("32768")},
        {"digits then letters", com("3x")},
        {"language line one short", com("2").replace("LINGUA=Italiano", "LINGUA")},
        {"file line one short", com("2").replace("FILE3=", "FILE3"), 1, "", "Italiano"},
    };
    struct UserRow {
        const char *name, *mode, *program, *config;
        QStringList out;
    };
    const std::vector<UserRow> m_users{
        {"read-only program folder: the user's file", "load", "ro", "rw", {"path=%C/", "com=1\n"}},
        {"nowhere to write: one box", "load", "ro", "ro", {"com=1\n", "box=48|Nuvora|"}},
        {"write-protected file is kept", "save", "rw+r", "rw", {"path=%P/", "save=0|70"}},
        {"unreadable file is named", "load", "rw+0", "rw", {"box=48|Nuvora|", "cannot be read"}},
    };
    // The lists as words, "" an empty entry; op is a path to add, or "-" and the number of the
    // item to remove.
    struct ChangeRow {
        const char *name, *before, *op, *after;
    };
    const std::vector<ChangeRow> m_changes{
        {"already first", "/a /b /c /d", "/a", "/a /b /c /d"},
        {"duplicate: the later moves", "/a /x /c /x", "/x", "/x /a /x /c"},
        {"remove item 4", "/a /b /c /d", "-4", "/a /b /c "},
        {"item 5 is no item", "/a /b /c /d", "-5", "/a /b /c /d"},
        {"item 0 is no item", "/a /b /c /d", "-0", "/a /b /c /d"},
    };
private slots:
    void initTestCase() { test::openUpForOthers(m_dir.path()); }
    void init() { m_state = std::make_unique<AppState>(); }

    void load_data() { test::indexRows(m_loads); }
    void load()
    {
        const LoadRow &r = test::currentRow(m_loads);
        test::writeFile(iniPath(), r.file);
        m_state->LanguageName = QStringLiteral("Before");
        m_state->RecentFiles = {"/old1", "/old2", "/old3", "/old4"};
        const SettingsFile settings(m_dir.path());
        QCOMPARE(settings.path(), iniPath());
        test::RecordingPrompter prompter;
        RecordingMarks marks;
        LoadFileINI(settings, *m_state, marks, prompter);
        QCOMPARE(int(m_state->ComPort), r.port);
        QCOMPARE(m_state->LanguageName, r.language);
        QCOMPARE(list(), (QStringList{r.file1, "", "", ""}));
        QCOMPARE(marks.marks, r.mark.isEmpty() ? QStringList{} : QStringList{r.mark});
        QVERIFY(prompter.boxes.isEmpty());
        QCOMPARE(test::readFile(iniPath()),
                 r.mark.isEmpty() ? ini("1", r.language.toUtf8()) : r.file);
    }

    // The probe as an unprivileged user (root ignores file permissions). program and config:
    // the folders, "ro" or "rw", with "+r" or "+0" a settings file in it, read-only or
    // unreadable. out: what the probe must print ("%P", "%C": the folders); then one box or
    // none, naming the file, and a file that was there left as it was.
    void asUser_data() { test::indexRows(m_users); }
    void asUser()
    {
        const UserRow &r = test::currentRow(m_users);
        const QString program = r.program, config = r.config;
        const QString base = m_dir.filePath(QString::number(&r - m_users.data()));
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
        const auto run = test::runProgram(
            test::unprivilegedPrefix() +
                QStringList{QCoreApplication::applicationFilePath(), "--probe", r.mode, dirs[0]},
            env);
        const QString text = QString::fromUtf8(run.out + run.err);
        const QString path = text.section("path=", 1).section('\n', 0, 0);
        for (QString expected : r.out)
            QVERIFY2(text.contains(expected.replace("%P", dirs[0]).replace("%C", dirs[1])),
                     qPrintable(text));
        const bool box = r.out.join(' ').contains("box=");
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

    void change_data() { test::indexRows(m_changes); }
    void change()
    {
        const ChangeRow &r = test::currentRow(m_changes);
        const QStringList before = QString(r.before).split(' ');
        const QString op = r.op;
        std::copy(before.begin(), before.end(), m_state->RecentFiles.begin());
        op.startsWith('-') ? RemoveRecentFile(*m_state, op.mid(1).toInt())
                           : AddRecentFile(*m_state, op);
        QCOMPARE(list(), QString(r.after).split(' '));
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
