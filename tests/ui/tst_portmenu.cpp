// The Com menu through the real window: start-up from a settings file, then its items clicked,
// with simulated devices on pseudo-terminals behind the program folder's port aliases.
#include "Fixtures.h"
#include "SimulatedDevice.h"
#include "WindowFixture.h"

#include "commands/PortMenu.h"
#include "serial/GetUSBT.h"

#include <QTest>

using namespace nuvora;
using test::Box;

namespace {

const Box kErrorCom{"Com Not Avaible!Please select a NEW com", 16, "Error Com"};
const Box kNoUsb{"USB port not available\rPlease select a different COM port", 16, "Error"};

} // namespace

class TestPortMenu : public QObject, test::WindowFixture {
    Q_OBJECT

    std::unique_ptr<devsim::DeviceSimulator> m_com2, m_adapter;

    QString ini() const { return inFolder("nuvora.ini"); }
    SerialLine &line() { return m_window->commands().port().line(); }

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

private slots:
    // The window started on COM2, open on its device and checked; COM4 leads nowhere and
    // COM12 to the adapter's device.
    void init()
    {
        freshFolder();
        m_com2 = test::startDevice();
        m_adapter = test::startDevice();
        QVERIFY(test::linkPort(m_folder, 2, test::devicePath(*m_com2)));
        QVERIFY(test::linkPort(m_folder, 4, inFolder("gone")));
        QVERIFY(test::linkPort(m_folder, 12, test::devicePath(*m_adapter)));
        QVERIFY(copyData("English.lng"));
        test::writeFile(ini(), settingsText(2, "English"));
        QVERIFY(makeWindow().Form_Load());
        QCOMPARE(m_prompter.boxes, QList<Box>{});
        m_window->show();
        QCOMPARE(checked(), QStringLiteral("2"));
        QVERIFY(line().isOpen());
    }
    void cleanup() { m_window.reset(); }

    void portNumberFromName_data()
    {
        QTest::addColumn<QByteArray>("name");
        QTest::addColumn<int>("number");
        QTest::newRow("leading zeros and blanks") << QByteArray("COM \t007") << 7;
        QTest::newRow("stops at a letter") << QByteArray("COM5x1") << 5;
        QTest::newRow("stops at a NUL") << QByteArray("COM3\0009", 6) << 3;
        QTest::newRow("any three characters before") << QByteArray("tty9") << 9;
        QTest::newRow("first three never read") << QByteArray("123") << 0;
        QTest::newRow("sign is not a digit") << QByteArray("COM-3") << 0;
        QTest::newRow("short name") << QByteArray("CO") << 0;
        QTest::newRow("largest 16-bit number") << QByteArray("COM32767") << 32767;
        QTest::newRow("beyond 16 bits") << QByteArray("COM32768") << 0;
    }
    void portNumberFromName()
    {
        QFETCH(QByteArray, name);
        QFETCH(int, number);
        QCOMPARE(int(PortNumberFromName(name.toStdString())), number);
    }
    void items_data()
    {
        QTest::addColumn<QString>("clicks"); // "COMn" or "USB:<name the lookup gives>", in turn
        QTest::addColumn<int>("box");        // the one box shown: 1 Error Com, 2 no USB, 0 none
        QTest::addColumn<QString>("mark");
        QTest::addColumn<int>("port"); // ComPort, and the alias open (0, 4: the line is closed)
        QTest::addColumn<bool>("saved");
        QTest::addColumn<int>("kept"); // of the two stray bytes waiting in COM2 before
        QTest::newRow("COM2 while open and checked") << "COM2" << 0 << "2" << 2 << true << 0;
        QTest::newRow("COM4 that does not exist") << "COM4" << 1 << "4" << 4 << true << 0;
        QTest::newRow("USB with an adapter on COM12")
            << "USB:COM12" << 0 << "USB" << 12 << true << 0;
        QTest::newRow("USB with none") << "USB:" << 2 << "" << 2 << false << 2;
        QTest::newRow("USB name without number") << "USB:COMX" << 1 << "USB" << 0 << true << 0;
        QTest::newRow("USB with none, then COM2") << "USB: COM2" << 2 << "2" << 2 << true << 0;
        QTest::newRow("USB, COM2, USB")
            << "USB:COM12 COM2 USB:COM12" << 0 << "USB" << 12 << true << 0;
    }
    void items()
    {
        QFETCH(QString, clicks);
        QFETCH(int, box);
        QFETCH(QString, mark);
        QFETCH(int, port);
        QFETCH(bool, saved);
        QFETCH(int, kept);
        m_com2->inject({0x55, 0xAA});
        QTRY_COMPARE(line().bytesWaiting(), qint64(2));
        QVERIFY(QFile::remove(ini()));
        for (const QString &click : clicks.split(' ')) {
            const std::string usb = click.mid(4).toStdString();
            m_window->commands().portMenu().setUsbLookup([usb] { return usb; });
            if (click.startsWith("USB"))
                m_window->usbAction()->trigger();
            else
                m_window->comAction(click.mid(3).toInt())->trigger();
        }
        QCOMPARE(m_prompter.boxes, QList<Box>({kErrorCom, kNoUsb}).mid(box - 1, box ? 1 : 0));
        QCOMPARE(checked(), mark);
        QCOMPARE(m_state->ComPort, std::int16_t(port));
        QCOMPARE(iniText(), saved ? settingsText(port, "English") : QByteArray());
        QCOMPARE(line().isOpen(), port == 2 || port == 12);
        if (!line().isOpen())
            return;
        QCOMPARE(line().device(), inFolder(QStringLiteral("ports/COM%1").arg(port)));
        QCOMPARE(line().bytesWaiting(), qint64(kept));
        // The line really leads there: a probe frame arrives at that device only.
        QVERIFY(line().write(QByteArray::fromHex("0000040004")));
        QVERIFY((port == 2 ? m_com2 : m_adapter)->waitForRequests(1, std::chrono::seconds(5)));
        QCOMPARE((port == 2 ? m_adapter : m_com2)->stats().requests, 0);
    }
    // A folder where the settings file should be: no save can replace it, and the user is told.
    void failedSaveIsReported()
    {
        QVERIFY(QFile::remove(ini()) && QDir().mkpath(ini()));
        m_window->comAction(2)->trigger();
        QCOMPARE(m_state->ComPort, std::int16_t(2)); // the choice holds for this session
        QVERIFY(line().isOpen());
        QCOMPARE(m_prompter.boxes.size(), 1);
        const Box shown = m_prompter.boxes.first();
        QVERIFY2(shown.text.contains(QDir::toNativeSeparators(ini())), qPrintable(shown.text));
        QCOMPARE((std::pair{shown.style, shown.title}), (std::pair{48, QStringLiteral("Nuvora")}));
    }
};

QTEST_MAIN(TestPortMenu)
#include "tst_portmenu.moc"
