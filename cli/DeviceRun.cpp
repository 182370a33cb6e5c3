#include "DeviceRun.h"

#include "CommandLine.h"
#include "ReadBackText.h"

#include "commands/StartCommand.h"
#include "transfer/FrameProtocol.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QTimer>

#include <cstdio>
#ifdef Q_OS_WIN
#include <io.h>
#else
#include <sys/ioctl.h>
#include <unistd.h>
#endif

namespace nuvora::cli {

namespace {

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

// A word a factory system can match, for each way a run ends.
QString outcomeWord(RunOutcome outcome)
{
    switch (outcome) {
    case RunOutcome::Success:
        return QStringLiteral("programmed");
    case RunOutcome::PortFailed:
        return QStringLiteral("port-failed");
    case RunOutcome::ProbeFailed:
        return QStringLiteral("no-answer");
    case RunOutcome::WriteFailed:
        return QStringLiteral("write-failed");
    case RunOutcome::Interrupted:
        return QStringLiteral("interrupted");
    case RunOutcome::VerifyFailed:
        return QStringLiteral("verify-failed");
    case RunOutcome::ReadBackFailed:
        return QStringLiteral("read-failed");
    }
    return QStringLiteral("write-failed");
}

} // namespace

Target resolve(const QString &text, const PortArgument &port, const QString &programFolder)
{
    Target t{text, port, port.device, {}, {}, {}};
    if (t.device.isEmpty())
        t.device = PortDevice(port.number, programFolder);
    const QString real = QFileInfo(t.device).canonicalFilePath();
    t.path = QDir::toNativeSeparators(real.isEmpty() ? t.device : real);
    // A number labels its lines as the window names the port: COM7.
    t.name = port.device.isEmpty() ? QStringLiteral("COM%1").arg(port.number) : port.device;
    if (port.device.isEmpty())
        t.shown = QStringLiteral("COM%1 (%2)").arg(port.number).arg(t.path);
    else
        t.shown =
            t.path == port.device ? t.path : QStringLiteral("%1 (%2)").arg(port.device, t.path);
    return t;
}

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

ViewOptions viewOptions(const Target &t, bool gang, bool quiet, bool verbose)
{
    ViewOptions options;
    // Several bars cannot share one terminal line: with several ports every line is labelled.
    if (gang)
        options.label = t.name;
    options.port = t.shown;
    options.interactive = stderrIsTerminal() && !gang;
    options.columns = terminalColumns();
    options.quiet = quiet;
    options.verbose = verbose;
    return options;
}

DeviceRun::DeviceRun(const AppState &loaded, const Target &t, const ViewOptions &options)
    : state(std::make_unique<AppState>(loaded)),
      control(line, QCoreApplication::applicationDirPath()), view(stderr, options),
      run(*state, control, view), target(t)
{
    const QString device = t.device;
    control.setResolver([device](int) { return device; });
    state->ComPort = static_cast<std::int16_t>(t.port.device.isEmpty() ? t.port.number : 1);
}

void DeviceRun::begin()
{
    began = QDateTime::currentDateTimeUtc();
    clock.start();
    QTimer::singleShot(0, &run, &ProgrammingRun::start);
}

void DeviceRun::end(RunOutcome result)
{
    outcome = result;
    tookNs = clock.nsecsElapsed();
}

void report(DeviceRun &s, RunOutcome outcome, bool quiet, std::uint32_t firstAddress)
{
    const QString figures = QStringLiteral("%1: %2 of %3 bytes written, %4 frames resent, %5 s")
                                .arg(s.target.shown)
                                .arg(s.state->ProgressCount)
                                .arg(qint64(s.state->ImageEnd) + 1)
                                .arg(s.view.framesResent())
                                .arg(double(s.tookNs) / 1e9, 0, 'f', 1) +
                            readBackNote(s.run, outcome, firstAddress);
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

RunRecord recordOf(const DeviceRun &s, RunOutcome outcome, RunRecord image)
{
    RunRecord r = std::move(image);
    r.time = s.began;
    r.port = s.target.name;
    r.device = s.target.path;
    r.bytes = s.state->ProgressCount;
    // Every write frame acknowledged moved one page, the last perhaps only in part.
    r.frames = int((r.bytes + protocol::kPageBytes - 1) / protocol::kPageBytes);
    r.framesResent = s.view.framesResent();
    r.outcome = outcomeWord(outcome);
    r.status = exitFor(outcome);
    r.seconds = double(s.tookNs) / 1e9;
    return r;
}

} // namespace nuvora::cli
