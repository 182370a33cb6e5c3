// nuvora-devsim: plays the device on a pseudo-terminal until SIGINT or SIGTERM.
#include "DeviceSimulator.h"

#include "base/VersionText.h"

#include <QCommandLineParser>
#include <QStringList>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

using nuvora::devsim::DeviceSimulator;
using nuvora::devsim::SimOptions;

namespace {

struct Settings {
    SimOptions sim;
    std::string linkPath, dumpPath, loadPath;
};

enum class Takes { Nothing, Number, Text };

// One command-line option: how it is spelled, what it takes, its help and what it sets.
struct Option {
    const char *heading; // starts a group in the help text
    const char *name;
    Takes takes;
    const char *argument; // its name in the help text
    long min;             // the least number it takes
    const char *help;     // lines after the first are indented under it
    void (*set)(Settings &, long number, const char *text);
};

const Option kOptions[] = {
    {"line", "--baud", Takes::Number, "N", 1,
     "pace the line like a UART at N baud (10 bits a byte each way);\ndefault: no pacing",
     [](Settings &s, long v, const char *) { s.sim.baud = int(v); }},
    {nullptr, "--no-spin", Takes::Nothing, "", 0,
     "on a paced line, sleep rather than spin while waiting for the\nhost (many simulators "
     "on few cores)",
     [](Settings &s, long, const char *) { s.sim.listenSpin = false; }},
    {nullptr, "--page-write-us", Takes::Number, "N", 0,
     "EEPROM write time added before each write acknowledgement",
     [](Settings &s, long v, const char *) { s.sim.pageWriteTime = std::chrono::microseconds(v); }},
    {nullptr, "--link", Takes::Text, "PATH", 0,
     "create a symbolic link PATH to the terminal (e.g. bin/ports/COM7),\nand its folder if "
     "needed; the link is removed at exit",
     [](Settings &s, long, const char *t) { s.linkPath = t; }},
    {nullptr, "--load", Takes::Text, "FILE", 0, "start with FILE's bytes in the EEPROM (rest 0xFF)",
     [](Settings &s, long, const char *t) { s.loadPath = t; }},
    {nullptr, "--dump", Takes::Text, "FILE", 0,
     "write the 64 KiB EEPROM to FILE at exit (also on SIGINT/SIGTERM)",
     [](Settings &s, long, const char *t) { s.dumpPath = t; }},
    {"faults", "--fault-at", Takes::Number, "N", 1,
     "the faults below strike from request N on (1: the first), and\ntheir counts start there",
     [](Settings &s, long v, const char *) { s.sim.faultAt = int(v); }},
    {nullptr, "--silent", Takes::Nothing, "", 0, "never answer",
     [](Settings &s, long, const char *) { s.sim.silent = true; }},
    {nullptr, "--ignore-first", Takes::Number, "N", 0, "no answer to the first N requests",
     [](Settings &s, long v, const char *) { s.sim.ignoreFirst = int(v); }},
    {nullptr, "--silent-after", Takes::Number, "N", 0, "answer the first N requests, then no more",
     [](Settings &s, long v, const char *) { s.sim.silentAfter = int(v); }},
    {nullptr, "--late-ms", Takes::Number, "M", 0,
     "answer every request M ms late; a request that comes meanwhile\nsupersedes the answer",
     [](Settings &s, long v, const char *) { s.sim.lateBy = std::chrono::milliseconds(v); }},
    {nullptr, "--short-first", Takes::Number, "N", 0,
     "the first N answers lose their last byte (a read answer of two\nbytes comes as one)",
     [](Settings &s, long v, const char *) { s.sim.shortFirst = int(v); }},
    {nullptr, "--bad-ack-first", Takes::Number, "N", 0,
     "wrong acknowledgement for the first N write frames",
     [](Settings &s, long v, const char *) { s.sim.badAckFirst = int(v); }},
    {nullptr, "--bad-ack-always", Takes::Nothing, "", 0,
     "wrong acknowledgement for every write frame",
     [](Settings &s, long, const char *) { s.sim.badAckAlways = true; }},
    {nullptr, "--bad-read-checksum", Takes::Nothing, "", 0, "read answers carry a wrong checksum",
     [](Settings &s, long, const char *) { s.sim.badReadChecksum = true; }},
    {nullptr, "--stale", Takes::Number, "K", 0,
     "send K junk bytes after every answer (stale input for the next one)",
     [](Settings &s, long v, const char *) { s.sim.staleBytes = int(v); }},
    {nullptr, "--hang-up-after", Takes::Number, "N", 0,
     "close the line (as an unplugged device) after N requests",
     [](Settings &s, long v, const char *) { s.sim.hangUpAfter = int(v); }},
    {nullptr, "--corrupt", Takes::Number, "ADDR", 0,
     "the byte written at device address ADDR (decimal) is stored\ninverted, though the write "
     "is acknowledged (from the first request)",
     [](Settings &s, long v, const char *) { s.sim.corruptAt = int(v); }},
    {nullptr, "--corrupt-count", Takes::Number, "N", 0,
     "with --corrupt: N bytes from ADDR on are stored inverted (default 1)",
     [](Settings &s, long v, const char *) { s.sim.corruptCount = int(v); }},
};

const char kAbout[] =
    "usage: nuvora-devsim [OPTIONS]\n"
    "\n"
    "Simulates the device on a pseudo-terminal: a 64 KiB EEPROM erased to 0xFF, read frames\n"
    "answered from it, write frames stored and acknowledged. Prints the path of the terminal\n"
    "to open (one line on stdout) and runs until SIGINT or SIGTERM.\n";

void printHelp()
{
    std::fputs(kAbout, stdout);
    constexpr int kHelpColumn = 24;
    for (const Option &o : kOptions) {
        if (o.heading)
            std::printf("\n%s:\n", o.heading);
        const std::string spelled = std::string(o.name) + (*o.argument ? " " : "") + o.argument;
        std::printf("  %-*s", kHelpColumn - 2, spelled.c_str());
        for (const char *c = o.help; *c; ++c) {
            std::putchar(*c);
            if (*c == '\n')
                std::printf("%*s", kHelpColumn, "");
        }
        std::putchar('\n');
    }
    std::printf("\n  %-*s%s\n", kHelpColumn - 2, "-V, --version", "print the version");
    std::printf("  %-*s%s\n", kHelpColumn - 2, "-h, --help", "this text");
}

bool toInt(const char *text, long min, long *out)
{
    char *end = nullptr;
    errno = 0;
    const long v = std::strtol(text, &end, 10);
    if (errno != 0 || end == text || *end != '\0' || v < min || v > 1'000'000'000L)
        return false;
    *out = v;
    return true;
}

// The option's argument checked: a number in its range, a text not empty.
bool acceptable(const Option &o, const char *value, long *number)
{
    switch (o.takes) {
    case Takes::Nothing:
        return true;
    case Takes::Number:
        return value && toInt(value, o.min, number);
    case Takes::Text:
        return value && *value;
    }
    return false;
}

int usageError(const std::string &message)
{
    std::fprintf(stderr, "nuvora-devsim: error: %s\ntry 'nuvora-devsim --help'\n", message.c_str());
    return 2;
}

// Fills `settings` from the command line (the GNU forms: --baud=N, --); -1 when the program
// goes on, else its exit status.
int parseArguments(int argc, char **argv, Settings &settings)
{
    QCommandLineParser parser;
    parser.addOption({{"h", "help"}, {}});
    parser.addOption({{"V", "version"}, {}});
    for (const Option &o : kOptions)
        parser.addOption({o.name + 2, {}, o.takes == Takes::Nothing ? "" : o.argument});
    QStringList args;
    for (int i = 0; i < argc; ++i)
        args << QString::fromLocal8Bit(argv[i]);
    if (!parser.parse(args))
        return usageError(parser.errorText().toStdString());
    if (parser.isSet("help")) {
        printHelp();
        return 0;
    }
    if (parser.isSet("version")) {
        std::printf("%s\n", qPrintable(nuvora::versionLine("nuvora-devsim")));
        return 0;
    }
    if (!parser.positionalArguments().isEmpty())
        return usageError("unexpected argument '" +
                          parser.positionalArguments().first().toStdString() + "'");
    for (const Option &o : kOptions) {
        if (!parser.isSet(o.name + 2))
            continue;
        const QByteArray value = parser.value(o.name + 2).toLocal8Bit();
        long number = 0;
        if (!acceptable(o, value.constData(), &number))
            return usageError(std::string(o.name) + " needs " + o.argument +
                              (o.takes == Takes::Number
                                   ? ", a whole number from " + std::to_string(o.min)
                                   : std::string()));
        o.set(settings, number, value.constData());
    }
    return -1;
}

bool loadEeprom(DeviceSimulator &sim, const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        std::fprintf(stderr, "nuvora-devsim: cannot read %s: %s\n", path.c_str(),
                     std::strerror(errno));
        return false;
    }
    sim.setEeprom({std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()});
    return true;
}

bool makeLink(const DeviceSimulator &sim, const std::string &path)
{
    ::unlink(path.c_str()); // a link left by an earlier run that was killed hard
    // A fresh program folder has no ports/ folder yet.
    std::error_code ignored;
    std::filesystem::create_directories(std::filesystem::path(path).parent_path(), ignored);
    if (::symlink(sim.slavePath().c_str(), path.c_str()) != 0) {
        std::fprintf(stderr, "nuvora-devsim: cannot create link %s: %s\n", path.c_str(),
                     std::strerror(errno));
        return false;
    }
    return true;
}

bool dumpEeprom(const DeviceSimulator &sim, const std::string &path)
{
    const auto bytes = sim.eeprom();
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char *>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out)
        std::fprintf(stderr, "nuvora-devsim: cannot write %s\n", path.c_str());
    return bool(out);
}

