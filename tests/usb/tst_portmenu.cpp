// The Com menu's handlers on a real serial line (simulated devices on pseudo-terminals reached
// through ports/COMn aliases) and a real settings file; the operator's cases through the
// window are in tst_portmenu_window.cpp.
#include "RecordingPrompter.h"
#include "SimulatedDevice.h"
#include "TestFiles.h"

#include "app/SettingsFile.h"
#include "serial/ComMenuMarks.h"
#include "serial/PortControl.h"
#include "serial/PortMenu.h"
#include "serial/SerialLine.h"
#include "state/AppState.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <array>
#include <memory>

using namespace nuvora;

namespace {

const test::Box kErrorCom{QStringLiteral("Com Not Avaible!Please select a NEW com"), 16,
                          QStringLiteral("Error Com")};

// The Com menu's check marks without a window.
class MarksFake : public ComMenuMarks {
public:
    void setComChecked(int index, bool checked) override
    {
        QVERIFY(index >= 1 && index <= 4);
        com[static_cast<size_t>(index - 1)] = checked;
    }
    void setUsbChecked(bool checked) override { usb = checked; }
    // "1".."4", "USB", or "" when nothing is checked; "several" breaks the one-mark rule.
    QString checked() const
    {
        QStringList on;
        for (int k = 1; k <= 4; ++k)
            if (com[static_cast<size_t>(k - 1)])
                on << QString::number(k);
        if (usb)
            on << QStringLiteral("USB");
        return on.size() > 1 ? QStringLiteral("several") : on.value(0);
    }

    std::array<bool, 4> com{};
    bool usb = false;
};

// One program folder with its settings file, port and Com menu, as the window holds them.
struct Rig {
    Rig()
    {
        QVERIFY(folder.isValid());
        QVERIFY(QDir(folder.path()).mkpath(QStringLiteral("ports")));
        settings = std::make_unique<SettingsFile>(folder.path());
        port = std::make_unique<PortControl>(line, prompter, folder.path());
        menu = std::make_unique<PortMenu>(*state, marks, *port, *settings, prompter, [this] {
            ++lookups;
            return usbName;
        });
    }
    // ports/COMn leads to the device, or nowhere when there is none.
    void alias(int n, const devsim::DeviceSimulator *sim)
    {
        const QString target =
            sim ? test::devicePath(*sim) : folder.filePath(QStringLiteral("gone"));
        QVERIFY(QFile::link(target, aliasPath(n)));
    }
    QString aliasPath(int n) const { return folder.filePath(QStringLiteral("ports/COM%1").arg(n)); }
    // The settings file's first line, "" when there is no file.
    QByteArray savedComLine() const
    {
        return test::readFile(settings->path()).split('\r').value(0);
    }
    // Starts on port n, open when it exists, checked as the settings reader would check it.
    void startOn(int n)
    {
        state->ComPort = static_cast<std::int16_t>(n);
        if (n >= 1 && n <= 4)
            marks.setComChecked(n, true);
        else
            marks.setUsbChecked(true);
        port->SetCom(state->ComPort);
    }

    QTemporaryDir folder;
    std::unique_ptr<AppState> state = std::make_unique<AppState>();
    test::RecordingPrompter prompter;
    MarksFake marks;
    SerialLine line;
    std::unique_ptr<SettingsFile> settings;
    std::unique_ptr<PortControl> port;
    std::unique_ptr<PortMenu> menu;
    std::string usbName;
    int lookups = 0;
};

} // namespace

class TestPortMenu : public QObject {
    Q_OBJECT

private slots:
    void portNumberFromName_data();
    void portNumberFromName();
    void comPortMoves_data();
    void comPortMoves();
    void usbNameWithoutNumber();
    void failedSaveIsReported_data();
    void failedSaveIsReported();
};

void TestPortMenu::portNumberFromName_data()
{
    QTest::addColumn<QByteArray>("name");
    QTest::addColumn<int>("number");

    QTest::newRow("COM7") << QByteArray("COM7") << 7;
    QTest::newRow("two digits") << QByteArray("COM12") << 12;
    QTest::newRow("leading zeros") << QByteArray("COM007") << 7;
    QTest::newRow("leading blanks") << QByteArray("COM  5") << 5;
    QTest::newRow("leading tab") << QByteArray("COM\t6") << 6;
    QTest::newRow("stops at a letter") << QByteArray("COM5x") << 5;
    QTest::newRow("stops at a blank") << QByteArray("COM1 2") << 1;
    QTest::newRow("stops at a NUL") << QByteArray("COM3\0"
                                                  "9",
                                                  6)
                                    << 3;
    QTest::newRow("any three characters before") << QByteArray("tty9") << 9;
    QTest::newRow("first three never read") << QByteArray("123") << 0;
    QTest::newRow("no digits") << QByteArray("COMX") << 0;
    QTest::newRow("sign is not a digit") << QByteArray("COM-3") << 0;
    QTest::newRow("plus is not a digit") << QByteArray("COM+3") << 0;
    QTest::newRow("nothing after COM") << QByteArray("COM") << 0;
    QTest::newRow("short name") << QByteArray("CO") << 0;
    QTest::newRow("empty") << QByteArray() << 0;
    QTest::newRow("largest 16-bit number") << QByteArray("COM32767") << 32767;
    QTest::newRow("beyond 16 bits") << QByteArray("COM32768") << 0;
    QTest::newRow("far beyond") << QByteArray("COM99999999999999999999") << 0;
}

