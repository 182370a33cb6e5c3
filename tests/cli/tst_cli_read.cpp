// nuvora-cli read: the EEPROM back into an S-record file that srec_cat and our own reader take
// as the same bytes, its JSON outcome, and the inputs it refuses before it opens the port.
#include "CliTest.h"

using namespace nuvora;

class CliReadTest : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;

private slots:
    // Programmed, then read back: the device holds the image, its last page padded with 0xFF.
    void roundTrip_data()
    {
        QTest::addColumn<QString>("start");
        QTest::addColumn<QString>("length");
        QTest::addColumn<int>("from");  // the same range as numbers
        QTest::addColumn<int>("count"); // 0: the read fails
        const auto row = [](const char *name, const char *start, const char *length, int from,
                            int count) { QTest::newRow(name) << start << length << from << count; };
        row("the image and its padded page", "0", "48", 0, 48);
        row("hex, pages cut at both ends", "0x1c", "0x21", 28, 33);
        row("the device's last page", "0xFFF0", "16", 0xFFF0, 16);
        row("the whole device", "0", "0x10000", 0, 65536);
        // Probe, three writes, probe, one read: the second read frame gets no answer.
        row("a read frame unanswered", "0", "48", 16, 0);
    }
    void roundTrip()
    {
        QFETCH(QString, start);
        QFETCH(QString, length);
        QFETCH(int, from);
        QFETCH(int, count);
        const bool failed = count == 0;
        const QByteArray image = test::randomBytes(40, 5);
        QByteArray device = test::randomBytes(65536, 6); // not erased: nothing reads as 0xFF
        auto sim = test::startDevice(test::simFaults(failed ? "silent-after=6" : ""));
        sim->setEeprom({device.begin(), device.end()});
        test::writeSRecords(m_dir.filePath("image.mhx"), image);
        const QString port = test::devicePath(*sim);
        QCOMPARE(test::runProgram({test::cli(), "program", m_dir.filePath("image.mhx"), "-p", port})
                     .status,
                 0);
        device.replace(0, 48, image + QByteArray(8, char(0xFF)));
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

    // Refused before the port is opened: the device sees no frame.
    void refused_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("says");
        using L = QStringList;
        const L out{"-o", "x.mhx"};
        QTest::newRow("negative length") << L{"--length", "-5"} + out << 2 << "--length -5: not";
        QTest::newRow("zero length") << L{"--length", "0"} + out << 2 << "--length 0: not";
        QTest::newRow("past the last address")
            << L{"--start", "0xFFF0", "--length", "17"} + out << 2 << "goes past the device's";
        QTest::newRow("missing -o") << L{"--length", "16"} << 2 << "error: missing -o FILE";
        QTest::newRow("-o a folder")
            << L{"--length", "16", "-o", "/"} << 4 << "cannot write /: it is a folder";
        QTest::newRow("-o in no folder") << L{"--length", "16", "-o", "/none/x.mhx"} << 4
                                         << "cannot write /none/x.mhx: no folder /none";
    }
    void refused()
    {
        QFETCH(QStringList, args);
        QFETCH(int, status);
        QFETCH(QString, says);
        auto sim = test::startDevice();
        const auto r =
            test::runProgram(QStringList{test::cli(), "read", "-p", test::devicePath(*sim)} + args);
        QCOMPARE(r.status, status);
        QVERIFY2(r.err.contains(says.toUtf8()), r.err.constData());
        QCOMPARE(r.err.count('\n'), status == 2 ? 2 : 1); // one line, and one to the help
        QCOMPARE(sim->stats().requests, 0);
    }
};

QTEST_GUILESS_MAIN(CliReadTest)
#include "tst_cli_read.moc"
