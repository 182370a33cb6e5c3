// nuvora-cli read: the EEPROM back into an S-record file that other tools and our own reader
// take as the same bytes, and the inputs it refuses before it touches the port.
#include "Fixtures.h"
#include "Programs.h"
#include "SimulatedDevice.h"
#include "TestFiles.h"

#include <QTemporaryDir>
#include <QTest>

using namespace nuvora;

class CliReadTest : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    QString cli() const { return test::programPath("nuvora-cli"); }

private slots:
    // Programmed, then read back: srec_cat and info --dump give the device's bytes.
    void roundTrip_data()
    {
        QTest::addColumn<QString>("start");
        QTest::addColumn<QString>("length");
        QTest::addColumn<int>("from"); // the same range as numbers
        QTest::addColumn<int>("count");
        QTest::addColumn<int>("records"); // S2 lines expected
        QTest::newRow("the image and its padded page") << "0"
                                                       << "48" << 0 << 48 << 3;
        QTest::newRow("hex, pages cut at both ends") << "0x1c"
                                                     << "0x21" << 28 << 33 << 3;
        QTest::newRow("one byte") << "39"
                                  << "1" << 39 << 1 << 1;
        QTest::newRow("the device's last page") << "0xFFF0"
                                                << "16" << 0xFFF0 << 16 << 1;
        QTest::newRow("the whole device") << "0"
                                          << "0x10000" << 0 << 65536 << 4096;
    }
    void roundTrip()
    {
        QFETCH(QString, start);
        QFETCH(QString, length);
        QFETCH(int, from);
        QFETCH(int, count);
        QFETCH(int, records);
        const QByteArray image = test::randomBytes(40, 5);
        QByteArray device = test::randomBytes(65536, 6); // not erased: nothing reads as 0xFF
        auto sim = test::startDevice();
        sim->setEeprom({device.begin(), device.end()});
        test::writeSRecords(m_dir.filePath("image.mhx"), image);
        const QString port = test::devicePath(*sim);
        QCOMPARE(
            test::runProgram({cli(), "program", m_dir.filePath("image.mhx"), "-p", port}).status,
            0);
        device.replace(0, 48, image + QByteArray(8, char(0xFF))); // the last page went whole
        const QString out = m_dir.filePath("back.mhx");
        const auto r = test::runProgram(
            {cli(), "read", "-p", port, "--start", start, "--length", length, "-o", out});
        QVERIFY2(r.status == 0, r.err.constData());
        const QByteArray text = test::readFile(out);
        QVERIFY2(text.startsWith("S0") && text.endsWith("\r\nS804000000FB\r\n"), text.constData());
        QCOMPARE(text.count("\r\nS2"), records);
        const QByteArray expected = device.mid(from, count);
        const auto ours = test::runProgram({cli(), "info", out, "--dump", "-"});
        QCOMPARE(ours.out, expected);
        const auto theirs = test::runProgram(
            {"srec_cat", out, "-offset", QString::number(-from), "-o", "-", "-binary"});
        QCOMPARE(theirs.out, expected);
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
        QTest::newRow("longer than the device")
            << L{"--length", "65537"} + out << 2 << "--length 65537: not";
        QTest::newRow("past the last address")
            << L{"--start", "0xFFF0", "--length", "17"} + out << 2 << "goes past the device's";
        QTest::newRow("start beyond the device")
            << L{"--start", "65536", "--length", "1"} + out << 2 << "--start 65536: not";
        QTest::newRow("hex without digits") << L{"--length", "0x"} + out << 2 << "--length 0x:";
        QTest::newRow("missing -o") << L{"--length", "16"} << 2 << "error: missing -o FILE";
        QTest::newRow("missing --length") << out << 2 << "error: missing --length N";
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
            test::runProgram(QStringList{cli(), "read", "-p", test::devicePath(*sim)} + args);
        QCOMPARE(r.status, status);
        QVERIFY2(r.err.contains(says.toUtf8()), r.err.constData());
        QCOMPARE(r.err.count('\n'), status == 2 ? 2 : 1); // one line, and one to the help
        QCOMPARE(sim->stats().requests, 0);
    }
};

QTEST_GUILESS_MAIN(CliReadTest)
#include "tst_cli_read.moc"
