#pragma once

#include "DeviceRun.h"

#include "serial/SerialLine.h"
#include "transfer/PresenceProbe.h"

#include <QObject>
#include <QTimer>

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

namespace nuvora::cli {

class RunLog;

struct StationSettings {
    bool quiet = false;
    bool verbose = false;
    bool verify = false;
    std::uint32_t firstAddress = 0; // names the image's addresses in what a verify found
};

// One port of a station left running: looks for a device once a second, programs the one that
// answers, then waits until it has been taken away before it looks for the next.
class PortWatch : public QObject {
public:
    static constexpr std::chrono::milliseconds kLookInterval{1000};
    using DeviceDone = std::function<void(DeviceRun &run, RunOutcome outcome)>;

    PortWatch(const AppState &loaded, const Target &target, bool gang, const StationSettings &how,
              DeviceDone done, std::function<void()> stopped);

    void start();
    // Looks no more; a run under way ends after its frame under way. `stopped` follows.
    void stop();
    // A line of its own, above a bar if this port shows one.
    void printLine(const QString &text);

private:
    enum class Phase { Waiting, Programming, Leaving, Stopped };

    void look();
    void onLooked(bool answered);
    void program();
    void onRunFinished(RunOutcome outcome);
    void enter(Phase phase);
    void finishStop();
    Target current() const;

    const AppState &m_loaded;
    const Target m_given;
    const bool m_gang;
    const StationSettings m_how;
    DeviceDone m_done;
    std::function<void()> m_stopped;
    SerialLine m_line;
    PresenceProbe m_probe{m_line};
    QTimer m_tick;
    Phase m_phase = Phase::Waiting;
    bool m_stopping = false;
    OpenFailure m_lastFailure = OpenFailure::None;
    std::shared_ptr<DeviceRun> m_run;
};

// program --continuous: every port watched on this one thread until SIGINT or SIGTERM, each
// device's outcome reported and recorded with the station's running counts. Returns 0.
int runStation(const AppState &loaded, const std::vector<Target> &targets,
               const StationSettings &how, RunLog &log);

} // namespace nuvora::cli
