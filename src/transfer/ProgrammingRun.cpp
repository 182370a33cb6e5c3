#include "transfer/ProgrammingRun.h"

#include "base/Prompter.h"
#include "serial/PortControl.h"
#include "base/AppState.h"
#include "transfer/FrameExchange.h"
#include "base/RunView.h"

#include <QPointer>

namespace nuvora {

namespace {
constexpr std::uint8_t kReadCommand = 0;
constexpr std::uint8_t kPageWriteCommand = 4;
constexpr std::int32_t kProbeAddress = 4;
constexpr std::uint8_t kFullPageLengthField = 15;
constexpr std::int32_t kPageBytes = 16;

// Texts of the language file used by a run.
constexpr int kTitleError = 8;
constexpr int kTextNoDevice = 9;
constexpr int kTextWriteFailed = 10;
constexpr int kTitleDone = 18;
constexpr int kTextDone = 19;
} // namespace

ProgrammingRun::ProgrammingRun(AppState &state, PortControl &port, RunView &view,
                               Prompter &prompter, QObject *parent)
    : QObject(parent), m_state(state), m_port(port), m_view(view), m_prompter(prompter),
      m_exchange(new FrameExchange(state, port.line(), view, this))
{
    qRegisterMetaType<nuvora::RunOutcome>();
    connect(m_exchange, &FrameExchange::finished, this, &ProgrammingRun::onExchangeFinished);
}

ProgrammingRun::~ProgrammingRun() = default;

void ProgrammingRun::Command1_Click()
{
    if (m_stage != Stage::Idle)
        return;
    if (m_port.OpenCom(m_state.ComPort) != 0) {
        if (!report(m_port.withReason(QStringLiteral("Communication failure")), kStyleExclamation,
                    kAppTitle))
            return;
        emit finished(RunOutcome::PortFailed);
        return;
    }
    m_view.DisableCommands();
    ProbeDevice();
}

void ProgrammingRun::ProbeDevice()
{
    m_stage = Stage::Probe;
    m_exchange->ExchangeFrame(false, kReadCommand, kProbeAddress, 0);
}

void ProgrammingRun::ProgramDevice()
{
    ResetProgress();
    WriteImage(0);
}

void ProgrammingRun::WriteImage(std::int32_t first)
{
    const std::int32_t n = m_state.ImageEnd - first + 1;
    m_remainder = n % kPageBytes;
    m_lastFull = m_state.ImageEnd - m_remainder;
    m_address = first;
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
    if (m_stage == Stage::FullFrames && m_address <= m_lastFull) {
        m_exchange->ExchangeFrame(true, kPageWriteCommand, m_address, kFullPageLengthField);
        return;
    }
    if (m_stage == Stage::FullFrames && m_remainder > 0) {
        // The tail frame still carries a whole page: the bytes after the image go with it.
        m_stage = Stage::LastFrame;
        m_exchange->ExchangeFrame(true, kPageWriteCommand,
                                  m_state.ImageEnd - m_remainder + 1,
                                  static_cast<std::uint8_t>(m_remainder - 1));
        return;
    }
    reportAndEnd(m_state.LangText[kTextDone], kStyleInformation, m_state.LangText[kTitleDone],
                 RunOutcome::Success);
}

void ProgrammingRun::onExchangeFinished(bool accepted)
{
    switch (m_stage) {
    case Stage::Idle:
        return;
    case Stage::Probe:
        if (!accepted) {
            reportAndEnd(m_state.LangText[kTextNoDevice], kStyleExclamation,
                         m_state.LangText[kTitleError], RunOutcome::ProbeFailed);
            return;
        }
        ProgramDevice();
        return;
    case Stage::FullFrames:
    case Stage::LastFrame:
        if (!accepted) {
            reportAndEnd(m_state.LangText[kTextWriteFailed], kStyleExclamation,
                         m_state.LangText[kTitleError], RunOutcome::WriteFailed);
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
    }
}

void ProgrammingRun::end(RunOutcome outcome)
{
    m_stage = Stage::Idle;
    m_view.EnableCommands();
    m_view.setProgressValue(0);
    emit finished(outcome);
}

bool ProgrammingRun::report(const QString &text, int style, const QString &title)
{
    // The box is modal: the window may be closed and this run destroyed while it is up.
    QPointer<ProgrammingRun> alive(this);
    m_prompter.message(text, style, title);
    return !alive.isNull();
}

void ProgrammingRun::reportAndEnd(const QString &text, int style, const QString &title,
                                  RunOutcome outcome)
{
    if (report(text, style, title))
        end(outcome);
}

} // namespace nuvora
