#include "transfer/ProgrammingRun.h"

#include "base/AppState.h"
#include "base/RunView.h"
#include "serial/PortControl.h"
#include "transfer/FrameExchange.h"
#include "transfer/FrameProtocol.h"

#include <QPointer>

namespace nuvora {

using protocol::kFullPageLengthField;
using protocol::kPageBytes;
using protocol::kPageWriteCommand;
using protocol::kProbeAddress;
using protocol::kReadCommand;

ProgrammingRun::ProgrammingRun(AppState &state, PortControl &port, RunView &view, QObject *parent)
    : QObject(parent), m_state(state), m_port(port), m_view(view),
      m_exchange(new FrameExchange(state, port.line(), view, this))
{
    qRegisterMetaType<nuvora::RunOutcome>();
    connect(m_exchange, &FrameExchange::finished, this, &ProgrammingRun::onExchangeFinished);
}

ProgrammingRun::~ProgrammingRun() = default;

void ProgrammingRun::start()
{
    if (m_stage != Stage::Idle)
        return;
    if (m_port.OpenCom(m_state.ComPort) != 0) {
        if (announce(RunOutcome::PortFailed))
            emit finished(RunOutcome::PortFailed);
        return;
    }
    m_stopRequested = false;
    m_reads.reset(0, 0);
    m_difference = {};
    m_view.DisableCommands();
    ProbeDevice();
}

void ProgrammingRun::requestStop()
{
    if (m_stage != Stage::Idle)
        m_stopRequested = true;
}

void ProgrammingRun::ProbeDevice()
{
    m_stage = Stage::Probe;
    m_exchange->ExchangeFrame(false, kReadCommand, kProbeAddress, 0);
}

void ProgrammingRun::ProgramDevice()
{
    ResetProgress();
    WriteImage();
}

void ProgrammingRun::WriteImage()
{
    const std::int32_t n = m_state.ImageEnd + 1;
    m_remainder = n % kPageBytes;
    m_lastFull = m_state.ImageEnd - m_remainder;
    m_address = 0;
    m_stage = Stage::FullFrames;
    sendNextFrame();
}

void ProgrammingRun::ResetProgress()
{
    m_state.ProgressCount = 0;
    m_view.setProgressValue(0);
    m_view.setProgressMax(double(m_state.ImageEnd) + 1);
}

void ProgrammingRun::StepProgress(std::int16_t bytes)
{
    m_state.ProgressCount += bytes;
    m_view.setProgressValue(m_state.ProgressCount);
}

void ProgrammingRun::sendNextFrame()
{
    const bool framesLeft =
        m_stage == Stage::FullFrames && (m_address <= m_lastFull || m_remainder > 0);
    if (framesLeft && m_stopRequested) {
        announceAndEnd(RunOutcome::Interrupted);
        return;
    }
    if (m_stage == Stage::FullFrames && m_address <= m_lastFull) {
        m_exchange->ExchangeFrame(true, kPageWriteCommand, m_address, kFullPageLengthField);
        return;
    }
    if (m_stage == Stage::FullFrames && m_remainder > 0) {
        // The tail frame still carries a whole page: the bytes after the image go with it.
        m_stage = Stage::LastFrame;
        m_exchange->ExchangeFrame(true, kPageWriteCommand, m_state.ImageEnd - m_remainder + 1,
                                  static_cast<std::uint8_t>(m_remainder - 1));
        return;
    }
    if (m_verify) {
        startVerify();
        return;
    }
    announceAndEnd(RunOutcome::Success);
}

void ProgrammingRun::startVerify()
{
    // Every frame carried a whole page, so whole pages are read back.
    const std::int32_t pages = (m_state.ImageEnd + kPageBytes) / kPageBytes;
    m_reads.reset(0, pages * kPageBytes);
    m_stage = Stage::Verify;
    m_view.beginReadBack();
    m_view.setProgressMax(m_reads.length());
    readNextPage();
}

void ProgrammingRun::readNextPage()
{
    if (m_reads.done()) {
        m_difference = compareReadBack(m_state.ImageBuffer.data(), m_reads.bytes());
        announceAndEnd(m_difference.any() ? RunOutcome::VerifyFailed : RunOutcome::Success);
        return;
    }
    if (m_stopRequested) {
        announceAndEnd(RunOutcome::Interrupted);
        return;
    }
    m_exchange->ExchangeFrame(false, kReadCommand, m_reads.address(), m_reads.lengthField());
}

void ProgrammingRun::onPageRead(bool accepted)
{
    if (!accepted || !m_reads.take(m_exchange->readData())) {
        announceAndEnd(RunOutcome::ReadBackFailed);
        return;
    }
    m_view.setProgressValue(m_reads.bytes().size());
    readNextPage();
}

void ProgrammingRun::onExchangeFinished(bool accepted)
{
    switch (m_stage) {
    case Stage::Idle:
        return;
    case Stage::Probe:
        if (!accepted) {
            announceAndEnd(RunOutcome::ProbeFailed);
            return;
        }
        if (m_stopRequested) {
            announceAndEnd(RunOutcome::Interrupted);
            return;
        }
        ProgramDevice();
        return;
    case Stage::FullFrames:
    case Stage::LastFrame:
        if (!accepted) {
            announceAndEnd(RunOutcome::WriteFailed);
            return;
        }
        if (m_stage == Stage::LastFrame) {
            StepProgress(static_cast<std::int16_t>(m_remainder));
            m_remainder = 0;
            m_stage = Stage::FullFrames;
            m_address = m_lastFull + 1;
        } else {
            StepProgress(kPageBytes);
            m_address += kPageBytes;
        }
        sendNextFrame();
        return;
    case Stage::Verify:
        onPageRead(accepted);
        return;
    }
}

void ProgrammingRun::end(RunOutcome outcome)
{
    m_stage = Stage::Idle;
    m_stopRequested = false;
    m_view.EnableCommands();
    m_view.setProgressValue(0);
    emit finished(outcome);
}

bool ProgrammingRun::announce(RunOutcome outcome)
{
    QPointer<ProgrammingRun> alive(this);
    emit outcomeReady(outcome);
    return !alive.isNull();
}

void ProgrammingRun::announceAndEnd(RunOutcome outcome)
{
    if (announce(outcome))
        end(outcome);
}

} // namespace nuvora
