// Programming runs against nuvora-devsim started as its own process, so that the figures
// hold only this process's work: software overhead per frame on an unpaced line, and how
// close a paced run comes to the line's own limit and how little CPU it takes meanwhile.
#include "BenchClock.h"
#include "base/AppState.h"
#include "base/RunView.h"
#include "serial/PortControl.h"
#include "serial/SerialLine.h"
#include "transfer/ProgrammingRun.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QTimer>

#include <fcntl.h>
#include <sys/resource.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <vector>

using namespace nuvora;

namespace {

struct Figures {
    bool ok = false;
    double wall = 0;
    double cpu = 0;
    int frames = 0;
};

// The same write frames from a bare blocking loop, no event loop and no Qt: what this machine's
// pseudo-terminals and scheduler cost right now, so that our own figure can be read against it.
double bareSecondsPerFrame(const QString &device, int frames)
{
    const int fd = ::open(QFile::encodeName(device).constData(), O_RDWR | O_NOCTTY);
    if (fd < 0)
        return -1;
    termios t{};
    ::tcgetattr(fd, &t);
    ::cfmakeraw(&t);
    ::tcsetattr(fd, TCSANOW, &t);
    unsigned char frame[21] = {0xCF, 0x00, 0x00, 0x00};
    QElapsedTimer clock;
    clock.start();
    for (int i = 0; i < frames; ++i) {
        const int address = (i * 16) & 0xFFFF;
        frame[2] = std::uint8_t(address);
        frame[3] = std::uint8_t(address >> 8);
        unsigned sum = 0;
        for (int k = 0; k < 20; ++k)
            sum += frame[k];
        frame[20] = std::uint8_t(sum);
        unsigned char ack = 0;
        if (::write(fd, frame, sizeof frame) != sizeof frame || ::read(fd, &ack, 1) != 1) {
            ::close(fd);
            return -1;
        }
    }
    const double seconds = clock.nsecsElapsed() / 1e9;
    ::close(fd);
    return seconds / frames;
}

QString startSimulator(QProcess &sim, const QStringList &simArgs)
{
    const QString simPath = QDir(QCoreApplication::applicationDirPath())
                                .filePath(QStringLiteral("../bin/nuvora-devsim"));
    sim.start(simPath, simArgs);
    if (!sim.waitForStarted() || !sim.waitForReadyRead(5000)) {
        std::fprintf(stderr, "cannot start %s\n", qPrintable(simPath));
        return {};
    }
    return QString::fromLocal8Bit(sim.readLine()).trimmed();
}

void stopSimulator(QProcess &sim)
{
    sim.terminate();
    sim.waitForFinished(5000);
}

double bareBaseline(int frames, const QStringList &simArgs)
{
    QProcess sim;
    const QString device = startSimulator(sim, simArgs);
    const double perFrame = device.isEmpty() ? -1 : bareSecondsPerFrame(device, frames);
    stopSimulator(sim);
    return perFrame;
}

Figures programOnce(int imageBytes, const QStringList &simArgs)
{
    Figures f;
    QProcess sim;
    const QString device = startSimulator(sim, simArgs);
    if (device.isEmpty())
        return f;

    auto state = std::make_unique<AppState>();
    state->ImageBuffer.fill(0xFF);
    QRandomGenerator gen(42);
    for (int i = 0; i < imageBytes; ++i)
        state->ImageBuffer[std::size_t(i)] = std::uint8_t(gen.bounded(256));
    state->ImageEnd = imageBytes - 1;
    state->ComPort = 1;
    state->LangText[19] = QStringLiteral("done");

    SerialLine line;
    SilentRunView view;
    PortControl port(line, QString());
    port.setResolver([device](int) { return device; });
    if (port.OpenCom(state->ComPort) != 0) {
        std::fprintf(stderr, "cannot open %s: %s\n", qPrintable(device),
                     qPrintable(port.lastFailure()));
        return f;
    }
    ProgrammingRun run(*state, port, view);
    const bench::RunTime t = bench::timeRun(run);
    f.ok = t.ok;
    f.wall = t.wall;
    f.cpu = t.cpu;
    f.frames = (imageBytes + 15) / 16;
    stopSimulator(sim);
    return f;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    // "unpaced" or "paced" runs only that half; both by default.
    const bool unpacedWanted = args.isEmpty() || args.contains(QStringLiteral("unpaced"));
    const bool pacedWanted = args.isEmpty() || args.contains(QStringLiteral("paced"));
    constexpr int kBaud = 19200;
    constexpr double kLineBytesPerFrame = 22; // 21 out, 1 back
    constexpr double kBitsPerByte = 10;

    // The machine is shared: alternate our run with the bare loop and report the medians.
    if (unpacedWanted) {
        constexpr int kRounds = 5;
        std::vector<double> ours, oursCpu, bare;
        int frames = 0;
        for (int round = 0; round < kRounds; ++round) {
            const Figures fast = programOnce(65536, {});
            if (!fast.ok)
                return 1;
            frames = fast.frames;
            ours.push_back(fast.wall / fast.frames * 1e6);
            oursCpu.push_back(fast.cpu / fast.frames * 1e6);
            bare.push_back(bareBaseline(fast.frames, {}) * 1e6);
            std::printf("unpaced 64 KiB, round %d: %d frames, %.1f us/frame wall, %.1f us/frame "
                        "CPU; bare C loop %.1f us/frame\n",
                        round + 1, fast.frames, ours.back(), oursCpu.back(), bare.back());
        }
        std::printf("unpaced 64 KiB (%d frames), median of %d: %.1f us/frame wall (target <= 40), "
                    "%.1f us/frame CPU; bare blocking C round trip %.1f us/frame\n",
                    frames, kRounds, bench::median(ours), bench::median(oursCpu),
                    bench::median(bare));
    }

    if (pacedWanted) {
        const QStringList paced{QStringLiteral("--baud"), QString::number(kBaud)};
        constexpr int kRounds = 3;
        std::vector<double> ratio, cpuShare, bare;
        for (int round = 0; round < kRounds; ++round) {
            const Figures f = programOnce(8192, paced);
            if (!f.ok)
                return 1;
            // The probe's 7 bytes ride along: count them in the line's limit too.
            const double limit = (f.frames * kLineBytesPerFrame + 7) * kBitsPerByte / kBaud;
            const double frameLimit = kLineBytesPerFrame * kBitsPerByte / kBaud;
            ratio.push_back(f.wall / limit);
            cpuShare.push_back(100 * f.cpu / f.wall);
            bare.push_back(bareBaseline(f.frames, paced) / frameLimit);
            std::printf("paced 8 KiB at %d baud, round %d: %d frames in %.3f s wall (line limit "
                        "%.3f s) = %.4f, CPU %.2f %%; bare C client %.4f\n",
                        kBaud, round + 1, f.frames, f.wall, limit, ratio.back(), cpuShare.back(),
                        bare.back());
        }
        std::printf("paced 8 KiB at %d baud, median of %d: wall / line limit %.4f (target <= "
                    "1.01), CPU %.2f %% of wall (target <= 2 %%); bare blocking C client %.4f\n",
                    kBaud, kRounds, bench::median(ratio), bench::median(cpuShare),
                    bench::median(bare));
    }
    return 0;
}
