// The S-record writer against records worked out by hand, digit by digit.
#include "image/SRecordWriter.h"

#include <QTest>

class TestSRecordWriter : public QObject {
    Q_OBJECT

private slots:
    void records_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<quint32>("address");
        QTest::addColumn<QByteArray>("header");
        QTest::addColumn<QByteArray>("file");
        QByteArray counting(17, 0);
        for (int i = 0; i < 17; ++i)
            counting[i] = char(i);
        QTest::newRow("a 16-bit boundary crossed, a short last record")
            << counting << 0xFFF8u << QByteArray("hi")
            << QByteArray("S0050000686929\r\nS21400FFF8000102030405060708090A0B0C0D0E0F7C\r\n"
                          "S20501000810E1\r\nS804000000FB\r\n");
        QTest::newRow("the top of the address space, no header")
            << QByteArray(16, char(0xAA)) << 0xFFFFF0u << QByteArray()
            << QByteArray("S0030000FC\r\nS214FFFFF0AAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAA5D\r\n"
                          "S804000000FB\r\n");
    }
    void records()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(quint32, address);
        QFETCH(QByteArray, header);
        QFETCH(QByteArray, file);
        QCOMPARE(nuvora::WriteSRecords(bytes, address, header), file);
    }
};

QTEST_GUILESS_MAIN(TestSRecordWriter)
#include "tst_srecordwriter.moc"
