#include "Fixtures.h"
#include "Programs.h"
#include "SimulatedDevice.h"
#include "TestFiles.h"

#include <QTemporaryDir>
#include <QTest>

using namespace nuvora::test;

static ProgramRun runCli(const QStringList &args, const QStringList &prefix = {})
{
    return runProgram(prefix + QStringList{programPath("nuvora-cli")} + args);
}

// Runs nuvora-cli info as a user would: exit status, summary, dump file, messages.
class TestCliInfo : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_dir;

private slots:
    void sampleSummaryAndDump()
    {
        const QString dump = m_dir.filePath(QStringLiteral("sample.bin"));
        const ProgramRun r = runCli({"info", sourceDataDir() + "/sample.mhx", "--dump", dump});
        QVERIFY2(r.status == 0 && r.err.isEmpty(), r.err.constData());
        for (const char *line : {"first:  0\n", "last:   8191 (0x1FFF)\n", "length: 8192 bytes\n",
                                 "frames: 512 of 16 bytes\n"})
            QVERIFY2(r.out.contains(line), line);
        const QByteArray bytes = readFile(dump);
        QCOMPARE(bytes.size(), 8192);
        QVERIFY(bytes.startsWith("Nuvora message slot 0: "));
        for (int i = 0; i < 4096; ++i)
            QCOMPARE(quint8(bytes[4096 + i]), quint8((i % 256 + i / 256) % 256));
    }

    // The bytes alone on standard output, the summary on stderr: ready for a pipe.
    void dumpToStandardOutput()
    {
        const ProgramRun r = runCli({"info", sourceDataDir() + "/sample.mhx", "--dump", "-"});
        QCOMPARE(r.status, 0);
        QCOMPARE(r.out.size(), 8192);
        QVERIFY(r.out.startsWith("Nuvora message slot 0: "));
        QVERIFY2(r.err.contains("length: 8192 bytes\n"), r.err.constData());
    }

    // A disk that takes no more than 8 bytes of a file: an error, and the old dump whole.
    void dumpOnAFullDisk()
    {
        const QString dump = m_dir.filePath(QStringLiteral("old.bin"));
        writeFile(dump, QByteArray(4096, 'o'));
        const ProgramRun r = runCli({"info", sourceDataDir() + "/sample.mhx", "--dump", dump},
                                    {"prlimit", "--fsize=8"});
        QCOMPARE(r.status, 4);
        QVERIFY2(r.err.contains("cannot write"), r.err.constData());
        QCOMPARE(readFile(dump), QByteArray(4096, 'o'));
    }

    // IMG in args stands for the file written from the first column (none when empty).
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
        const QByteArray one = "S205000000AA50\nS9030000FC\n", none = "S9030000FC\n";
        const L info = {"info", "IMG"};
        row("count beyond the line: loaded with a warning",
            "S2150000000102030405060708090A0B0C0D0E0F1000\r\nS804000000FB\r\n", info, 0,
            "frames: 2 of 16 bytes", ":1: count 15 asks for 42 digits, the line has 40\n");
        row("no data: an error", "S00600004844521B\n", info, 3, {},
            "nuvora-cli: error: This file is not an S-record image");
        row("no data, Italian by a lower-case name", none, info + L{"--lang", "italiano"}, 3, {},
            "error: Questo file non ");
        row("no data, unknown language named", none, info + L{"--lang", "Klingon"}, 3, {},
            "warning: cannot read the language file ");
        row("bad count: type mismatch (13)", "S2XX000000\n", info, 4, {},
            "error: type mismatch (13): ");
        row("missing image: file not found (53)", {}, info, 4, {}, "error: file not found (53): ");
        row("dump into a missing folder", one, info + L{"--dump", "/nonexistent/x.bin"}, 4,
            "frames", "error: cannot write /nonexistent/x.bin");
        row("quiet: no summary", one, info + L{"-q"}, 0, {});
        row("--dump without file", one, info + L{"--dump"}, 2, {},
            "error: missing value after '--dump'\ntry 'nuvora-cli info --help'\n");
        row("unknown option", one, info + L{"--frob"}, 2, {}, "error: unknown option '--frob'");
        row("--dump=FILE form", one, info + L{"--dump=/nonexistent/y.bin"}, 4, "frames",
            "cannot write /nonexistent/y.bin");
        row("two images", one, info + L{"o.mhx"}, 2, {}, "error: one IMAGE only, got 'o.mhx'");
        row("no image", {}, {"info"}, 2, {}, "error: missing IMAGE\n");
        row("no command", {}, {}, 2, {}, "error: missing COMMAND");
        row("info --help", {}, {"info", "--help"}, 0, "exit status");
        row("-h", {}, {"-h"}, 0, "info [--dump FILE]");
    }

    // Records the window loads all the same: info warns naming the line, program --strict
    // refuses them before a frame goes out. Each is otherwise a valid two-record image.
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
        const ProgramRun info = runCli({"info", path});
        QCOMPARE(info.status, 0);
        QVERIFY2(info.err.contains("nuvora-cli: warning: " + (path + warning).toUtf8()),
                 info.err.constData());
        QCOMPARE(info.err.count('\n'), 1);
        auto sim = startDevice();
        const ProgramRun strict = runCli({"program", "--strict", path, "--port", devicePath(*sim)});
        QCOMPARE(strict.status, 3);
        QVERIFY2(strict.err.contains(warning.toUtf8()) && strict.err.contains("nothing written"),
                 strict.err.constData());
        QCOMPARE(sim->stats().requests, 0);
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
        args.replaceInStrings(QStringLiteral("IMG"), path);
        const ProgramRun r = runCli(args);
        QCOMPARE(r.status, status);
        QVERIFY2(out.isEmpty() ? r.out.isEmpty() : r.out.contains(out), r.out.constData());
        QVERIFY2(err.isEmpty() ? r.err.isEmpty() : r.err.contains(err), r.err.constData());
    }

    // Checked by an unprivileged user: root would read the file anyway.
    void unreadableImage()
    {
        QTemporaryDir dir;
        openUpForOthers(dir.path());
        const QString path = dir.filePath(QStringLiteral("locked.mhx"));
        writeFile(path, "S205000000AA00\n");
        QVERIFY(QFile::setPermissions(path, QFileDevice::WriteOwner));
        const ProgramRun r = runCli({"info", path}, unprivilegedPrefix());
        QCOMPARE(r.status, 4);
        QVERIFY2(r.err.contains("error: permission denied (70): "), r.err.constData());
    }
};

QTEST_GUILESS_MAIN(TestCliInfo)
#include "tst_cli_info.moc"
