// nuvora-cli program as a production station: the records and --json a factory system reads,
// and --continuous left running while devices come and go.
#include "CliTest.h"
#include "Rows.h"

#include <QDateTime>
#include <QFileInfo>
#include <QJsonArray>
#include <QProcess>
#include <QSet>

#include <csignal>

using namespace nuvora;

namespace {

// The image is the classic check string: its CRC-32 is the textbook value.
const QByteArray kImage = "123456789";
const QString kImageCrc = QStringLiteral("cbf43926");

// Each station process programs its own devices (their faults) and appends to one record file
// that already holds a line; the first also prints --json.
struct Records {
    const char *name;
    QStringList faults;
    int stations, status;
};
const std::vector<Records> kRecords{
    {"one device programmed", {""}, 1, 0},
    {"gang: silent device recorded as no-answer", {"", "silent-after=0"}, 1, 6},
    {"two stations append to one file", {"", ""}, 2, 0},
    {"record file cannot be opened", {""}, 1, 4}};

// A station left running on COM77, the user's alias to one simulated device; each step, '|'
// between, is what an operator does (start, unlink, link), or a wait for what the station says
// (until TEXT) or sends (probes N). `runs`: write frames the device received, one per run;
// `faults`: the device's.
struct Continuous {
    const char *name;
    QString steps;
    int runs, programmed, failed;
    QString faults = {};
};
const std::vector<Continuous> kContinuous{
    {"device stays attached: programmed once", "start|until programmed 1, failed 0|probes 2", 1, 1,
     0},
    {"alias made after the start: followed",
     "unlink|start|until waiting for a device on COM77 (/dev/ttyUSB72)|link|until programmed 1, "
     "failed 0",
     1, 1, 0},
    {"link removed and re-created: programmed twice",
     "start|until programmed 1, failed 0|unlink|until waiting for a device|link|until programmed "
     "2, failed 0|probes 1",
     2, 2, 0},
    // Two ports, COM78 with nothing behind it: every line names its port.
    {"two ports: each line labelled",
     "start 78|until COM78: waiting for a device on COM78|until COM77: waiting for the device", 1,
     1, 0},
    // A device that stops answering has been taken away, though its port stays.
    {"device falls silent: waiting again",
     "start|until programmed 1, failed 0|until waiting for a device on COM77", 1, 1, 0,
     "silent-after=3"}, // the presence probe, the run's probe, its write
    // Answers slowed, so that the stop falls in a run.
    {"stopped during a run: counted as failed", "start|until probing", 0, 0, 1, "late-ms=400"}};

} // namespace

class CliStationTest : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    QString image() const { return m_dir.filePath("check.mhx"); }

    // A record as a factory system reads it, field by field: a device programmed or a silent one.
    void checkRecord(const QJsonObject &r, const QString &device, bool programmed,
                     const QDateTime &from)
    {
        const QDateTime time = QDateTime::fromString(r["time"].toString(), Qt::ISODateWithMs);
        QVERIFY2(r["time"].toString().endsWith('Z'), qPrintable(r["time"].toString()));
        // When the run began: a silent device's record is not stamped five seconds late.
        QVERIFY2(time.isValid() && time >= from.addSecs(-1) && time <= from.addSecs(3),
                 qPrintable(r["time"].toString()));
        QCOMPARE(r["port"].toString(), device);
        QCOMPARE(r["device"].toString(), QFileInfo(device).canonicalFilePath());
        QCOMPARE(r["image"].toString(), QStringLiteral("check.mhx"));
        QCOMPARE(r["image_crc32"].toString(), kImageCrc);
        QCOMPARE(r["image_bytes"].toInt(), 9);
        QCOMPARE(r["bytes"].toInt(), programmed ? 9 : 0);
        QCOMPARE(r["frames"].toInt(), programmed ? 1 : 0);
        QCOMPARE(r["frames_resent"].toInt(), programmed ? 0 : 4); // the probe's four retries
        QCOMPARE(r["outcome"].toString(), programmed ? "programmed" : "no-answer");
        QCOMPARE(r["status"].toInt(), programmed ? 0 : 6);
        const double seconds = r["seconds"].toDouble(-1);
        QVERIFY2(programmed ? seconds >= 0 && seconds < 2 : seconds >= 4.5 && seconds < 10,
                 qPrintable(QString::number(seconds)));
    }

