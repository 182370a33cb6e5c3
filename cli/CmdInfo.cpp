// nuvora-cli info: load an image the way the window does and summarise it.
#include "CommandLine.h"
#include "Commands.h"
#include "TerminalPrompter.h"

#include "base/AppState.h"
#include "base/FileWrite.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>

#include <cstdio>
#include <memory>

namespace nuvora::cli {

namespace {

constexpr int kFrameBytes = 16;

const char kInfoHelp[] =
    "usage: nuvora-cli info IMAGE [--dump FILE] [--lang NAME]\n"
    "\n"
    "Loads IMAGE (Motorola S-records, S2 data records) exactly as the window's Load command\n"
    "does and prints the first and last image index, the length and the number of 16-byte\n"
    "write frames a programming run would send.\n"
    "\n"
    "  --dump FILE   also write the image bytes (index 0 to the last index) raw to FILE\n"
    "  --lang NAME   word the warning from NAME.lng beside this program (default English;\n"
    "                built-in English when the file cannot be read)\n"
    "  --help        show this text\n"
    "\n"
    "exit status: 0 loaded, 2 usage error, 3 image rejected (no usable S2 data, or a line\n"
    "that is not a record), 4 error (file cannot be read, bad count field, byte outside the\n"
    "64 KiB image, dump file cannot be written).\n";

} // namespace

int runInfo(const QStringList &args)
{
    QString image;
    QString dump;
    QString language = QStringLiteral("English");
    if (const auto done = parseArguments("info", args, kInfoHelp,
                                         {{"--dump", "a file name", &dump},
                                          {"--lang", "a language name", &language}},
                                         &image))
        return *done;
    if (image.isEmpty()) {
        std::fputs(kInfoHelp, stderr);
        return kExitUsage;
    }

    auto state = stateWithLanguage(language);
    TerminalPrompter prompter(stderr);
    if (const int status = loadImage("info", *state, image, prompter))
        return status;

    // With the bytes going to standard output, the summary must not mix with them.
    const bool dumpToStdout = dump == QLatin1String("-");
    std::FILE *summary = dumpToStdout ? stderr : stdout;
    const qint64 length = qint64(state->ImageEnd) + 1;
    const qint64 frames = (length + kFrameBytes - 1) / kFrameBytes;
    std::fprintf(summary, "image:  %s\n", qPrintable(QDir::toNativeSeparators(image)));
    std::fprintf(summary, "first:  0\n");
    std::fprintf(summary, "last:   %d (0x%04X)\n", state->ImageEnd, unsigned(state->ImageEnd));
    std::fprintf(summary, "length: %lld bytes\n", static_cast<long long>(length));
    std::fprintf(summary, "frames: %lld of %d bytes\n", static_cast<long long>(frames),
                 kFrameBytes);

    if (!dump.isEmpty()) {
        std::fflush(stdout);
        const QByteArray bytes(reinterpret_cast<const char *>(state->ImageBuffer.data()),
                               qsizetype(length));
        const WriteResult written = WriteWholeFile(dump, bytes);
        if (!written.ok) {
            std::fprintf(stderr, "nuvora-cli info: cannot write %s: %s\n",
                         qPrintable(QDir::toNativeSeparators(dump)), qPrintable(written.reason));
            return kExitImageError;
        }
        std::fprintf(summary, "dump:   %s\n", qPrintable(QDir::toNativeSeparators(dump)));
    }
    return 0;
}

} // namespace nuvora::cli
