#include "Fixtures.h"
#include "SimulatedDevice.h"
#include "WindowFixture.h"
#include "ui/StatusLamps.h"

#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

using namespace nuvora;

// Whole runs through the real window: start-up, File > Load, Start, against the simulated
// device on a pseudo-terminal reached through the program folder's port alias.
class TestRun : public QObject, test::WindowFixture {
    Q_OBJECT

    std::unique_ptr<devsim::DeviceSimulator> m_sim;

    QProgressBar *progress() const { return m_window->findChild<QProgressBar *>("ProgressBar1"); }
    int lamps() const // TX, RX, ER: 123 all unlit
    {
        return 100 * m_window->lamps()->lampTag(0) + 10 * m_window->lamps()->lampTag(1) +
               m_window->lamps()->lampTag(2);
    }
    // How many of the four menu bar items (File, Language, Com, ?) are enabled.
    int menusEnabled() const
    {
        const MainMenus &m = m_window->menus();
        return int(m.mnuFile->menuAction()->isEnabled()) +
               int(m.mnuLingue->menuAction()->isEnabled()) +
               int(m.mnuCom->menuAction()->isEnabled()) + int(m.mnuAbo->isEnabled());
    }
    // What the device holds after a run on an erased device: the image in whole 16-byte blocks.
    QByteArray expectedEeprom() const
    {
        const int used = (m_state->ImageEnd + 16) / 16 * 16;
        return QByteArray(reinterpret_cast<const char *>(m_state->ImageBuffer.data()), used) +
               QByteArray(kImageSize - used, char(0xFF));
    }
    // Device on COM3, window started on it and shown, data/sample.mhx loaded: Ready.
    void bringUp(const devsim::SimOptions &options)
    {
        m_sim = test::startDevice(options);
        QVERIFY(test::linkPort(m_folder, 3, test::devicePath(*m_sim)));
        writeInFolder("nuvora.ini", settingsText(3, "English"));
        QVERIFY(makeWindow().Form_Load());
        QVERIFY2(m_prompter.boxes.isEmpty(), qPrintable(m_prompter.boxes.value(0).text));
        m_window->show();
        m_prompter.chooseFile(test::sourceDataDir() + "/sample.mhx");
        m_window->menus().smnuFile0->trigger();
        QVERIFY2(m_prompter.boxes.isEmpty(), qPrintable(m_prompter.boxes.value(0).text));
        QVERIFY(start()->isEnabled() && m_state->ImageEnd > 1000);
    }

private slots:
    void init()
    {
        freshFolder();
        QVERIFY(copyData("English.lng"));
    }
    void cleanup() { m_window.reset(); } // before its device

    void startupOpensTheSavedPort_data()
    {
        QTest::addColumn<QByteArray>("settings");
        QTest::addColumn<int>("port");
        QTest::newRow("no settings file: COM1") << QByteArray() << 1;
        QTest::newRow("COM=4") << settingsText(4, QString()) << 4;
    }
    void startupOpensTheSavedPort()
    {
        QFETCH(QByteArray, settings);
        QFETCH(int, port);
        m_sim = test::startDevice();
        QVERIFY(test::linkPort(m_folder, port, test::devicePath(*m_sim)));
        deadPorts(port);
        if (!settings.isEmpty())
            writeInFolder("nuvora.ini", settings);
        QVERIFY(makeWindow().Form_Load());
        // Only the port of that number leads to the device; any other would have failed.
        QVERIFY2(m_prompter.boxes.isEmpty(), qPrintable(m_prompter.boxes.value(0).text));
        QVERIFY(m_window->commands().port().line().isOpen());
        QCOMPARE(m_state->ComPort, port);
    }
    void wholeRun()
    {
        bringUp({});
        QSignalSpy finished(&m_window->commands().run(), &ProgrammingRun::finished);
        start()->click();
        // Busy at once: the run waits for the device inside the event loop.
        QVERIFY(menusEnabled() == 0 && !start()->isEnabled());
        QVERIFY(finished.wait(60000));
        QCOMPARE(finished.first().first().value<RunOutcome>(), RunOutcome::Success);
        QVERIFY(!m_state->LangText[19].isEmpty());
        QCOMPARE(m_prompter.boxes,
                 (QList<test::Box>{{m_state->LangText[19], 64, m_state->LangText[18]}}));
        // Back to Ready with an empty bar; the lamps were lit by the traffic and go out.
        QVERIFY(menusEnabled() == 4 && start()->isEnabled());
        QCOMPARE(progress()->value(), 0);
        QCOMPARE(progress()->maximum(), m_state->ImageEnd + 1);
        QCOMPARE(m_state->ProgressCount, m_state->ImageEnd + 1);
        QCOMPARE(lamps(), 453);
        QTRY_COMPARE_WITH_TIMEOUT(lamps(), 123, 3000);
        QCOMPARE(test::toBytes(m_sim->eeprom()), expectedEeprom());
        // Start again at once: the same image, beginning with a new probe.
        const int requests = m_sim->stats().requests;
        start()->click();
        QVERIFY(finished.wait(60000));
        QCOMPARE(m_prompter.boxes.size(), 2);
        QCOMPARE(m_sim->stats().requests, requests * 2);
    }
    void deviceStopsMidway()
    {
        devsim::SimOptions options;
        options.hangUpAfter = 20; // the probe and 19 frames, then the line is dead
        bringUp(options);
        m_window->SetLamp(LampState::ErrOn); // a run starts with the error lamp out
        QSignalSpy finished(&m_window->commands().run(), &ProgrammingRun::finished);
        start()->click();
        QCOMPARE(m_window->lamps()->lampTag(2), 3);
        QVERIFY(finished.wait(30000));
        QCOMPARE(finished.first().first().value<RunOutcome>(), RunOutcome::WriteFailed);
        QCOMPARE(m_prompter.boxes,
                 (QList<test::Box>{{m_state->LangText[10], 48, m_state->LangText[8]}}));
        const int done = m_state->ProgressCount;
        QVERIFY2(done > 0 && done < 20 * 16 && done % 16 == 0, qPrintable(QString::number(done)));
        QVERIFY(menusEnabled() == 4 && start()->isEnabled() && progress()->value() == 0);
        // Frames acknowledged before the failure stay written; nothing goes out after it.
        const QByteArray written = test::toBytes(m_sim->eeprom());
        QCOMPARE(written.left(done), expectedEeprom().left(done));
        QCOMPARE(written.mid(done + 16), QByteArray(kImageSize - done - 16, char(0xFF)));
    }
    void closeDuringRun()
    {
        devsim::SimOptions options;
        options.baud = 19200; // slow enough to close the window in the middle
        bringUp(options);
        start()->click();
        QTRY_VERIFY_WITH_TIMEOUT(m_state->ProgressCount >= 64, 10000);
        m_window->close();
        // Straight into the shutdown: the port is closed and the process would end here.
        QCOMPARE(m_events, QStringList{QStringLiteral("end")});
        QVERIFY(!m_window->commands().port().line().isOpen());
    }
};

QTEST_MAIN(TestRun)
#include "tst_window_run.moc"
