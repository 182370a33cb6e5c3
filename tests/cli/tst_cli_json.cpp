// What info tells of an image beyond its length, and the JSON documents of info and read,
// parsed and checked field by field.
#include "Fixtures.h"
#include "Programs.h"
#include "SimulatedDevice.h"
#include "TestFiles.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QTest>

using namespace nuvora;

namespace {

// Every "key=value" of `fields` (';' between them) against the document; a value in JSON.
void checkFields(const QByteArray &json, const QString &fields)
{
    QJsonParseError error{};
    const QJsonObject doc = QJsonDocument::fromJson(json, &error).object();
    QVERIFY2(error.error == QJsonParseError::NoError, json.constData());
    for (const QString &field : fields.split(';')) {
        const QString key = field.section('=', 0, 0);
        QVERIFY2(doc.contains(key), qPrintable(key));
        const QJsonValue want =
            QJsonDocument::fromJson("[" + field.section('=', 1, -1).toUtf8() + "]").array().at(0);
        QVERIFY2(doc.value(key) == want, qPrintable(key + ": " + json));
    }
}

} // namespace

class CliJsonTest : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    QString cli() const { return test::programPath("nuvora-cli"); }

private slots:
    void info_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QString>("text");   // lines of the summary, '|' between them
        QTest::addColumn<QString>("fields"); // of the JSON document
        QTest::newRow("from 0, whole: the standard CRC check value")
            << QByteArray("S0030000FC\nS20D00000031323334353637383915\nS804000000FB\n")
            << "address: 0x0000 (image index 0)\n|records: S0 1, S2 1, S8 1\n|gaps:   "
               "none\n|crc32:  cbf43926\n"
            << "address=0;records={\"S0\":1,\"S2\":1,\"S8\":1};gaps=[];crc32=\"cbf43926\";"
               "length=9;last=8;frames=1";
        // An S1 passed over, a gap between two records and one before an empty record that
        // stretches the image to 32 bytes.
        QTest::newRow("at 0x012000 with gaps")
            << QByteArray("S104001001EA\nS205012000AA2F\nS206012008BBCC49\nS204012020BA\n"
                          "S9030000FC\n")
            << "address: 0x12000 (image index 0)\n|records: S1 1, S2 3, S9 1\n|gaps:   2, 29 "
               "bytes: 0x12001-0x12007, 0x1200A-0x1201F\n|crc32:  2da8b6c5\n"
            << "address=73728;records={\"S1\":1,\"S2\":3,\"S9\":1};gaps=[{\"address\":73729,"
               "\"index\":1,\"length\":7},{\"address\":73738,\"index\":10,\"length\":22}];"
               "crc32=\"2da8b6c5\";length=32";
    }
    void info()
    {
        QFETCH(QByteArray, file);
        QFETCH(QString, text);
        QFETCH(QString, fields);
        const QString path = m_dir.filePath("image.mhx");
        test::writeFile(path, file);
        const auto plain = test::runProgram({cli(), "info", path});
        QCOMPARE(plain.status, 0);
        for (const QString &line : text.split('|'))
            QVERIFY2(plain.out.contains(line.toUtf8()), plain.out.constData());
        const auto json = test::runProgram({cli(), "info", path, "--json"});
        QCOMPARE(json.status, 0);
        checkFields(json.out, fields + ";image=\"" + path + "\"");
    }

    // Nothing but the document on stdout, also when the read fails.
    void read_data()
    {
        QTest::addColumn<int>("silentAfter");
        QTest::addColumn<QString>("fields");
        QTest::newRow("read and written") << -1
                                          << "outcome=\"success\";status=0;read=20;"
                                             "written=true;start=16;length=20";
        QTest::newRow("second read frame unanswered")
            << 2 << "outcome=\"read-failed\";status=7;read=16;written=false";
    }
    void read()
    {
        QFETCH(int, silentAfter);
        QFETCH(QString, fields);
        devsim::SimOptions options;
        options.silentAfter = silentAfter;
        auto sim = test::startDevice(options);
        const QString out = m_dir.filePath("read.mhx");
        QFile::remove(out);
        const auto r = test::runProgram({cli(), "read", "-p", test::devicePath(*sim), "--start",
                                         "0x10", "--length", "20", "-o", out, "--json"});
        checkFields(r.out, fields + ";port=\"" + test::devicePath(*sim) + "\"");
        QCOMPARE(QFile::exists(out), silentAfter < 0);
    }
};

QTEST_GUILESS_MAIN(CliJsonTest)
#include "tst_cli_json.moc"
