// Gang programming as an operator runs it: one nuvora-cli process and N nuvora-devsim
// processes paced at 19200 baud, the same 8 KiB image for each. Prints wall(N) / wall(1) and
// the CLI's CPU time per port as a share of wall time. Only the CLI is measured: the
// simulators are processes of their own.
#include "BenchClock.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <sys/resource.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <vector>

namespace {

constexpr int kImageBytes = 8192;
constexpr int kBaud = 19200;
constexpr int kRounds = 3;

QString binary(const char *name)
{
    return QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("../bin/") + name);
}

// 16-byte S2 records from address 0, an S8 end record.
bool writeImage(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    QRandomGenerator gen(8);
    for (int address = 0; address < kImageBytes; address += 16) {
        QByteArray record;
        record.append(char(20)).append(char(address >> 16)).append(char(address >> 8));
        record.append(char(address));
        for (int i = 0; i < 16; ++i)
            record.append(char(gen.bounded(256)));
        unsigned sum = 0;
        for (char c : record)
            sum += std::uint8_t(c);
        record.append(char(~sum));
        file.write("S2" + record.toHex().toUpper() + "\n");
    }
    file.write("S804000000FB\n");
    return true;
}

struct Simulators {
    std::vector<std::unique_ptr<QProcess>> processes;
    QStringList devices;

    bool start(int n)
    {
        for (int i = 0; i < n; ++i) {
            auto p = std::make_unique<QProcess>();
            p->start(binary("nuvora-devsim"), {QStringLiteral("--baud"), QString::number(kBaud),
                                               QStringLiteral("--no-spin")});
            if (!p->waitForStarted() || !p->waitForReadyRead(5000))
                return false;
            devices << QString::fromLocal8Bit(p->readLine()).trimmed();
            processes.push_back(std::move(p));
        }
        return true;
    }
    ~Simulators()
    {
        for (auto &p : processes)
            p->terminate();
        for (auto &p : processes)
            p->waitForFinished(5000);
    }
};

struct Figures {
    double wall = -1;
    double cpu = 0;
};

// One nuvora-cli program run over n fresh simulators.
Figures gangRun(const QString &image, int n)
{
    Simulators sims;
    if (!sims.start(n))
        return {};
    QStringList args{QStringLiteral("program"), image, QStringLiteral("-q")};
    for (const QString &device : sims.devices)
        args << QStringLiteral("-p") << device;
    QProcess cli;
    const double cpu0 = nuvora::bench::cpuSeconds(RUSAGE_CHILDREN);
    QElapsedTimer clock;
    clock.start();
    cli.start(binary("nuvora-cli"), args);
    if (!cli.waitForFinished(120000) || cli.exitStatus() != QProcess::NormalExit ||
        cli.exitCode() != 0) {
        std::fprintf(stderr, "nuvora-cli failed with %d:\n%s\n", cli.exitCode(),
                     cli.readAllStandardError().constData());
        return {};
    }
    Figures f;
    f.wall = clock.nsecsElapsed() / 1e9;
    f.cpu = nuvora::bench::cpuSeconds(RUSAGE_CHILDREN) - cpu0;
    return f;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QStringList sizes = app.arguments().mid(1);
    if (sizes.isEmpty())
        sizes = QStringList{QStringLiteral("8"), QStringLiteral("32")};
    QTemporaryDir dir;
    const QString image = dir.filePath(QStringLiteral("gang.mhx"));
    if (!dir.isValid() || !writeImage(image))
        return 1;

    // The machine is shared: each round measures N = 1 beside the others, ratios per round.
    std::vector<int> counts{1};
    for (const QString &s : sizes)
        counts.push_back(s.toInt());
    std::vector<std::vector<double>> ratios(counts.size()), shares(counts.size());
    for (int round = 1; round <= kRounds; ++round) {
        double single = 0;
        for (std::size_t k = 0; k < counts.size(); ++k) {
            const int n = counts[k];
            const Figures f = gangRun(image, n);
            if (f.wall < 0)
                return 1;
            if (n == 1)
                single = f.wall;
            ratios[k].push_back(f.wall / single);
            shares[k].push_back(100 * f.cpu / f.wall / n);
            std::printf("round %d, N = %2d: wall %.3f s (/ N = 1: %.4f), CLI CPU %.3f s = %.3f %% "
                        "of wall per port\n",
                        round, n, f.wall, ratios[k].back(), f.cpu, shares[k].back());
            std::fflush(stdout);
        }
    }
    for (std::size_t k = 0; k < counts.size(); ++k) {
        const int n = counts[k];
        const char *target = n <= 8 ? "1.03" : "1.05";
        std::printf("8 KiB at %d baud, N = %2d, median of %d: wall / wall(1) %.4f (target <= %s), "
                    "CLI CPU %.3f %% of wall per port (target <= 1 %%)\n",
                    kBaud, n, kRounds, nuvora::bench::median(ratios[k]), n == 1 ? "1" : target,
                    nuvora::bench::median(shares[k]));
    }
    return 0;
}
