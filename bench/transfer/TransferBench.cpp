// Programming runs against nuvora-devsim started as its own process, so that the figures
// hold only this process's work: software overhead per frame on an unpaced line, and how
// close a paced run comes to the line's own limit and how little CPU it takes meanwhile.
#include "app/Prompter.h"
#include "serial/PortControl.h"
#include "serial/SerialLine.h"
#include "state/AppState.h"
#include "transfer/ProgrammingRun.h"
#include "transfer/RunView.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QRandomGenerator>
#include <QTimer>

#include <sys/resource.h>

#include <cstdio>
#include <memory>

using namespace nuvora;

namespace {

class QuietView : public RunView {
public:
    void DisableCommands() override {}
    void EnableCommands() override {}
    void setProgressMax(double) override {}
    void setProgressValue(double) override {}
    void SetLamp(LampState) override {}
};

class QuietPrompter : public Prompter {
public:
    void message(const QString &text, int, const QString &) override { last = text; }
    OpenFileAnswer openFile(const OpenFileOptions &) override { return {}; }
    QString last;
};

double cpuSeconds()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

struct Figures {
    bool ok = false;
    double wall = 0;
    double cpu = 0;
    int frames = 0;
};

Figures programOnce(int imageBytes, const QStringList &simArgs)
{
    Figures f;
    const QString simPath =
        QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("../bin/nuvora-devsim"));
    QProcess sim;
    sim.start(simPath, simArgs);
    if (!sim.waitForStarted() || !sim.waitForReadyRead(5000)) {
        std::fprintf(stderr, "cannot start %s\n", qPrintable(simPath));
        return f;
    }
    const QString device = QString::fromLocal8Bit(sim.readLine()).trimmed();

    auto state = std::make_unique<AppState>();
    state->ImageBuffer.fill(0xFF);
    QRandomGenerator gen(42);
    for (int i = 0; i < imageBytes; ++i)
        state->ImageBuffer[std::size_t(i)] = std::uint8_t(gen.bounded(256));
    state->ImageEnd = imageBytes - 1;
    state->ComPort = 1;
    state->LangText[19] = QStringLiteral("done");

    SerialLine line;
    QuietPrompter prompter;
    QuietView view;
    PortControl port(line, prompter, QString());
    port.setResolver([device](int) { return device; });
    if (port.OpenCom(state->ComPort) != 0) {
        std::fprintf(stderr, "cannot open %s: %s\n", qPrintable(device),
                     qPrintable(port.lastFailure()));
        return f;
    }
    ProgrammingRun run(*state, port, view, prompter);
    QElapsedTimer clock;
    double cpu0 = 0;
    QObject::connect(&run, &ProgrammingRun::finished, [&](RunOutcome outcome) {
        f.wall = clock.nsecsElapsed() / 1e9;
        f.cpu = cpuSeconds() - cpu0;
        f.ok = outcome == RunOutcome::Success;
        QCoreApplication::exit();
    });
    QTimer::singleShot(0, [&] {
        cpu0 = cpuSeconds();
        clock.start();
        run.Command1_Click();
    });
    QCoreApplication::exec();
    f.frames = (imageBytes + 15) / 16;
    sim.terminate();
    sim.waitForFinished(5000);
    return f;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    constexpr int kBaud = 19200;
    constexpr double kLineBytesPerFrame = 22; // 21 out, 1 back
    constexpr double kBitsPerByte = 10;

    const Figures fast = programOnce(65536, {});
    if (!fast.ok)
        return 1;
    std::printf("unpaced 64 KiB: %d frames (+ probe) in %.3f s wall, %.3f s CPU\n", fast.frames,
                fast.wall, fast.cpu);
    std::printf("  overhead per frame: %.1f us wall (target <= 40), %.1f us CPU\n",
                fast.wall / fast.frames * 1e6, fast.cpu / fast.frames * 1e6);

    const Figures paced = programOnce(8192, {QStringLiteral("--baud"), QString::number(kBaud)});
    if (!paced.ok)
        return 1;
    // The probe's 7 bytes ride along: count them in the line's limit too.
    const double limit = (paced.frames * kLineBytesPerFrame + 7) * kBitsPerByte / kBaud;
    std::printf("paced 8 KiB at %d baud: %d frames in %.3f s wall, line limit %.3f s\n", kBaud,
                paced.frames, paced.wall, limit);
    std::printf("  wall / line limit: %.4f (target <= 1.01)\n", paced.wall / limit);
    std::printf("  CPU: %.3f s = %.2f %% of wall (target <= 2 %%)\n", paced.cpu,
                100 * paced.cpu / paced.wall);
    return 0;
}
