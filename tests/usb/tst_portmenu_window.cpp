// The Com menu through the real window: start-up from a settings file, then its items clicked,
// with simulated devices on pseudo-terminals behind the program folder's port aliases.
#include "DeviceSimulator.h"
#include "RecordingPrompter.h"
#include "SimulatedDevice.h"
#include "TestFiles.h"
#include "ui/MainWindow.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

using namespace nuvora;

namespace {

const test::Box kErrorCom{QStringLiteral("Com Not Avaible!Please select a NEW com"), 16,
                          QStringLiteral("Error Com")};
const test::Box kNoUsb{QStringLiteral("USB port not available\rPlease select a different COM port"),
                       16, QStringLiteral("Error")};

QByteArray settingsFor(int port)
{
    return "COM=" + QByteArray::number(port) +
           "\r\nLINGUA=English\r\nFILE1=\r\nFILE2=\r\nFILE3=\r\nFILE4=\r\n";
}

} // namespace

class TestPortMenuWindow : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_root;
    QString m_folder;
    std::unique_ptr<AppState> m_state;
    test::RecordingPrompter m_prompter;
    std::unique_ptr<devsim::DeviceSimulator> m_com2;
    std::unique_ptr<devsim::DeviceSimulator> m_adapter;
    std::unique_ptr<MainWindow> m_window;

    QString alias(int n) const { return m_folder + QStringLiteral("/ports/COM%1").arg(n); }
    QString ini() const { return m_folder + QStringLiteral("/nuvora.ini"); }

    // "1".."4", "USB", "" for none, "several" when the one-mark rule is broken.
    QString checked() const
    {
        QStringList on;
        for (int k = 1; k <= 4; ++k)
            if (m_window->comAction(k)->isChecked())
                on << QString::number(k);
        if (m_window->usbAction()->isChecked())
            on << QStringLiteral("USB");
        return on.size() > 1 ? QStringLiteral("several") : on.value(0);
    }

    // The window started on COM2, open on its device and checked; COM4 leads nowhere and
    // COM12 to the adapter's device.
    void bringUp()
    {
        QVERIFY(QFile::link(test::devicePath(*m_com2), alias(2)));
        QVERIFY(QFile::link(m_folder + QStringLiteral("/gone"), alias(4)));
        QVERIFY(QFile::link(test::devicePath(*m_adapter), alias(12)));
        test::writeFile(ini(), settingsFor(2));
        m_window = std::make_unique<MainWindow>(*m_state, m_prompter, m_folder, ShutdownActions{});
        QVERIFY(m_window->Form_Load());
        QVERIFY2(m_prompter.boxes.isEmpty(), qPrintable(m_prompter.boxes.value(0).text));
        m_window->show();
        QCOMPARE(checked(), QStringLiteral("2"));
        QVERIFY(m_window->port().line().isOpen());
    }

private slots:
    void init()
    {
        m_root = std::make_unique<QTemporaryDir>();
        m_folder = m_root->filePath(QStringLiteral("prog"));
        QVERIFY(QDir().mkpath(m_folder + QStringLiteral("/ports")));
        QVERIFY(QFile::copy(test::sourceDataDir() + QStringLiteral("/English.lng"),
                            m_folder + QStringLiteral("/English.lng")));
        m_state = std::make_unique<AppState>();
        m_prompter = {};
        m_com2 = test::startDevice();
        m_adapter = test::startDevice();
    }
    void cleanup()
    {
        m_window.reset();
        m_com2.reset();
        m_adapter.reset();
    }

    void sameComItemReopensAndSaves()
    {
        bringUp();
        // Stray bytes in the open port are thrown away by a reopen.
        m_com2->inject({0x55, 0xAA});
        QTRY_VERIFY(m_window->port().line().bytesWaiting() > 0);
        QVERIFY(QFile::remove(ini()));

        m_window->comAction(2)->trigger();

        QCOMPARE(checked(), QStringLiteral("2"));
        QCOMPARE(m_state->ComPort, std::int16_t(2));
        QVERIFY(m_window->port().line().isOpen());
        QCOMPARE(m_window->port().line().device(), alias(2));
        QCOMPARE(m_window->port().line().bytesWaiting(), qint64(0));
        QCOMPARE(test::readFile(ini()), settingsFor(2));
        QCOMPARE(m_prompter.boxes, QList<test::Box>{});
    }

    void missingComItem()
    {
        bringUp();
        m_window->comAction(4)->trigger();

        QCOMPARE(m_prompter.boxes, QList<test::Box>{kErrorCom});
        QCOMPARE(checked(), QStringLiteral("4"));
        QCOMPARE(m_state->ComPort, std::int16_t(4));
        QVERIFY(!m_window->port().line().isOpen());
        QCOMPARE(test::readFile(ini()), settingsFor(4));
    }

    void usbWithAdapterOnCom12()
    {
        bringUp();
        m_window->portMenu().setUsbLookup([] { return std::string("COM12"); });

        m_window->usbAction()->trigger();

        QCOMPARE(m_prompter.boxes, QList<test::Box>{});
        QCOMPARE(checked(), QStringLiteral("USB"));
        QCOMPARE(m_state->ComPort, std::int16_t(12));
        QVERIFY(m_window->port().line().isOpen());
        QCOMPARE(m_window->port().line().device(), alias(12));
        QCOMPARE(test::readFile(ini()), settingsFor(12));
        // The line really leads to the adapter: a probe frame arrives there and only there.
        QVERIFY(m_window->port().line().write(QByteArray("\x00\x00\x04\x00\x04", 5)));
        QVERIFY(m_adapter->waitForRequests(1, std::chrono::seconds(5)));
        QCOMPARE(m_com2->stats().requests, 0);
    }

    void usbWithoutAdapter()
    {
        bringUp();
        m_window->portMenu().setUsbLookup([] { return std::string(); });

        m_window->usbAction()->trigger();

        QCOMPARE(m_prompter.boxes, QList<test::Box>{kNoUsb});
        QCOMPARE(checked(), QString());
        QCOMPARE(m_state->ComPort, std::int16_t(2));
        QVERIFY(m_window->port().line().isOpen());
        QCOMPARE(m_window->port().line().device(), alias(2));
        QCOMPARE(test::readFile(ini()), settingsFor(2));

        // The next choice puts a mark back.
        m_window->comAction(2)->trigger();
        QCOMPARE(checked(), QStringLiteral("2"));
    }

    // The menu is the user's way back from the USB item to a COM item and on again.
    void usbThenComThenUsb()
    {
        bringUp();
        m_window->portMenu().setUsbLookup([] { return std::string("COM12"); });
        m_window->usbAction()->trigger();
        m_window->comAction(2)->trigger();
        QCOMPARE(checked(), QStringLiteral("2"));
        QCOMPARE(m_window->port().line().device(), alias(2));
        m_window->usbAction()->trigger();
        QCOMPARE(checked(), QStringLiteral("USB"));
        QCOMPARE(m_window->port().line().device(), alias(12));
        QCOMPARE(test::readFile(ini()), settingsFor(12));
        QCOMPARE(m_prompter.boxes, QList<test::Box>{});
    }
};

QTEST_MAIN(TestPortMenuWindow)
#include "tst_portmenu_window.moc"
