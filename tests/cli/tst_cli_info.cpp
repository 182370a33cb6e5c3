// nuvora-cli info and ports as a user runs them: exit status, summary as text and JSON, dump,
// record warnings, messages, aliases and the USB item's choice.
#include "CliTest.h"
#include "Rows.h"

#include "Version.h"

#include <QDir>

using namespace nuvora;
using namespace nuvora::test;

namespace {

// IMG in args and err stands for the file written from `file` (none when empty), unreadable
// to the unprivileged user that "@nobody" runs the program as; "@full" runs it on a disk that
// takes no more than 8 bytes of a file; DATA is the source tree's data folder. An empty out or
// err: that stream stays empty; an err starting '^': stderr is one line that starts so.
struct Outcome {
    const char *name;
    QByteArray file;
    QString args; // ' ' between them
    int status;
    QByteArray out, err;
};

// The About box's version, then the numbers a package goes by.
const QByteArray kVersion =
    QString("nuvora-cli Rev. %1.%2.%3 (%1.%2.%4)\n")
        .arg(kVersionMajor)
        .arg(kVersionMinor)
        .arg(kVersionRevision ? QString("Beta%1").arg(kVersionRevision) : QString("0"))
        .arg(kVersionRevision)
        .toUtf8();

const QByteArray kNone = "S9030000FC\n", kOne = "S205000000AA50\n" + kNone, kEnd = "S804000000FB\n",
                 kTwoBytes = "frames: 1 of 16 bytes\n";

// Records the window loads all the same: info warns naming the line. Each is otherwise a
// valid two-record image.
const std::vector<Outcome> kOutcomes{
    {"no data: an error", "S00600004844521B\n", "info IMG", 3, "",
     "nuvora-cli: error: This file is not an S-record image"},
    {"no data, Italian by a lower-case name", kNone, "info IMG --lang italiano", 3, "",
     "error: Questo file non "},
    {"bad count: type mismatch (13)", "S2XX000000\n", "info IMG", 4, "",
     "error: type mismatch (13): "},
    {"quiet: no summary, S9 ends the file", kOne, "info IMG -q", 0, "", ""},
    {"21 bad records: the last one counted, not named",
     QByteArray("S20500000001F8\n").repeated(21) + kNone, "info IMG", 0, "length: 1 bytes",
     "IMG: 1 more records with problems\n"},
    {"unreadable image", kOne, "@nobody info IMG", 4, "", "error: permission denied (70): "},
    {"dump on a full disk", "", "@full info DATA/sample.mhx --dump IMG.bin", 4, "length",
     "cannot write IMG.bin"},
    {"no command", "", "", 2, "", "error: missing COMMAND"},
    {"--version", "", "--version", 0, kVersion, ""},
    {"a command's -V", "", "ports -V", 0, kVersion, ""},
    {"wrong checksum", "S20500000001F9\nS20500000102F6\n" + kEnd, "info IMG", 0, kTwoBytes,
     "^nuvora-cli: warning: IMG:2: checksum is F6, the record's bytes give F7"},
    {"digit that is not hex", "S20500000001F9\nS2050000010GF7\n" + kEnd, "info IMG", 0, kTwoBytes,
     "^nuvora-cli: warning: IMG:2: 'G' in column 12 is not a hex digit"},
    {"count longer than the line", "S20600000001F9\nS20500000102F7\n" + kEnd, "info IMG", 0,
     kTwoBytes, "^nuvora-cli: warning: IMG:1: count 06 asks for 12 digits, the line has 10"},
    {"count shorter than the line", "S20500000001F9\nS2050000010203F7\n" + kEnd, "info IMG", 0,
     kTwoBytes, "^nuvora-cli: warning: IMG:2: count 05 asks for 10 digits, the line has 12"},
    {"no end record: cut at a line", "S20500000001F9\nS20500000102F7\n", "info IMG", 0, kTwoBytes,
     "^nuvora-cli: warning: IMG: no end record (S7, S8 or S9) after line 2"},
};

// `text`: lines of the summary, '|' between them; `json`: every field but the image's name.
struct Summary {
    const char *name;
    QByteArray file;
    QString text;
    QByteArray json;
};
const std::vector<Summary> kSummaries{
    {"from 0, whole: the standard CRC check value",
     "S0030000FC\nS20D00000031323334353637383915\nS804000000FB\n",
     "first:  0\n|last:   8 (0x0008)\n|length: 9 bytes\n|frames: 1 of 16 bytes\n|address: 0x0000 "
     "(image index 0)\n|records: S0 1, S2 1, S8 1\n|gaps:   none\n|crc32:  cbf43926\n",
     R"({"address":0,"records":{"S0":1,"S2":1,"S8":1},"gaps":[],
                "crc32":"cbf43926","first":0,"last":8,"length":9,"frames":1})"},
    // An S1 passed over, a gap between two records and one before an empty record that
    // stretches the image to 32 bytes.
    {"at 0x012000 with gaps",
     "S104001001EA\nS205012000AA2F\nS206012008BBCC49\nS204012020BA\nS9030000FC\n",
     "address: 0x12000 (image index 0)\n|records: S1 1, S2 3, S9 1\n|gaps:   2, 29 bytes: "
     "0x12001-0x12007, 0x1200A-0x1201F\n|crc32:  2da8b6c5\n",
     R"({"address":73728,"records":{"S1":1,"S2":3,"S9":1},"gaps":[
                {"address":73729,"index":1,"length":7},{"address":73738,"index":10,"length":22}],
                "crc32":"2da8b6c5","first":0,"last":31,"length":32,"frames":2})"},
    // The shipped sample, made by srec_cat: sound records, the CRC as zlib gives it.
    {"sample", readFile(sourceDataDir() + "/sample.mhx"),
     "last:   8191 (0x1FFF)\n|length: 8192 bytes\n|frames: 512 of 16 bytes\n|records: S0 1, S2 "
     "256, S5 1, S8 1\n|crc32:  e3aab2a9\n",
     R"({"address":0,"records":{"S0":1,"S2":256,"S5":1,
                "S8":1},"gaps":[],"crc32":"e3aab2a9","first":0,"last":8191,"length":8192,
                "frames":512})"},
};

