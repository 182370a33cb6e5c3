// nuvora-cli program as a user runs it: options, exit status, messages, the bar, Ctrl-C and
// the EEPROM.
#include "CliTest.h"

#include <QProcess>
#include <QRegularExpression>

#include <csignal>
#include <unistd.h>

using namespace nuvora;

namespace {

// The image's first `written` bytes, then bytes as the erased device left them.
void checkEeprom(const devsim::DeviceSimulator &sim, const QByteArray &image, int written)
{
    QCOMPARE(test::toBytes(sim.eeprom()),
             image.left(written) + QByteArray(65536 - written, '\xFF'));
}

} // namespace

class CliProgramTest : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    const QByteArray m_image = test::randomBytes(40);

private slots:
    void initTestCase()
    {
        // The terminal belongs to root with mode 620: user 65534 may read the image, not open it.
        test::openUpForOthers(m_dir.path());
        test::writeSRecords(m_dir.filePath("image.mhx"), m_image);
        test::openUpForOthers(m_dir.filePath("image.mhx"));
        test::writeFile(m_dir.filePath("text.mhx"), "just some words\r\n");
        test::writeFile(m_dir.filePath("bad.mhx"), "S20500000001F9\nS20500000102F6\nS8030000FC\n");
    }

    // In args and says: @image, @text and @bad (a record with a wrong checksum) are files of
    // the folder, @dev, @dev2 and @dev3 the simulated devices (one per ';' in `devices`), @link
    // a second name for @dev; @nobody first runs the program as a user without rights.
    void program_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("devices"); // their faults, ';' between devices
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("says"); // parts of stderr, '|' between them; empty: none
        QTest::addColumn<int>("written");  // image bytes in @dev's EEPROM, -1: not checked
        using L = QStringList;
        const auto row = [](const char *name, const L &args, const QString &devices, int status,
                            const QString &says, int written = -1) {
            QTest::newRow(name) << args << devices << status << says << written;
        };
        const L run{"program", "@image", "--port", "@dev"};
        row("success names port, bytes, resends, time", run, "", 0,
            "probing @dev...\n|progress 100%  40/40 bytes  3/3 frames  |Programming complete: The "
            "whole image has been written to the EEPROM. @dev: 40 of 40 bytes written, 0 frames "
            "resent, 0.",
            40);
        row("quiet success says nothing", run + L{"-q"}, "", 0, "", 40);
        row("missing port", {"program", "@image"}, "", 2, "error: missing --port PORT", 0);
        row("two images", run + L{"@text"}, "", 2, "error: one IMAGE only, got '@text' too", 0);
        row("unknown option", run + L{"--fast"}, "", 2, "error: unknown option '--fast'", 0);
        row("--port without value", {"program", "@image", "--port"}, "", 2,
            "error: missing value after '--port'", 0);
        row("same device through a link", run + L{"-p", "@link"}, "", 2,
            "error: --port @dev and --port @link are the same device (@dev)", 0);
        row("--strict refuses a bad record", {"program", "--strict", "@bad", "-p", "@dev"}, "", 3,
            "@bad:2: checksum is F6|nothing written", 0);
        row("port does not exist", {"program", "@image", "-p", "/dev/nuvora-none"}, "", 5,
            "nuvora-cli: error: Communication failure: |/dev/nuvora-none: 0 of 40 bytes written");
        row("rejected acknowledgement told with -v", run + L{"-v"}, "bad-ack-first=1", 0,
            "frame 1 (address 0x0000) sent again: the acknowledgement was wrong|40 of 40 bytes "
            "written, 1 frames resent",
            40);
        row("late probe answer told with -v", run + L{"--verbose"}, "ignore-first=1", 0,
            "probe sent again: no answer in time|40 of 40 bytes written, 1 frames resent", 40);
        row("no rights on the terminal: the dialout group named", L{"@nobody"} + run, "", 5,
            "error: Communication failure|dialout");
        row("unreadable language named in a warning", run + L{"--lang", "Klingon"}, "", 0,
            "nuvora-cli: warning: cannot read the language file |/Klingon.lng;|Programming "
            "complete",
            40);
        // Several ports: every line labelled, and the first port in the order given that
        // failed decides the status.
        row("gang: the first failure decides", run + L{"-p", "@dev2", "-p", "@dev3"},
            "silent-after=0;;silent-after=2", 6,
            "@dev: error: The device does not answer. Check the cable, the port and the power "
            "supply, then try again. @dev: 0 of 40 bytes written, 4 frames resent, |@dev2: "
            "Programming complete: |@dev3: error: Writing stopped: the device did not confirm a "
            "block. The EEPROM now holds an incomplete image. @dev3: 16 of 40 bytes written, 4 "
            "frames resent|nuvora-cli: 1 of 3 devices programmed\n",
            0);
    }
    void program()
    {
        QFETCH(QStringList, args);
        QFETCH(QString, devices);
        QFETCH(int, status);
        QFETCH(QString, says);
        QFETCH(int, written);
        std::vector<std::unique_ptr<devsim::DeviceSimulator>> sims;
        for (const QString &device : devices.split(';'))
            sims.push_back(test::startDevice(test::simFaults(device)));
        const QString link = m_dir.filePath("link-" + QString::number(qHash(args.join(' '))));
        QFile::remove(link);
        QVERIFY(QFile::link(test::devicePath(*sims[0]), link));
        const auto fill = [&](QString text) {
            for (std::size_t i = sims.size(); i > 1; --i)
                text.replace(QString("@dev%1").arg(i), test::devicePath(*sims[i - 1]));
            return text.replace("@dev", test::devicePath(*sims[0]))
                .replace("@link", link)
                .replace(QRegularExpression("@(image|text|bad)"), m_dir.filePath("\\1.mhx"));
        };
        for (QString &a : args)
            a = fill(a);
        QStringList command{test::cli()};
        if (args.first() == "@nobody") { // root may open any terminal, this user not ours
            if (::geteuid() != 0)
                QSKIP("needs root to run as a user without rights on the terminal");
            command = test::unprivilegedPrefix() + command;
            args.removeFirst();
        }
        const auto r = test::runProgram(command + args);
        QCOMPARE(r.status, status);
        QVERIFY2(!says.isEmpty() || r.err.isEmpty(), r.err.constData());
        for (const QString &part : fill(says).split('|', Qt::SkipEmptyParts))
            QVERIFY2(r.err.contains(part.toUtf8()), r.err.constData());
        if (status == 2) // one line on what is wrong, one to the help
            QVERIFY2(r.err.count('\n') == 2 &&
                         r.err.endsWith("\ntry 'nuvora-cli program --help'\n"),
                     r.err.constData());
        if (written >= 0)
            checkEeprom(*sims[0], m_image, written);
    }

    // The bar on a terminal: never a line the terminal would wrap, redrawn in place, and
    // exactly one bar line left behind, showing every frame answered.
    void bar_data()
    {
        QTest::addColumn<int>("columns");
        QTest::addColumn<QString>("device");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("last"); // on the bar line left behind
        // Too narrow for the rate: the figures give way before the bar does.
        QTest::newRow("40 columns") << 40 << "baud=115200" << 0 << "100%  256/256 frames";
        // Frames faster than redraws, then five silent seconds: the bar must show them before
        // the outcome draws it once more.
        QTest::newRow("fast frames, then silence")
            << 80 << "silent-after=100" << 7 << " 99/256 frames";
    }
    void bar()
    {
        QFETCH(int, columns);
        QFETCH(QString, device);
        QFETCH(int, status);
        QFETCH(QString, last);
        test::writeSRecords(m_dir.filePath("bar.mhx"), test::randomBytes(4096));
        auto sim = test::startDevice(test::simFaults(device));
        const auto r = test::runOnTerminal(
            {test::cli(), "program", m_dir.filePath("bar.mhx"), "-p", test::devicePath(*sim)},
            columns);
        QCOMPARE(r.status, status);
        int barLines = 0, draws = 0, withLast = 0;
        for (const QByteArray &line : r.err.split('\n')) {
            QList<QByteArray> shown = QByteArray(line).replace("\033[K", "").split('\r');
            shown.removeAll(QByteArray()); // the terminal's own CR before each LF
            const int before = draws;
            for (const QByteArray &text : shown) {
                if (!text.startsWith('['))
                    continue;
                ++draws;
                withLast += text.contains(last.toUtf8());
                QVERIFY2(text.size() < columns, text.constData());
            }
            barLines += draws > before;
            if (draws > before) // what stays on screen: the last drawing
                QVERIFY2(shown.last().contains(last.toUtf8()), line.constData());
        }
        QCOMPARE(barLines, 1);
        QVERIFY2(draws > 1 && withLast >= (status ? 2 : 1), r.err.constData());
    }

    // Ctrl-C or SIGTERM mid-run: the frame under way ends, the run stops with status 130, and
    // the report's byte count is exactly what the EEPROM holds. A second signal ends it at once.
    void interrupt_data()
    {
        QTest::addColumn<int>("signal");
        QTest::addColumn<int>("times");
        QTest::newRow("SIGINT") << int(SIGINT) << 1;
        QTest::newRow("SIGTERM") << int(SIGTERM) << 1;
        QTest::newRow("a second SIGINT ends at once") << int(SIGINT) << 2;
    }
    void interrupt()
    {
        QFETCH(int, signal);
        QFETCH(int, times);
        const QByteArray image = test::randomBytes(8192, 7);
        test::writeSRecords(m_dir.filePath("long.mhx"), image);
        // Slow answers keep a frame under way long enough for a second signal.
        auto sim = test::startDevice(test::simFaults("late-ms=300"));
        QProcess p;
        p.start(test::cli(), {"program", m_dir.filePath("long.mhx"), "-p", test::devicePath(*sim)});
        QByteArray err;
        QTRY_VERIFY_WITH_TIMEOUT((err += p.readAllStandardError()).contains("progress   0%"),
                                 10000);
        ::kill(pid_t(p.processId()), signal);
        if (times > 1) { // a signal sent before the first was taken would merge with it
            QTRY_VERIFY((err += p.readAllStandardError()).contains("warning: interrupted"));
            ::kill(pid_t(p.processId()), signal);
        }
        QVERIFY(p.waitForFinished(10000));
        err += p.readAllStandardError();
        QCOMPARE(p.exitStatus(), QProcess::NormalExit);
        QCOMPARE(p.exitCode(), 130);
        QVERIFY2(err.contains("nuvora-cli: warning: interrupted: stopping after the frame"),
                 err.constData());
        if (times > 1) { // no report: the frame under way may be cut short
            QVERIFY2(err.contains("error: interrupted again: stopped at once") &&
                         !err.contains("bytes written"),
                     err.constData());
            return;
        }
        const auto m =
            QRegularExpression("error: Programming interrupted: the device holds part of the "
                               "image\\. \\S+: (\\d+) of 8192 bytes written")
                .match(QString(err));
        QVERIFY2(m.hasMatch(), err.constData());
        const int written = m.captured(1).toInt();
        QVERIFY2(written >= 16 && written < 8192 && written % 16 == 0, err.constData());
        QCOMPARE(sim->stats().writes * 16, written); // no frame beyond the last acknowledged
        checkEeprom(*sim, image, written);
    }
};

QTEST_GUILESS_MAIN(CliProgramTest)
#include "tst_cli_program.moc"