void TestPortMenu::portNumberFromName()
{
    QFETCH(QByteArray, name);
    QFETCH(int, number);
    QCOMPARE(int(PortNumberFromName(name.toStdString())), number);
}

void TestPortMenu::comPortMoves_data()
{
    QTest::addColumn<int>("from");
    QTest::addColumn<bool>("fromOpen");
    QTest::addColumn<int>("to");
    QTest::addColumn<bool>("toExists");

    QTest::newRow("COM1 open to COM3") << 1 << true << 3 << true;
    QTest::newRow("COM1 open to missing COM4") << 1 << true << 4 << false;
    QTest::newRow("closed COM2 to COM1") << 2 << false << 1 << true;
    QTest::newRow("closed COM3 to missing COM4") << 3 << false << 4 << false;
    QTest::newRow("USB port 12 open to COM2") << 12 << true << 2 << true;
    QTest::newRow("USB port 0 to COM4") << 0 << false << 4 << true;
}

void TestPortMenu::comPortMoves()
{
    QFETCH(int, from);
    QFETCH(bool, fromOpen);
    QFETCH(int, to);
    QFETCH(bool, toExists);
    Rig rig;
    auto before = test::startDevice();
    auto after = test::startDevice();
    if (from > 0)
        rig.alias(from, fromOpen ? before.get() : nullptr);
    rig.alias(to, toExists ? after.get() : nullptr);
    rig.startOn(from);
    QCOMPARE(rig.line.isOpen(), fromOpen);
    rig.prompter.boxes.clear();

    rig.menu->mnuCox_Click(to);

    QCOMPARE(rig.state->ComPort, std::int16_t(to));
    QCOMPARE(rig.marks.checked(), QString::number(to));
    QCOMPARE(rig.line.isOpen(), toExists);
    if (toExists) {
        QCOMPARE(rig.line.device(), rig.aliasPath(to));
        QCOMPARE(rig.prompter.boxes, QList<test::Box>{});
    } else {
        QCOMPARE(rig.prompter.boxes, QList<test::Box>{kErrorCom});
    }
    // Saved whether or not the port opened.
    QCOMPARE(rig.savedComLine(), QByteArray("COM=") + QByteArray::number(to));
}

void TestPortMenu::usbNameWithoutNumber()
{
    Rig rig;
    auto com2 = test::startDevice();
    rig.alias(2, com2.get());
    rig.startOn(2);
    rig.usbName = "COMX";

    rig.menu->mnuUSB_Click();

    QCOMPARE(rig.state->ComPort, std::int16_t(0));
    QCOMPARE(rig.marks.checked(), QStringLiteral("USB"));
    QVERIFY(!rig.line.isOpen());
    QCOMPARE(rig.prompter.boxes, QList<test::Box>{kErrorCom});
    QCOMPARE(rig.savedComLine(), QByteArray("COM=0"));
}

void TestPortMenu::failedSaveIsReported_data()
{
    QTest::addColumn<bool>("usb");
    QTest::newRow("COM item") << false;
    QTest::newRow("USB item") << true;
}

void TestPortMenu::failedSaveIsReported()
{
    QFETCH(bool, usb);
    Rig rig;
    auto sim = test::startDevice();
    rig.alias(usb ? 9 : 3, sim.get());
    // A folder where the file should be: no save can replace it.
    QVERIFY(QDir().mkpath(rig.settings->path()));
    rig.usbName = "COM9";

    if (usb)
        rig.menu->mnuUSB_Click();
    else
        rig.menu->mnuCox_Click(3);

    // The choice holds for this session all the same.
    QCOMPARE(rig.state->ComPort, std::int16_t(usb ? 9 : 3));
    QVERIFY(rig.line.isOpen());
    QCOMPARE(rig.prompter.boxes.size(), 1);
    const test::Box box = rig.prompter.boxes.first();
    QCOMPARE(box.style, 48);
    QCOMPARE(box.title, QStringLiteral("Nuvora"));
    QVERIFY2(box.text.contains(QDir::toNativeSeparators(rig.settings->path())),
             qPrintable(box.text));
}

QTEST_GUILESS_MAIN(TestPortMenu)
#include "tst_portmenu.moc"