// In a fresh user folder; BYID holds usb-FTDI_A1 -> /dev/null, the program folder COM3 -> a
// missing file, COM8 -> /dev/full, COM12 -> /dev/null and a README, SYSFS an FTDI adapter on
// ttyUSB3 (COM8). `before` and `after`: the user's aliases. `says` is on stdout, or stderr when
// failed; one that ends a line ends the output.
struct Ports {
    const char *name;
    QString before, args; // ' ' between them
    int status;
    QString says, after = {};
};
const std::vector<Ports> kPorts{
    {"stable name preferred", "", "--alias 7 /dev/null", 0, "COM7 -> BYID/usb-FTDI_A1",
     "COM7=BYID/usb-FTDI_A1"},
    {"replaced", "COM7=/dev/zero", "--alias 7 /dev/full", 0,
     "COM7 -> /dev/full (HOME/ports/COM7), was -> /dev/zero", "COM7=/dev/full"},
    {"program folder wins", "", "--alias 8 /dev/zero", 0, "warning: FOLDER/ports/COM8 wins",
     "COM8=/dev/zero"},
    {"removed", "COM7=/dev/zero COM9=/dev/null", "--unalias 7", 0, "COM7: alias removed",
     "COM9=/dev/null"},
    {"none to remove", "", "--unalias 7", 4, "no alias"},
    {"no such device", "", "--alias 7 /dev/nowhere", 4, "no device /dev/nowhere"},
    {"not a number", "", "--unalias /dev/null", 2, "'/dev/null' is not a port number"},
    {"stray argument", "", "COM3", 2,
     "error: unknown argument 'COM3'\ntry 'nuvora-cli ports --help'\n"},
    {"aliases listed by number, a missing target marked", "COM2=/dev/zero", "", 0,
     "Aliases in FOLDER/ports:\n  COM3     -> FOLDER/gone  (missing: the port will not "
     "open)\n  COM8     -> /dev/full\n  COM12    -> /dev/null\n\nAliases in HOME/ports:\n"
     "  COM2     -> /dev/zero\n\nUSB item",
     "COM2=/dev/zero"},
    {"USB item: no adapter", "", "--sysfs BYID", 0,
     "USB item: no FTDI adapter found (the window would say \"USB port not available\").\n"},
    {"USB item: the adapter's device", "", "--sysfs SYSFS --folder BYID", 0,
     "\nUSB item: COM8 (/dev/ttyUSB3)\n"},
    {"USB item: an alias of its number wins", "", "--sysfs SYSFS", 0,
     "USB item: COM8 (FOLDER/ports/COM8)\nwarning: FOLDER/ports/COM8 leads to /dev/full, "
     "not to the adapter's /dev/ttyUSB3\n"},
};

} // namespace

class TestCliInfo : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;

