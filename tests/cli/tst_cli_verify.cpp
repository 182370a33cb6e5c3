// nuvora-cli program --verify: the pages read back after the writes, across a gang of devices
// with faults of their own.
#include "CliTest.h"

using namespace nuvora;

class CliVerifyTest : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    const QByteArray m_image = test::randomBytes(40, 11); // three pages, the last one partial

private slots:
    void initTestCase()
    {
        test::writeSRecords(m_dir.filePath("image.mhx"), m_image);
        test::writeFile(m_dir.filePath("image.bin"), m_image);
        // The same bytes linked at 0x1000, written by a tool that is not ours.
        const auto r = test::runProgram({"srec_cat", m_dir.filePath("image.bin"), "-binary",
                                         "-offset", "0x1000", "-o", m_dir.filePath("high.mhx"),
                                         "-motorola", "-address-length=3"});
        QVERIFY2(r.status == 0, r.err.constData());
    }

    // Devices are @dev, @dev2, @dev3 in the order of `devices`; `reads` is the last three
    // frames @dev received, in hex, when given.
    void verify_data()
    {
        QTest::addColumn<QString>("image");
        QTest::addColumn<QString>("devices"); // their faults, ';' between devices
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("says"); // parts of stderr, '|' between them
        QTest::addColumn<QString>("reads");
        const auto row = [](const char *name, const char *image, const QString &devices, int status,
                            const QString &says, const QString &reads = {}) {
            QTest::newRow(name) << image << devices << status << says << reads;
        };
        // Read frames of 16 bytes (length field 15) at the write frames' addresses, the last
        // page whole: 0F 00 addrLo addrHi checksum.
        row("gang: good, silent mid-check, worn byte", "image",
            ";fault-at=6,silent-after=0;corrupt=18", 7,
            "@dev: Programming complete: |40 of 40 bytes written, 0 frames resent, |; 48 bytes "
            "read back, no difference\n|@dev2: error: Verify stopped: the device did not answer "
            "a read frame.|; the read frame at 0x0010 was not answered, 16 of 48 bytes read "
            "back\n|@dev3: error: Verify failed: |; first difference at 0x0012, 1 of 48 bytes "
            "read back differ\n|nuvora-cli: 1 of 3 devices programmed\n",
            "0f0000000f 0f0010001f 0f0020002f");
        row("erased bytes after the image's end are checked", "image", "corrupt=45", 8,
            "first difference at 0x002D, 1 of 48 bytes");
        row("every differing byte counted, across pages", "image", "corrupt=14,count=5", 8,
            "first difference at 0x000E, 5 of 48 bytes");
        row("addresses named as the image's own", "high", "corrupt=5", 8,
            "first difference at 0x1005, 1 of 48 bytes");
        row("without --verify nothing is read", "image", "corrupt=18", 0,
            "Programming complete|40 of 40 bytes written, 0 frames resent, 0.");
    }

    void verify()
    {
        QFETCH(QString, image);
        QFETCH(QString, devices);
        QFETCH(int, status);
        QFETCH(QString, says);
        QFETCH(QString, reads);
        std::vector<std::unique_ptr<devsim::DeviceSimulator>> sims;
        QStringList args{"program", m_dir.filePath(image + ".mhx")};
        for (const QString &device : devices.split(';')) {
            devsim::SimOptions o = test::simFaults(device);
            o.logFrames = 3;
            sims.push_back(test::startDevice(o));
            args << "-p" << test::devicePath(*sims.back());
        }
        if (!QByteArray(QTest::currentDataTag()).startsWith("without"))
            args << "--verify";
        const auto r = test::runProgram(QStringList{test::cli()} + args);
        QCOMPARE(r.status, status);
        for (QString part : says.split('|')) {
            for (std::size_t i = sims.size(); i > 0; --i)
                part.replace(i > 1 ? QString("@dev%1").arg(i) : QString("@dev"),
                             test::devicePath(*sims[i - 1]));
            QVERIFY2(r.err.contains(part.toUtf8()), r.err.constData());
        }
        if (!reads.isEmpty())
            QCOMPARE(test::requestsHex(*sims[0]).join(' '), reads.toUtf8());
        if (status == 0) // nothing was read: the last frame the device saw was a write
            QVERIFY(test::requestsHex(*sims[0]).last().startsWith("cf"));
    }
};

QTEST_GUILESS_MAIN(CliVerifyTest)
#include "tst_cli_verify.moc"