private slots:
    void initTestCase() { test::writeSRecords(image(), kImage); }

    void records_data() { test::indexRows(kRecords); }
    void records()
    {
        const auto &[name, faults, stations, status] = test::currentRow(kRecords);
        const bool unopenable = status == 4;
        const QString file = m_dir.filePath(unopenable ? "missing/rec.jsonl" : "rec.jsonl");
        test::writeFile(m_dir.filePath("rec.jsonl"), "{\"earlier\":1}\n");
        std::vector<std::unique_ptr<devsim::DeviceSimulator>> sims;
        std::vector<std::unique_ptr<QProcess>> runs;
        const QDateTime from = QDateTime::currentDateTimeUtc();
        for (int s = 0; s < stations; ++s) {
            QStringList args{"program", image(), "--record", file};
            if (s == 0)
                args << "--json";
            for (const QString &fault : faults) {
                sims.push_back(test::startDevice(test::simFaults(fault)));
                args << "-p" << test::devicePath(*sims.back());
            }
            runs.push_back(std::make_unique<QProcess>());
            runs.back()->start(test::cli(), args); // side by side: both append at once
        }
        for (auto &run : runs) {
            QVERIFY(run->waitForFinished(30000));
            QCOMPARE(run->exitCode(), status);
        }
        if (unopenable) {
            QVERIFY(runs[0]->readAllStandardError().contains("error: cannot open the record file " +
                                                             file.toUtf8()));
            QVERIFY(runs[0]->readAllStandardOutput().isEmpty());
            QCOMPARE(sims[0]->stats().requests, 0); // nothing programmed without its record
            return;
        }
        QList<QByteArray> lines = test::readFile(file).split('\n');
        QCOMPARE(lines.takeLast(), QByteArray()); // every line ended
        QCOMPARE(lines.takeFirst(), QByteArray("{\"earlier\":1}"));
        QCOMPARE(lines.size(), int(sims.size()));
        QSet<int> recorded; // each device once
        for (const QByteArray &line : lines) {
            const QJsonObject r = QJsonDocument::fromJson(line).object();
            int k = int(sims.size()) - 1;
            while (k >= 0 && test::devicePath(*sims[k]) != r["port"].toString())
                --k;
            QVERIFY2(k >= 0 && !recorded.contains(k), line.constData());
            recorded << k;
            checkRecord(r, test::devicePath(*sims[k]), faults[k % faults.size()].isEmpty(), from);
        }
        // The document on stdout: the first station's results in port order, nothing else.
        const QJsonObject doc = QJsonDocument::fromJson(runs[0]->readAllStandardOutput()).object();
        const QJsonArray results = doc["results"].toArray();
        QCOMPARE(results.size(), faults.size());
        for (int k = 0; k < faults.size(); ++k)
            QCOMPARE(results[k].toObject()["port"].toString(), test::devicePath(*sims[k]));
        QCOMPARE(doc["devices"].toInt(), faults.size());
        QCOMPARE(doc["programmed"].toInt(), int(faults.count("")));
        QCOMPARE(doc["status"].toInt(), status);
        QCOMPARE(doc["image_crc32"].toString(), kImageCrc);
    }

    void continuous_data() { test::indexRows(kContinuous); }
    void continuous()
    {
        const auto &[name, steps, runs, programmed, failed, faults] = test::currentRow(kContinuous);
        auto sim = test::startDevice(test::simFaults(faults));
        const QString config = m_dir.filePath("config");
        const QString alias = config + "/Nuvora/ports/COM77";
        QFile::remove(alias);
        QVERIFY(test::linkPort(config + "/Nuvora", 77, test::devicePath(*sim)));
        QProcess station;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("XDG_CONFIG_HOME", config);
        station.setProcessEnvironment(env);
        QByteArray err;
        qsizetype seen = 0; // what an "until" already matched stays behind
        for (const QString &step : steps.split('|')) {
            const QString arg = step.section(' ', 1);
            if (step.startsWith("start")) { // the ports after the first
                station.start(
                    test::cli(),
                    QStringList{"program", image(), "--continuous", "--json", "-p", "77"} +
                        (arg.isEmpty() ? QStringList{} : QStringList{"-p", arg}));
            } else if (step == "unlink") {
                QVERIFY(QFile::remove(alias));
            } else if (step == "link") {
                QVERIFY(QFile::link(test::devicePath(*sim), alias));
            } else if (step.startsWith("probes")) { // the station keeps looking, once a second
                const int reads = sim->stats().reads + arg.toInt();
                QTRY_VERIFY_WITH_TIMEOUT(sim->stats().reads >= reads, 5000);
            } else {
                QTRY_VERIFY2_WITH_TIMEOUT(
                    (err += station.readAllStandardError()).indexOf(arg.toUtf8(), seen) >= 0,
                    err.constData(), 10000);
                seen = err.indexOf(arg.toUtf8(), seen) + arg.size();
            }
        }
        ::kill(pid_t(station.processId()), SIGTERM);
        QVERIFY(station.waitForFinished(10000));
        err += station.readAllStandardError();
        QCOMPARE(station.exitStatus(), QProcess::NormalExit);
        QCOMPARE(station.exitCode(), 0);
        const QString counts =
            QString("\nnuvora-cli: programmed %1, failed %2\n").arg(programmed).arg(failed);
        QVERIFY2(err.endsWith(counts.toUtf8()), err.constData());
        QCOMPARE(sim->stats().writes, runs);
        // A line per device on stdout as it is done.
        const QList<QByteArray> lines = station.readAllStandardOutput().split('\n');
        QCOMPARE(lines.size(), programmed + failed + 1);
        for (const QByteArray &line : lines.mid(0, lines.size() - 1))
            QCOMPARE(QJsonDocument::fromJson(line).object()["port"].toString(),
                     QStringLiteral("COM77"));
    }
};

QTEST_GUILESS_MAIN(CliStationTest)
#include "tst_cli_station.moc"
