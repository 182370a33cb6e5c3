// nuvora-cli: the terminal front end of Nuvora.
#include "CommandLine.h"
#include "Commands.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QStringList>

#include <csignal>
#include <cstdio>
#include <functional>
#include <map>

namespace {

struct Command {
    std::function<int(const QStringList &)> run;
    const char *usage;
};

const std::map<QString, Command> &commands()
{
    static const std::map<QString, Command> table = {
        {QStringLiteral("info"), {nuvora::cli::runInfo, "info [--dump FILE] [--lang NAME] IMAGE"}},
        {QStringLiteral("ports"),
         {nuvora::cli::runPorts,
          "ports [--folder DIR] [--sysfs ROOT] | --alias N DEVICE | --unalias N"}},
        {QStringLiteral("program"),
         {nuvora::cli::runProgram,
          "program [--lang NAME] [--strict] [--verify] IMAGE --port PORT..."}},
        {QStringLiteral("read"),
         {nuvora::cli::runRead, "read --port PORT [--start A] --length N -o FILE"}},
    };
    return table;
}

int usage(std::FILE *to, int status)
{
    std::fprintf(to, "usage: nuvora-cli COMMAND [OPTIONS] [ARGS]\n\ncommands:\n");
    for (const auto &[name, command] : commands())
        std::fprintf(to, "  %s\n", command.usage);
    std::fprintf(to, "\n  -V, --version  print the version\n  -h, --help     show this text\n"
                     "\nnuvora-cli COMMAND --help shows a command's own options and exit "
                     "statuses.\n");
    return status;
}

int usageError(const QString &what)
{
    nuvora::cli::printError(what);
    std::fputs("try 'nuvora-cli --help'\n", stderr);
    return nuvora::cli::kExitUsage;
}

} // namespace

int main(int argc, char **argv)
{
#ifdef SIGXFSZ
    // A file-size limit then fails the write, which is reported, instead of killing us.
    std::signal(SIGXFSZ, SIG_IGN);
#endif
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    // Everything after the command belongs to it, options included.
    parser.setOptionsAfterPositionalArgumentsMode(QCommandLineParser::ParseAsPositionalArguments);
    parser.addOption({{QStringLiteral("h"), QStringLiteral("help")}, {}});
    parser.addOption({{QStringLiteral("V"), QStringLiteral("version")}, {}});
    if (!parser.parse(app.arguments()))
        return usageError(parser.errorText());
    if (parser.isSet(QStringLiteral("help")))
        return usage(stdout, 0);
    if (parser.isSet(QStringLiteral("version")))
        return nuvora::cli::printVersion("nuvora-cli");
    QStringList args = parser.positionalArguments();
    if (args.isEmpty())
        return usageError(QStringLiteral("missing COMMAND (info, ports, program or read)"));
    const QString name = args.takeFirst();
    const auto found = commands().find(name);
    if (found == commands().end())
        return usageError(QStringLiteral("unknown command '%1'").arg(name));
    return found->second.run(args);
}
