#include "serial/SerialLine.h"

#include <QFile>
#include <QFileInfo>
#include <QMetaObject>

#include <cerrno>
#include <cstring>

#ifdef Q_OS_UNIX
#include <unistd.h>
#endif
#ifdef Q_OS_LINUX
#include <linux/serial.h>
#include <sys/ioctl.h>
#endif

namespace nuvora {

namespace {
constexpr qint32 kBaudRate = 19200;
} // namespace

SerialLine::SerialLine(QObject *parent) : QObject(parent)
{
    connect(&m_port, &QSerialPort::readyRead, this, &SerialLine::readyRead);
    connect(&m_port, &QSerialPort::errorOccurred, this, &SerialLine::onError);
}

SerialLine::~SerialLine()
{
    // Closing here keeps the device's lock from outliving us.
    m_port.close();
}

bool SerialLine::open(const QString &device)
{
    if (m_port.isOpen())
        m_port.close();
    m_closePending = false;
    m_failure = OpenFailure::None;
    m_failureText.clear();
    m_device = device;
    if (device.isEmpty()) {
        m_failure = OpenFailure::NoSuchDevice;
        m_failureText = QStringLiteral("No device for this port number.");
        return false;
    }
    // The lock that keeps two programs off one device is named after the device, so an alias
    // must lead to the device's own name.
    const QString canonical = QFileInfo(device).canonicalFilePath();
    m_port.setPortName(canonical.isEmpty() ? device : canonical);
    m_port.setBaudRate(kBaudRate);
    m_port.setDataBits(QSerialPort::Data8);
    m_port.setParity(QSerialPort::NoParity);
    m_port.setStopBits(QSerialPort::OneStop);
    m_port.setFlowControl(QSerialPort::NoFlowControl);
    if (!m_port.open(QIODevice::ReadWrite)) {
        classifyOpenFailure(m_port.error());
        m_port.clearError();
        return false;
    }
    // A pseudo-terminal has no modem lines and refuses these; that is no reason to fail.
    m_port.setDataTerminalReady(true);
    m_port.setRequestToSend(false);
    m_port.clearError();
    // Bytes received before we opened belong to nobody.
    m_port.clear(QSerialPort::Input);
    requestLowLatency();
    return true;
}

void SerialLine::close()
{
    m_closePending = false;
    if (m_port.isOpen())
        m_port.close();
}

bool SerialLine::isOpen() const
{
    return m_port.isOpen() && !m_closePending;
}

bool SerialLine::write(const QByteArray &bytes)
{
    if (!isOpen())
        return false;
#ifdef Q_OS_UNIX
    // A frame fits the driver's buffer whole: write it straight to the descriptor. Going
    // through QSerialPort would switch its write notifier on and off again for every frame,
    // which costs the event loop a wake-up each time. Our writes never leave bytes in its
    // buffer, so nothing can overtake them.
    if (m_port.bytesToWrite() == 0) {
        const int fd = static_cast<int>(m_port.handle());
        ssize_t n;
        do {
            n = ::write(fd, bytes.constData(), static_cast<std::size_t>(bytes.size()));
        } while (n < 0 && errno == EINTR);
        if (n == bytes.size())
            return true;
        if (n < 0 && errno != EAGAIN) {
            // The device has gone (an adapter pulled): close, so the next Start opens it anew.
            lose(QString::fromLocal8Bit(std::strerror(errno)));
            return false;
        }
        // A full driver buffer: let QSerialPort deliver the rest as the line drains.
        const qsizetype done = n > 0 ? n : 0;
        return m_port.write(bytes.constData() + done, bytes.size() - done) == bytes.size() - done;
    }
#endif
    if (m_port.write(bytes) != bytes.size())
        return false;
    // Hand the frame to the driver now instead of on the next event-loop turn.
    m_port.flush();
    return true;
}

QByteArray SerialLine::readAll()
{
    return m_port.isOpen() ? m_port.readAll() : QByteArray();
}

qint64 SerialLine::bytesWaiting() const
{
    return m_port.isOpen() ? m_port.bytesAvailable() : 0;
}

void SerialLine::discardInput()
{
    if (m_port.isOpen()) {
        m_port.clear(QSerialPort::Input);
        // clearError() emits a signal and builds a string: only when there is an error.
        if (m_port.error() != QSerialPort::NoError)
            m_port.clearError();
    }
}

void SerialLine::onError(QSerialPort::SerialPortError error)
{
    if (error != QSerialPort::ReadError && error != QSerialPort::ResourceError &&
        error != QSerialPort::WriteError)
        return;
    lose(m_port.errorString());
}

void SerialLine::lose(const QString &reason)
{
    if (!m_port.isOpen() || m_closePending)
        return;
    // Qt keeps reporting ReadError on a vanished device instead of closing it; close it
    // ourselves, outside the signal that reported it.
    m_closePending = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            if (m_closePending)
                close();
        },
        Qt::QueuedConnection);
    emit lineLost(reason);
}

void SerialLine::classifyOpenFailure(QSerialPort::SerialPortError error)
{
    const QString name = m_device;
    switch (error) {
    case QSerialPort::DeviceNotFoundError:
        m_failure = OpenFailure::NoSuchDevice;
        m_failureText = QStringLiteral("%1 does not exist.").arg(name);
        return;
    case QSerialPort::PermissionError: {
#ifdef Q_OS_UNIX
        // Qt reports a lock held by another program and a forbidden device alike; the
        // device's own permissions tell them apart.
        const QByteArray path = QFile::encodeName(QFileInfo(name).absoluteFilePath());
        if (::access(path.constData(), R_OK | W_OK) != 0 && errno == EACCES) {
            m_failure = OpenFailure::PermissionDenied;
            m_failureText = QStringLiteral("Permission denied on %1: add your user to the "
                                           "'dialout' group and log in again.")
                                .arg(name);
            return;
        }
#endif
        m_failure = OpenFailure::Busy;
        m_failureText = QStringLiteral("%1 is busy: another program is using it.").arg(name);
        return;
    }
    case QSerialPort::OpenError:
        m_failure = OpenFailure::Busy;
        m_failureText = QStringLiteral("%1 is already open.").arg(name);
        return;
    default:
        m_failure = OpenFailure::Other;
        m_failureText = QStringLiteral("%1: %2").arg(name, m_port.errorString());
        return;
    }
}

void SerialLine::requestLowLatency()
{
#ifdef Q_OS_LINUX
    // FTDI adapters otherwise hold a one-byte answer for their 16 ms latency timer.
    const int fd = static_cast<int>(m_port.handle());
    serial_struct info{};
    if (fd >= 0 && ::ioctl(fd, TIOCGSERIAL, &info) == 0) {
        info.flags |= ASYNC_LOW_LATENCY;
        (void)::ioctl(fd, TIOCSSERIAL, &info); // not every driver has the flag: fine
    }
#endif
}

} // namespace nuvora
