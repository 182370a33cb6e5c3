#pragma once

// What the benchmarks measure alike: CPU seconds, medians, and a programming run timed from
// inside the event loop.

#include "transfer/ProgrammingRun.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTimer>

#include <sys/resource.h>

#include <algorithm>
#include <vector>

namespace nuvora::bench {

// User plus system time of this process (RUSAGE_SELF) or of its waited-for children.
inline double cpuSeconds(int who = RUSAGE_SELF)
{
    rusage u{};
    getrusage(who, &u);
    return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

inline double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

struct RunTime {
    bool ok = false;
    double wall = 0;
    double cpu = 0;
};

// Starts the run from inside the event loop and times it until it finishes.
inline RunTime timeRun(ProgrammingRun &run)
{
    RunTime t;
    QElapsedTimer clock;
    double cpu0 = 0;
    const auto done = QObject::connect(&run, &ProgrammingRun::finished, [&](RunOutcome outcome) {
        t.wall = double(clock.nsecsElapsed()) / 1e9;
        t.cpu = cpuSeconds() - cpu0;
        t.ok = outcome == RunOutcome::Success;
        QCoreApplication::exit();
    });
    QTimer::singleShot(0, &run, [&] {
        cpu0 = cpuSeconds();
        clock.start();
        run.start();
    });
    QCoreApplication::exec();
    QObject::disconnect(done);
    return t;
}

} // namespace nuvora::bench
