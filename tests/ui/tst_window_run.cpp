#include "DeviceSimulator.h"
#include "RecordingPrompter.h"
#include "TestFiles.h"
#include "ui/MainWindow.h"
#include "ui/StatusLamps.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using namespace nuvora;

namespace {

constexpr int kComNumber = 3;

// What the device holds after a run on an erased device: the image in whole 16-byte blocks.
QByteArray expectedEeprom(const AppState &state)
{
    QByteArray bytes(kImageSize, char(0xFF));
    const int blocks = (state.ImageEnd + 1 + 15) / 16;
    for (int i = 0; i < blocks * 16; ++i)
        bytes[i] = char(state.ImageBuffer[static_cast<size_t>(i)]);
    return bytes;
}

QByteArray eeprom(const devsim::DeviceSimulator &sim)
{
    const std::vector<std::uint8_t> bytes = sim.eeprom();
    return QByteArray(reinterpret_cast<const char *>(bytes.data()), qsizetype(bytes.size()));
}

} // namespace

// Whole runs through the real window: start-up, File > Load, Start, against the simulated
// device on a pseudo-terminal reached through the program folder's port alias.
class TestRun : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_root;
    QString m_folder;
    std::unique_ptr<AppState> m_state;
    test::RecordingPrompter m_prompter;
    QStringList m_events;
    std::unique_ptr<devsim::DeviceSimulator> m_sim;
    std::unique_ptr<MainWindow> m_window;

    QPushButton *start() const
    {
        return m_window->findChild<QPushButton *>(QStringLiteral("Command1"));
    }
    QProgressBar *progress() const
    {
        return m_window->findChild<QProgressBar *>(QStringLiteral("ProgressBar1"));
    }
    bool menusEnabled() const
    {
        return m_window->menus().mnuFile->menuAction()->isEnabled() &&
               m_window->menus().mnuAbo->isEnabled();
    }

    // Program folder, device and window up to the Ready state with data/sample.mhx loaded.
    void bringUp(const devsim::SimOptions &options)
    {
        m_sim = std::make_unique<devsim::DeviceSimulator>(options);
        std::string error;
        QVERIFY2(m_sim->start(&error), error.c_str());
        QVERIFY(QDir().mkpath(m_folder + QStringLiteral("/ports")));
        QVERIFY(QFile::link(QString::fromStdString(m_sim->slavePath()),
                            m_folder + QStringLiteral("/ports/COM%1").arg(kComNumber)));
        test::writeFile(m_folder + QStringLiteral("/nuvora.ini"),
                        "COM=3\r\nLINGUA=English\r\nFILE1=\r\nFILE2=\r\nFILE3=\r\nFILE4=\r\n");
        ShutdownActions recorded;
        recorded.startHost = [this](const QString &path) {
            m_events << QStringLiteral("host ") + path;
            return true;
        };
        recorded.endProcess = [this] { m_events << QStringLiteral("end"); };
        m_window = std::make_unique<MainWindow>(*m_state, m_prompter, m_folder, recorded);
        QVERIFY(m_window->Form_Load());
        QVERIFY2(m_prompter.boxes.isEmpty(), qPrintable(m_prompter.boxes.value(0).text));
        m_window->show();
        m_prompter.chooseFile(test::sourceDataDir() + QStringLiteral("/sample.mhx"));
        m_window->menus().smnuFile0->trigger();
        QVERIFY2(m_prompter.boxes.isEmpty(), qPrintable(m_prompter.boxes.value(0).text));
        QVERIFY(start()->isEnabled());
        QVERIFY(m_state->ImageEnd > 1000);
    }

