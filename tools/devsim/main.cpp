// nuvora-devsim: plays the device on a pseudo-terminal until SIGINT or SIGTERM.
#include "DeviceSimulator.h"

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

const char kHelp[] =
    "usage: nuvora-devsim [OPTIONS]\n"
    "\n"
    "Simulates the device on a pseudo-terminal: a 64 KiB EEPROM erased to 0xFF, read frames\n"
    "answered from it, write frames stored and acknowledged. Prints the path of the terminal\n"
    "to open (one line on stdout) and runs until SIGINT or SIGTERM.\n"
    "\n"
    "line:\n"
    "  --baud N              pace the line like a UART at N baud (10 bits a byte each way);\n"
    "                        default: no pacing\n"
    "  --page-write-us N     EEPROM write time added before each write acknowledgement\n"
    "  --link PATH           create a symbolic link PATH to the terminal (e.g. bin/ports/COM7),\n"
    "                        and its folder if needed; the link is removed at exit\n"
    "  --load FILE           start with FILE's bytes in the EEPROM (rest 0xFF)\n"
    "  --dump FILE           write the 64 KiB EEPROM to FILE at exit (also on SIGINT/SIGTERM)\n"
    "\n"
    "faults:\n"
    "  --silent              never answer\n"
    "  --ignore-first N      no answer to the first N requests\n"
    "  --silent-after N      answer the first N requests, then no more\n"
    "  --late-ms M           answer every request M ms late\n"
    "  --bad-ack-first N     wrong acknowledgement for the first N write frames\n"
    "  --bad-ack-always      wrong acknowledgement for every write frame\n"
    "  --bad-read-checksum   read answers carry a wrong checksum\n"
    "  --stale K             send K junk bytes after every answer (stale input for the next one)\n"
    "  --hang-up-after N     close the line (as an unplugged device) after N requests\n"
    "\n"
    "  --help                this text\n";

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

int usageError(const std::string &message)
{
    std::fprintf(stderr, "nuvora-devsim: %s\n(nuvora-devsim --help lists the options)\n",
                 message.c_str());
    return 2;
}

} // namespace

int main(int argc, char **argv)
{
    SimOptions options;
    std::string linkPath, dumpPath, loadPath;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        auto number = [&](long min, long *out) {
            if (i + 1 >= argc)
                return false;
            return toInt(argv[++i], min, out);
        };
        auto text = [&](std::string *out) {
            if (i + 1 >= argc)
                return false;
            *out = argv[++i];
            return !out->empty();
        };
        long v = 0;
        if (arg == "--help" || arg == "-h") {
            std::fputs(kHelp, stdout);
            return 0;
        } else if (arg == "--baud") {
            if (!number(1, &v))
                return usageError("--baud needs a positive number");
            options.baud = static_cast<int>(v);
        } else if (arg == "--page-write-us") {
            if (!number(0, &v))
                return usageError("--page-write-us needs a number of microseconds");
            options.pageWriteTime = std::chrono::microseconds(v);
        } else if (arg == "--silent") {
            options.silent = true;
        } else if (arg == "--ignore-first") {
            if (!number(0, &v))
                return usageError("--ignore-first needs a count");
            options.ignoreFirst = static_cast<int>(v);
        } else if (arg == "--silent-after") {
            if (!number(0, &v))
                return usageError("--silent-after needs a count");
            options.silentAfter = static_cast<int>(v);
        } else if (arg == "--late-ms") {
            if (!number(0, &v))
                return usageError("--late-ms needs a number of milliseconds");
            options.lateBy = std::chrono::milliseconds(v);
        } else if (arg == "--bad-ack-first") {
            if (!number(0, &v))
                return usageError("--bad-ack-first needs a count");
            options.badAckFirst = static_cast<int>(v);
        } else if (arg == "--bad-ack-always") {
            options.badAckAlways = true;
        } else if (arg == "--bad-read-checksum") {
            options.badReadChecksum = true;
        } else if (arg == "--stale") {
            if (!number(0, &v))
                return usageError("--stale needs a count");
            options.staleBytes = static_cast<int>(v);
        } else if (arg == "--hang-up-after") {
            if (!number(0, &v))
                return usageError("--hang-up-after needs a count");
            options.hangUpAfter = static_cast<int>(v);
        } else if (arg == "--link") {
            if (!text(&linkPath))
                return usageError("--link needs a path");
        } else if (arg == "--dump") {
            if (!text(&dumpPath))
                return usageError("--dump needs a file name");
        } else if (arg == "--load") {
            if (!text(&loadPath))
                return usageError("--load needs a file name");
        } else {
            return usageError("unknown option '" + arg + "'");
        }
    }

    // The signals are taken by sigwait below; the simulator's thread inherits the mask.
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    sigaddset(&signals, SIGHUP);
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);

    DeviceSimulator sim(options);
    if (!loadPath.empty()) {
        std::ifstream in(loadPath, std::ios::binary);
        if (!in) {
            std::fprintf(stderr, "nuvora-devsim: cannot read %s: %s\n", loadPath.c_str(),
                         std::strerror(errno));
            return 1;
        }
        sim.setEeprom({std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()});
    }
    std::string error;
    if (!sim.start(&error)) {
        std::fprintf(stderr, "nuvora-devsim: %s\n", error.c_str());
        return 1;
    }
    if (!linkPath.empty()) {
        ::unlink(linkPath.c_str()); // a link left by an earlier run that was killed hard
        // A fresh program folder has no ports/ folder yet.
        std::error_code ignored;
        std::filesystem::create_directories(std::filesystem::path(linkPath).parent_path(),
                                            ignored);
        if (::symlink(sim.slavePath().c_str(), linkPath.c_str()) != 0) {
            std::fprintf(stderr, "nuvora-devsim: cannot create link %s: %s\n", linkPath.c_str(),
                         std::strerror(errno));
            return 1;
        }
    }
    std::printf("%s\n", sim.slavePath().c_str());
    std::fflush(stdout);

    int received = 0;
    sigwait(&signals, &received);
    sim.stop();

    int status = 0;
    if (!dumpPath.empty()) {
        const auto bytes = sim.eeprom();
        std::ofstream out(dumpPath, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char *>(bytes.data()),
                  static_cast<std::streamsize>(bytes.size()));
        out.close();
        if (!out) {
            std::fprintf(stderr, "nuvora-devsim: cannot write %s\n", dumpPath.c_str());
            status = 1;
        }
    }
    if (!linkPath.empty())
        ::unlink(linkPath.c_str());
    const auto stats = sim.stats();
    std::fprintf(stderr,
                 "nuvora-devsim: %d requests (%d reads, %d writes), %d answered, "
                 "%d stray bytes dropped%s\n",
                 stats.requests, stats.reads, stats.writes, stats.answered, stats.discardedBytes,
                 stats.hungUp ? ", hung up" : "");
    return status;
}
