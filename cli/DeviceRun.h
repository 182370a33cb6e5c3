#pragma once

#include "RunRecord.h"
#include "TerminalRunView.h"

#include "base/AppState.h"
#include "serial/PortControl.h"
#include "serial/PortNames.h"
#include "serial/SerialLine.h"
#include "transfer/ProgrammingRun.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QString>

#include <cstdint>

#include <memory>
#include <optional>

namespace nuvora::cli {

// One --port: what the user wrote, the device it leads to, and how lines name it.
struct Target {
    QString text;
    PortArgument port;
    QString device; // as the port control opens it
    QString path;   // the device itself, links followed
    QString shown;  // "COM7 (/dev/pts/2)"
    QString name;   // "COM7", or the device as given
};

// Where the port leads now: a number follows its alias as it is at this moment.
Target resolve(const QString &text, const PortArgument &port, const QString &programFolder);

int exitFor(RunOutcome outcome);

// How a run shows itself: alone it may draw a bar, beside others every line is labelled.
ViewOptions viewOptions(const Target &t, bool gang, bool quiet, bool verbose);

// One device being programmed: its own copy of the state, port, front end and run, so that
// several run side by side on one thread, each paced by its own line.
struct DeviceRun {
    DeviceRun(const AppState &loaded, const Target &t, const ViewOptions &options);
    // Starts the run from inside the event loop, so that an outcome that comes at once still
    // reaches a connected receiver.
    void begin();
    // The run is over: its outcome and time are kept for the report and the record.
    void end(RunOutcome result);

    std::unique_ptr<AppState> state;
    SerialLine line;
    PortControl control;
    TerminalRunView view;
    ProgrammingRun run;
    Target target;
    QDateTime began;
    QElapsedTimer clock;
    std::optional<RunOutcome> outcome;
    qint64 tookNs = 0;
};

// The outcome in one line: the language file's words, then where, how much and how long.
// `firstAddress` names the image's addresses in what a verify found.
void report(DeviceRun &s, RunOutcome outcome, bool quiet, std::uint32_t firstAddress);

// The run as a record: `image` holds what every run of the image shares.
RunRecord recordOf(const DeviceRun &s, RunOutcome outcome, RunRecord image);

} // namespace nuvora::cli
