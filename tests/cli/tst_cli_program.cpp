// nuvora-cli program and read as a user runs them: options, exit status, messages, --verify,
// the bar, Ctrl-C, the EEPROM, and read's S-record file that srec_cat and our own reader take as
// the same bytes.
#include "CliTest.h"
#include "Rows.h"

#include <QProcess>
#include <QRegularExpression>

#include <csignal>
#include <unistd.h>

using namespace nuvora;

namespace {

// In args and says: @image, @text, @bad (a record with a wrong checksum) and @high (@image at
// 0x1000, by srec_cat) are files of the folder, @dev, @dev2 and @dev3 the simulated devices
// (one per ';' in `devices`, their faults), @link a second name for @dev; @nobody first runs the
// program as a user without rights. `says`: parts of stderr, '|' between them, empty: none;
// `frames`: how the last three frames @dev received begin, in hex.
struct Run {
    const char *name;
    QString args; // ' ' between them
    QString devices;
    int status;
    QString says;
    QString frames = {};
};
const QString kRun = "program @image --port @dev", kRead = "read -p @dev ", kVerify = " --verify";
const std::vector<Run> kRuns{
    {"success names port, bytes, resends, time", kRun, "", 0,
     "probing @dev...\n|progress 100%  40/40 bytes  3/3 frames  |Programming complete: The "
     "whole image has been written to the EEPROM. @dev: 40 of 40 bytes written, 0 frames "
     "resent, 0.",
     "cf cf cf"}, // nothing read back without --verify
    {"quiet success says nothing", kRun + " -q", "", 0, "", "cf cf cf"},
    {"missing port", "program @image", "", 2, "error: missing --port PORT"},
    {"two images", kRun + " @text", "", 2, "error: one IMAGE only, got '@text' too"},
    {"unknown option", kRun + " --fast", "", 2, "error: unknown option '--fast'"},
    {"--port without value", "program @image --port", "", 2, "error: missing value after '--port'"},
    {"same device through a link", kRun + " -p @link", "", 2,
     "error: --port @dev and --port @link are the same device (@dev)"},
    {"--strict refuses a bad record", "program --strict @bad -p @dev", "", 3,
     "@bad:2: checksum is F6|nothing written"},
    {"port does not exist", "program @image -p /dev/nuvora-none", "", 5,
     "nuvora-cli: error: Communication failure: |/dev/nuvora-none: 0 of 40 bytes written"},
    {"rejected acknowledgement told with -v", kRun + " -v", "bad-ack-first=1", 0,
     "frame 1 (address 0x0000) sent again: the acknowledgement was wrong|40 of 40 bytes "
     "written, 1 frames resent"},
    {"late probe answer told with -v", kRun + " --verbose", "ignore-first=1", 0,
     "probe sent again: no answer in time|40 of 40 bytes written, 1 frames resent"},
    {"no rights on the terminal: the dialout group named", "@nobody " + kRun, "", 5,
     "error: Communication failure|dialout"},
    {"unreadable language named in a warning", kRun + " --lang Klingon", "", 0,
     "nuvora-cli: warning: cannot read the language file |/Klingon.lng;|Programming complete"},
    // Several ports: every line labelled, the first failing port in the order given decides.
    {"gang: the first failure decides", kRun + " -p @dev2 -p @dev3",
     "silent-after=0;;silent-after=2", 6,
     "@dev: error: The device does not answer. Check the cable, the port and the power "
     "supply, then try again. @dev: 0 of 40 bytes written, 4 frames resent, |@dev2: "
     "Programming complete: |@dev3: error: Writing stopped: the device did not confirm a "
     "block. The EEPROM now holds an incomplete image. @dev3: 16 of 40 bytes written, 4 "
     "frames resent|nuvora-cli: 1 of 3 devices programmed\n"},
    // read refuses these before it opens the port.
    {"read: negative length", kRead + "--length -5 -o x.mhx", "", 2, "--length -5: not"},
    {"read: zero length", kRead + "--length 0 -o x.mhx", "", 2, "--length 0: not"},
    {"read: past the last address", kRead + "--start 0xFFF0 --length 17 -o x.mhx", "", 2,
     "goes past the device's"},
    {"read: missing -o", kRead + "--length 16", "", 2, "error: missing -o FILE"},
    {"read: -o a folder", kRead + "--length 16 -o /", "", 4, "cannot write /: it is a folder"},
    {"read: -o in no folder", kRead + "--length 16 -o /none/x.mhx", "", 4,
     "cannot write /none/x.mhx: no folder /none"},
    // --verify: read frames of 16 bytes (length field 15) at the write frames' addresses, the
    // last page whole: 0F 00 addrLo addrHi checksum.
    {"verify gang: good, silent mid-check, worn byte", kRun + " -p @dev2 -p @dev3" + kVerify,
     ";fault-at=6,silent-after=0;corrupt=0", 7,
     "@dev: Programming complete: |40 of 40 bytes written, 0 frames resent, |; 48 bytes read "
     "back, no difference\n|@dev2: error: Verify stopped: the device did not answer a read "
     "frame.|; the read frame at 0x0010 was not answered, 16 of 48 bytes read back\n|@dev3: "
     "error: Verify failed: |; first difference at 0x0000, 1 of 48 bytes read back differ\n|"
     "nuvora-cli: 1 of 3 devices programmed\n",
     "0f0000000f 0f0010001f 0f0020002f"},
    // Worn bytes across a page's end and past the image's end, named as the image's addresses.
    {"verify: every difference counted", "program @high -p @dev" + kVerify, "corrupt=30,count=12",
     8, "first difference at 0x101E, 12 of 48 bytes"},
};

// `last`: on the bar line left behind.
struct Bar {
    const char *name;
    int columns;
    QString device;
    int status;
    QString last;
    bool verify = false; // the check draws a bar of its own, on the next line
};
const std::vector<Bar> kBars{
    // Too narrow for the rate: the figures give way before the bar does.
    {"40 columns", 40, "baud=115200", 0, "100%  256/256 frames"},
    // Frames faster than redraws, then five silent seconds: the bar must show them before the
    // outcome draws it once more.
    {"fast frames, then silence", 80, "silent-after=100", 7, " 99/256 frames"},
    {"--verify: two bars", 80, "baud=115200", 0, "100%  4096/4096 bytes  256/256 frames", true}};

// `from` and `count`: the range as numbers; count 0: the read fails.
struct Read {
    const char *name;
    QString start, length;
    int from, count;
};
const std::vector<Read> kReads{
    {"the image and its padded page", "0", "48", 0, 48},
    {"hex, pages cut at both ends", "0x1c", "0x21", 28, 33},
    {"the device's last page", "0xFFF0", "16", 0xFFF0, 16},
    {"the whole device", "0", "0x10000", 0, 65536},
    // Probe, three writes, probe, one read: the second read frame gets no answer.
    {"a read frame unanswered", "0", "48", 16, 0}};

struct Signal {
    const char *name;
    int signal, times;
};
const std::vector<Signal> kSignals{
    {"SIGINT", SIGINT, 1}, {"SIGTERM", SIGTERM, 1}, {"a second SIGINT ends at once", SIGINT, 2}};
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
        test::writeFile(m_dir.filePath("image.bin"), m_image);
        const auto r = test::runProgram({"srec_cat", m_dir.filePath("image.bin"), "-binary",
                                         "-offset", "0x1000", "-o", m_dir.filePath("high.mhx"),
                                         "-motorola", "-address-length=3"});
        QVERIFY2(r.status == 0, r.err.constData());
    }

    void program_data() { test::indexRows(kRuns); }
    void program()
    {
        const Run &row = test::currentRow(kRuns);
        std::vector<std::unique_ptr<devsim::DeviceSimulator>> sims;
        for (const QString &device : row.devices.split(';')) {
            devsim::SimOptions o = test::simFaults(device);
            o.logFrames = 3;
            sims.push_back(test::startDevice(o));
        }
        const QString link = m_dir.filePath("link-" + QString::number(qHash(row.args)));
        QFile::remove(link);
        QVERIFY(QFile::link(test::devicePath(*sims[0]), link));
        const auto fill = [&](QString text) {
            for (std::size_t i = sims.size(); i > 1; --i)
                text.replace(QString("@dev%1").arg(i), test::devicePath(*sims[i - 1]));
            return text.replace("@dev", test::devicePath(*sims[0]))
                .replace("@link", link)
                .replace(QRegularExpression("@(image|text|bad|high)"), m_dir.filePath("\\1.mhx"));
        };
        QStringList args = fill(row.args).split(' ', Qt::SkipEmptyParts);
        QStringList command{test::cli()};
        if (args.first() == "@nobody") { // root may open any terminal, this user not ours
            if (::geteuid() != 0)
                QSKIP("needs root to run as a user without rights on the terminal");
            command = test::unprivilegedPrefix() + command;
            args.removeFirst();
        }
        const auto r = test::runProgram(command + args);
        QCOMPARE(r.status, row.status);
        QVERIFY2(!row.says.isEmpty() || r.err.isEmpty(), r.err.constData());
        for (const QString &part : fill(row.says).split('|', Qt::SkipEmptyParts))
            QVERIFY2(r.err.contains(part.toUtf8()), r.err.constData());
        // Refused: one line on what is wrong, for a usage error one more to the help, and the
        // device sees no frame.
        if (row.status == 2)
            QVERIFY2(r.err.endsWith("\ntry 'nuvora-cli " + args[0].toUtf8() + " --help'\n"),
                     r.err.constData());
        if (row.status == 2 || row.status == 4)
            QVERIFY2(r.err.count('\n') == (row.status == 2 ? 2 : 1), r.err.constData());
        if (row.status >= 2 && row.status <= 4)
            QCOMPARE(sims[0]->stats().requests, 0);
        const QList<QByteArray> last = test::requestsHex(*sims[0]);
        const QStringList frames = row.frames.split(' ', Qt::SkipEmptyParts);
        for (int i = 0; i < frames.size(); ++i)
            QVERIFY2(last.value(i).startsWith(frames[i].toUtf8()), last.join(' ').constData());
    }

    // Programmed, then read back: the device holds the image, its last page padded with 0xFF.
    void roundTrip_data() { test::indexRows(kReads); }
    void roundTrip()
    {
        const auto &[name, start, length, from, count] = test::currentRow(kReads);
        const bool failed = count == 0;
        QByteArray device = test::randomBytes(65536, 6); // not erased: nothing reads as 0xFF
        auto sim = test::startDevice(test::simFaults(failed ? "silent-after=6" : ""));
        sim->setEeprom({device.begin(), device.end()});
        const QString port = test::devicePath(*sim);
        QCOMPARE(test::runProgram({test::cli(), "program", m_dir.filePath("image.mhx"), "-p", port})
                     .status,
                 0);
        device.replace(0, 48, m_image + QByteArray(8, char(0xFF)));
        const QString out = m_dir.filePath("back.mhx");
        QFile::remove(out);
        const auto r = test::runProgram({test::cli(), "read", "-p", port, "--start", start,
                                         "--length", length, "-o", out, "--json"});
        const QJsonObject json = QJsonDocument::fromJson(r.out).object();
        QCOMPARE(r.status, failed ? 7 : 0);
        QCOMPARE(json.value("status").toInt(-1), r.status);
        QCOMPARE(json.value("outcome").toString(), failed ? "read-failed" : "success");
        QCOMPARE(json.value("written").toBool(!failed), !failed);
        QCOMPARE(json.value("read").toInt(-1), failed ? from : count);
        QCOMPARE(json.value("port").toString(), port);
        QCOMPARE(QFile::exists(out), !failed);
        if (failed)
            return;
        const QByteArray text = test::readFile(out);
        QVERIFY2(text.startsWith("S0") && text.endsWith("\r\nS804000000FB\r\n"), text.constData());
        QCOMPARE(text.count("\r\nS214"), count / 16); // 16 data bytes a record
        const QByteArray expected = device.mid(from, count);
        // The bytes alone on stdout, the summary beside them on stderr: ready for a pipe.
        const auto dump = test::runProgram({test::cli(), "info", out, "--dump", "-"});
        QCOMPARE(dump.out, expected);
        QVERIFY2(dump.err.contains("length: " + QByteArray::number(count) + " bytes\n"), dump.err);
        QCOMPARE(test::runProgram(
                     {"srec_cat", out, "-offset", QString::number(-from), "-o", "-", "-binary"})
                     .out,
                 expected);
    }

    // The bar on a terminal: never a line the terminal would wrap, redrawn in place, and
    // exactly one bar line left behind, showing every frame answered.
    void bar_data() { test::indexRows(kBars); }
    void bar()
    {
        const auto &[name, columns, device, status, last, verify] = test::currentRow(kBars);
        test::writeSRecords(m_dir.filePath("bar.mhx"), test::randomBytes(4096));
        auto sim = test::startDevice(test::simFaults(device));
        QStringList command{test::cli(), "program", m_dir.filePath("bar.mhx"), "-p",
                            test::devicePath(*sim)};
        if (verify)
            command << "--verify";
        const auto r = test::runOnTerminal(command, columns);
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
        QCOMPARE(barLines, 1 + verify);
        QVERIFY2(draws > 1 && withLast >= (status ? 2 : 1), r.err.constData());
    }

    // Ctrl-C or SIGTERM mid-run: the frame under way ends, the run stops with status 130, and
    // the report's byte count is exactly what the EEPROM holds. A second signal ends it at once.
    void interrupt_data() { test::indexRows(kSignals); }
    void interrupt()
    {
        const auto &[name, signal, times] = test::currentRow(kSignals);
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
        QCOMPARE(test::toBytes(sim->eeprom()),
                 image.left(written) + QByteArray(65536 - written, '\xFF'));
    }
};

QTEST_GUILESS_MAIN(CliProgramTest)
#include "tst_cli_program.moc"
