// The window against simulated devices on pseudo-terminals behind the program folder's port
// aliases: started on COM2 from its settings file, the Com menu's items clicked, and whole runs
// of data/sample.mhx (File > Load, Start) on COM2.
#include "Fixtures.h"
#include "Rows.h"
#include "SimulatedDevice.h"
#include "WindowFixture.h"

#include "commands/PortMenu.h"
#include "serial/GetUSBT.h"

#include <QProgressBar>
#include <QSignalSpy>
#include <QTest>

using namespace nuvora;
using test::Box;

namespace {
const Box kNoUsb{"USB port not available\rPlease select a different COM port", 16, "Error"};
const Box kStopped{"Writing stopped: the device did not confirm a block. The EEPROM now holds an "
                   "incomplete image.",
                   48, "Nuvora - EEPROM image"};
const Box kDone{"The whole image has been written to the EEPROM.", 64, "Programming complete"};
} // namespace

class TestWindowRun : public QObject, test::WindowFixture {
    Q_OBJECT

    std::unique_ptr<devsim::DeviceSimulator> m_com2, m_adapter;

    // clicks: "COMn" or "USB:<name the lookup gives>" in turn; the item checked; box: the one
    // shown (1 Error Com, 2 no USB, 0 none); port: ComPort and the alias open (0, 4: closed);
    // kept: of the two stray bytes waiting in COM2 before; the settings saved.
    struct ItemRow {
        const char *name;
        QString clicks, mark;
        int box, port, kept;
        bool saved;
    };
    const std::vector<ItemRow> m_items{
        {"COM2 while open and checked", "COM2", "COM&2", 0, 2, 0, true},
        {"COM4 that does not exist", "COM4", "COM&4", 1, 4, 0, true},
        {"USB with an adapter on COM12", "USB:COM12", "&USB", 0, 12, 0, true},
        {"USB with none", "USB:", "", 2, 2, 2, false},
        {"USB name without number", "USB:COMX", "&USB", 1, 0, 0, true},
        {"USB with none, then COM2", "USB: COM2", "COM&2", 2, 2, 0, true},
        {"USB, COM2, USB", "USB:COM12 COM2 USB:COM12", "&USB", 0, 12, 0, true},
    };

    SerialLine &line() { return m_window->commands().port().line(); }
    QProgressBar *progress() const { return m_window->findChild<QProgressBar *>("ProgressBar1"); }
    // Start and the menu bar's File, Language, Com, ?: 1 all enabled, 0 all disabled, -1 mixed.
    int enabled() const
    {
        const MainMenus &m = m_window->menus();
        const int on =
            m.mnuFile->menuAction()->isEnabled() + m.mnuLingue->menuAction()->isEnabled() +
            m.mnuCom->menuAction()->isEnabled() + m.mnuAbo->isEnabled() + start()->isEnabled();
        return on == 5 ? 1 : on == 0 ? 0 : -1;
    }
    // A new device behind COM2, as when one is plugged in.
    void plugIn(int hangUpAfter, int baud = 0)
    {
        devsim::SimOptions options;
        options.hangUpAfter = hangUpAfter;
        options.baud = baud;
        m_com2 = test::startDevice(options);
        QFile::remove(inFolder("ports/COM2"));
        QVERIFY(test::linkPort(m_folder, 2, test::devicePath(*m_com2)));
    }
    void load()
    {
        m_prompter.chooseFile(test::sourceDataDir() + "/sample.mhx");
        m_window->menus().smnuFile0->trigger();
        QVERIFY2(m_prompter.boxes.isEmpty(), qPrintable(m_prompter.boxes.value(0).text));
    }
    // Start pressed: the outcome, -1 for none within a minute. m_atClick: enabled() and the
    // error lamp right after the click, while the run waits inside the event loop.
    std::pair<int, int> m_atClick;
    int startAndWait()
    {
        QSignalSpy finished(&m_window->commands().run(), &ProgrammingRun::finished);
        start()->click();
        m_atClick = {enabled(), m_window->lamps()->lampTag(2)};
        if (finished.isEmpty() && !finished.wait(60000))
            return -1;
        return int(finished.first().first().value<RunOutcome>());
    }

private slots:
    // The window started on COM2, open on its device and checked; COM4 leads nowhere and
    // COM12 to the adapter's device. The run tests choose COM2's device by their name.
    void init()
    {
        freshWindow();
        plugIn(qstrcmp(QTest::currentTestFunction(), "unplugged") ? -1 : 20); // gone at request 20
        m_adapter = test::startDevice();
        QVERIFY(test::linkPort(m_folder, 4, inFolder("gone")));
        QVERIFY(test::linkPort(m_folder, 12, test::devicePath(*m_adapter)));
        QVERIFY(QFile::copy(test::sourceDataDir() + "/English.lng", inFolder("English.lng")));
        test::writeFile(inFolder("nuvora.ini"), settingsText(2, "English"));
        QVERIFY(m_window->Form_Load());
        QCOMPARE(m_prompter.boxes, QList<Box>{});
        m_window->show();
        QCOMPARE(checked("mnuCom"), "COM&2");
        QVERIFY(line().isOpen());
    }
    void cleanup() { m_window.reset(); } // before its devices

