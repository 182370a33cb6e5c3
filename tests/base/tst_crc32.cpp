// Checked against the published check values of CRC-32 (zip, PNG) and against zlib.
#include "base/Crc32.h"

#include <QTest>

class TestCrc32 : public QObject {
    Q_OBJECT
private slots:
    void knownValues_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<quint32>("crc");
        QTest::newRow("empty") << QByteArray() << 0u;
        QTest::newRow("check string") << QByteArray("123456789") << 0xCBF43926u;
        QTest::newRow("fox") << QByteArray("The quick brown fox jumps over the lazy dog")
                             << 0x414FA339u;
        QTest::newRow("erased page") << QByteArray(16, '\xFF') << 0x3FB3C61Au;
    }
    void knownValues()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(quint32, crc);
        const auto *data = reinterpret_cast<const std::uint8_t *>(bytes.constData());
        QCOMPARE(nuvora::crc32(data, std::size_t(bytes.size())), crc);
    }
};

QTEST_APPLESS_MAIN(TestCrc32)
#include "tst_crc32.moc"
