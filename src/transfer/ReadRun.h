#pragma once

#include "transfer/PageReads.h"

#include <QObject>

#include <cstdint>

namespace nuvora {

struct AppState;
class FrameExchange;
class PortControl;
class RunView;

// How a read-back run ended.
enum class ReadOutcome {
    Success,
    PortFailed,  // the port would not open; nothing was sent
    ProbeFailed, // the device did not answer the probe
    ReadFailed,  // a read frame went unanswered after its attempts
    Interrupted, // stopped on request between frames
};

// Reads a range of the device's EEPROM: opens the port, probes the device as a programming run
// does, then reads the range in read frames of one page (the last one shorter) with the
// progress following. Each step is chained on the previous exchange's result.
class ReadRun : public QObject {
    Q_OBJECT
public:
    ReadRun(AppState &state, PortControl &port, RunView &view, QObject *parent = nullptr);
    ~ReadRun() override;

    // Starts reading `length` bytes from device address `start`; does nothing while a run is
    // under way. The range must lie inside the device.
    void start(std::int32_t start, std::int32_t length);
    // Ends the run once the exchange under way is over.
    void requestStop();
    const PageReads &reads() const { return m_reads; }
    FrameExchange &exchange() { return *m_exchange; }

signals:
    void finished(nuvora::ReadOutcome outcome);

private:
    enum class Stage { Idle, Probe, Reading };

    void readNext();
    void onExchangeFinished(bool accepted);
    void end(ReadOutcome outcome);

    AppState &m_state;
    PortControl &m_port;
    RunView &m_view;
    FrameExchange *m_exchange = nullptr;
    Stage m_stage = Stage::Idle;
    PageReads m_reads;
    bool m_stopRequested = false;
};

} // namespace nuvora

Q_DECLARE_METATYPE(nuvora::ReadOutcome)
