#include "transfer/PresenceProbe.h"

#include "serial/SerialLine.h"
#include "transfer/FrameProtocol.h"

#include <QMetaObject>

namespace nuvora {

using protocol::kProbeAddress;
using protocol::kReadCommand;

PresenceProbe::PresenceProbe(SerialLine &line, QObject *parent) : QObject(parent), m_line(&line)
{
    m_deadlineTimer.setSingleShot(true);
    connect(&m_deadlineTimer, &QTimer::timeout, this, [this] { finish(false); });
    connect(&line, &SerialLine::readyRead, this, &PresenceProbe::onWake);
    connect(&line, &SerialLine::lineLost, this, [this] {
        if (m_waiting)
            finish(false);
    });
}

void PresenceProbe::start()
{
    if (m_waiting)
        return;
    m_waiting = true;
    const protocol::Request r = protocol::readRequest(kReadCommand, kProbeAddress, 0);
    const QByteArray bytes(reinterpret_cast<const char *>(r.bytes.data()), r.size);
    if (!m_line || !m_line->isOpen()) {
        // Callers connect after they start us: the result must not arrive inside the call.
        QMetaObject::invokeMethod(
            this, [this] { finish(false); }, Qt::QueuedConnection);
        return;
    }
    m_line->discardInput();
    if (!m_line->write(bytes)) {
        QMetaObject::invokeMethod(
            this, [this] { finish(false); }, Qt::QueuedConnection);
        return;
    }
    m_deadlineTimer.start(m_deadline);
}

void PresenceProbe::onWake()
{
    constexpr int kAnswer = protocol::answerBytes(false, 0);
    if (!m_waiting || !m_line || m_line->bytesWaiting() < kAnswer)
        return;
    const QByteArray answer = m_line->readAll();
    finish(protocol::readAnswerAccepted(reinterpret_cast<const std::uint8_t *>(answer.data()), 0));
}

void PresenceProbe::finish(bool answered)
{
    if (!m_waiting)
        return;
    m_deadlineTimer.stop();
    m_waiting = false;
    emit finished(answered);
}

} // namespace nuvora
