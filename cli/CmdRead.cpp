// nuvora-cli read: a range of the device's EEPROM back into an S-record file.
#include "CommandLine.h"
#include "Commands.h"
#include "DeviceRun.h"
#include "Interrupts.h"
#include "TerminalRunView.h"

#include "base/AppState.h"
#include "base/FileWrite.h"
#include "commands/StartCommand.h"
#include "image/SRecordWriter.h"
#include "serial/PortControl.h"
#include "serial/PortNames.h"
#include "serial/SerialLine.h"
#include "transfer/ReadRun.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTimer>

#include <cstdio>
#include <cstdlib>
#include <optional>

namespace nuvora::cli {

namespace {

const char kReadHelp[] =
    "usage: nuvora-cli read [OPTIONS] --port PORT --length N -o FILE\n"
    "\n"
    "Reads N bytes of the device's EEPROM, from address A on, and writes them to FILE as\n"
    "Motorola S-records: an S0 header, S2 records of 16 data bytes at their device addresses\n"
    "and an S8 end record, which nuvora-cli info, the window and S-record tools read back as\n"
    "the same bytes. The device is probed first, then read in 16-byte read frames (the last\n"
    "one shorter), each with up to five attempts of one second. Progress goes to stderr.\n"
    "\n"
    "  -p, --port PORT    a port number (7), a Windows name (COM7) or a device path\n"
    "  --start A          the first device address (default 0)\n"
    "  --length N         the bytes to read; A + N at most 65536\n"
    "                     (A and N in decimal, or in hex with 0x)\n"
    "  -o, --output FILE  the S-record file to write (- for standard output)\n"
    "  --json             the outcome as one JSON document on stdout (not with -o -)\n"
    "  --lang NAME        word the messages from NAME.lng beside this program\n"
    "  -q, --quiet        no progress and no notes: only warnings and failures\n"
    "  -v, --verbose      a line for every frame sent again, and why\n"
    "  -V, --version      print the version\n"
    "  -h, --help         show this text\n"
    "\n"
    "Ctrl-C (or SIGTERM) stops after the frame under way; nothing is written then.\n"
    "\n"
    "exit status: 0 read and written, 2 usage error, 4 FILE cannot be written, 5 port will\n"
    "not open, 6 the device does not answer the probe, 7 a read frame was not answered\n"
    "(FILE is not written), 130 interrupted (FILE is not written).\n";

constexpr qint64 kDeviceBytes = kImageSize;

// A number as a person writes an address: decimal, or hex after 0x.
std::optional<qint64> parseNumber(const QString &text)
{
    const bool hex = text.startsWith(QLatin1String("0x"), Qt::CaseInsensitive);
    const QString digits = hex ? text.mid(2) : text;
    // Qt would take a sign or blanks; an address has neither.
    if (digits.isEmpty() || !digits.at(0).isLetterOrNumber() || digits.trimmed() != digits)
        return std::nullopt;
    bool ok = false;
    const qint64 value = digits.toLongLong(&ok, hex ? 16 : 10);
    return ok ? std::optional<qint64>(value) : std::nullopt;
}

// Where FILE cannot be written at all, said before minutes of reading rather than after.
QString unwritable(const QString &path)
{
    if (path == QLatin1String("-"))
        return {};
    const QFileInfo info(path);
    if (info.isDir())
        return QStringLiteral("it is a folder");
    if (!info.absoluteDir().exists())
        return QStringLiteral("no folder %1").arg(QDir::toNativeSeparators(info.absolutePath()));
    return {};
}

struct Request {
    QString portText;
    Target target;
    qint64 start = 0;
    qint64 length = 0;
    QString output;
};

std::optional<int> parseRequest(const CommandParser &parser, Request &r)
{
    const QCommandLineParser &qt = const_cast<CommandParser &>(parser).qt();
    if (!qt.positionalArguments().isEmpty())
        return parser.usageError(
            QStringLiteral("unexpected argument '%1'").arg(qt.positionalArguments().first()));
    const QStringList ports = qt.values(QStringLiteral("port"));
    if (ports.isEmpty())
        return parser.usageError(QStringLiteral("missing --port PORT"));
    if (ports.size() > 1)
        return parser.usageError(QStringLiteral("one --port only"));
    if (!qt.isSet(QStringLiteral("length")))
        return parser.usageError(QStringLiteral("missing --length N"));
    const auto start = parseNumber(qt.value(QStringLiteral("start")));
    if (!start || *start < 0 || *start >= kDeviceBytes)
        return parser.usageError(QStringLiteral("--start %1: not an address from 0 to 0xFFFF")
                                     .arg(qt.value(QStringLiteral("start"))));
    const auto length = parseNumber(qt.value(QStringLiteral("length")));
    if (!length || *length < 1 || *length > kDeviceBytes)
        return parser.usageError(QStringLiteral("--length %1: not a number of bytes from 1 to "
                                                "65536")
                                     .arg(qt.value(QStringLiteral("length"))));
    if (*start + *length > kDeviceBytes)
        return parser.usageError(
            QStringLiteral("--start %1 --length %2 goes past the device's "
                           "last address 0xFFFF")
                .arg(qt.value(QStringLiteral("start")), qt.value(QStringLiteral("length"))));
    if (!qt.isSet(QStringLiteral("output")))
        return parser.usageError(QStringLiteral("missing -o FILE"));
    r.start = *start;
    r.length = *length;
    r.output = qt.value(QStringLiteral("output"));
    if (r.output.isEmpty())
        return parser.usageError(QStringLiteral("-o needs a FILE"));
    r.portText = ports.first();
    const PortArgument port = ParsePortArgument(r.portText);
    if (!port.valid)
        return parser.usageError(QStringLiteral("--port %1: %2").arg(r.portText, port.error));
    r.target = resolve(r.portText, port, QCoreApplication::applicationDirPath());
    return std::nullopt;
}

int exitFor(ReadOutcome outcome)
{
    switch (outcome) {
    case ReadOutcome::Success:
        return 0;
    case ReadOutcome::PortFailed:
        return kExitPort;
    case ReadOutcome::ProbeFailed:
        return kExitNoDevice;
    case ReadOutcome::ReadFailed:
        return kExitWriteFailed;
    case ReadOutcome::Interrupted:
        return kExitInterrupted;
    }
    return kExitWriteFailed;
}

QString outcomeName(ReadOutcome outcome)
{
    switch (outcome) {
    case ReadOutcome::Success:
        return QStringLiteral("success");
    case ReadOutcome::PortFailed:
        return QStringLiteral("port-failed");
    case ReadOutcome::ProbeFailed:
        return QStringLiteral("no-answer");
    case ReadOutcome::ReadFailed:
        return QStringLiteral("read-failed");
    case ReadOutcome::Interrupted:
        return QStringLiteral("interrupted");
    }
    return {};
}

// The outcome for a machine: what was asked, what came of it, and the exit status.
void printJson(const Request &r, ReadOutcome outcome, int status, const ReadRun &run,
               const TerminalRunView &view, double seconds)
{
    const QJsonObject o{{"port", r.portText},
                        {"device", r.target.path},
                        {"start", r.start},
                        {"length", r.length},
                        {"read", qint64(run.reads().bytes().size())},
                        {"output", QDir::toNativeSeparators(r.output)},
                        {"written", outcome == ReadOutcome::Success && status == 0},
                        {"framesResent", view.framesResent()},
                        {"seconds", seconds},
                        {"outcome", outcomeName(outcome)},
                        {"status", status}};
    std::fputs(QJsonDocument(o).toJson(QJsonDocument::Indented).constData(), stdout);
}

// The failure in one line: what happened, then where and how much.
QString failureText(ReadOutcome outcome, const AppState &state, const PortControl &control)
{
    switch (outcome) {
    case ReadOutcome::PortFailed: {
        QString text = outcomeBox(RunOutcome::PortFailed, state, control).text;
        if (!control.lastFailure().isEmpty())
            text += QStringLiteral(": ") + control.lastFailure();
        return text.replace(QLatin1Char('\n'), QLatin1Char(' '));
    }
    case ReadOutcome::ProbeFailed:
        return outcomeBox(RunOutcome::ProbeFailed, state, control)
            .text.section(QLatin1Char('\n'), 0, 0);
    case ReadOutcome::ReadFailed:
        return QStringLiteral("Reading stopped: the device did not answer a read frame.");
    case ReadOutcome::Interrupted:
        return QStringLiteral("Reading interrupted.");
    case ReadOutcome::Success:
        break;
    }
    return {};
}

} // namespace

int runRead(const QStringList &args)
{
    CommandParser parser("read", kReadHelp);
    QCommandLineParser &qt = parser.qt();
    qt.addOption({{"p", "port"}, {}, "PORT"});
    qt.addOption({"start", {}, "A", "0"});
    qt.addOption({"length", {}, "N"});
    qt.addOption({{"o", "output"}, {}, "FILE"});
    qt.addOption({"json", {}});
    qt.addOption({"lang", {}, "NAME", "English"});
    qt.addOption({{"q", "quiet"}, {}});
    qt.addOption({{"v", "verbose"}, {}});
    if (const auto done = parser.parse(args))
        return *done;
    Request r;
    if (const auto bad = parseRequest(parser, r))
        return *bad;
    const bool json = qt.isSet("json");
    if (json && r.output == QLatin1String("-"))
        return parser.usageError(QStringLiteral("--json and -o - both need standard output"));
    const QString shownOutput = QDir::toNativeSeparators(r.output);
    if (const QString why = unwritable(r.output); !why.isEmpty()) {
        printError(QStringLiteral("cannot write %1: %2").arg(shownOutput, why));
        return kExitImageError;
    }

    auto state = stateWithLanguage(qt.value("lang"), qt.isSet("lang"));
    SerialLine line;
    PortControl control(line, QCoreApplication::applicationDirPath());
    const QString device = r.target.device;
    control.setResolver([device](int) { return device; });
    state->ComPort = 1;
    const ViewOptions options =
        viewOptions(r.target, false, qt.isSet("quiet"), qt.isSet("verbose"));
    TerminalRunView view(stderr, options);
    ReadRun run(*state, control, view);
    std::optional<ReadOutcome> outcome;
    QObject::connect(&run, &ReadRun::finished, [&outcome](ReadOutcome o) {
        outcome = o;
        QCoreApplication::exit();
    });
    QElapsedTimer clock;
    clock.start();
    QTimer::singleShot(0, &run, [&] { run.start(std::int32_t(r.start), std::int32_t(r.length)); });
    const Interrupts interrupts([&view, &run](int count) {
        view.printLine(interruptedText(count), false);
        if (count > 1)
            std::_Exit(kExitInterrupted);
        run.requestStop();
    });
    QCoreApplication::exec();

    const ReadOutcome result = outcome.value_or(ReadOutcome::ReadFailed);
    const double seconds = double(clock.elapsed()) / 1000;
    const QString figures = QStringLiteral("%1: %2 of %3 bytes read, %4 frames resent, %5 s")
                                .arg(r.target.shown)
                                .arg(run.reads().bytes().size())
                                .arg(r.length)
                                .arg(view.framesResent())
                                .arg(seconds, 0, 'f', 1);
    int status = exitFor(result);
    if (result != ReadOutcome::Success) {
        QString text = failureText(result, *state, control);
        if (result == ReadOutcome::ReadFailed)
            text += QStringLiteral(" The frame at 0x%1 had no valid answer.")
                        .arg(run.reads().address(), 4, 16, QLatin1Char('0'));
        printError(QStringLiteral("%1 %2; %3 not written").arg(text, figures, shownOutput));
    } else {
        const QByteArray header = QStringLiteral("nuvora-cli read %1").arg(r.target.shown).toUtf8();
        std::fflush(stdout);
        const WriteResult written =
            WriteWholeFile(r.output, WriteSRecords(run.reads().bytes(), quint32(r.start), header));
        if (!written.ok) {
            printError(QStringLiteral("cannot write %1: %2").arg(shownOutput, written.reason));
            status = kExitImageError;
        } else if (!options.quiet) {
            std::fprintf(stderr, "Reading complete: %s; written to %s\n", qPrintable(figures),
                         r.output == QLatin1String("-") ? "standard output"
                                                        : qPrintable(shownOutput));
        }
    }
    if (json)
        printJson(r, result, status, run, view, seconds);
    return status;
}

} // namespace nuvora::cli
