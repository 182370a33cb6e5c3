// nuvora-cli program: the Start button on a terminal, with the same run the window uses.
#include "CommandLine.h"
#include "Commands.h"
#include "TerminalPrompter.h"
#include "TerminalRunView.h"

#include "serial/PortControl.h"
#include "serial/PortNames.h"
#include "serial/SerialLine.h"
#include "state/AppState.h"
#include "transfer/ProgrammingRun.h"

#include <QCoreApplication>
#include <QTimer>

#include <cstdio>
#include <memory>
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
    "usage: nuvora-cli program IMAGE --port PORT [--lang NAME]\n"
    "\n"
    "Writes IMAGE (Motorola S-records, S2 data records) into the device's EEPROM exactly as\n"
    "the window's Start button does: the device is probed, then the image goes out in\n"
    "acknowledged 16-byte write frames. Progress goes to stderr: a bar on a terminal, plain\n"
    "lines otherwise. The outcome is worded by the language file.\n"
    "\n"
    "  --port PORT   a port number (7), a Windows name (COM7) or a device path (/dev/ttyUSB0);\n"
    "                numbers map to ports/COMn beside this program if that link exists, else\n"
    "                /dev/ttyS(n-1) for 1 to 4 and /dev/ttyUSB(n-5) from 5 on\n"
    "  --lang NAME   word the messages from NAME.lng beside this program (default English;\n"
    "                built-in English when the file cannot be read)\n"
    "  --help        show this text\n"
    "\n"
    "exit status: 0 programmed, 2 usage error, 3 image rejected (no usable S2 data),\n"
    "4 image cannot be read, 5 port will not open, 6 the device does not answer the probe,\n"
    "7 a write frame was not acknowledged (the EEPROM holds part of the image).\n";

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

} // namespace

int runProgram(const QStringList &args)
{
    QString image;
    QString portText;
    QString language = QStringLiteral("English");
    if (const auto done = parseArguments("program", args, kProgramHelp,
                                         {{"--port", "a value", &portText},
                                          {"--lang", "a value", &language}},
                                         &image))
        return *done;
    if (image.isEmpty() || portText.isEmpty()) {
        std::fputs(kProgramHelp, stderr);
        return kExitUsage;
    }
    const PortArgument port = ParsePortArgument(portText);
    if (!port.valid) {
        std::fprintf(stderr, "nuvora-cli program: --port: %s\n", qPrintable(port.error));
        return kExitUsage;
    }

    const QString programFolder = QCoreApplication::applicationDirPath();
    auto state = stateWithLanguage(language);
    TerminalPrompter prompter(stderr);
    if (const int status = loadImage("program", *state, image, prompter))
        return status;

    SerialLine line;
    PortControl control(line, prompter, programFolder);
    if (!port.device.isEmpty()) {
        const QString device = port.device;
        control.setResolver([device](int) { return device; });
        state->ComPort = 1; // any valid number: the resolver names the device
    } else {
        state->ComPort = static_cast<std::int16_t>(port.number);
    }

#ifdef Q_OS_WIN
    const bool interactive = _isatty(_fileno(stderr)) != 0;
#else
    const bool interactive = ::isatty(STDERR_FILENO) == 1;
#endif
    TerminalRunView view(stderr, interactive);
    BelowBarPrompter runPrompter(prompter, view);
    ProgrammingRun run(*state, control, view, runPrompter);
    int status = kExitWriteFailed;
    QObject::connect(&run, &ProgrammingRun::finished, [&](RunOutcome outcome) {
        // The box already carries the reasons an operator can act on; the others follow here.
        const bool reasonShown = !control.withReason(QString()).isEmpty();
        if (outcome == RunOutcome::PortFailed && !reasonShown && !control.lastFailure().isEmpty())
            std::fprintf(stderr, "nuvora-cli program: %s\n", qPrintable(control.lastFailure()));
        status = exitFor(outcome);
        QCoreApplication::exit(status);
    });
    // Start from inside the event loop, so that an outcome that comes at once still ends it.
    QTimer::singleShot(0, &run, &ProgrammingRun::Command1_Click);
    QCoreApplication::exec();
    return status;
}

} // namespace nuvora::cli
