#pragma once

#include "transfer/PageReads.h"

#include <QObject>

#include <cstdint>

namespace nuvora {

struct AppState;
class FrameExchange;
class PortControl;
class RunView;

// How a programming run ended.
enum class RunOutcome {
    Success,
    PortFailed,     // the port would not open; nothing was sent
    ProbeFailed,    // the device did not answer the probe
    WriteFailed,    // a write frame was not accepted
    Interrupted,    // stopped on request between frames; the device holds part of the image
    VerifyFailed,   // written, but the pages read back differ from what was sent
    ReadBackFailed, // written, but a read frame of the check went unanswered
};

// What Start does: opens the port, locks the front end, probes the device, writes the image
// in page frames with the progress bar following, announces the outcome and unlocks. Each
// step is chained on the previous exchange's result; finished() marks the end.
class ProgrammingRun : public QObject {
    Q_OBJECT
public:
    ProgrammingRun(AppState &state, PortControl &port, RunView &view, QObject *parent = nullptr);
    ~ProgrammingRun() override;

    // Starts a run; does nothing while one is under way.
    void start();
    // Ends the run once the exchange under way is over, so that no frame is cut in half: the
    // outcome is then Interrupted, unless that exchange failed or was the last.
    void requestStop();
    FrameExchange &exchange() { return *m_exchange; }
    // After the last write, read every page written back and compare it with what was sent
    // (the bytes after the image's end in its last page included). Off unless asked for.
    void setVerify(bool on) { m_verify = on; }
    bool verify() const { return m_verify; }
    // The check of the run that ended last: what was read back, and where it differs.
    const PageReads &readBack() const { return m_reads; }
    ReadBackDifference difference() const { return m_difference; }

signals:
    // The outcome, before the front end is unlocked: a box shown here is modal, and the run
    // may be destroyed while it is up (the window closed).
    void outcomeReady(nuvora::RunOutcome outcome);
    // The end, after the unlock.
    void finished(nuvora::RunOutcome outcome);

private:
    enum class Stage { Idle, Probe, FullFrames, LastFrame, Verify };

    void ProbeDevice();
    void ProgramDevice();
    void WriteImage();
    void ResetProgress();
    void StepProgress(std::int16_t bytes);
    void sendNextFrame();
    void startVerify();
    void readNextPage();
    void onPageRead(bool accepted);
    void onExchangeFinished(bool accepted);
    void end(RunOutcome outcome);
    // Announces the outcome; false when this run was destroyed meanwhile.
    bool announce(RunOutcome outcome);
    // The announcement, then the unlock, unless the run did not outlive it.
    void announceAndEnd(RunOutcome outcome);

    AppState &m_state;
    PortControl &m_port;
    RunView &m_view;
    FrameExchange *m_exchange = nullptr;
    Stage m_stage = Stage::Idle;
    std::int32_t m_address = 0;
    std::int32_t m_lastFull = 0; // last offset of a full frame
    std::int32_t m_remainder = 0;
    bool m_stopRequested = false;
    bool m_verify = false;
    PageReads m_reads;
    ReadBackDifference m_difference;
};

} // namespace nuvora

Q_DECLARE_METATYPE(nuvora::RunOutcome)
