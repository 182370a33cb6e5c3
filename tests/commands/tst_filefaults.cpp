// File-system trouble under the operator's commands: files that go away or change between two
// steps, a settings file that is no settings file, and saves cut off by SIGKILL.
#include "Fixtures.h"
#include "Programs.h"
#include "WindowFixture.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QRandomGenerator>
#include <QTest>

#include <csignal>
#include <sys/resource.h>
#include <unistd.h>

using namespace nuvora;

// Child: saves COM=1, 2, 3... over and over, printing each number once it is saved.
static int saveForever(const QString &folder)
{
    auto state = std::make_unique<AppState>();
    for (const SettingsFile file(folder);;) {
        state->ComPort = std::int16_t(state->ComPort % 30000 + 1);
        if (!file.SaveFileINI(*state).ok)
            return 1;
        std::printf("%d\n", state->ComPort), std::fflush(stdout);
    }
}

// Child, as a user: the window starts in A; then `file` is made unreadable ("-file": deleted;
// "full": the disk takes no more than 8 bytes of any file), and B is picked.
static int pickAfterTrouble(const QString &folder, const QString &file)
{
    auto state = std::make_unique<AppState>();
    test::RecordingPrompter prompter;
    MainWindow window(*state, prompter, folder);
    window.Form_Load();
    const rlimit full{8, 8};
    if (file == "full")
        std::signal(SIGXFSZ, SIG_IGN), ::setrlimit(RLIMIT_FSIZE, &full);
    else if (file.startsWith('-'))
        QFile::remove(folder + '/' + file.mid(1));
    else
        QFile::setPermissions(folder + '/' + file, {});
    window.menus().smnuLingue[1]->trigger();
    const test::Box &box = prompter.boxes.last();
    std::printf("%s|%s|%d %s", qPrintable(state->LanguageName), qPrintable(state->LangText[1]),
                box.style, qPrintable(box.text));
    return 0;
}

class FileFaultsTest : public QObject, test::WindowFixture {
    Q_OBJECT
private slots:
    void init()
    {
        freshFolder();
        QVERIFY(copyData("English.lng"));
        deadPorts(); // the one box of every start-up here: COM1 will not open
    }
    // Start-up over a settings file that is none: within a second, reset to COM1 without recent
    // files, silent unless the reset cannot be saved.
    void oddSettingsFile_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::newRow("a folder") << "folder";
        QTest::newRow("a link to /dev/zero") << "zero";
        QTest::newRow("100 MiB of junk") << "junk";
        QTest::newRow("100 MiB without a line end") << "zeros";
    }
    void oddSettingsFile()
    {
        QFETCH(QString, kind);
        const QString ini = inFolder("nuvora.ini");
        QFile f(ini);
        QVERIFY(kind == "folder" ? QDir().mkpath(ini)
                : kind == "zero" ? QFile::link("/dev/zero", ini)
                                 : f.open(QIODevice::WriteOnly) && f.resize(100 << 20));
        for (int mib = 0; kind == "junk" && mib < 100; ++mib)
            f.write(test::randomBytes(1 << 20, quint32(mib / 10))); // 1 MiB ten times
        f.close();
        m_state->RecentFiles[0] = QStringLiteral("/old.mhx");
        QElapsedTimer clock;
        clock.start();
        QVERIFY(makeWindow().Form_Load());
        QVERIFY2(clock.elapsed() < 1000, qPrintable(QString::number(clock.elapsed())));
        QVERIFY(m_state->ComPort == 1 && m_state->RecentFiles[0].isEmpty());
        QCOMPARE(m_prompter.boxes.size(), 1 + int(kind == "folder"));
        QVERIFY(kind != "folder" ||
                m_prompter.boxes.first().text.contains(ini + " cannot be written"));
        QCOMPARE(QFileInfo(ini).symLinkTarget(), kind == "zero" ? "/dev/zero" : "");
        QVERIFY(kind == "folder" || kind == "zero" || iniText() == settingsText(1, QString()));
    }
    // The image goes between the file dialog and the load: the error box with its number.
    void imageGoneBeforeLoad_data()
    {
        QTest::addColumn<int>("error"); // 75: a folder in its place
        QTest::newRow("deleted") << 53;
        QTest::newRow("replaced by a folder") << 75;
    }
    void imageGoneBeforeLoad()
    {
        QFETCH(int, error);
        QVERIFY(makeWindow().Form_Load() && (error != 75 || QDir().mkpath(inFolder("msg.mhx"))));
        m_prompter.chooseFile(inFolder("msg.mhx"));
        m_window->menus().smnuFile0->trigger();
        const QString text = m_state->LangText[11] + ' ' + QString::number(error);
        QCOMPARE(m_prompter.boxes.last(), (test::Box{text, 16, m_state->LangText[8]}));
        QVERIFY(!start()->isEnabled() && m_state->RecentFiles[0].isEmpty());
    }
    // As a user (root reads anything), trouble after start-up, then B picked from the Language
    // menu: a language file that went refuses the switch; a full disk keeps the settings file
    // whole and the box names it. `out`: the language, its text 1 and the last box.
    void languageSwitch_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("out");
        const QString refused = "A|A 1|48 Check file message!";
        QTest::newRow("the chosen file unreadable") << "B.lng" << refused;
        QTest::newRow("the current file unreadable") << "A.lng" << refused;
        QTest::newRow("the chosen file deleted") << "-B.lng" << refused;
        QTest::newRow("a full disk under the save")
            << "full"
            << "B|B 1|48 The settings file %1 cannot be written";
    }
    void languageSwitch()
    {
        QFETCH(QString, file);
        QFETCH(QString, out);
        test::writeFile(inFolder("A.lng"), test::languageFile("A", 20));
        test::writeFile(inFolder("B.lng"), test::languageFile("B", 20));
        writeInFolder("nuvora.ini", settingsText(1, "A"));
        for (const QString &path : {m_root->path(), m_folder, inFolder("A.lng"), inFolder("B.lng")})
            (void)::chown(QFile::encodeName(path).constData(), 65534, 65534); // the user's own
        const QStringList child{QCoreApplication::applicationFilePath(), "--lang", m_folder, file};
        const QByteArray said = test::runProgram(test::unprivilegedPrefix() + child).out;
        QVERIFY2(said.startsWith(out.arg(inFolder("nuvora.ini")).toUtf8()), said);
        QCOMPARE(iniText(), settingsText(1, "A"));
    }
    // SIGKILL at random moments of a child saving over and over, until 200 saves are done:
    // the file is always the last save reported or the one under way, whole.
    void killedWhileSaving()
    {
        QRandomGenerator random(14);
        for (int saves = 0, round = 0; saves < 200 || round < 10; ++round) {
            QProcess child;
            child.start(QCoreApplication::applicationFilePath(), {"--saves", m_folder});
            QVERIFY(child.waitForReadyRead(10000));
            QTest::qWait(int(random.bounded(20)));
            ::kill(pid_t(child.processId()), SIGKILL);
            QVERIFY(child.waitForFinished(10000));
            const int last = child.readAllStandardOutput().trimmed().split('\n').last().toInt();
            const QByteArray file = iniText();
            QVERIFY2(file == settingsText(last, {}) || file == settingsText(last + 1, {}), file);
            saves += last;
        }
    }
};

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.value(1) == "--saves")
        return saveForever(args.value(2));
    if (args.value(1) == "--lang")
        return pickAfterTrouble(args.value(2), args.value(3));
    FileFaultsTest tc;
    return QTest::qExec(&tc, argc, argv);
}
#include "tst_filefaults.moc"
