// nuvora-cli program as a user runs it: options, exit status, messages, the bar, Ctrl-C and
// the EEPROM.
#include "Fixtures.h"
#include "Programs.h"
#include "SimulatedDevice.h"
#include "TestFiles.h"
#include "Version.h"

#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <unistd.h>

using namespace nuvora;

namespace {

// "silent-after=2,bad-ack-first=1": the simulator's faults for a row.
devsim::SimOptions faults(const QString &list)
{
    devsim::SimOptions o;
    for (const QString &fault : list.split(',', Qt::SkipEmptyParts)) {
        const int n = fault.section('=', 1).toInt();
        if (fault.startsWith("silent-after="))
            o.silentAfter = n;
        else if (fault.startsWith("ignore-first="))
            o.ignoreFirst = n;
        else if (fault.startsWith("bad-ack-first="))
            o.badAckFirst = n;
        else if (fault.startsWith("late-ms="))
            o.lateBy = std::chrono::milliseconds(n);
        else if (fault.startsWith("baud="))
            o.baud = n;
        else
            qFatal("unknown fault %s", qPrintable(fault));
    }
    return o;
}

// Every byte after `written` as the erased device left it.
bool erasedFrom(const QByteArray &eeprom, int written)
{
    return eeprom.mid(written) == QByteArray(65536 - written, char(0xFF));
}

} // namespace

class CliProgramTest : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    QString cli() const { return test::programPath("nuvora-cli"); }

