// What info tells of an image beyond its length, as text and as JSON compared field by field.
#include "CliTest.h"

using namespace nuvora;

class CliSummaryTest : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;

private slots:
    void info_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QString>("text");    // lines of the summary, '|' between them
        QTest::addColumn<QByteArray>("json"); // every field but the image's name
        QTest::newRow("from 0, whole: the standard CRC check value")
            << QByteArray("S0030000FC\nS20D00000031323334353637383915\nS804000000FB\n")
            << "first:  0\n|last:   8 (0x0008)\n|length: 9 bytes\n|frames: 1 of 16 bytes\n|"
               "address: 0x0000 (image index 0)\n|records: S0 1, S2 1, S8 1\n|gaps:   none\n|"
               "crc32:  cbf43926\n"
            << QByteArray(R"({"address":0,"records":{"S0":1,"S2":1,"S8":1},"gaps":[],
                "crc32":"cbf43926","first":0,"last":8,"length":9,"frames":1})");
        // An S1 passed over, a gap between two records and one before an empty record that
        // stretches the image to 32 bytes.
        QTest::newRow("at 0x012000 with gaps")
            << QByteArray("S104001001EA\nS205012000AA2F\nS206012008BBCC49\nS204012020BA\n"
                          "S9030000FC\n")
            << "address: 0x12000 (image index 0)\n|records: S1 1, S2 3, S9 1\n|gaps:   2, 29 "
               "bytes: 0x12001-0x12007, 0x1200A-0x1201F\n|crc32:  2da8b6c5\n"
            << QByteArray(R"({"address":73728,"records":{"S1":1,"S2":3,"S9":1},"gaps":[
                {"address":73729,"index":1,"length":7},{"address":73738,"index":10,"length":22}],
                "crc32":"2da8b6c5","first":0,"last":31,"length":32,"frames":2})");
        // The shipped sample, made by srec_cat: sound records, the CRC as zlib gives it.
        QTest::newRow("sample") << test::readFile(test::sourceDataDir() + "/sample.mhx")
                                << "last:   8191 (0x1FFF)\n|length: 8192 bytes\n|frames: 512 of 16 "
                                   "bytes\n|records: S0 1, S2 256, S5 1, S8 1\n|crc32:  e3aab2a9\n"
                                << QByteArray(R"({"address":0,"records":{"S0":1,"S2":256,"S5":1,
                "S8":1},"gaps":[],"crc32":"e3aab2a9","first":0,"last":8191,"length":8192,
                "frames":512})");
    }
    void info()
    {
        QFETCH(QByteArray, file);
        QFETCH(QString, text);
        QFETCH(QByteArray, json);
        const QString path = m_dir.filePath("image.mhx");
        test::writeFile(path, file);
        const QString cli = test::cli();
        const auto plain = test::runProgram({cli, "info", path});
        QCOMPARE(plain.status, 0);
        QVERIFY2(plain.err.isEmpty(), plain.err.constData()); // no record warned about
        for (const QString &line : text.split('|'))
            QVERIFY2(plain.out.contains(line.toUtf8()), plain.out.constData());
        const auto r = test::runProgram({cli, "info", path, "--json"});
        QCOMPARE(r.status, 0);
        QJsonObject expected = QJsonDocument::fromJson(json).object();
        expected.insert("image", path);
        const QJsonObject got = QJsonDocument::fromJson(r.out).object();
        for (const QString &key : expected.keys() + got.keys())
            QVERIFY2(got.value(key) == expected.value(key), qPrintable(key + ": " + r.out));
    }
};

QTEST_GUILESS_MAIN(CliSummaryTest)
#include "tst_cli_summary.moc"
