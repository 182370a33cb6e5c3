// nuvora-cli: the terminal front end of Nuvora.
#include "Commands.h"

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
        {QStringLiteral("info"), {nuvora::cli::runInfo, "info IMAGE [--dump FILE] [--lang NAME]"}},
        {QStringLiteral("ports"),
         {nuvora::cli::runPorts,
          "ports [--folder DIR] [--sysfs ROOT] | --alias N DEVICE | --unalias N"}},
        {QStringLiteral("program"),
         {nuvora::cli::runProgram, "program IMAGE --port PORT [--lang NAME]"}},
    };
    return table;
}

int usage(std::FILE *to, int status)
{
    std::fprintf(to, "usage: nuvora-cli COMMAND [ARGS]\n\ncommands:\n");
    for (const auto &[name, command] : commands())
        std::fprintf(to, "  %s\n", command.usage);
    std::fprintf(to, "\nnuvora-cli COMMAND --help shows a command's own options.\n");
    return status;
}

} // namespace

int main(int argc, char **argv)
{
#ifdef SIGXFSZ
    // A file-size limit then fails the write, which is reported, instead of killing us.
    std::signal(SIGXFSZ, SIG_IGN);
#endif
    QCoreApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    if (args.isEmpty())
        return usage(stderr, 2);
    const QString name = args.takeFirst();
    if (name == QLatin1String("--help") || name == QLatin1String("-h"))
        return usage(stdout, 0);
    const auto found = commands().find(name);
    if (found == commands().end()) {
        std::fprintf(stderr, "nuvora-cli: unknown command '%s'\n", qPrintable(name));
        return usage(stderr, 2);
    }
    return found->second.run(args);
}
