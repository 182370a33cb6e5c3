// A long working day in one process: 1,000 runs of an 8 KiB image against an unpaced simulated
// device, every fifth with a fault that strikes at a random request. Prints the runs whose
// outcome differs from the one the fault must give, the growth of resident memory between run
// 100 and the last, and the open descriptors, live QObjects and timers along the way.
#include "DeviceSimulator.h"

#include "base/AppState.h"
#include "base/Prompter.h"
#include "base/RunView.h"
#include "commands/StartCommand.h"
#include "serial/PortControl.h"
#include "serial/SerialLine.h"
#include "transfer/ProgrammingRun.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <cstdio>
#include <dirent.h>
#include <memory>
#include <mutex>
#include <unistd.h>
#include <unordered_set>

// Qt's table of hooks for inspection tools; slots 3 and 4 are called for every QObject made and
// destroyed, slot 2 holds the Qt version the table belongs to.
extern quintptr qtHookData[];

using namespace nuvora;
using devsim::SimOptions;

namespace {

constexpr int kRuns = 1000;
constexpr int kFaultEvery = 5;
constexpr int kImageBytes = 8192;
constexpr int kRequests = 1 + kImageBytes / 16; // the probe and the write frames
constexpr int kBaseline = 100;                  // memory is compared from this run on

std::mutex g_objectsMutex;
std::unordered_set<QObject *> g_objects;

bool trackObjects()
{
    if (qtHookData[2] != QT_VERSION || qtHookData[1] < 5)
        return false;
    qtHookData[3] = reinterpret_cast<quintptr>(+[](QObject *o) {
        std::lock_guard<std::mutex> lock(g_objectsMutex);
        g_objects.insert(o);
    });
    qtHookData[4] = reinterpret_cast<quintptr>(+[](QObject *o) {
        std::lock_guard<std::mutex> lock(g_objectsMutex);
        g_objects.erase(o);
    });
    return true;
}

struct Census {
    long rssKiB = 0;
    int fds = 0;
    int objects = 0;
    int timers = 0;
};

Census census()
{
    Census c;
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (statm.open(QIODevice::ReadOnly))
        c.rssKiB = statm.readAll().split(' ').value(1).toLong() * ::sysconf(_SC_PAGESIZE) / 1024;
    if (DIR *dir = ::opendir("/proc/self/fd")) {
        while (const dirent *e = ::readdir(dir))
            c.fds += e->d_name[0] != '.';
        ::closedir(dir);
        --c.fds; // the listing's own
    }
    std::lock_guard<std::mutex> lock(g_objectsMutex);
    c.objects = int(g_objects.size());
    for (QObject *o : g_objects)
        c.timers += int(QAbstractEventDispatcher::instance()->registeredTimers(o).size());
    return c;
}

// The faults of the day, each with the outcome it must give when it strikes at request `at`.
struct Fault {
    const char *name;
    void (*set)(SimOptions &);
    RunOutcome (*outcome)(int at);
    int firstAt; // the earliest request it can strike
};

const Fault kFaults[] = {
    {"a wrong acknowledgement", [](SimOptions &o) { o.badAckFirst = 1; },
     [](int) { return RunOutcome::Success; }, 2},
    {"wrong acknowledgements always", [](SimOptions &o) { o.badAckAlways = true; },
     [](int) { return RunOutcome::WriteFailed; }, 2},
    {"stale bytes after every answer", [](SimOptions &o) { o.staleBytes = 3; },
     [](int) { return RunOutcome::Success; }, 1},
    {"a hang-up", [](SimOptions &o) { o.silentAfter = 0, o.hangUpAfter = 1; },
     [](int at) { return at == 1 ? RunOutcome::ProbeFailed : RunOutcome::WriteFailed; }, 1},
    {"no answer to one request", [](SimOptions &o) { o.ignoreFirst = 1; },
     [](int) { return RunOutcome::Success; }, 1},
};

// Counts the outcome boxes; they go nowhere.
class CountingPrompter : public Prompter {
public:
    void message(const QString &, int, const QString &) override { ++boxes; }
    OpenFileAnswer openFile(const OpenFileOptions &) override { return {}; }
    int boxes = 0;
};

std::unique_ptr<devsim::DeviceSimulator> device(const SimOptions &options)
{
    auto sim = std::make_unique<devsim::DeviceSimulator>(options);
    std::string error;
    if (!sim->start(&error)) {
        std::fprintf(stderr, "bench_soak: %s\n", error.c_str());
        std::exit(1);
    }
    return sim;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const bool tracking = trackObjects();
    QTemporaryDir folder;
    const QString alias = folder.filePath(QStringLiteral("ports/COM7"));
    QDir().mkpath(folder.filePath(QStringLiteral("ports")));
    const auto plugIn = [&alias](const devsim::DeviceSimulator &sim) {
        QFile::remove(alias);
        QFile::link(QString::fromStdString(sim.slavePath()), alias);
    };

    auto state = std::make_unique<AppState>();
    state->ComPort = 7;
    state->ImageBuffer.fill(0xFF);
    QRandomGenerator random(14);
    for (int i = 0; i < kImageBytes; ++i)
        state->ImageBuffer[std::size_t(i)] = std::uint8_t(random.bounded(256));
    state->ImageEnd = kImageBytes - 1;
    const QByteArray image(reinterpret_cast<const char *>(state->ImageBuffer.data()), kImageBytes);

    SerialLine line;
    PortControl port(line, folder.path());
    SilentRunView view;
    CountingPrompter prompter;
    ProgrammingRun run(*state, port, view);
    ShowOutcomeBoxes(run, *state, port, prompter);
    auto clean = device({});

    std::printf("%6s %9s %5s %8s %7s\n", "run", "RSS KiB", "fds", "QObjects", "timers");
    Census baseline, last;
    int unexpected = 0;
    QElapsedTimer wall;
    wall.start();
    for (int r = 1; r <= kRuns; ++r) {
        const bool faulty = r % kFaultEvery == 0;
        const Fault &fault = kFaults[(r / kFaultEvery) % std::size(kFaults)];
        const int at =
            faulty ? fault.firstAt + int(random.bounded(kRequests - fault.firstAt + 1)) : 0;
        std::unique_ptr<devsim::DeviceSimulator> struck;
        if (faulty) {
            SimOptions o;
            fault.set(o);
            o.faultAt = at;
            struck = device(o);
        }
        devsim::DeviceSimulator &sim = faulty ? *struck : *clean;
        sim.setEeprom({});
        plugIn(sim);
        port.SetCom(7);
        const int requestsBefore = sim.stats().requests;
        const int boxesBefore = prompter.boxes;
        RunOutcome outcome{};
        QEventLoop loop;
        QObject::connect(&run, &ProgrammingRun::finished, &loop, [&](RunOutcome o) {
            outcome = o;
            loop.quit();
        });
        run.start();
        loop.exec();
        const RunOutcome expected = faulty ? fault.outcome(at) : RunOutcome::Success;
        const bool programmed =
            QByteArray(reinterpret_cast<const char *>(sim.eeprom().data()), kImageBytes) == image;
        const bool fine = outcome == expected && prompter.boxes == boxesBefore + 1 &&
                          (outcome != RunOutcome::Success ||
                           (programmed && state->ProgressCount == kImageBytes &&
                            (faulty || sim.stats().requests - requestsBefore == kRequests)));
        if (!fine) {
            ++unexpected;
            std::printf("run %d: %s at request %d: outcome %d, expected %d, %d bytes\n", r,
                        faulty ? fault.name : "no fault", at, int(outcome), int(expected),
                        state->ProgressCount);
        }
        struck.reset();
        if (r == kBaseline || r % 250 == 0) {
            last = census();
            if (r == kBaseline)
                baseline = last;
            std::printf("%6d %9ld %5d %8s %7s\n", r, last.rssKiB, last.fds,
                        tracking ? qPrintable(QString::number(last.objects)) : "n/a",
                        tracking ? qPrintable(QString::number(last.timers)) : "n/a");
        }
    }
    std::printf("\n%d runs (%d with a fault) in %.1f s: %d unexpected outcomes\n", kRuns,
                kRuns / kFaultEvery, double(wall.elapsed()) / 1000, unexpected);
    std::printf("resident memory run %d -> %d: %+ld KiB (target < 512 KiB)\n", kBaseline, kRuns,
                last.rssKiB - baseline.rssKiB);
    std::printf("open descriptors %d -> %d, QObjects %d -> %d, timers %d -> %d\n", baseline.fds,
                last.fds, baseline.objects, last.objects, baseline.timers, last.timers);
    return unexpected == 0 && last.fds == baseline.fds && last.timers == baseline.timers &&
                   last.rssKiB - baseline.rssKiB < 512
               ? 0
               : 1;
}
