#include "CommandLine.h"

#include "commands/LoadCommands.h"
#include "lang/LangTable.h"

#include <QCoreApplication>

#include <cstdio>

namespace nuvora::cli {

std::optional<int> parseArguments(const char *command, const QStringList &args,
                                  const char *help, const std::vector<ValueOption> &options,
                                  QString *positional)
{
    for (int i = 0; i < args.size(); ++i) {
        const QString &a = args.at(i);
        if (a == QLatin1String("--help") || a == QLatin1String("-h")) {
            std::fputs(help, stdout);
            return 0;
        }
        const ValueOption *option = nullptr;
        for (const ValueOption &o : options) {
            if (a == QLatin1String(o.name))
                option = &o;
        }
        if (option) {
            if (i + 1 >= args.size()) {
                std::fprintf(stderr, "nuvora-cli %s: %s needs %s\n", command, option->name,
                             option->what);
                return kExitUsage;
            }
            if (option->values)
                option->values->append(args.at(++i));
            else
                *option->value = args.at(++i);
        } else if (a.startsWith(QLatin1Char('-')) && a.size() > 1) {
            std::fprintf(stderr, "nuvora-cli %s: unknown option '%s'\n", command, qPrintable(a));
            return kExitUsage;
        } else if (!positional) {
            std::fprintf(stderr, "nuvora-cli %s: unknown argument '%s'\n", command,
                         qPrintable(a));
            return kExitUsage;
        } else if (positional->isEmpty()) {
            *positional = a;
        } else {
            std::fprintf(stderr, "nuvora-cli %s: only one IMAGE, got '%s' too\n", command,
                         qPrintable(a));
            return kExitUsage;
        }
    }
    return std::nullopt;
}

std::unique_ptr<AppState> stateWithLanguage(const QString &language)
{
    auto state = std::make_unique<AppState>();
    // The words used when the language file cannot be read.
    state->LangText[8] = QStringLiteral("Nuvora - EEPROM image");
    state->LangText[9] = QStringLiteral("The device does not answer.");
    state->LangText[10] = QStringLiteral("Writing stopped: the device did not confirm a block.");
    state->LangText[16] = QStringLiteral("The file holds no usable S-record data.");
    state->LangText[18] = QStringLiteral("Programming complete");
    state->LangText[19] = QStringLiteral("The whole image has been written to the EEPROM.");
    state->LanguageName = language;
    LoadLanguage(*state, QCoreApplication::applicationDirPath());
    return state;
}

int loadImage(const char *command, AppState &state, const QString &image, Prompter &prompter)
{
    const LoadOutcome outcome = LoadImageFile(state, image, prompter);
    if (outcome.kind == LoadOutcome::Kind::Rejected)
        return kExitRejected;
    if (outcome.kind == LoadOutcome::Kind::Error) {
        std::fprintf(stderr, "nuvora-cli %s: error %d: %s\n", command, outcome.error,
                     qPrintable(outcome.reason));
        return kExitImageError;
    }
    return 0;
}

} // namespace nuvora::cli
