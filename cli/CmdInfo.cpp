// nuvora-cli info: load an image the way the window does and summarise it.
#include "Commands.h"
#include "TerminalPrompter.h"

#include "image/SRecordReader.h"
#include "lang/LangTable.h"
#include "state/AppState.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QSaveFile>

#include <cstdio>
#include <memory>

namespace nuvora::cli {

namespace {

constexpr int kExitUsage = 2;
constexpr int kExitRejected = 3;
constexpr int kExitError = 4;
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

// Words for the load warning when no language file is at hand.
void setFallbackTexts(AppState &state)
{
    state.LangText[8] = QStringLiteral("Load image");
    state.LangText[16] = QStringLiteral("The file holds no usable S-record data.");
}

bool writeDump(const AppState &state, const QString &path, QString &reason)
{
    QSaveFile out(path);
    if (!out.open(QIODevice::WriteOnly)) {
        reason = out.errorString();
        return false;
    }
    const qint64 length = qint64(state.ImageEnd) + 1;
    if (out.write(reinterpret_cast<const char *>(state.ImageBuffer.data()), length) != length ||
        !out.commit()) {
        reason = out.errorString();
        return false;
    }
    return true;
}

} // namespace

int runInfo(const QStringList &args)
{
    QString image;
    QString dump;
    QString language = QStringLiteral("English");
    for (int i = 0; i < args.size(); ++i) {
        const QString &a = args.at(i);
        if (a == QLatin1String("--help") || a == QLatin1String("-h")) {
            std::fputs(kInfoHelp, stdout);
            return 0;
        }
        if (a == QLatin1String("--dump")) {
            if (i + 1 >= args.size()) {
                std::fprintf(stderr, "nuvora-cli info: --dump needs a file name\n");
                return kExitUsage;
            }
            dump = args.at(++i);
        } else if (a == QLatin1String("--lang")) {
            if (i + 1 >= args.size()) {
                std::fprintf(stderr, "nuvora-cli info: --lang needs a language name\n");
                return kExitUsage;
            }
            language = args.at(++i);
        } else if (a.startsWith(QLatin1String("-")) && a.size() > 1) {
            std::fprintf(stderr, "nuvora-cli info: unknown option '%s'\n", qPrintable(a));
            return kExitUsage;
        } else if (image.isEmpty()) {
            image = a;
        } else {
            std::fprintf(stderr, "nuvora-cli info: only one IMAGE, got '%s' too\n", qPrintable(a));
            return kExitUsage;
        }
    }
    if (image.isEmpty()) {
        std::fputs(kInfoHelp, stderr);
        return kExitUsage;
    }

    // The image buffer is 64 KiB: keep it off the stack.
    auto state = std::make_unique<AppState>();
    setFallbackTexts(*state);
    state->LanguageName = language;
    LoadLanguage(*state, QCoreApplication::applicationDirPath());
    TerminalPrompter prompter(stderr);
    const LoadOutcome outcome = LoadFileMHX(*state, image, prompter);
    if (outcome.kind == LoadOutcome::Kind::Rejected)
        return kExitRejected;
    if (outcome.kind == LoadOutcome::Kind::Error) {
        std::fprintf(stderr, "nuvora-cli info: error %d: %s\n", outcome.error,
                     qPrintable(outcome.reason));
        return kExitError;
    }

    const qint64 length = qint64(state->ImageEnd) + 1;
    const qint64 frames = (length + kFrameBytes - 1) / kFrameBytes;
    std::printf("image:  %s\n", qPrintable(QDir::toNativeSeparators(image)));
    std::printf("first:  0\n");
    std::printf("last:   %d (0x%04X)\n", state->ImageEnd, unsigned(state->ImageEnd));
    std::printf("length: %lld bytes\n", static_cast<long long>(length));
    std::printf("frames: %lld of %d bytes\n", static_cast<long long>(frames), kFrameBytes);

    if (!dump.isEmpty()) {
        QString reason;
        if (!writeDump(*state, dump, reason)) {
            std::fprintf(stderr, "nuvora-cli info: cannot write %s: %s\n",
                         qPrintable(QDir::toNativeSeparators(dump)), qPrintable(reason));
            return kExitError;
        }
        std::printf("dump:   %s\n", qPrintable(QDir::toNativeSeparators(dump)));
    }
    return 0;
}

} // namespace nuvora::cli
