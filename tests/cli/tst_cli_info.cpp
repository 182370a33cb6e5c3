// nuvora-cli info as a user runs it: exit status, summary, dump, record warnings, messages.
#include "CliTest.h"

#include "Version.h"

using namespace nuvora;
using namespace nuvora::test;

class TestCliInfo : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;

private slots:
    void initTestCase() { openUpForOthers(m_dir.path()); }

    // IMG in args and err stands for the file written from the first column (none when empty),
    // unreadable to the unprivileged user that "@nobody" runs the program as; "@full" runs it
    // on a disk that takes no more than 8 bytes of a file.
    void outcomes_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("status");
        QTest::addColumn<QByteArray>("out"); // expected in stdout; empty: stdout stays empty
        QTest::addColumn<QByteArray>("err"); // expected in stderr; empty: stderr stays empty
        using L = QStringList;
        const auto row = [](const char *name, const QByteArray &file, const L &args, int status,
                            const QByteArray &out, const QByteArray &err = {}) {
            QTest::newRow(name) << file << args << status << out << err;
        };
        const QByteArray none = "S9030000FC\n", one = "S205000000AA50\n" + none;
        const L info = {"info", "IMG"};
        row("no data: an error", "S00600004844521B\n", info, 3, {},
            "nuvora-cli: error: This file is not an S-record image");
        row("no data, Italian by a lower-case name", none, info + L{"--lang", "italiano"}, 3, {},
            "error: Questo file non ");
        row("bad count: type mismatch (13)", "S2XX000000\n", info, 4, {},
            "error: type mismatch (13): ");
        row("quiet: no summary, S9 ends the file", one, info + L{"-q"}, 0, {});
        row("21 bad records: the last one counted, not named",
            QByteArray("S20500000001F8\n").repeated(21) + none, info, 0, "length: 1 bytes",
            "IMG: 1 more records with problems\n");
        row("unreadable image", one, L{"@nobody"} + info, 4, {}, "error: permission denied (70): ");
        row("dump on a full disk", {},
            {"@full", "info", sourceDataDir() + "/sample.mhx", "--dump", "IMG.bin"}, 4, "length",
            "cannot write IMG.bin");
        row("no command", {}, {}, 2, {}, "error: missing COMMAND");
        // The About box's version, then the numbers a package goes by.
        const QString revision =
            kVersionRevision ? QString("Beta%1").arg(kVersionRevision) : QString("0");
        const QByteArray version = QString("nuvora-cli Rev. %1.%2.%3 (%1.%2.%4)\n")
                                       .arg(kVersionMajor)
                                       .arg(kVersionMinor)
                                       .arg(revision)
                                       .arg(kVersionRevision)
                                       .toUtf8();
        row("--version", {}, {"--version"}, 0, version);
        row("a command's -V", {}, {"ports", "-V"}, 0, version);
    }
    void outcomes()
    {
        QFETCH(QByteArray, file);
        QFETCH(QStringList, args);
        QFETCH(int, status);
        QFETCH(QByteArray, out);
        QFETCH(QByteArray, err);
        const QString path =
            m_dir.filePath(QString::number(qHash(QTest::currentDataTag())) + ".mhx");
        if (!file.isEmpty())
            writeFile(path, file);
        QStringList prefix;
        if (args.value(0) == "@nobody") {
            QVERIFY(QFile::setPermissions(path, QFileDevice::WriteOwner));
            prefix = unprivilegedPrefix();
        } else if (args.value(0) == "@full") {
            prefix = {"prlimit", "--fsize=8"};
        }
        args = args.mid(prefix.isEmpty() ? 0 : 1).replaceInStrings("IMG", path);
        err.replace("IMG", path.toUtf8());
        const ProgramRun r = runProgram(prefix + QStringList{cli()} + args);
        QCOMPARE(r.status, status);
        QVERIFY2(out.isEmpty() ? r.out.isEmpty() : r.out.contains(out), r.out.constData());
        QVERIFY2(err.isEmpty() ? r.err.isEmpty() : r.err.contains(err), r.err.constData());
    }

    // Records the window loads all the same: info warns naming the line. Each is otherwise a
    // valid two-record image.
    void badRecords_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QString>("warning");
        const QByteArray end = "S804000000FB\n";
        QTest::newRow("wrong checksum") << "S20500000001F9\nS20500000102F6\n" + end
                                        << ":2: checksum is F6, the record's bytes give F7";
        QTest::newRow("digit that is not hex") << "S20500000001F9\nS2050000010GF7\n" + end
                                               << ":2: 'G' in column 12 is not a hex digit";
        QTest::newRow("count longer than the line")
            << "S20600000001F9\nS20500000102F7\n" + end
            << ":1: count 06 asks for 12 digits, the line has 10";
        QTest::newRow("count shorter than the line")
            << "S20500000001F9\nS2050000010203F7\n" + end
            << ":2: count 05 asks for 10 digits, the line has 12";
        QTest::newRow("no end record: cut at a line")
            << QByteArray("S20500000001F9\nS20500000102F7\n")
            << ": no end record (S7, S8 or S9) after line 2";
    }
    void badRecords()
    {
        QFETCH(QByteArray, file);
        QFETCH(QString, warning);
        const QString path = m_dir.filePath("bad.mhx");
        writeFile(path, file);
        const ProgramRun info = runProgram({cli(), "info", path});
        QCOMPARE(info.status, 0);
        QVERIFY2(info.err.startsWith("nuvora-cli: warning: " + (path + warning).toUtf8()) &&
                     info.err.count('\n') == 1,
                 info.err.constData());
        QVERIFY2(info.out.contains("frames: 1 of 16 bytes\n"), info.out.constData()); // 2 bytes
    }
};

QTEST_GUILESS_MAIN(TestCliInfo)
#include "tst_cli_info.moc"
