// A device unplugged mid-run and plugged in again under the same port alias: the next Start of
// the window, and the next nuvora-cli program, write the whole image into it.
#include "Fixtures.h"
#include "Programs.h"
#include "SimulatedDevice.h"
#include "WindowFixture.h"

#include <QSignalSpy>
#include <QTest>

using namespace nuvora;

namespace {

// data/sample.mhx as srec_cat reads it (8 KiB from 0), in an erased EEPROM.
QByteArray sampleEeprom()
{
    const auto r =
        test::runProgram({"srec_cat", test::sourceDataDir() + "/sample.mhx", "-o", "-", "-binary"});
    if (r.status != 0 || r.out.size() != 8192)
        qFatal("srec_cat: %s", r.err.constData());
    return test::expectedEeprom(r.out);
}

// A device that keeps its requests; unplugged after `requests` (-1: stays).
devsim::SimOptions device(int requests = -1)
{
    devsim::SimOptions o;
    o.hangUpAfter = requests;
    o.logFrames = 1024;
    return o;
}

// A device plugged in again: a fresh one that must see one probe and each frame once.
void checkReplugged(const devsim::DeviceSimulator &sim)
{
    const QList<QByteArray> requests = test::requestsHex(sim);
    QCOMPARE(requests.first(), QByteArray("0000040004"));
    for (int i = 1; i < requests.size(); ++i)
        QCOMPARE(requests[i].left(8),
                 "cf00" + QByteArray::number(16 * (i - 1), 16).rightJustified(4, '0').right(2) +
                     QByteArray::number(16 * (i - 1) >> 8, 16).rightJustified(2, '0'));
    QCOMPARE(sim.stats().requests, 1 + 8192 / 16);
    QVERIFY(test::toBytes(sim.eeprom()) == sampleEeprom());
}

} // namespace

class UnplugTest : public QObject, test::WindowFixture {
    Q_OBJECT

    void startAndWait(RunOutcome outcome)
    {
        QSignalSpy finished(&m_window->commands().run(), &ProgrammingRun::finished);
        start()->click();
        QVERIFY(!finished.isEmpty() || finished.wait(30000));
        QCOMPARE(finished.first().first().value<RunOutcome>(), outcome);
    }

private slots:
    void window()
    {
        freshFolder();
        QVERIFY(copyData("English.lng"));
        auto sim = test::startDevice(device(20));
        QVERIFY(test::linkPort(m_folder, 3, test::devicePath(*sim)));
        writeInFolder("nuvora.ini", settingsText(3, "English"));
        QVERIFY(makeWindow().Form_Load());
        m_prompter.chooseFile(test::sourceDataDir() + "/sample.mhx");
        m_window->menus().smnuFile0->trigger();
        QVERIFY2(m_prompter.boxes.isEmpty(), qPrintable(m_prompter.boxes.value(0).text));
        startAndWait(RunOutcome::WriteFailed);
        // The probe and 19 frames answered, then the line went.
        // Start while it is away: the port will not open, the window is not locked.
        sim.reset();
        startAndWait(RunOutcome::PortFailed);
        QVERIFY(start()->isEnabled());
        sim = test::startDevice(device());
        QFile::remove(inFolder("ports/COM3"));
        QVERIFY(test::linkPort(m_folder, 3, test::devicePath(*sim)));
        startAndWait(RunOutcome::Success);
        const QStringList t{m_state->LangText[10], "Communication failure", m_state->LangText[19]};
        for (int i = 0; i < m_prompter.boxes.size(); ++i)
            QCOMPARE(m_prompter.boxes[i].text, t.value(i));
        QCOMPARE(m_prompter.boxes.size(), 3);
        QCOMPARE(m_state->ProgressCount, 8192);
        checkReplugged(*sim);
        m_window.reset(); // before its device
    }

    void cli()
    {
        // The program in a folder of its own, whose ports/COM7 leads to the device.
        QTemporaryDir dir;
        const QString cli = dir.filePath("nuvora-cli");
        QVERIFY(QFile::copy(test::programPath("nuvora-cli"), cli));
        const QStringList program{cli, "program", test::sourceDataDir() + "/sample.mhx", "--port",
                                  "7"};
        auto sim = test::startDevice(device(20));
        QVERIFY(test::linkPort(dir.path(), 7, test::devicePath(*sim)));
        auto r = test::runProgram(program);
        QCOMPARE(r.status, 7);
        QCOMPARE(sim->stats().requests, 20);
        sim = test::startDevice(device());
        QFile::remove(dir.filePath("ports/COM7"));
        QVERIFY(test::linkPort(dir.path(), 7, test::devicePath(*sim)));
        r = test::runProgram(program);
        QVERIFY2(r.status == 0, r.err.constData());
        checkReplugged(*sim);
    }
};

QTEST_MAIN(UnplugTest)
#include "tst_unplug.moc"
