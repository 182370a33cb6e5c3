#include "TestFiles.h"
#include "Unprivileged.h"

#include <QCoreApplication>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

namespace {

struct Run {
    int status = -1;
    QByteArray out;
    QByteArray err;
};

Run runCli(const QStringList &args, const QStringList &prefix = {})
{
    // CTest names the program folder; run by hand, the test finds it beside its own folder.
    const QString folder = qEnvironmentVariableIsSet("NUVORA_BIN_DIR")
                               ? nuvora::test::binDir()
                               : QCoreApplication::applicationDirPath() + QStringLiteral("/../bin");
    const QString cli = folder + QStringLiteral("/nuvora-cli");
    QProcess p;
    if (prefix.isEmpty())
        p.start(cli, args);
    else
        p.start(prefix.first(), prefix.mid(1) + QStringList{cli} + args);
    if (!p.waitForStarted(10000))
        return {-2, {}, "cannot start " + cli.toUtf8() + ": " + p.errorString().toUtf8()};
    if (!p.waitForFinished(60000)) {
        p.kill();
        p.waitForFinished();
        return {-3, {}, "nuvora-cli did not finish"};
    }
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1, p.readAllStandardOutput(),
            p.readAllStandardError()};
}

} // namespace

// Runs nuvora-cli info as a user would: exit status, summary, dump file, messages.
class TestCliInfo : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_dir;

private slots:
    void initTestCase() { QVERIFY(m_dir.isValid()); }

    void sampleSummaryAndDump()
    {
        const QString dump = m_dir.filePath(QStringLiteral("sample.bin"));
        const Run r = runCli({QStringLiteral("info"),
                              nuvora::test::sourceDataDir() + QStringLiteral("/sample.mhx"),
                              QStringLiteral("--dump"), dump});
        QVERIFY2(r.status == 0, r.err.constData());
        QVERIFY2(r.err.isEmpty(), r.err.constData());
        QVERIFY(r.out.contains("first:  0\n"));
        QVERIFY(r.out.contains("last:   8191 (0x1FFF)\n"));
        QVERIFY(r.out.contains("length: 8192 bytes\n"));
        QVERIFY(r.out.contains("frames: 512 of 16 bytes\n"));
        const QByteArray bytes = nuvora::test::readFile(dump);
        QCOMPARE(bytes.size(), 8192);
        QVERIFY(bytes.startsWith("Nuvora message slot 0: "));
        for (int i = 0; i < 4096; ++i)
            QCOMPARE(quint8(bytes[4096 + i]), quint8((i % 256 + i / 256) % 256));
    }

    void outcomes_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QStringList>("extra");
        QTest::addColumn<int>("status");
        QTest::addColumn<QByteArray>("out"); // expected in stdout
        QTest::addColumn<QByteArray>("err"); // expected in stderr

        QTest::newRow("17 bytes: two frames")
            << QByteArray("S2150000000102030405060708090A0B0C0D0E0F1000\r\n") << QStringList{} << 0
            << QByteArray("frames: 2 of 16 bytes") << QByteArray();
        QTest::newRow("one byte") << QByteArray("S205000000AA00\n") << QStringList{} << 0
                                  << QByteArray("last:   0 (0x0000)") << QByteArray();
        QTest::newRow("no data: rejected with the warning")
            << QByteArray("S00600004844521B\n") << QStringList{} << 3 << QByteArray()
            << QByteArray("warning: ");
        QTest::newRow("no data, Italian words")
            << QByteArray("S9030000FC\n")
            << QStringList{QStringLiteral("--lang"), QStringLiteral("Italiano")} << 3
            << QByteArray() << QByteArray("Questo file non ");
        QTest::newRow("no data, unknown language: built-in words")
            << QByteArray("S9030000FC\n")
            << QStringList{QStringLiteral("--lang"), QStringLiteral("Klingon")} << 3 << QByteArray()
            << QByteArray("no usable S-record data");
        QTest::newRow("bad count: error 13") << QByteArray("S2XX000000\n") << QStringList{} << 4
                                             << QByteArray() << QByteArray("error 13");
        QTest::newRow("outside the image: error 9")
            << QByteArray("S205000000AA00\nS20600FFFF010200\n") << QStringList{} << 4
            << QByteArray() << QByteArray("error 9");
        QTest::newRow("missing image: error 53")
            << QByteArray() << QStringList{} << 4 << QByteArray() << QByteArray("error 53");
        QTest::newRow("dump into a missing folder")
            << QByteArray("S205000000AA00\n")
            << QStringList{QStringLiteral("--dump"), QStringLiteral("/nonexistent-dir/x.bin")} << 4
            << QByteArray() << QByteArray("cannot write");
        QTest::newRow("--dump without file")
            << QByteArray("S205000000AA00\n") << QStringList{QStringLiteral("--dump")} << 2
            << QByteArray() << QByteArray("--dump needs");
        QTest::newRow("unknown option")
            << QByteArray("S205000000AA00\n") << QStringList{QStringLiteral("--frobnicate")} << 2
            << QByteArray() << QByteArray("unknown option");
        QTest::newRow("two images")
            << QByteArray("S205000000AA00\n") << QStringList{QStringLiteral("other.mhx")} << 2
            << QByteArray() << QByteArray("only one IMAGE");
    }

    void outcomes()
    {
        QFETCH(QByteArray, file);
        QFETCH(QStringList, extra);
        QFETCH(int, status);
        QFETCH(QByteArray, out);
        QFETCH(QByteArray, err);
        const QString path = m_dir.filePath(QString::fromLatin1(QTest::currentDataTag())
                                                .replace(QLatin1Char(':'), QLatin1Char('_')) +
                                            QStringLiteral(".mhx"));
        if (!file.isEmpty())
            nuvora::test::writeFile(path, file);
        const Run r = runCli(QStringList{QStringLiteral("info"), path} + extra);
        QCOMPARE(r.status, status);
        QVERIFY2(r.out.contains(out), r.out.constData());
        if (err.isEmpty())
            QVERIFY2(r.err.isEmpty(), r.err.constData());
        else
            QVERIFY2(r.err.contains(err), r.err.constData());
    }

    void usageAndHelp()
    {
        Run r = runCli({QStringLiteral("info")});
        QCOMPARE(r.status, 2);
        QVERIFY(r.err.contains("usage: nuvora-cli info IMAGE"));
        r = runCli({QStringLiteral("info"), QStringLiteral("--help")});
        QCOMPARE(r.status, 0);
        QVERIFY(r.out.contains("--dump FILE"));
        QVERIFY(r.out.contains("exit status"));
        r = runCli({QStringLiteral("--help")});
        QCOMPARE(r.status, 0);
        QVERIFY(r.out.contains("info IMAGE [--dump FILE]"));
    }

    // Permission is checked by an unprivileged user: root would read the file anyway.
    void unreadableImage()
    {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        nuvora::test::openUpForOthers(dir.path());
        const QString path = dir.filePath(QStringLiteral("locked.mhx"));
        nuvora::test::writeFile(path, "S205000000AA00\n");
        QVERIFY(QFile::setPermissions(path, QFileDevice::WriteOwner));
        const QStringList prefix = nuvora::test::unprivilegedPrefix();
        const Run r = runCli({QStringLiteral("info"), path}, prefix);
        QCOMPARE(r.status, 4);
        QVERIFY2(r.err.contains("error 70"), r.err.constData());
    }
};

QTEST_GUILESS_MAIN(TestCliInfo)
#include "tst_CliInfo.moc"
