#include "transfer/ReadRun.h"

#include "base/AppState.h"
#include "base/RunView.h"
#include "serial/PortControl.h"
#include "transfer/FrameExchange.h"
#include "transfer/FrameProtocol.h"

#include <QTimer>

namespace nuvora {

ReadRun::ReadRun(AppState &state, PortControl &port, RunView &view, QObject *parent)
    : QObject(parent), m_state(state), m_port(port), m_view(view),
      m_exchange(new FrameExchange(state, port.line(), view, this))
{
    qRegisterMetaType<nuvora::ReadOutcome>();
    connect(m_exchange, &FrameExchange::finished, this, &ReadRun::onExchangeFinished);
}

ReadRun::~ReadRun() = default;

void ReadRun::start(std::int32_t start, std::int32_t length)
{
    if (m_stage != Stage::Idle)
        return;
    m_reads.reset(start, length);
    m_stopRequested = false;
    if (m_port.OpenCom(m_state.ComPort) != 0) {
        // Callers connect after they start us; the result must not arrive inside the call.
        QTimer::singleShot(0, this, [this] { emit finished(ReadOutcome::PortFailed); });
        return;
    }
    m_view.DisableCommands();
    m_stage = Stage::Probe;
    m_exchange->ExchangeFrame(false, protocol::kReadCommand, protocol::kProbeAddress, 0);
}

void ReadRun::requestStop()
{
    if (m_stage != Stage::Idle)
        m_stopRequested = true;
}

void ReadRun::readNext()
{
    if (m_reads.done()) {
        end(ReadOutcome::Success);
        return;
    }
    if (m_stopRequested) {
        end(ReadOutcome::Interrupted);
        return;
    }
    m_exchange->ExchangeFrame(false, protocol::kReadCommand, m_reads.address(),
                              m_reads.lengthField());
}

void ReadRun::onExchangeFinished(bool accepted)
{
    switch (m_stage) {
    case Stage::Idle:
        return;
    case Stage::Probe:
        if (!accepted) {
            end(ReadOutcome::ProbeFailed);
            return;
        }
        m_stage = Stage::Reading;
        m_view.setProgressMax(m_reads.length());
        readNext();
        return;
    case Stage::Reading:
        if (!accepted || !m_reads.take(m_exchange->readData())) {
            end(ReadOutcome::ReadFailed);
            return;
        }
        m_view.setProgressValue(m_reads.bytes().size());
        readNext();
        return;
    }
}

void ReadRun::end(ReadOutcome outcome)
{
    m_stage = Stage::Idle;
    m_stopRequested = false;
    m_view.EnableCommands();
    emit finished(outcome);
}

} // namespace nuvora
