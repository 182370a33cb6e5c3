// nuvora-cli program: the Start button on a terminal, with the same run the window uses.
#include "CommandLine.h"
#include "Commands.h"
#include "ContinuousStation.h"
#include "DeviceRun.h"
#include "Interrupts.h"
#include "RunLog.h"
#include "TerminalPrompter.h"

#include "base/AppState.h"
#include "image/ImageSummary.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <optional>
#include <vector>
#ifndef Q_OS_WIN
#include <sys/stat.h>
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
    "  --record FILE    append a line per device to FILE (JSON Lines): time (UTC), port,\n"
    "                   device, image, image_crc32, image_bytes, bytes, frames,\n"
    "                   frames_resent, outcome, status, seconds; FILE is created if missing\n"
    "  --continuous     a station left running: each port is probed once a second, a device\n"
    "                   that answers is programmed, then the port waits until that device\n"
    "                   is taken away; every outcome is followed by the running count\n"
    "                   (programmed N, failed M). Ctrl-C (or SIGTERM) ends it after the\n"
    "                   frame under way, with the count as the last line and status 0\n"
    "  --json           one JSON document on stdout: every port's result with the fields of\n"
    "                   a record, the devices programmed and the exit status; with\n"
    "                   --continuous a line per device (JSON Lines) as each is done\n"
    "  -q, --quiet      no progress and no notes: only warnings and failures\n"
    "  -v, --verbose    a line for every frame sent again, and why\n"
    "  -V, --version    print the version\n"
    "  -h, --help       show this text\n"
    "\n"
    "Ctrl-C (or SIGTERM) stops after the frame under way and reports what was written; a\n"
    "second Ctrl-C stops at once.\n"
    "\n"
    "exit status: 0 programmed, 2 usage error, 3 image rejected (no usable S2 data, or bad\n"
    "records with --strict), 4 image cannot be read, or the record file cannot be opened or\n"
    "written, 5 port will not open, 6 the device does not answer the probe, 7 a write frame\n"
    "was not acknowledged (the EEPROM holds part of the image; with --verify also: a read\n"
    "frame of the check was not answered), 8 the pages read back differ from the image\n"
    "(--verify), 130 interrupted (the EEPROM holds part of the image, or the check was not\n"
    "finished). With several ports: 0 when every device was programmed, else the status of\n"
    "the first port (in the order given) that was not.\n";

struct Settings {
    QString image;
    bool strict = false;
    bool quiet = false;
    bool verbose = false;
    bool verify = false;
    std::uint32_t firstAddress = 0; // the image's own address of image index 0
    bool continuous = false;
    bool json = false;
    QString record;
};

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

// The first interrupt lets every run end its frame under way, a second ends them at once.
void interrupted(const std::vector<std::unique_ptr<DeviceRun>> &stations, int count)
{
    // The first view is the only one with a bar, if any.
    stations.front()->view.printLine(interruptedText(count), false);
    if (count > 1)
        std::_Exit(kExitInterrupted);
    for (const auto &s : stations)
        s->run.requestStop();
}

int programAll(const AppState &loaded, const std::vector<Target> &targets, const Settings &how,
               RunLog &log)
{
    const bool gang = targets.size() > 1;
    std::vector<std::unique_ptr<DeviceRun>> stations;
    for (const Target &t : targets) {
        stations.push_back(
            std::make_unique<DeviceRun>(loaded, t, viewOptions(t, gang, how.quiet, how.verbose)));
        stations.back()->run.setVerify(how.verify);
    }
    std::size_t finished = 0;
    for (auto &station : stations) {
        DeviceRun *s = station.get();
        QObject::connect(&s->run, &ProgrammingRun::finished, [&, s](RunOutcome outcome) {
            s->end(outcome);
            report(*s, outcome, how.quiet, how.firstAddress);
            if (++finished == stations.size())
                QCoreApplication::exit();
        });
        s->begin();
    }
    const Interrupts interrupts([&stations](int count) { interrupted(stations, count); });
    QCoreApplication::exec();

    // The first port in the order given that did not succeed decides the status.
    int status = 0;
    int succeeded = 0;
    bool recorded = true;
    for (const auto &station : stations) {
        const RunOutcome outcome = station->outcome.value_or(RunOutcome::WriteFailed);
        const int own = exitFor(outcome);
        succeeded += own == 0;
        if (status == 0)
            status = own;
        recorded = log.add(recordOf(*station, outcome, log.image())) && recorded;
    }
    // A run the factory's records do not show must not pass for a success.
    if (!recorded && status == 0)
        status = kExitImageError;
    if (gang && !how.quiet)
        std::fprintf(stderr, "nuvora-cli: %d of %zu devices programmed\n", succeeded,
                     stations.size());
    log.finish(status);
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
    qt.addOption({"continuous", {}});
    qt.addOption({"record", {}, "FILE"});
    qt.addOption({"json", {}});
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
    Settings how;
    how.image = *image;
    how.strict = qt.isSet("strict");
    how.quiet = qt.isSet("quiet");
    how.verbose = qt.isSet("verbose");
    how.verify = qt.isSet("verify");
    how.continuous = qt.isSet("continuous");
    how.json = qt.isSet("json");
    how.record = qt.value("record");

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
    using Json = RunLog::Json;
    const Json json = how.continuous ? Json::Lines : Json::Document;
    RunLog log(*loaded, how.image, how.json ? json : Json::None);
    if (!how.record.isEmpty() && !log.openRecordFile(how.record))
        return kExitImageError;
    if (how.continuous)
        return runStation(*loaded, targets, {how.quiet, how.verbose, how.verify, how.firstAddress},
                          log);
    return programAll(*loaded, targets, how, log);
}

} // namespace nuvora::cli
