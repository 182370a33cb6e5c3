#include "transfer/FrameExchange.h"

#include "base/AppState.h"
#include "base/RunView.h"
#include "serial/SerialLine.h"
#include "transfer/FrameProtocol.h"

#include <QMetaObject>

#include <cstring>

namespace nuvora {

namespace {
constexpr double kNsPerSecond = 1e9;
} // namespace

FrameExchange::FrameExchange(AppState &state, SerialLine &line, RunView &view, QObject *parent)
    : QObject(parent), m_state(state), m_line(&line), m_view(view)
{
    m_deadlineTimer.setSingleShot(true);
    // A coarse timer may fire up to 5 % early or late; the deadline is a promise to the device.
    m_deadlineTimer.setTimerType(Qt::PreciseTimer);
    connect(&m_deadlineTimer, &QTimer::timeout, this, &FrameExchange::onWake);
    connect(&line, &SerialLine::readyRead, this, &FrameExchange::onWake);
    connect(&line, &SerialLine::lineLost, this, &FrameExchange::onLineLost);
    m_clock.start();
}

bool FrameExchange::ExchangeFrame(bool write, std::uint8_t command, std::int32_t address,
                                  std::uint8_t lengthField)
{
    if (m_stage != Stage::Idle)
        return false;
    m_stage = Stage::Finishing;
    m_readAccepted = false;
    m_attemptSets = 0;
    m_attemptsMade = 0;
    if (!m_line || !m_line->isOpen()) {
        finishLater(false); // nothing sent, no lamp
        return true;
    }
    ComFrameRecord &f = m_state.ComFrame;
    const int lastIndex = write ? address + protocol::kPageBytes - 1 : address;
    if (address < 0 || lastIndex >= kImageSize || lengthField > protocol::kFullPageLengthField) {
        finishLater(false);
        return true;
    }
    const auto at = static_cast<std::uint16_t>(address);
    const protocol::Request r =
        write ? protocol::writeRequest(command, at, lengthField, &m_state.ImageBuffer[at])
              : protocol::readRequest(command, at, lengthField);
    f.AddrHi = r.addrHi();
    f.AddrLo = r.addrLo();
    f.Ctrl = r.ctrl();
    f.Chk = r.checksum();
    // Resized in place: the buffers of the previous frame are reused, nothing is allocated.
    const auto *tx = reinterpret_cast<const char *>(r.bytes.data());
    f.TxText.resize(r.size);
    std::memcpy(f.TxText.data(), tx, r.size);
    if (write) {
        f.DataText.resize(protocol::kPageBytes);
        std::memcpy(f.DataText.data(), tx + protocol::kHeaderBytes, protocol::kPageBytes);
        f.Index = address + protocol::kPageBytes; // where the loop over the page would end
    } else {
        f.DataText.clear();
    }
    m_write = write;
    m_lengthField = r.lengthField;
    startAttemptSet();
    return true;
}

void FrameExchange::startAttemptSet()
{
    ++m_attemptSets;
    m_state.ComFrame.Tries = 0;
    sendAttempt();
}

void FrameExchange::sendAttempt()
{
    ComFrameRecord &f = m_state.ComFrame;
    // Whatever is waiting now was not sent in answer to this request.
    m_line->discardInput();
    if (!m_line->write(f.TxText)) {
        // The line refused the bytes: the device is gone, retrying cannot help.
        m_view.SetLamp(LampState::ErrOn);
        finish(false);
        return;
    }
    ++m_attemptsMade;
    m_view.SetLamp(LampState::TxOn);
    f.ReplyLen = static_cast<std::uint8_t>(protocol::answerBytes(m_write, m_lengthField));
    m_deadlineAtNs = m_clock.nsecsElapsed() + deadlineNs();
    f.Deadline = static_cast<float>(m_deadlineAtNs / kNsPerSecond);
    m_stage = Stage::Waiting;
    m_deadlineTimer.start(m_deadline);
}

qint64 FrameExchange::deadlineNs() const
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(m_deadline).count();
}

void FrameExchange::onWake()
{
    if (m_stage != Stage::Waiting)
        return;
    // The deadline is checked before the byte count: an answer complete only after the
    // deadline does not count.
    const qint64 now = m_clock.nsecsElapsed();
    if (now >= m_deadlineAtNs) {
        attemptEnded(false);
        return;
    }
    if (m_line && m_line->bytesWaiting() >= m_state.ComFrame.ReplyLen) {
        attemptEnded(true);
        return;
    }
    if (!m_deadlineTimer.isActive()) {
        // The timer came a little before the clock reached the deadline: wait out the rest.
        const qint64 leftNs = m_deadlineAtNs - now;
        m_deadlineTimer.start(std::chrono::milliseconds((leftNs + 999'999) / 1'000'000));
    }
}

void FrameExchange::onLineLost()
{
    if (m_stage != Stage::Waiting)
        return;
    // No answer can come over a line that has gone; say so now rather than after five seconds.
    m_deadlineTimer.stop();
    m_view.SetLamp(LampState::ErrOn);
    finish(false);
}

void FrameExchange::attemptEnded(bool answered)
{
    m_deadlineTimer.stop();
    ComFrameRecord &f = m_state.ComFrame;
    ++f.Tries;
    if (!answered) {
        if (f.Tries < kAttemptsPerSet && m_line && m_line->isOpen()) {
            sendAttempt();
            return;
        }
        m_view.SetLamp(LampState::ErrOn);
        finish(false);
        return;
    }
    f.RxText = m_line->readAll();
    m_view.SetLamp(LampState::RxOn);
    if (m_write) {
        const auto ack = static_cast<std::uint8_t>(f.RxText.at(0));
        if (protocol::ackAccepted(ack, static_cast<std::uint8_t>(f.Chk))) {
            finish(true);
            return;
        }
        if (m_attemptSets < kMaxAttemptSets) {
            startAttemptSet(); // the same frame again, with a fresh set of attempts
            return;
        }
        m_view.SetLamp(LampState::ErrOn);
        finish(false);
        return;
    }
    const auto *rx = reinterpret_cast<const std::uint8_t *>(f.RxText.constData());
    f.Chk = static_cast<std::int16_t>(protocol::byteSum(rx, m_lengthField + 1u));
    m_readAccepted = protocol::readAnswerAccepted(rx, m_lengthField);
    finish(m_readAccepted);
}

QByteArray FrameExchange::readData() const
{
    if (!m_readAccepted || m_stage != Stage::Idle)
        return {};
    return m_state.ComFrame.RxText.left(m_lengthField + 1);
}

void FrameExchange::finish(bool accepted)
{
    m_deadlineTimer.stop();
    m_stage = Stage::Idle;
    emit finished(accepted);
}

void FrameExchange::finishLater(bool accepted)
{
    // Callers connect after they start us; the result must not arrive inside the call.
    QMetaObject::invokeMethod(
        this, [this, accepted] { finish(accepted); }, Qt::QueuedConnection);
}

} // namespace nuvora