private slots:
    void initTestCase()
    {
        // The terminal belongs to root with mode 620: user 65534 may read the image, not open it.
        test::openUpForOthers(m_dir.path());
        test::writeSRecords(m_dir.filePath("image.mhx"), test::randomBytes(40));
        test::openUpForOthers(m_dir.filePath("image.mhx"));
        test::writeFile(m_dir.filePath("text.mhx"), "just some words\r\n");
    }

    // In args, says and written: @image and @text are files of the folder, @dev the simulated
    // device, @link a second name for it.
    void program_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("device"); // faults of the simulated device
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("says"); // parts of stderr, '|' between them; empty: none
        QTest::addColumn<int>("written");  // image bytes in the EEPROM, -1: not checked
        using L = QStringList;
        const auto row = [](const char *name, const L &args, const QString &device, int status,
                            const QString &says, int written = -1) {
            QTest::newRow(name) << args << device << status << says << written;
        };
        const L run{"program", "@image", "--port", "@dev"};
        row("success names port, bytes, resends, time", run, "", 0,
            "probing @dev...\n|progress 100%  40/40 bytes  3/3 frames  |Programming complete: The "
            "whole image has been written to the EEPROM. @dev: 40 of 40 bytes written, 0 frames "
            "resent, 0.",
            40);
        row("--port=PATH", {"program", "@image", "--port=@dev"}, "", 0, "Programming complete", 40);
        row("-p PATH before the image", {"program", "-p", "@dev", "@image"}, "", 0,
            "Programming complete", 40);
        row("-- makes an option-like word the image", {"program", "-p@dev", "--", "--strict"}, "",
            4, "error: file not found (53): --strict", 0);
        row("quiet success says nothing", run + L{"-q"}, "", 0, "", 40);
        row("missing port", {"program", "@image"}, "", 2, "error: missing --port PORT", 0);
        row("missing image", {"program", "-p", "@dev"}, "", 2, "error: missing IMAGE", 0);
        row("two images", run + L{"@text"}, "", 2, "error: one IMAGE only, got '@text' too", 0);
        row("unknown option", run + L{"--fast"}, "", 2, "error: unknown option '--fast'", 0);
        row("--port without value", {"program", "@image", "--port"}, "", 2,
            "error: missing value after '--port'", 0);
        row("port number 0", {"program", "@image", "-p", "0"}, "", 2, "error: --port 0: ", 0);
        row("same device through a link", run + L{"-p", "@link"}, "", 2,
            "error: --port @dev and --port @link are the same device (@dev)", 0);
        row("image missing", {"program", "/nonexistent/x.mhx", "-p", "@dev"}, "", 4,
            "error: file not found (53): /nonexistent/x.mhx", 0);
        row("image without S2 data", {"program", "@text", "-p", "@dev"}, "", 3,
            "nuvora-cli: error: This file is not an S-record image", 0);
        row("port does not exist", {"program", "@image", "-p", "/dev/nuvora-none"}, "", 5,
            "nuvora-cli: error: Communication failure: |/dev/nuvora-none: 0 of 40 bytes written");
        row("probe without answer", run, "silent-after=0", 6,
            "probing @dev...\nnuvora-cli: error: The device does not answer. Check the cable, "
            "the port and the power supply, then try again. @dev: 0 of 40 bytes written, 4 "
            "frames resent, 5.",
            0);
        row("second frame fails: bytes written told", run, "silent-after=2", 7,
            "error: Writing stopped: the device did not confirm a block. The EEPROM now holds "
            "an incomplete image. @dev: 16 of 40 bytes written, 4 frames resent",
            16);
        row("rejected acknowledgement told with -v", run + L{"-v"}, "bad-ack-first=1", 0,
            "frame 1 (address 0x0000) sent again: the acknowledgement was wrong|40 of 40 bytes "
            "written, 1 frames resent",
            40);
        row("late probe answer told with -v", run + L{"--verbose"}, "ignore-first=1", 0,
            "probe sent again: no answer in time|40 of 40 bytes written, 1 frames resent", 40);
        row("resends counted without -v", run, "ignore-first=1", 0, "1 frames resent", 40);
        row("lower-case language name finds its file", run + L{"--lang", "italiano"}, "", 0,
            "Programmazione completata: L'intera immagine", 40);
        row("unreadable language named in a warning", run + L{"--lang", "Klingon"}, "", 0,
            "nuvora-cli: warning: cannot read the language file |/Klingon.lng;|Programming "
            "complete",
            40);
    }

    void program()
    {
        QFETCH(QStringList, args);
        QFETCH(QString, device);
        QFETCH(int, status);
        QFETCH(QString, says);
        QFETCH(int, written);
        auto sim = test::startDevice(faults(device));
        const QString link = m_dir.filePath("link-" + QString::number(qHash(args.join(' '))));
        QFile::remove(link);
        QVERIFY(QFile::link(test::devicePath(*sim), link));
        const auto fill = [&](QString text) {
            return text.replace("@dev", test::devicePath(*sim))
                .replace("@link", link)
                .replace(QRegularExpression("@(image|text)"), m_dir.filePath("\\1.mhx"));
        };
        for (QString &a : args)
            a = fill(a);
        const auto r = test::runProgram(QStringList{cli()} + args);
        QCOMPARE(r.status, status);
        QVERIFY2(!says.isEmpty() || r.err.isEmpty(), r.err.constData());
        for (const QString &part : fill(says).split('|', Qt::SkipEmptyParts))
            QVERIFY2(r.err.contains(part.toUtf8()), r.err.constData());
        if (status == 2) // one line on what is wrong, one to the help
            QVERIFY2(r.err.count('\n') == 2 &&
                         r.err.endsWith("\ntry 'nuvora-cli program --help'\n"),
                     r.err.constData());
        if (written < 0)
            return;
        const QByteArray eeprom = test::toBytes(sim->eeprom());
        QCOMPARE(eeprom.left(written), test::randomBytes(40).left(written));
        // The failing frame itself may have reached the EEPROM; nothing after it was sent.
        QVERIFY(erasedFrom(eeprom, written == 0 || written == 40 ? written : written + 16));
    }

    void noRightsNamesDialout()
    {
        if (::geteuid() != 0) // our own terminal would be ours to open
            QSKIP("needs root to run as a user without rights on the terminal");
        auto sim = test::startDevice();
        const auto r = test::runProgram(test::unprivilegedPrefix() +
                                        QStringList{cli(), "program", m_dir.filePath("image.mhx"),
                                                    "-p", test::devicePath(*sim)});
        QCOMPARE(r.status, 5);
        QVERIFY2(r.err.contains("error: Communication failure") && r.err.contains("dialout"),
                 r.err.constData());
    }

    // Both programs and every way of asking: the version the About box shows.
    void version_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::newRow("--version") << QStringList{"nuvora-cli", "--version"};
        QTest::newRow("-V") << QStringList{"nuvora-cli", "-V"};
        QTest::newRow("program --version") << QStringList{"nuvora-cli", "program", "--version"};
        QTest::newRow("info -V") << QStringList{"nuvora-cli", "info", "-V"};
        QTest::newRow("ports --version") << QStringList{"nuvora-cli", "ports", "--version"};
        QTest::newRow("simulator --version") << QStringList{"nuvora-devsim", "--version"};
    }
    void version()
    {
        QFETCH(QStringList, args);
        const QString revision =
            kVersionRevision == 0 ? QString("0") : QString("Beta%1").arg(kVersionRevision);
        // The About box's text, then the numbers a package goes by.
        const QString expected = QString("%1 Rev. %2.%3.%4 (%2.%3.%5)\n")
                                     .arg(args.first())
                                     .arg(kVersionMajor)
                                     .arg(kVersionMinor)
                                     .arg(revision)
                                     .arg(kVersionRevision);
        args.first() = test::programPath(args.first());
        const auto r = test::runProgram(args);
        QCOMPARE(r.status, 0);
        QCOMPARE(QString(r.out), expected);
    }

    // Several ports at once: each device gets its run, every line its port, and the first port
    // in the order given that failed decides the status.
    void severalPorts_data()
    {
        QTest::addColumn<QList<int>>("silentAfter"); // per device, -1: answers everything
        QTest::addColumn<int>("status");
        QTest::addColumn<int>("programmed");
        QTest::newRow("all three") << QList<int>{-1, -1, -1} << 0 << 3;
        QTest::newRow("second stops after its second frame") << QList<int>{-1, 3, -1} << 7 << 2;
        QTest::newRow("first has no device, third stops") << QList<int>{0, -1, 3} << 6 << 1;
    }
    void severalPorts()
    {
        QFETCH(QList<int>, silentAfter);
        QFETCH(int, status);
        QFETCH(int, programmed);
        const QByteArray image = test::randomBytes(100);
        test::writeSRecords(m_dir.filePath("gang.mhx"), image);
        std::vector<std::unique_ptr<devsim::DeviceSimulator>> sims;
        QStringList args{cli(), "program", m_dir.filePath("gang.mhx")};
        for (int quiet : silentAfter) {
            devsim::SimOptions o;
            o.silentAfter = quiet;
            sims.push_back(test::startDevice(o));
            args << "--port" << test::devicePath(*sims.back());
        }
        const auto r = test::runProgram(args);
        QCOMPARE(r.status, status);
        QVERIFY2(r.err.contains(QString("nuvora-cli: %1 of %2 devices programmed\n")
                                    .arg(programmed)
                                    .arg(silentAfter.size())
                                    .toUtf8()),
                 r.err.constData());
        for (std::size_t i = 0; i < sims.size(); ++i) {
            const QString label = test::devicePath(*sims[i]) + ": ";
            const bool ok = silentAfter[qsizetype(i)] < 0;
            QVERIFY2(r.err.contains((label + (ok ? "Programming complete: " : "error: ")).toUtf8()),
                     r.err.constData());
            QCOMPARE(test::toBytes(sims[i]->eeprom()).left(image.size()) == image, ok);
        }
    }

    // The bar on terminals of three widths: never a line the terminal would wrap, redrawn in
    // place, and exactly one bar line left behind, showing every frame answered.
    void bar_data()
    {
        QTest::addColumn<int>("columns");
        QTest::addColumn<QString>("device");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("last");     // on the bar line left behind
        QTest::addColumn<int>("shownAtLeast"); // drawings with that figure
        QTest::newRow("40 columns") << 40 << "baud=115200" << 0 << "100%  256/256 frames" << 1;
        QTest::newRow("80 columns") << 80 << "baud=115200" << 0 << "256/256 frames" << 1;
        QTest::newRow("200 columns") << 200 << "baud=115200" << 0 << "256/256 frames" << 1;
        // Frames faster than redraws, then five silent seconds: the bar must not wait for
        // the outcome to show them.
        QTest::newRow("fast frames, then silence")
            << 80 << "silent-after=100" << 7 << " 99/256 frames" << 2;
    }
    void bar()
    {
        QFETCH(int, columns);
        QFETCH(QString, device);
        QFETCH(int, status);
        QFETCH(QString, last);
        QFETCH(int, shownAtLeast);
        test::writeSRecords(m_dir.filePath("bar.mhx"), test::randomBytes(4096));
        auto sim = test::startDevice(faults(device));
        const auto r = test::runOnTerminal(
            {cli(), "program", m_dir.filePath("bar.mhx"), "-p", test::devicePath(*sim)}, columns);
        QCOMPARE(r.status, status);
        int barLines = 0;
        int draws = 0;
        int withLast = 0;
        for (const QByteArray &line : r.err.split('\n')) {
            QList<QByteArray> shown = QByteArray(line).replace("\033[K", "").split('\r');
            shown.removeAll(QByteArray()); // the terminal's own CR before each LF
            bool bar = false;
            for (const QByteArray &text : shown) {
                if (!text.startsWith('['))
                    continue;
                bar = true;
                ++draws;
                withLast += text.contains(last.toUtf8());
                QVERIFY2(text.size() < columns, text.constData());
            }
            barLines += bar;
            if (bar) // what stays on screen: the last drawing
                QVERIFY2(shown.last().contains(last.toUtf8()), line.constData());
        }
        QCOMPARE(barLines, 1);
        QVERIFY2(draws > 1 && withLast >= shownAtLeast, r.err.constData());
    }

    // Ctrl-C or SIGTERM mid-run: the frame under way ends, the run stops with status 130, and
    // the report's byte count is exactly what the EEPROM holds.
    void interrupt_data()
    {
        QTest::addColumn<int>("signal");
        QTest::addColumn<int>("times");
        QTest::addColumn<QString>("device");
        QTest::addColumn<QByteArray>("sentAfter"); // progress seen before the first signal
        QTest::newRow("SIGINT") << int(SIGINT) << 1 << "baud=19200" << QByteArray(" 20%");
        QTest::newRow("SIGTERM") << int(SIGTERM) << 1 << "baud=19200" << QByteArray(" 20%");
        // Slow answers keep the frame under way long enough for a second signal.
        QTest::newRow("a second SIGINT ends at once")
            << int(SIGINT) << 2 << "late-ms=300" << QByteArray("  0%");
    }
    void interrupt()
    {
        QFETCH(int, signal);
        QFETCH(int, times);
        QFETCH(QString, device);
        QFETCH(QByteArray, sentAfter);
        const QByteArray image = test::randomBytes(8192, 7);
        test::writeSRecords(m_dir.filePath("long.mhx"), image);
        auto sim = test::startDevice(faults(device)); // at 19200 baud, 6 s for the whole image
        QProcess p;
        p.start(cli(), {"program", m_dir.filePath("long.mhx"), "-p", test::devicePath(*sim)});
        QByteArray err;
        QTRY_VERIFY_WITH_TIMEOUT(
            (err += p.readAllStandardError()).contains("progress " + sentAfter), 10000);
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
            QVERIFY2(err.contains("error: interrupted again: stopped at once"), err.constData());
            QVERIFY2(!err.contains("bytes written"), err.constData());
            return;
        }
        const auto m =
            QRegularExpression("error: Programming interrupted: the device holds part of the "
                               "image\\. \\S+: (\\d+) of 8192 bytes written")
                .match(QString(err));
        QVERIFY2(m.hasMatch(), err.constData());
        const int written = m.captured(1).toInt();
        QVERIFY2(written >= 1638 && written < 8192 && written % 16 == 0, err.constData());
        QCOMPARE(sim->stats().writes * 16, written); // no frame beyond the last acknowledged
        const QByteArray eeprom = test::toBytes(sim->eeprom());
        QCOMPARE(eeprom.left(written), image.left(written));
        QVERIFY(erasedFrom(eeprom, written));
    }
};

QTEST_GUILESS_MAIN(CliProgramTest)
#include "tst_cli_program.moc"
