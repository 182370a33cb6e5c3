// nuvora-cli info: load an image the way the window does and summarise it.
#include "CommandLine.h"
#include "Commands.h"
#include "TerminalPrompter.h"

#include "base/AppState.h"
#include "base/FileWrite.h"
#include "transfer/FrameProtocol.h"

#include <QDir>

#include <cstdio>

namespace nuvora::cli {

namespace {

const char kInfoHelp[] =
    "usage: nuvora-cli info [OPTIONS] IMAGE\n"
    "\n"
    "Loads IMAGE (Motorola S-records, S2 data records) exactly as the window's Load command\n"
    "does and prints the first and last image index, the length and the number of 16-byte\n"
    "write frames a programming run would send. Records the window would load all the same\n"
    "are reported as warnings: a wrong checksum, a digit that is not hex, a count that does\n"
    "not match the line, and a file without an end record (S7, S8 or S9).\n"
    "\n"
    "  --dump FILE     also write the image bytes (index 0 to the last index) raw to FILE\n"
    "                  (- for standard output; the summary then goes to stderr)\n"
    "  --lang NAME     word the messages from NAME.lng beside this program (default English)\n"
    "  -q, --quiet     no summary: only warnings, failures and the exit status\n"
    "  -V, --version   print the version\n"
    "  -h, --help      show this text\n"
    "\n"
    "exit status: 0 loaded, 2 usage error, 3 image rejected (no usable S2 data, or a line\n"
    "that is not a record), 4 error (file cannot be read, bad count field, byte outside the\n"
    "64 KiB image, dump file cannot be written).\n";

void printSummary(std::FILE *to, const QString &image, const AppState &state)
{
    const qint64 length = qint64(state.ImageEnd) + 1;
    const qint64 frames = (length + protocol::kPageBytes - 1) / protocol::kPageBytes;
    std::fprintf(to, "image:  %s\n", qPrintable(QDir::toNativeSeparators(image)));
    std::fprintf(to, "first:  0\n");
    std::fprintf(to, "last:   %d (0x%04X)\n", state.ImageEnd, unsigned(state.ImageEnd));
    std::fprintf(to, "length: %lld bytes\n", static_cast<long long>(length));
    std::fprintf(to, "frames: %lld of %d bytes\n", static_cast<long long>(frames),
                 protocol::kPageBytes);
}

} // namespace

int runInfo(const QStringList &args)
{
    CommandParser parser("info", kInfoHelp);
    QCommandLineParser &qt = parser.qt();
    qt.addOption({"dump", {}, "FILE"});
    qt.addOption({"lang", {}, "NAME", "English"});
    qt.addOption({{"q", "quiet"}, {}});
    if (const auto done = parser.parse(args))
        return *done;
    const auto image = parser.onePositional("IMAGE");
    if (!image)
        return kExitUsage;

    auto state = stateWithLanguage(qt.value("lang"), qt.isSet("lang"));
    warnAboutRecords(*image);
    TerminalPrompter prompter(stderr);
    if (const int status = loadImage(*state, *image, prompter))
        return status;

    // With the bytes going to standard output, the summary must not mix with them.
    const QString dump = qt.value("dump");
    const bool dumpToStdout = dump == QLatin1String("-");
    std::FILE *summary = dumpToStdout ? stderr : stdout;
    const bool quiet = qt.isSet("quiet");
    if (!quiet)
        printSummary(summary, *image, *state);
    if (dump.isEmpty())
        return 0;
    std::fflush(stdout);
    const QByteArray bytes(reinterpret_cast<const char *>(state->ImageBuffer.data()),
                           qsizetype(state->ImageEnd) + 1);
    const WriteResult written = WriteWholeFile(dump, bytes);
    if (!written.ok) {
        printError(QStringLiteral("cannot write %1: %2")
                       .arg(QDir::toNativeSeparators(dump), written.reason));
        return kExitImageError;
    }
    if (!quiet)
        std::fprintf(summary, "dump:   %s\n", qPrintable(QDir::toNativeSeparators(dump)));
    return 0;
}

} // namespace nuvora::cli
