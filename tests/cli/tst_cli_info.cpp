#include "Fixtures.h"
#include "Programs.h"
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
        QTest::addColumn<QByteArray>("out"); // expected in stdout
        QTest::addColumn<QByteArray>("err"); // expected in stderr; empty: stderr stays empty
        using L = QStringList;
        const auto row = [](const char *name, const QByteArray &file, const L &args, int status,
                            const QByteArray &out, const QByteArray &err = {}) {
            QTest::newRow(name) << file << args << status << out << err;
        };
        const QByteArray one = "S205000000AA00\n", none = "S9030000FC\n";
        const L info = {"info", "IMG"};
        row("17 bytes: two frames", "S2150000000102030405060708090A0B0C0D0E0F1000\r\n", info, 0,
            "frames: 2 of 16 bytes");
        row("no data: warning", "S00600004844521B\n", info, 3, {}, "warning: ");
        row("no data, Italian", none, info + L{"--lang", "Italiano"}, 3, {}, "Questo file non ");
        row("no data, unknown language", none, info + L{"--lang", "Klingon"}, 3, {},
            "no usable S-record data");
        row("bad count: error 13", "S2XX000000\n", info, 4, {}, "error 13");
        row("missing image: error 53", {}, info, 4, {}, "error 53");
        row("dump into a missing folder", one, info + L{"--dump", "/nonexistent/x.bin"}, 4, {},
            "cannot write");
        row("--dump without file", one, info + L{"--dump"}, 2, {}, "--dump needs");
        row("unknown option", one, info + L{"--frob"}, 2, {}, "unknown option");
        row("two images", one, info + L{"o.mhx"}, 2, {}, "only one IMAGE");
        row("no image: usage", {}, {"info"}, 2, {}, "usage: nuvora-cli info IMAGE");
        row("info --help", {}, {"info", "--help"}, 0, "exit status");
        row("--help", {}, {"--help"}, 0, "info IMAGE [--dump FILE]");
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
        QVERIFY2(r.out.contains(out), r.out.constData());
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
        QVERIFY2(r.err.contains("error 70"), r.err.constData());
    }
};

QTEST_GUILESS_MAIN(TestCliInfo)
#include "tst_cli_info.moc"
