// nuvora-cli program: the Start button on a terminal, with the same run the window uses.
#include "CommandLine.h"
#include "Commands.h"
#include "TerminalPrompter.h"
#include "TerminalRunView.h"

#include "serial/PortControl.h"
#include "serial/PortNames.h"
#include "serial/SerialLine.h"
#include "base/AppState.h"
#include "commands/StartCommand.h"

#include <QCoreApplication>
#include <QTimer>

#include <cstdio>
#include <memory>
#include <optional>
#include <vector>
#ifdef Q_OS_WIN
#include <io.h>
#else
#include <unistd.h>
#endif

namespace nuvora::cli {

namespace {

constexpr int kExitPort = 5;
constexpr int kExitNoDevice = 6;
constexpr int kExitWriteFailed = 7;

const char kProgramHelp[] =
    "usage: nuvora-cli program IMAGE --port PORT [--port PORT...] [--lang NAME]\n"
    "\n"
    "Writes IMAGE (Motorola S-records, S2 data records) into the device's EEPROM exactly as\n"
    "the window's Start button does: the device is probed, then the image goes out in\n"
    "acknowledged 16-byte write frames. Progress goes to stderr: a bar on a terminal, plain\n"
    "lines otherwise. The outcome is worded by the language file.\n"
    "\n"
    "  --port PORT   a port number (7), a Windows name (COM7) or a device path (/dev/ttyUSB0);\n"
    "                numbers map to ports/COMn beside this program if that link exists, else\n"
    "                /dev/ttyS(n-1) for 1 to 4 and /dev/ttyUSB(n-5) from 5 on. Given more\n"
    "                than once, the devices on those ports are programmed at the same time,\n"
    "                every line labelled with its port, and a summary line ends the run\n"
    "  --lang NAME   word the messages from NAME.lng beside this program (default English;\n"
    "                built-in English when the file cannot be read)\n"
    "  --help        show this text\n"
    "\n"
    "exit status: 0 programmed, 2 usage error, 3 image rejected (no usable S2 data),\n"
    "4 image cannot be read, 5 port will not open, 6 the device does not answer the probe,\n"
    "7 a write frame was not acknowledged (the EEPROM holds part of the image). With several\n"
    "ports: 0 when every device was programmed, else the status of the first port (in the\n"
    "order given) that was not.\n";

// The outcome boxes, each on a line of its own below the progress bar.
class BelowBarPrompter : public Prompter {
public:
    BelowBarPrompter(Prompter &inner, TerminalRunView &view) : m_inner(inner), m_view(view) {}
    void message(const QString &text, int style, const QString &title) override
    {
        m_view.endLine();
        m_inner.message(text, style, title);
    }
    OpenFileAnswer openFile(const OpenFileOptions &options) override
    {
        return m_inner.openFile(options);
    }

private:
    Prompter &m_inner;
    TerminalRunView &m_view;
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
    }
    return kExitWriteFailed;
}

// One device being programmed: its own copy of the state, port, front end and run, so that
// several run side by side on one thread, each paced by its own line.
struct Station {
    Station(const AppState &loaded, const PortArgument &port, const QString &programFolder,
            const QString &label, bool interactive)
        : state(std::make_unique<AppState>(loaded)), prompter(stderr, label),
          control(line, programFolder), view(stderr, interactive, label),
          runPrompter(prompter, view), run(*state, control, view)
    {
        ShowOutcomeBoxes(run, *state, control, runPrompter);
        if (!port.device.isEmpty()) {
            const QString device = port.device;
            control.setResolver([device](int) { return device; });
            state->ComPort = 1; // any valid number: the resolver names the device
        } else {
            state->ComPort = static_cast<std::int16_t>(port.number);
        }
    }

    std::unique_ptr<AppState> state;
    SerialLine line;
    TerminalPrompter prompter;
    PortControl control;
    TerminalRunView view;
    BelowBarPrompter runPrompter;
    ProgrammingRun run;
    std::optional<RunOutcome> outcome;
};

} // namespace

int runProgram(const QStringList &args)
{
    QString image;
    QStringList portTexts;
    QString language = QStringLiteral("English");
    if (const auto done = parseArguments("program", args, kProgramHelp,
                                         {{"--port", "a value", nullptr, &portTexts},
                                          {"--lang", "a value", &language}},
                                         &image))
        return *done;
    if (image.isEmpty() || portTexts.isEmpty()) {
        std::fputs(kProgramHelp, stderr);
        return kExitUsage;
    }
    const QString programFolder = QCoreApplication::applicationDirPath();
    std::vector<PortArgument> ports;
    QStringList devices;
    for (const QString &text : portTexts) {
        const PortArgument port = ParsePortArgument(text);
        if (!port.valid) {
            std::fprintf(stderr, "nuvora-cli program: --port: %s\n", qPrintable(port.error));
            return kExitUsage;
        }
        const QString device =
            port.device.isEmpty() ? PortDevice(port.number, programFolder) : port.device;
        if (devices.contains(device)) {
            std::fprintf(stderr, "nuvora-cli program: --port: %s is named twice\n",
                         qPrintable(text));
            return kExitUsage;
        }
        devices << device;
        ports.push_back(port);
    }

    auto loaded = stateWithLanguage(language);
    TerminalPrompter prompter(stderr);
    if (const int status = loadImage("program", *loaded, image, prompter))
        return status;

#ifdef Q_OS_WIN
    const bool terminal = _isatty(_fileno(stderr)) != 0;
#else
    const bool terminal = ::isatty(STDERR_FILENO) == 1;
#endif
    // Several bars cannot share one terminal line: with several ports every line is labelled.
    const bool gang = ports.size() > 1;
    std::vector<std::unique_ptr<Station>> stations;
    for (std::size_t i = 0; i < ports.size(); ++i)
        stations.push_back(std::make_unique<Station>(*loaded, ports[i], programFolder,
                                                     gang ? portTexts[qsizetype(i)] : QString(),
                                                     terminal && !gang));
    std::size_t finished = 0;
    for (auto &station : stations) {
        Station *s = station.get();
        QObject::connect(&s->run, &ProgrammingRun::finished, [&, s](RunOutcome outcome) {
            // The box already carries the reasons an operator can act on; the others follow.
            if (outcome == RunOutcome::PortFailed && !s->control.reasonActionable()
                && !s->control.lastFailure().isEmpty())
                std::fprintf(stderr, "nuvora-cli program: %s%s\n",
                             qPrintable(labelPrefix(s->view.label())),
                             qPrintable(s->control.lastFailure()));
            s->outcome = outcome;
            if (++finished == stations.size())
                QCoreApplication::exit();
        });
        // Start from inside the event loop, so that an outcome that comes at once still ends it.
        QTimer::singleShot(0, &s->run, &ProgrammingRun::start);
    }
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
    if (gang)
        std::fprintf(stderr, "nuvora-cli program: %d of %zu devices programmed\n", succeeded,
                     stations.size());
    return status;
}

} // namespace nuvora::cli
