// A programming run with its read-back check against a paced nuvora-devsim (its own process):
// the check should cost one read round trip per page and nothing besides, so the whole run is
// held against the line's limit for both passes.
#include "BenchClock.h"
#include "base/AppState.h"
#include "base/RunView.h"
#include "serial/PortControl.h"
#include "serial/SerialLine.h"
#include "transfer/FrameProtocol.h"
#include "transfer/ProgrammingRun.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QRandomGenerator>
#include <QTimer>

#include <sys/resource.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <vector>

using namespace nuvora;

namespace {

constexpr int kBaud = 19200;
constexpr int kImageBytes = 8192;
constexpr int kRounds = 3;
constexpr double kBitsPerByte = 10;

struct Figures {
    bool ok = false;
    double wall = 0;
    double cpu = 0;
};

Figures programAndVerify()
{
    Figures f;
    QProcess sim;
    sim.start(QDir(QCoreApplication::applicationDirPath()).filePath("../bin/nuvora-devsim"),
              {"--baud", QString::number(kBaud)});
    if (!sim.waitForStarted() || !sim.waitForReadyRead(5000)) {
        std::fprintf(stderr, "cannot start nuvora-devsim\n");
        return f;
    }
    const QString device = QString::fromLocal8Bit(sim.readLine()).trimmed();

    auto state = std::make_unique<AppState>();
    state->ImageBuffer.fill(0xFF);
    QRandomGenerator gen(7);
    for (int i = 0; i < kImageBytes; ++i)
        state->ImageBuffer[std::size_t(i)] = std::uint8_t(gen.bounded(256));
    state->ImageEnd = kImageBytes - 1;
    state->ComPort = 1;
    SerialLine line;
    SilentRunView view;
    PortControl port(line, QString());
    port.setResolver([device](int) { return device; });
    ProgrammingRun run(*state, port, view);
    run.setVerify(true);
    const bench::RunTime t = bench::timeRun(run);
    f.ok = t.ok;
    f.wall = t.wall;
    f.cpu = t.cpu;
    sim.terminate();
    sim.waitForFinished(5000);
    return f;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    using namespace protocol;
    const int pages = (kImageBytes + kPageBytes - 1) / kPageBytes;
    // Bytes on the line: the probe (request and two answer bytes), each write frame and its
    // acknowledgement, each read frame and its 16 data bytes with their checksum.
    const int probeBytes = kReadRequestBytes + 2;
    const int writeBytes = kWriteRequestBytes + kAckBytes;
    const int readBytes = kReadRequestBytes + kPageBytes + 1;
    const double limit =
        (probeBytes + pages * double(writeBytes + readBytes)) * kBitsPerByte / kBaud;
    std::vector<double> ratio, cpuShare;
    for (int round = 1; round <= kRounds; ++round) {
        const Figures f = programAndVerify();
        if (!f.ok)
            return 1;
        ratio.push_back(f.wall / limit);
        cpuShare.push_back(100 * f.cpu / f.wall);
        std::printf("paced 8 KiB + verify at %d baud, round %d: %d write and %d read frames in "
                    "%.3f s wall (line limit %.3f s) = %.4f, CPU %.2f %%\n",
                    kBaud, round, pages, pages, f.wall, limit, ratio.back(), cpuShare.back());
    }
    std::sort(ratio.begin(), ratio.end());
    std::sort(cpuShare.begin(), cpuShare.end());
    std::printf("paced 8 KiB + verify at %d baud, median of %d: wall / line limit %.4f (target "
                "<= 1.02), CPU %.2f %% of wall\n",
                kBaud, kRounds, ratio[kRounds / 2], cpuShare[kRounds / 2]);
    return 0;
}
