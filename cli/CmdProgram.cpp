// nuvora-cli program: the Start button on a terminal, with the same run the window uses.
#include "CommandLine.h"
#include "Commands.h"
#include "Interrupts.h"
#include "ReadBackText.h"
#include "TerminalPrompter.h"
#include "TerminalRunView.h"

#include "base/AppState.h"
#include "commands/StartCommand.h"
#include "image/ImageSummary.h"
#include "serial/PortControl.h"
#include "serial/PortNames.h"
#include "serial/SerialLine.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTimer>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <optional>
#include <vector>
#ifdef Q_OS_WIN
#include <io.h>
#else
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace nuvora::cli {

namespace {

const char kProgramHelp[] =
    "usage: nuvora-cli program [OPTIONS] IMAGE --port PORT [--port PORT...]\n"
    "\n"
    "Writes IMAGE (Motorola S-records, S2 data records) into the device's EEPROM exactly as\n"
    "the window's Start button does: the device is probed, then the image goes out in\n"
    "acknowledged 16-byte write frames. Progress goes to stderr: a bar on a terminal, plain\n"
    "lines otherwise. The outcome is worded by the language file, with the port, the bytes\n"
    "written, the frames sent again and the time.\n"
    "\n"
    "  -p, --port PORT  a port number (7), a Windows name (COM7) or a device path\n"
    "                   (/dev/ttyUSB0); numbers map to ports/COMn beside this program if that\n"
    "                   link exists, else /dev/ttyS(n-1) for 1 to 4 and /dev/ttyUSB(n-5) from\n"
    "                   5 on. Given more than once, the devices on those ports are programmed\n"
    "                   at the same time, every line labelled with its port\n"
    "  --lang NAME      word the messages from NAME.lng beside this program (default English)\n"
    "  --strict         refuse an image with bad records (checksum, digits, count) or without\n"
    "                   an end record, before anything is written\n"
    "  --verify         after the last write frame, read every page written back (16-byte\n"
    "                   read frames) and compare it with what was sent; a difference names\n"
    "                   the first differing address and counts the bytes that differ\n"
    "  -q, --quiet      no progress and no notes: only warnings and failures\n"
    "  -v, --verbose    a line for every frame sent again, and why\n"
    "  -V, --version    print the version\n"
    "  -h, --help       show this text\n"
    "\n"
    "Ctrl-C (or SIGTERM) stops after the frame under way and reports what was written; a\n"
    "second Ctrl-C stops at once.\n"
    "\n"
    "exit status: 0 programmed, 2 usage error, 3 image rejected (no usable S2 data, or bad\n"
    "records with --strict), 4 image cannot be read, 5 port will not open, 6 the device does\n"
    "not answer the probe, 7 a write frame was not acknowledged (the EEPROM holds part of the\n"
    "image; with --verify also: a read frame of the check was not answered), 8 the pages read\n"
    "back differ from the image (--verify), 130 interrupted (the EEPROM holds part of the\n"
    "image, or the check was not finished). With several ports: 0 when\n"
    "every device was programmed, else the status of the first port (in the order given)\n"
    "that was not.\n";

struct Settings {
    QString image;
    bool strict = false;
    bool quiet = false;
    bool verbose = false;
    bool verify = false;
    std::uint32_t firstAddress = 0; // the image's own address of image index 0
};

// One --port: what the user wrote, the device it leads to, and how lines name it.
struct Target {
    QString text;
    PortArgument port;
    QString device; // as the port control opens it
    QString shown;  // "COM7 (/dev/pts/2)"
};

int exitFor(RunOutcome outcome)
{
    switch (outcome) {
    case RunOutcome::Success:
        return 0;
    case RunOutcome::PortFailed:
        return kExitPort;
    case RunOutcome::ProbeFailed:
        return kExitNoDevice;
    case RunOutcome::WriteFailed:
        return kExitWriteFailed;
    case RunOutcome::Interrupted:
        return kExitInterrupted;
    case RunOutcome::VerifyFailed:
        return kExitVerifyFailed;
    case RunOutcome::ReadBackFailed:
        return kExitWriteFailed;
    }
    return kExitWriteFailed;
}

// Two names of one device (an alias, a link, a second device node) are one device.
bool sameDevice(const QString &a, const QString &b)
{
    const QString ca = QFileInfo(a).canonicalFilePath();
    const QString cb = QFileInfo(b).canonicalFilePath();
    if (ca.isEmpty() || cb.isEmpty())
        return a == b;
    if (ca == cb)
        return true;
#ifdef Q_OS_UNIX
    struct stat sa {};
    struct stat sb {};
    if (::stat(qPrintable(ca), &sa) == 0 && ::stat(qPrintable(cb), &sb) == 0)
        return S_ISCHR(sa.st_mode) && S_ISCHR(sb.st_mode) && sa.st_rdev == sb.st_rdev;
#endif
    return false;
}

Target resolve(const QString &text, const PortArgument &port, const QString &programFolder)
{
    Target t{text, port, port.device, {}};
    if (t.device.isEmpty())
        t.device = PortDevice(port.number, programFolder);
    const QString real = QFileInfo(t.device).canonicalFilePath();
    const QString path = QDir::toNativeSeparators(real.isEmpty() ? t.device : real);
    if (port.device.isEmpty())
        t.shown = QStringLiteral("COM%1 (%2)").arg(port.number).arg(path);
    else
        t.shown = path == port.device ? path : QStringLiteral("%1 (%2)").arg(port.device, path);
    return t;
}

std::optional<int> resolvePorts(const CommandParser &parser, const QStringList &texts,
                                std::vector<Target> &targets)
{
    const QString programFolder = QCoreApplication::applicationDirPath();
    for (const QString &text : texts) {
        const PortArgument port = ParsePortArgument(text);
        if (!port.valid)
            return parser.usageError(QStringLiteral("--port %1: %2").arg(text, port.error));
        const Target target = resolve(text, port, programFolder);
        for (const Target &earlier : targets) {
            if (sameDevice(earlier.device, target.device))
                return parser.usageError(
                    QStringLiteral("--port %1 and --port %2 are the same device (%3)")
                        .arg(earlier.text, text, earlier.shown));
        }
        targets.push_back(target);
    }
    return std::nullopt;
}

int terminalColumns()
{
#ifdef TIOCGWINSZ
    winsize size{};
    if (::ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0)
        return size.ws_col;
#endif
    bool ok = false;
    const int columns = qEnvironmentVariableIntValue("COLUMNS", &ok);
    return ok && columns > 0 ? columns : 80;
}

bool stderrIsTerminal()
{
#ifdef Q_OS_WIN
    return _isatty(_fileno(stderr)) != 0;
#else
    return ::isatty(STDERR_FILENO) == 1;
#endif
}

// One device being programmed: its own copy of the state, port, front end and run, so that
// several run side by side on one thread, each paced by its own line.
struct Station {
    Station(const AppState &loaded, const Target &t, const ViewOptions &options)
        : state(std::make_unique<AppState>(loaded)),
          control(line, QCoreApplication::applicationDirPath()), view(stderr, options),
          run(*state, control, view), target(t)
    {
        const QString device = t.device;
        control.setResolver([device](int) { return device; });
        state->ComPort = static_cast<std::int16_t>(t.port.device.isEmpty() ? t.port.number : 1);
    }

    std::unique_ptr<AppState> state;
    SerialLine line;
    PortControl control;
    TerminalRunView view;
    ProgrammingRun run;
    Target target;
    QElapsedTimer clock;
    std::optional<RunOutcome> outcome;
};

// The outcome in one line: the language file's words, then where, how much and how long.
void report(Station &s, RunOutcome outcome, const Settings &how)
{
    const bool quiet = how.quiet;
    const QString figures = QStringLiteral("%1: %2 of %3 bytes written, %4 frames resent, %5 s")
                                .arg(s.target.shown)
                                .arg(s.state->ProgressCount)
                                .arg(qint64(s.state->ImageEnd) + 1)
                                .arg(s.view.framesResent())
                                .arg(double(s.clock.elapsed()) / 1000, 0, 'f', 1) +
                            readBackNote(s.run, outcome, how.firstAddress);
    const OutcomeBox box = outcomeBox(outcome, *s.state, s.control);
    if (outcome == RunOutcome::Success) {
        if (!quiet)
            std::fprintf(stderr, "%s%s: %s %s\n", qPrintable(labelPrefix(s.view.label())),
                         qPrintable(box.title), qPrintable(box.text), qPrintable(figures));
        return;
    }
    QString text = box.text.section(QLatin1Char('\n'), 0, 0);
    const QString reason = s.control.lastFailure();
    if (outcome == RunOutcome::PortFailed && !reason.isEmpty())
        text += QStringLiteral(": ") + QString(reason).replace(QLatin1Char('\n'), QLatin1Char(' '));
    printError(text + QLatin1Char(' ') + figures, s.view.label());
}

// The first interrupt lets every run end its frame under way, a second ends them at once.
void interrupted(const std::vector<std::unique_ptr<Station>> &stations, int count)
{
    TerminalRunView &shown = stations.front()->view; // the only one with a bar, if any
    if (count > 1) {
        shown.printLine(linePrefix({}) + QStringLiteral("error: interrupted again: stopped at "
                                                        "once, a frame may be cut short"),
                        false);
        std::_Exit(kExitInterrupted);
    }
    shown.printLine(linePrefix({}) + QStringLiteral("warning: interrupted: stopping after the "
                                                    "frame under way (interrupt again to "
                                                    "stop at once)"),
                    false);
    for (const auto &s : stations)
        s->run.requestStop();
}

int programAll(const AppState &loaded, const std::vector<Target> &targets, const Settings &how)
{
    // Several bars cannot share one terminal line: with several ports every line is labelled.
    const bool gang = targets.size() > 1;
    std::vector<std::unique_ptr<Station>> stations;
    for (const Target &t : targets) {
        ViewOptions options;
        // A number labels its lines as the window names the port: COM7.
        if (gang)
            options.label = t.port.device.isEmpty() ? QStringLiteral("COM%1").arg(t.port.number)
                                                    : t.port.device;
        options.port = t.shown;
        options.interactive = stderrIsTerminal() && !gang;
        options.columns = terminalColumns();
        options.quiet = how.quiet;
        options.verbose = how.verbose;
        stations.push_back(std::make_unique<Station>(loaded, t, options));
        stations.back()->run.setVerify(how.verify);
    }
    std::size_t finished = 0;
    for (auto &station : stations) {
        Station *s = station.get();
        QObject::connect(&s->run, &ProgrammingRun::finished, [&, s](RunOutcome outcome) {
            s->outcome = outcome;
            report(*s, outcome, how);
            if (++finished == stations.size())
                QCoreApplication::exit();
        });
        s->clock.start();
        // Start from inside the event loop, so that an outcome that comes at once still ends it.
        QTimer::singleShot(0, &s->run, &ProgrammingRun::start);
    }
    const Interrupts interrupts([&stations](int count) { interrupted(stations, count); });
    QCoreApplication::exec();

    // The first port in the order given that did not succeed decides the status.
    int status = 0;
    int succeeded = 0;
    for (const auto &station : stations) {
        const int own = exitFor(station->outcome.value_or(RunOutcome::WriteFailed));
        succeeded += own == 0;
        if (status == 0)
            status = own;
    }
    if (gang && !how.quiet)
        std::fprintf(stderr, "nuvora-cli: %d of %zu devices programmed\n", succeeded,
                     stations.size());
    return status;
}

} // namespace

int runProgram(const QStringList &args)
{
    CommandParser parser("program", kProgramHelp);
    QCommandLineParser &qt = parser.qt();
    qt.addOption({{"p", "port"}, {}, "PORT"});
    qt.addOption({"lang", {}, "NAME", "English"});
    qt.addOption({"strict", {}});
    qt.addOption({{"q", "quiet"}, {}});
    qt.addOption({{"v", "verbose"}, {}});
    qt.addOption({"verify", {}});
    if (const auto done = parser.parse(args))
        return *done;
    const auto image = parser.onePositional("IMAGE");
    if (!image)
        return kExitUsage;
    const QStringList portTexts = qt.values("port");
    if (portTexts.isEmpty())
        return parser.usageError(QStringLiteral("missing --port PORT"));
    std::vector<Target> targets;
    if (const auto bad = resolvePorts(parser, portTexts, targets))
        return *bad;
    Settings how{*image, qt.isSet("strict"), qt.isSet("quiet"), qt.isSet("verbose")};
    how.verify = qt.isSet("verify");

    auto loaded = stateWithLanguage(qt.value("lang"), qt.isSet("lang"));
    if (warnAboutRecords(how.image) && how.strict) {
        printError(QStringLiteral("%1: bad records; nothing written (--strict)")
                       .arg(QDir::toNativeSeparators(how.image)));
        return kExitRejected;
    }
    TerminalPrompter prompter(stderr);
    if (const int status = loadImage(*loaded, how.image, prompter))
        return status;
    if (how.verify)
        how.firstAddress = SummariseImage(how.image, loaded->ImageEnd).firstAddress;
    return programAll(*loaded, targets, how);
}

} // namespace nuvora::cli
