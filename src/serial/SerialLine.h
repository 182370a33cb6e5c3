#pragma once

#include <QByteArray>
#include <QObject>
#include <QSerialPort>
#include <QString>

namespace nuvora {

// Why a port would not open, so that the operator can be told what to do about it.
enum class OpenFailure {
    None,
    NoSuchDevice,
    PermissionDenied,
    Busy,
    Other,
};

// The serial line to the device (the window's Comm1): 19200 8N1 without flow control, DTR on,
// RTS off. Bytes go over unchanged; reading returns all that is waiting.
class SerialLine : public QObject {
    Q_OBJECT
public:
    explicit SerialLine(QObject *parent = nullptr);
    ~SerialLine() override;

    // Opens `device` with the fixed line settings; on failure the port stays closed and
    // failure()/failureText() say why.
    bool open(const QString &device);
    void close();
    bool isOpen() const;
    QString device() const { return m_device; }

    OpenFailure failure() const { return m_failure; }
    // One line for the operator, naming the device, e.g. the dialout group for EACCES.
    QString failureText() const { return m_failureText; }

    // Sends the bytes at once (the exchange waits for the answer right after).
    bool write(const QByteArray &bytes);
    // Everything waiting in the receive buffer, removed from it.
    QByteArray readAll();
    qint64 bytesWaiting() const;
    // Throws away what is waiting, in our buffer and in the driver's.
    void discardInput();

signals:
    void readyRead();
    // The device went away (adapter pulled, far end hung up); the port closes itself soon.
    void lineLost(const QString &reason);

private:
    void onError(QSerialPort::SerialPortError error);
    // The device went away: report it once and close the port soon.
    void lose(const QString &reason);
    void classifyOpenFailure(QSerialPort::SerialPortError error);
    void requestLowLatency();

    QSerialPort m_port;
    QString m_device;
    OpenFailure m_failure = OpenFailure::None;
    QString m_failureText;
    bool m_closePending = false;
};

} // namespace nuvora