void report(const DeviceSimulator &sim)
{
    const auto stats = sim.stats();
    std::fprintf(stderr,
                 "nuvora-devsim: %d requests (%d reads, %d writes), %d answered, "
                 "%d stray bytes dropped%s\n",
                 stats.requests, stats.reads, stats.writes, stats.answered, stats.discardedBytes,
                 stats.hungUp ? ", hung up" : "");
}

} // namespace

int main(int argc, char **argv)
{
    Settings settings;
    const int status = parseArguments(argc, argv, settings);
    if (status >= 0)
        return status;

    // The signals are taken by sigwait below; the simulator's thread inherits the mask.
    sigset_t stop;
    sigemptyset(&stop);
    sigaddset(&stop, SIGINT);
    sigaddset(&stop, SIGTERM);
    sigaddset(&stop, SIGHUP);
    pthread_sigmask(SIG_BLOCK, &stop, nullptr);

    DeviceSimulator sim(settings.sim);
    if (!settings.loadPath.empty() && !loadEeprom(sim, settings.loadPath))
        return 1;
    std::string error;
    if (!sim.start(&error)) {
        std::fprintf(stderr, "nuvora-devsim: %s\n", error.c_str());
        return 1;
    }
    if (!settings.linkPath.empty() && !makeLink(sim, settings.linkPath))
        return 1;
    std::printf("%s\n", sim.slavePath().c_str());
    std::fflush(stdout);

    int received = 0;
    sigwait(&stop, &received);
    sim.stop();

    const bool dumped = settings.dumpPath.empty() || dumpEeprom(sim, settings.dumpPath);
    if (!settings.linkPath.empty())
        ::unlink(settings.linkPath.c_str());
    report(sim);
    return dumped ? 0 : 1;
}
