#include "commands/PortMenu.h"
#include "serial/PortControl.h"
#include "serial/SerialLine.h"

#include "Fixtures.h"
#include "RecordingPrompter.h"
#include "SimulatedDevice.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <dlfcn.h>
#include <fcntl.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

using namespace nuvora;

static int g_asked = 0, g_not8N = 0; // attributes handed to a terminal, those not 8N

// A pseudo-terminal forces 8 bits without parity whatever it is asked, so what was asked is
// looked at on its way to the C library.
extern "C" int tcsetattr(int fd, int action, const termios *attributes) noexcept
{
    ++g_asked;
    g_not8N += (attributes->c_cflag & (CSIZE | PARENB)) != CS8;
    using Real = int (*)(int, int, const termios *);
    static const auto real = reinterpret_cast<Real>(dlsym(RTLD_NEXT, "tcsetattr"));
    return real(fd, action, attributes);
}

class SerialLineTest : public QObject {
    Q_OBJECT

private slots:
    void openFailures()
    {
        for (const auto &[device, failure] :
             {std::pair{"/dev/nuvora-none", OpenFailure::NoSuchDevice},
              {"/dev/null", OpenFailure::Other}}) {
            SerialLine line;
            QVERIFY2(!line.open(device) && !line.isOpen() && line.failure() == failure &&
                         line.failureText().contains(device),
                     qPrintable(device + (": " + line.failureText())));
        }
    }
    // Looked at from a second opening of the device's terminal: 19200 baud, 8 data bits, no
    // parity, one stop bit, no flow control, raw bytes; and the bytes that came before the port
    // was opened belong to nobody, not to the next answer.
    void openedLine()
    {
        auto sim = test::startDevice();
        const int other = ::open(qPrintable(test::devicePath(*sim)), O_RDWR | O_NOCTTY);
        QVERIFY(other >= 0);
        sim->inject({0x11, 0x22, 0x33});
        int queued = 0;
        QTRY_VERIFY((::ioctl(other, FIONREAD, &queued), queued == 3));
        SerialLine line;
        g_asked = g_not8N = 0;
        QVERIFY(line.open(test::devicePath(*sim)));
        termios t{};
        QCOMPARE(::tcgetattr(other, &t), 0);
        ::close(other);
        QVERIFY(cfgetispeed(&t) == B19200 && cfgetospeed(&t) == B19200);
        QVERIFY(g_asked > 0 && g_not8N == 0);
        QVERIFY(!(t.c_cflag & (CSTOPB | CRTSCTS)) && !(t.c_oflag & OPOST) &&
                !(t.c_iflag & (IXON | IXOFF | ICRNL | INLCR | IGNCR | ISTRIP)) &&
                !(t.c_lflag & (ICANON | ECHO | ISIG | IEXTEN)));
        sim->inject({0x44});
        QByteArray got;
        QTRY_VERIFY(!(got += line.readAll()).isEmpty());
        QCOMPARE(got, QByteArray("\x44"));
    }
    // Noticed by reading, then by a write before any read saw it.
    void vanishedDevice()
    {
        for (bool writeFirst : {false, true}) {
            auto sim = test::startDevice();
            SerialLine line;
            QVERIFY(line.open(test::devicePath(*sim)));
            QSignalSpy lost(&line, &SerialLine::lineLost);
            sim->hangUp();
            // Not QTRY: the events it runs could let a read notice the hang-up before the write.
            for (int waited = 0; writeFirst && !sim->stats().hungUp && waited < 5000; waited += 10)
                QThread::msleep(10);
            QVERIFY(!writeFirst || (!line.write(QByteArray(5, '\0')) && lost.count() == 1));
            // Qt goes on reporting read errors on a dead line; the operator hears of it once.
            QTRY_COMPARE(lost.count(), 1);
            QTest::qWait(300);
            QCOMPARE(lost.count(), 1);
            // Closed, so that the next run opens the port afresh.
            QVERIFY(!line.isOpen() && !line.write(QByteArray(5, '\0')));
        }
    }
    // OpenCom leaves an open port as it is, bytes waiting and all, whatever number it is given.
    // Another line then finds that device busy: one box that says why, and OpenCom fails too.
    void openComAndBusyPort()
    {
        auto sim = test::startDevice();
        QTemporaryDir folder;
        // Two aliases of one device: the lock must be taken on the device, not on the alias.
        for (int number : {7, 8})
            QVERIFY(test::linkPort(folder.path(), number, test::devicePath(*sim)));
        SerialLine other, line;
        PortControl held(other, folder.path());
        QCOMPARE(held.OpenCom(7), std::int16_t(0));
        sim->inject({7, 7});
        QTRY_COMPARE(other.bytesWaiting(), qint64(2));
        QCOMPARE(held.OpenCom(3), std::int16_t(0));
        QVERIFY(other.isOpen() && other.bytesWaiting() == 2);
        test::RecordingPrompter prompter;
        PortControl port(line, folder.path());
        SetCom(port, 8, prompter);
        QCOMPARE(port.OpenCom(8), std::int16_t(-1));
        QVERIFY(!line.isOpen() && prompter.boxes.size() == 1);
        const QString text = prompter.boxes.first().text;
        QVERIFY2(text.startsWith("Com Not Avaible!Please select a NEW com\n") &&
                     text.contains("busy") && !text.contains("dialout"),
                 qPrintable(text));
    }
};

QTEST_GUILESS_MAIN(SerialLineTest)
#include "tst_serialline.moc"
