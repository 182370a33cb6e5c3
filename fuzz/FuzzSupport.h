#pragma once

// Shared plumbing of the fuzz targets: each input becomes a real file in a scratch folder, and
// a broken promise stops the fuzzer with the input that broke it.
#include "base/Prompter.h"

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QTemporaryDir>

#include <cstdio>
#include <cstdlib>

namespace nuvora::fuzz {

// The folder every input is written into; it lives as long as the process.
inline const QTemporaryDir &scratch()
{
    static const QTemporaryDir dir;
    return dir;
}

inline QString writeInput(const QString &name, const std::uint8_t *data, std::size_t size)
{
    const QString path = scratch().filePath(name);
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
        f.write(reinterpret_cast<const char *>(data), qint64(size)) != qint64(size)) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        std::abort();
    }
    return path;
}

// Stops the run: libFuzzer saves the input as a crash.
[[noreturn]] inline void broken(const char *what)
{
    std::fprintf(stderr, "promise broken: %s\n", what);
    std::abort();
}

inline void expect(bool condition, const char *what)
{
    if (!condition)
        broken(what);
}

class CountingPrompter : public Prompter {
public:
    void message(const QString &, int style, const QString &) override
    {
        ++shown;
        lastStyle = style;
    }
    OpenFileAnswer openFile(const OpenFileOptions &) override { return {}; }
    int shown = 0;
    int lastStyle = 0;
};

} // namespace nuvora::fuzz
