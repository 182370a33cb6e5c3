#include "ContinuousStation.h"

#include "CommandLine.h"
#include "Interrupts.h"
#include "RunLog.h"

#include <QCoreApplication>

#include <cstdio>
#include <cstdlib>

namespace nuvora::cli {

PortWatch::PortWatch(const AppState &loaded, const Target &target, bool gang,
                     const StationSettings &how, DeviceDone done, std::function<void()> stopped)
    : m_loaded(loaded), m_given(target), m_gang(gang), m_how(how), m_done(std::move(done)),
      m_stopped(std::move(stopped))
{
    m_tick.setSingleShot(true);
    m_tick.setInterval(kLookInterval);
    connect(&m_tick, &QTimer::timeout, this, &PortWatch::look);
    connect(&m_probe, &PresenceProbe::finished, this, &PortWatch::onLooked);
}

void PortWatch::start()
{
    enter(Phase::Waiting);
    QTimer::singleShot(0, this, &PortWatch::look);
}

void PortWatch::stop()
{
    m_stopping = true;
    m_tick.stop();
    if (m_run)
        m_run->run.requestStop(); // the run's end stops the watch
    else if (!m_probe.busy())
        finishStop(); // else when the probe under way has its answer
}

void PortWatch::printLine(const QString &text)
{
    if (m_run) {
        m_run->view.printLine(text, false);
        return;
    }
    std::fprintf(stderr, "%s\n", qPrintable(text));
    std::fflush(stderr);
}

Target PortWatch::current() const
{
    // A number follows its alias as it is now: an adapter may come back under another name.
    return resolve(m_given.text, m_given.port, QCoreApplication::applicationDirPath());
}

void PortWatch::look()
{
    if (m_stopping)
        return;
    if (!m_line.open(current().device)) {
        // Most often nothing is plugged in; a reason the operator can act on is said once.
        const OpenFailure failure = m_line.failure();
        if (failure != m_lastFailure &&
            (failure == OpenFailure::PermissionDenied || failure == OpenFailure::Busy))
            printWarning(m_line.failureText(), m_gang ? m_given.name : QString());
        m_lastFailure = failure;
        if (m_phase == Phase::Leaving)
            enter(Phase::Waiting);
        m_tick.start();
        return;
    }
    m_lastFailure = OpenFailure::None;
    m_probe.start();
}

void PortWatch::onLooked(bool answered)
{
    // Closed between looks, so that a link taken away or an adapter pulled is seen at the
    // next open, and the run opens the port afresh.
    m_line.close();
    if (m_stopping) {
        finishStop();
        return;
    }
    if (m_phase == Phase::Waiting && answered) {
        program();
        return;
    }
    if (m_phase == Phase::Leaving && !answered)
        enter(Phase::Waiting);
    m_tick.start();
}

void PortWatch::program()
{
    m_phase = Phase::Programming;
    const Target t = current();
    m_run = std::make_shared<DeviceRun>(m_loaded, t,
                                        viewOptions(t, m_gang, m_how.quiet, m_how.verbose));
    m_run->run.setVerify(m_how.verify);
    connect(&m_run->run, &ProgrammingRun::finished, this, &PortWatch::onRunFinished);
    m_run->began = QDateTime::currentDateTimeUtc();
    m_run->clock.start();
    m_run->run.start();
}

void PortWatch::onRunFinished(RunOutcome outcome)
{
    std::shared_ptr<DeviceRun> done = std::move(m_run);
    done->end(outcome);
    m_done(*done, outcome);
    // The run is still inside its own signal: it goes once the event loop has it back.
    QTimer::singleShot(0, this, [done] {});
    if (m_stopping) {
        finishStop();
        return;
    }
    enter(Phase::Leaving);
    m_tick.start();
}

void PortWatch::enter(Phase phase)
{
    m_phase = phase;
    if (m_how.quiet)
        return;
    const QString prefix = linePrefix(m_gang ? m_given.name : QString());
    if (phase == Phase::Waiting)
        printLine(prefix + QStringLiteral("waiting for a device on %1").arg(current().shown));
    else if (phase == Phase::Leaving)
        printLine(
            prefix +
            QStringLiteral("waiting for the device on %1 to be taken away").arg(m_given.name));
}

void PortWatch::finishStop()
{
    if (m_phase == Phase::Stopped)
        return;
    m_phase = Phase::Stopped;
    m_stopped();
}

int runStation(const AppState &loaded, const std::vector<Target> &targets,
               const StationSettings &how, RunLog &log)
{
    int programmed = 0;
    int failed = 0;
    bool stopping = false; // the count then comes once, as the last line
    const auto counts = [&] {
        return linePrefix({}) +
               QStringLiteral("programmed %1, failed %2").arg(programmed).arg(failed);
    };
    const auto deviceDone = [&](DeviceRun &run, RunOutcome outcome) {
        report(run, outcome, how.quiet, how.firstAddress);
        ++(outcome == RunOutcome::Success ? programmed : failed);
        log.add(recordOf(run, outcome, log.image()));
        if (!how.quiet && !stopping)
            std::fprintf(stderr, "%s\n", qPrintable(counts()));
    };
    std::vector<std::unique_ptr<PortWatch>> watches;
    std::size_t stopped = 0;
    const auto watchStopped = [&] {
        if (++stopped == watches.size())
            QCoreApplication::exit();
    };
    for (const Target &t : targets)
        watches.push_back(std::make_unique<PortWatch>(loaded, t, targets.size() > 1, how,
                                                      deviceDone, watchStopped));
    for (const auto &watch : watches)
        watch->start();

    PortWatch &first = *watches.front(); // the only one that may show a bar
    const Interrupts interrupts([&](int count) {
        first.printLine(interruptedText(count));
        if (count > 1) {
            std::fprintf(stderr, "%s\n", qPrintable(counts()));
            std::_Exit(kExitInterrupted);
        }
        stopping = true;
        for (const auto &watch : watches)
            watch->stop();
    });
    QCoreApplication::exec();
    // The station's tally is what the operator reads last.
    std::fprintf(stderr, "%s\n", qPrintable(counts()));
    return 0;
}

} // namespace nuvora::cli
