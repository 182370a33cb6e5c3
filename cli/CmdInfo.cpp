// nuvora-cli info: load an image the way the window does and summarise it.
#include "CommandLine.h"
#include "Commands.h"
#include "TerminalPrompter.h"

#include "ReadBackText.h"

#include "base/AppState.h"
#include "base/Crc32.h"
#include "base/FileWrite.h"
#include "image/ImageSummary.h"
#include "transfer/FrameProtocol.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStringList>

#include <cstdio>

namespace nuvora::cli {

namespace {

const char kInfoHelp[] =
    "usage: nuvora-cli info [OPTIONS] IMAGE\n"
    "\n"
    "Loads IMAGE (Motorola S-records, S2 data records) exactly as the window's Load command\n"
    "does and prints the first and last image index, the length, the number of 16-byte\n"
    "write frames a programming run would send, the first record's address (image index 0),\n"
    "the records by type, the gaps inside the image that no record fills (they stay 0xFF)\n"
    "and the CRC-32 of the image bytes (as crc32 computes it on the --dump file). Records\n"
    "the window would load all the same\n"
    "are reported as warnings: a wrong checksum, a digit that is not hex, a count that does\n"
    "not match the line, and a file without an end record (S7, S8 or S9).\n"
    "\n"
    "  --dump FILE     also write the image bytes (index 0 to the last index) raw to FILE\n"
    "                  (- for standard output; the summary then goes to stderr)\n"
    "  --json          the summary as one JSON document on stdout (not with --dump -)\n"
    "  --lang NAME     word the messages from NAME.lng beside this program (default English)\n"
    "  -q, --quiet     no summary: only warnings, failures and the exit status\n"
    "  -V, --version   print the version\n"
    "  -h, --help      show this text\n"
    "\n"
    "exit status: 0 loaded, 2 usage error, 3 image rejected (no usable S2 data, or a line\n"
    "that is not a record), 4 error (file cannot be read, bad count field, byte outside the\n"
    "64 KiB image, dump file cannot be written).\n";

constexpr std::size_t kGapsShown = 4;

// The facts of a loaded image, for both the text and the JSON summary.
struct Facts {
    qint64 length = 0;
    qint64 frames = 0;
    std::uint32_t crc = 0;
    ImageSummary records;
};

Facts factsOf(const QString &image, const AppState &state)
{
    Facts f;
    f.length = qint64(state.ImageEnd) + 1;
    f.frames = (f.length + protocol::kPageBytes - 1) / protocol::kPageBytes;
    f.crc = crc32(state.ImageBuffer.data(), std::size_t(f.length));
    f.records = SummariseImage(image, state.ImageEnd);
    return f;
}

QString crcText(std::uint32_t crc)
{
    return QStringLiteral("%1").arg(crc, 8, 16, QLatin1Char('0'));
}

void printSummary(std::FILE *to, const QString &image, const AppState &state, const Facts &f)
{
    const std::uint32_t at = f.records.firstAddress;
    std::fprintf(to, "image:  %s\n", qPrintable(QDir::toNativeSeparators(image)));
    std::fprintf(to, "first:  0\n");
    std::fprintf(to, "last:   %d (0x%04X)\n", state.ImageEnd, unsigned(state.ImageEnd));
    std::fprintf(to, "length: %lld bytes\n", static_cast<long long>(f.length));
    std::fprintf(to, "frames: %lld of %d bytes\n", static_cast<long long>(f.frames),
                 protocol::kPageBytes);
    std::fprintf(to, "address: %s (image index 0)\n", qPrintable(imageAddress(at, 0)));
    QStringList types;
    for (std::size_t t = 0; t < f.records.records.size(); ++t) {
        if (f.records.records[t])
            types << QStringLiteral("S%1 %2").arg(t).arg(f.records.records[t]);
    }
    if (f.records.otherRecords)
        types << QStringLiteral("other %1").arg(f.records.otherRecords);
    std::fprintf(to, "records: %s\n", qPrintable(types.join(QStringLiteral(", "))));
    QStringList gaps;
    qint64 gapBytes = 0;
    for (const ImageSummary::Gap &g : f.records.gaps) {
        gapBytes += g.length;
        if (std::size_t(gaps.size()) < kGapsShown)
            gaps << QStringLiteral("%1-%2").arg(imageAddress(at, g.index),
                                                imageAddress(at, g.index + g.length - 1));
    }
    if (f.records.gaps.size() > kGapsShown)
        gaps << QStringLiteral("%1 more").arg(f.records.gaps.size() - kGapsShown);
    if (gaps.isEmpty())
        std::fprintf(to, "gaps:   none\n");
    else
        std::fprintf(to, "gaps:   %zu, %lld bytes: %s\n", f.records.gaps.size(),
                     static_cast<long long>(gapBytes), qPrintable(gaps.join(QStringLiteral(", "))));
    std::fprintf(to, "crc32:  %s\n", qPrintable(crcText(f.crc)));
}

QByteArray jsonSummary(const QString &image, const AppState &state, const Facts &f)
{
    QJsonObject records;
    for (std::size_t t = 0; t < f.records.records.size(); ++t) {
        if (f.records.records[t])
            records.insert(QStringLiteral("S%1").arg(t), f.records.records[t]);
    }
    if (f.records.otherRecords)
        records.insert(QStringLiteral("other"), f.records.otherRecords);
    QJsonArray gaps;
    for (const ImageSummary::Gap &g : f.records.gaps)
        gaps.append(QJsonObject{{"address", qint64(f.records.firstAddress) + g.index},
                                {"index", g.index},
                                {"length", g.length}});
    const QJsonObject summary{{"image", QDir::toNativeSeparators(image)},
                              {"first", 0},
                              {"last", state.ImageEnd},
                              {"length", f.length},
                              {"frames", f.frames},
                              {"address", qint64(f.records.firstAddress)},
                              {"records", records},
                              {"gaps", gaps},
                              {"crc32", crcText(f.crc)}};
    return QJsonDocument(summary).toJson(QJsonDocument::Indented);
}

} // namespace

int runInfo(const QStringList &args)
{
    CommandParser parser("info", kInfoHelp);
    QCommandLineParser &qt = parser.qt();
    qt.addOption({"dump", {}, "FILE"});
    qt.addOption({"json", {}});
    qt.addOption({"lang", {}, "NAME", "English"});
    qt.addOption({{"q", "quiet"}, {}});
    if (const auto done = parser.parse(args))
        return *done;
    const auto image = parser.onePositional("IMAGE");
    if (!image)
        return kExitUsage;

    const bool json = qt.isSet("json");
    if (json && qt.value("dump") == QLatin1String("-"))
        return parser.usageError(QStringLiteral("--json and --dump - both need standard output"));
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
    const Facts facts = factsOf(*image, *state);
    if (json) // a machine asked: the document, whatever --quiet says
        std::fputs(jsonSummary(*image, *state, facts).constData(), stdout);
    else if (!quiet)
        printSummary(summary, *image, *state, facts);
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
    if (!quiet && !json)
        std::fprintf(summary, "dump:   %s\n", qPrintable(QDir::toNativeSeparators(dump)));
    return 0;
}

} // namespace nuvora::cli
