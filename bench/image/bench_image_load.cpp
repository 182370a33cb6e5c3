// Times LoadFileMHX on a 64 KiB image written as 16-byte S2 records; prints the median.
#include "base/AppState.h"
#include "image/SRecordReader.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <vector>

namespace {

constexpr int kLoads = 2000;

QByteArray imageFile()
{
    QByteArray file = "S00F00006E75766F72612062656E636888\r\n";
    for (int address = 0; address < nuvora::kImageSize; address += 16) {
        QByteArray line = "S214" + QByteArray::number(address, 16).rightJustified(6, '0');
        for (int i = 0; i < 16; ++i)
            line += QByteArray::number((address * 7 + i * 13) & 0xFF, 16).rightJustified(2, '0');
        file += line.toUpper() + "00\r\n";
    }
    return file + "S804000000FB\r\n";
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("bench.mhx"));
    const QByteArray content = imageFile();
    {
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly) || f.write(content) != content.size()) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
            return 1;
        }
    }
    auto state = std::make_unique<nuvora::AppState>();
    std::vector<qint64> times;
    times.reserve(kLoads);
    for (int i = 0; i < kLoads; ++i) {
        QElapsedTimer t;
        t.start();
        const nuvora::LoadOutcome outcome = nuvora::LoadFileMHX(*state, path);
        times.push_back(t.nsecsElapsed());
        if (!outcome.loaded() || state->ImageEnd != nuvora::kImageSize - 1) {
            std::fprintf(stderr, "load failed\n");
            return 1;
        }
    }
    std::sort(times.begin(), times.end());
    std::printf("image load: %d loads of a %lld-byte file (4096 S2 records of 16 bytes)\n", kLoads,
                static_cast<long long>(content.size()));
    std::printf("image load: median %.1f us, best %.1f us, 90th percentile %.1f us "
                "(target <= 1000 us)\n",
                double(times[times.size() / 2]) / 1000.0, double(times.front()) / 1000.0,
                double(times[times.size() * 9 / 10]) / 1000.0);
    return 0;
}