    void portNumberFromName()
    {
        const QList<std::pair<QByteArray, int>> rows{
            {"COM \t007", 7}, {QByteArray("COM3\0009", 6), 3}, // stops at a NUL
            {"tty9", 9},      {"COM-3", 0}, // any three characters before; a sign is no digit
            {"CO", 0},        {"COM32767", 32767},
            {"COM32768", 0}};
        for (const auto &[name, number] : rows)
            QCOMPARE(int(PortNumberFromName(name.toStdString())), number);
    }
    void items_data() { test::indexRows(m_items); }
    void items()
    {
        const auto &[name, clicks, mark, box, port, kept, saved] = test::currentRow(m_items);
        m_com2->inject({0x55, 0xAA});
        QTRY_COMPARE(line().bytesWaiting(), qint64(2));
        QVERIFY(QFile::remove(inFolder("nuvora.ini")));
        for (const QString &click : clicks.split(' ')) {
            const std::string usb = click.mid(4).toStdString();
            m_window->commands().portMenu().setUsbLookup([usb] { return usb; });
            if (click.startsWith("USB"))
                m_window->usbAction()->trigger();
            else
                m_window->comAction(click.mid(3).toInt())->trigger();
        }
        QCOMPARE(m_prompter.boxes, QList<Box>({kErrorCom, kNoUsb}).mid(box - 1, box ? 1 : 0));
        QCOMPARE(checked("mnuCom"), mark);
        QCOMPARE(m_state->ComPort, std::int16_t(port));
        QCOMPARE(iniText(), saved ? settingsText(port, "English") : QByteArray());
        QCOMPARE(line().isOpen(), port == 2 || port == 12);
        if (!line().isOpen())
            return;
        QCOMPARE(line().device(), inFolder(QStringLiteral("ports/COM%1").arg(port)));
        QCOMPARE(line().bytesWaiting(), qint64(kept));
    }
    void wholeRun()
    {
        load();
        QCOMPARE(startAndWait(), int(RunOutcome::Success));
        QCOMPARE(m_atClick.first, 0); // busy at once
        QCOMPARE(m_prompter.boxes, QList<Box>{kDone});
        // Back to Ready with an empty bar; the lamps were lit by the traffic and go out.
        QVERIFY(enabled() == 1 && progress()->value() == 0 && progress()->maximum() == 8192);
        QCOMPARE(lampTags(*m_window->lamps()), 453);
        QTRY_COMPARE_WITH_TIMEOUT(lampTags(*m_window->lamps()), 123, 3000);
        // Start again at once: the same image, beginning with a new probe.
        QCOMPARE(startAndWait(), int(RunOutcome::Success));
        QCOMPARE(m_com2->stats().requests, 2 * (1 + 8192 / 16));
    }
    // The device goes mid-run, Start is pressed while it is away, then a new one is plugged in
    // under the same alias: its run goes on until the window is closed, which goes straight
    // into the shutdown: the port is closed and the process would end there.
    void unplugged()
    {
        load();
        m_window->SetLamp(LampState::ErrOn);
        QCOMPARE(startAndWait(), int(RunOutcome::WriteFailed));
        QCOMPARE(m_atClick, std::make_pair(0, 3)); // a run starts with the error lamp out
        m_com2.reset();
        QCOMPARE(startAndWait(), int(RunOutcome::PortFailed));
        plugIn(-1, 19200); // slow enough to close the window midway
        start()->click();
        QTRY_VERIFY_WITH_TIMEOUT(m_com2->stats().requests >= 5, 10000); // the probe, 4 frames
        QCOMPARE(m_prompter.boxes, (QList<Box>{kStopped, {"Communication failure", 48, "Nuvora"}}));
        m_window->close();
        QCOMPARE(m_events, QStringList{QStringLiteral("end")});
        QVERIFY(!line().isOpen());
    }
};

QTEST_MAIN(TestWindowRun)
#include "tst_window_run.moc"