private slots:
    void initTestCase() { openUpForOthers(m_dir.path()); }

    void outcomes_data() { indexRows(kOutcomes); }
    void outcomes()
    {
        const Outcome &row = currentRow(kOutcomes);
        const QString path =
            m_dir.filePath(QString::number(qHash(QTest::currentDataTag())) + ".mhx");
        if (!row.file.isEmpty())
            writeFile(path, row.file);
        QStringList prefix, args = row.args.split(' ', Qt::SkipEmptyParts);
        if (args.value(0) == "@nobody") {
            QVERIFY(QFile::setPermissions(path, QFileDevice::WriteOwner));
            prefix = unprivilegedPrefix();
        } else if (args.value(0) == "@full") {
            prefix = {"prlimit", "--fsize=8"};
        }
        args = args.mid(prefix.isEmpty() ? 0 : 1).replaceInStrings("IMG", path);
        args.replaceInStrings("DATA", sourceDataDir());
        QByteArray err = QByteArray(row.err).replace("IMG", path.toUtf8());
        const ProgramRun r = runProgram(prefix + QStringList{cli()} + args);
        QCOMPARE(r.status, row.status);
        QVERIFY2(row.out.isEmpty() ? r.out.isEmpty() : r.out.contains(row.out), r.out.constData());
        if (err.startsWith('^'))
            QVERIFY2(r.err.startsWith(err.mid(1)) && r.err.count('\n') == 1, r.err.constData());
        else
            QVERIFY2(err.isEmpty() ? r.err.isEmpty() : r.err.contains(err), r.err.constData());
    }

    void summary_data() { indexRows(kSummaries); }
    void summary()
    {
        const Summary &row = currentRow(kSummaries);
        const QString path = m_dir.filePath("image.mhx");
        writeFile(path, row.file);
        const auto plain = runProgram({cli(), "info", path});
        QCOMPARE(plain.status, 0);
        QVERIFY2(plain.err.isEmpty(), plain.err.constData()); // no record warned about
        for (const QString &line : row.text.split('|'))
            QVERIFY2(plain.out.contains(line.toUtf8()), plain.out.constData());
        const auto r = runProgram({cli(), "info", path, "--json"});
        QCOMPARE(r.status, 0);
        QJsonObject expected = QJsonDocument::fromJson(row.json).object();
        expected.insert("image", path);
        const QJsonObject got = QJsonDocument::fromJson(r.out).object();
        for (const QString &key : expected.keys() + got.keys())
            QVERIFY2(got.value(key) == expected.value(key), qPrintable(key + ": " + r.out));
    }

    // ports: the aliases and the USB item's choice.
    void ports_data() { indexRows(kPorts); }
    void ports()
    {
        const Ports &row = currentRow(kPorts);
        QTemporaryDir config, byId, folder, sysfs;
        const QString user = config.filePath("Nuvora");
        const auto fill = [&](QString text) {
            return text.replace("BYID", byId.path())
                .replace("FOLDER", folder.path())
                .replace("HOME", user)
                .replace("SYSFS", sysfs.path());
        };
        test::layOutUsbSerial(sysfs.path(), "ftdi_sio", {"ttyUSB3"});
        QVERIFY(QFile::link("/dev/null", byId.filePath("usb-FTDI_A1")));
        for (const auto &[n, target] : {std::pair{8, "/dev/full"}, {12, "/dev/null"}, {3, "gone"}})
            QVERIFY(test::linkPort(folder.path(), n, QDir(folder.path()).filePath(target)));
        test::writeFile(folder.filePath("ports/README"), "not a port");
        for (const QString &alias : row.before.split(' ', Qt::SkipEmptyParts))
            QVERIFY(test::linkPort(user, alias.mid(3, 1).toInt(), alias.mid(5)));
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("XDG_CONFIG_HOME", config.path());
        const auto r = test::runProgram(
            QStringList{test::cli(), "ports", "--by-id", byId.path(), "--folder", folder.path()} +
                fill(row.args).split(' ', Qt::SkipEmptyParts),
            env);
        QCOMPARE(r.status, row.status);
        const QByteArray shown = row.status ? r.err : r.out, part = fill(row.says).toUtf8();
        QVERIFY2(part.endsWith('\n') ? shown.endsWith(part) : shown.contains(part), shown);
        QStringList left;
        for (const QFileInfo &link : QDir(user + "/ports").entryInfoList(QDir::System))
            left << link.fileName() + '=' + link.symLinkTarget();
        QCOMPARE(left.join(' '), fill(row.after));
    }
};

QTEST_GUILESS_MAIN(TestCliInfo)
#include "tst_cli_info.moc"