private slots:
    void init()
    {
        m_root = std::make_unique<QTemporaryDir>();
        m_folder = m_root->filePath(QStringLiteral("prog"));
        QVERIFY(QDir().mkpath(m_folder));
        for (const QString &name : {QStringLiteral("English.lng"), QStringLiteral("Italiano.lng")})
            QVERIFY(QFile::copy(test::sourceDataDir() + QLatin1Char('/') + name,
                                m_folder + QLatin1Char('/') + name));
        m_state = std::make_unique<AppState>();
        m_prompter = {};
        m_events.clear();
    }
    void cleanup()
    {
        m_window.reset();
        m_sim.reset();
    }

    void startupOpensTheSavedPort_data()
    {
        QTest::addColumn<QByteArray>("settings");
        QTest::addColumn<int>("port");
        QTest::newRow("no settings file: COM1") << QByteArray() << 1;
        QTest::newRow("unreadable settings: COM1") << QByteArray("COM=x\r\n") << 1;
        QTest::newRow("COM=4") << QByteArray("COM=4\r\nLINGUA=\r\nFILE1=\r\nFILE2=\r\nFILE3=\r\n"
                                             "FILE4=\r\n")
                               << 4;
    }
    void startupOpensTheSavedPort()
    {
        QFETCH(QByteArray, settings);
        QFETCH(int, port);
        m_sim = std::make_unique<devsim::DeviceSimulator>();
        std::string error;
        QVERIFY2(m_sim->start(&error), error.c_str());
        QVERIFY(QDir().mkpath(m_folder + QStringLiteral("/ports")));
        QVERIFY(QFile::link(QString::fromStdString(m_sim->slavePath()),
                            m_folder + QStringLiteral("/ports/COM%1").arg(port)));
        for (int other = 1; other <= 4; ++other) {
            if (other != port) // plain files: these numbers never open, on any machine
                test::writeFile(m_folder + QStringLiteral("/ports/COM%1").arg(other), "no port");
        }
        if (!settings.isEmpty())
            test::writeFile(m_folder + QStringLiteral("/nuvora.ini"), settings);
        ShutdownActions none;
        none.endProcess = [] {};
        m_window = std::make_unique<MainWindow>(*m_state, m_prompter, m_folder, none);
        QVERIFY(m_window->Form_Load());
        // Only the port of that number leads to the device; any other would have failed.
        QVERIFY2(m_prompter.boxes.isEmpty(), qPrintable(m_prompter.boxes.value(0).text));
        QVERIFY(m_window->port().line().isOpen());
        QCOMPARE(m_state->ComPort, port);
    }

    void wholeRun()
    {
        bringUp({});
        QSignalSpy finished(&m_window->run(), &ProgrammingRun::finished);
        start()->click();
        // Busy at once: the run waits for the device inside the event loop.
        QVERIFY(!menusEnabled());
        QVERIFY(!start()->isEnabled());
        QVERIFY(finished.wait(60000));
        QCOMPARE(finished.first().first().value<RunOutcome>(), RunOutcome::Success);
        QCOMPARE(m_prompter.boxes.size(), 1);
        QCOMPARE(m_prompter.boxes[0],
                 (test::Box{m_state->LangText[19], 64, m_state->LangText[18]}));
        QVERIFY(!m_state->LangText[19].isEmpty());
        // Back to Ready with an empty bar; the lamps were lit by the traffic and go out.
        QVERIFY(menusEnabled());
        QVERIFY(start()->isEnabled());
        QCOMPARE(progress()->value(), 0);
        QCOMPARE(progress()->maximum(), m_state->ImageEnd + 1);
        QCOMPARE(m_state->ProgressCount, m_state->ImageEnd + 1);
        QCOMPARE(m_window->lamps()->lampTag(0), 4);
        QCOMPARE(m_window->lamps()->lampTag(1), 5);
        QCOMPARE(m_window->lamps()->lampTag(2), 3);
        QTRY_COMPARE_WITH_TIMEOUT(m_window->lamps()->lampTag(0), 1, 3000);
        QTRY_COMPARE_WITH_TIMEOUT(m_window->lamps()->lampTag(1), 2, 3000);
        QCOMPARE(eeprom(*m_sim), expectedEeprom(*m_state));
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
        QSignalSpy finished(&m_window->run(), &ProgrammingRun::finished);
        start()->click();
        QCOMPARE(m_window->lamps()->lampTag(2), 3);
        QVERIFY(finished.wait(30000));
        QCOMPARE(finished.first().first().value<RunOutcome>(), RunOutcome::WriteFailed);
        QCOMPARE(m_prompter.boxes.size(), 1);
        QCOMPARE(m_prompter.boxes[0], (test::Box{m_state->LangText[10], 48, m_state->LangText[8]}));
        const int done = m_state->ProgressCount;
        QVERIFY2(done > 0 && done < 20 * 16 && done % 16 == 0, qPrintable(QString::number(done)));
        QVERIFY(menusEnabled());
        QVERIFY(start()->isEnabled());
        QCOMPARE(progress()->value(), 0);
        // The frames acknowledged before the failure stay written; nothing goes out after the
        // failed one.
        const QByteArray written = eeprom(*m_sim);
        QCOMPARE(written.left(done), expectedEeprom(*m_state).left(done));
        QCOMPARE(written.mid(done + 16), QByteArray(kImageSize - done - 16, char(0xFF)));
    }

    void probeWithoutAnswer()
    {
        // The real one-second deadline, five times.
        devsim::SimOptions options;
        options.silent = true;
        bringUp(options);
        QSignalSpy finished(&m_window->run(), &ProgrammingRun::finished);
        start()->click();
        QVERIFY(finished.wait(20000));
        QCOMPARE(finished.first().first().value<RunOutcome>(), RunOutcome::ProbeFailed);
        QCOMPARE(m_prompter.boxes.size(), 1);
        QCOMPARE(m_prompter.boxes[0], (test::Box{m_state->LangText[9], 48, m_state->LangText[8]}));
        QCOMPARE(m_sim->stats().writes, 0);
        QCOMPARE(m_window->lamps()->lampTag(2), 6); // no answer: ER stays lit
        QVERIFY(start()->isEnabled());
    }

    void portWillNotOpen()
    {
        bringUp({});
        m_sim.reset(); // the alias now leads nowhere
        m_window->port().CloseCom();
        QFile::remove(m_folder + QStringLiteral("/ports/COM3"));
        test::writeFile(m_folder + QStringLiteral("/ports/COM3"), "not a port");
        start()->click();
        QCOMPARE(m_prompter.boxes.size(), 1);
        QCOMPARE(m_prompter.boxes[0], (test::Box{"Communication failure", 48, "Nuvora"}));
        QVERIFY(menusEnabled()); // never locked
        QVERIFY(start()->isEnabled());
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
        QVERIFY(!m_window->port().line().isOpen());
    }
};

QTEST_MAIN(TestRun)
#include "tst_window_run.moc"
