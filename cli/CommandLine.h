#pragma once

#include "base/AppState.h"

#include <QCommandLineParser>
#include <QString>
#include <QStringList>

#include <cstdio>
#include <memory>
#include <optional>

namespace nuvora {
class Prompter;
}

namespace nuvora::cli {

// Exit statuses shared by every subcommand.
constexpr int kExitUsage = 2;
constexpr int kExitRejected = 3;
constexpr int kExitImageError = 4;
constexpr int kExitPort = 5;
constexpr int kExitNoDevice = 6;
constexpr int kExitWriteFailed = 7;
constexpr int kExitVerifyFailed = 8;
constexpr int kExitInterrupted = 130; // as a shell reports a program ended by Ctrl-C

// "LABEL: " for a labelled line (a port in a gang), "nuvora-cli: " without one.
QString linePrefix(const QString &label);
// One line to stderr: "nuvora-cli: error: TEXT" or "LABEL: error: TEXT".
void printError(const QString &text, const QString &label = {});
void printWarning(const QString &text, const QString &label = {});

// A subcommand's own parser: the GNU forms (--opt=value, -o value, --), --help/-h and
// --version/-V come with it; the command adds its options before parse().
class CommandParser {
public:
    CommandParser(const char *command, const char *help);
    QCommandLineParser &qt() { return m_parser; }
    // Empty when the command goes on; otherwise the exit status (0 after --help or
    // --version, kExitUsage after a usage error, which has been printed).
    std::optional<int> parse(const QStringList &args);
    // The usage error: one line saying what is wrong, one line pointing to the help.
    int usageError(const QString &what) const;
    // The one positional argument (IMAGE); a usage error is printed when it is missing or
    // there are more.
    std::optional<QString> onePositional(const char *name) const;

private:
    const char *m_command;
    const char *m_help;
    QCommandLineParser m_parser;
};

// Prints the version as the About box shows it.
int printVersion(const char *program);

// A fresh AppState (64 KiB of image: not on the stack) with the texts of LANGUAGE.lng beside
// the program (found without regard to case), or built-in English words. A language asked
// for by name that cannot be read is a warning.
std::unique_ptr<AppState> stateWithLanguage(const QString &language, bool asked);

// The record checks of IMAGE as warnings; true when there was at least one.
bool warnAboutRecords(const QString &image);

// Loads IMAGE as the window's Load command does; returns 0, kExitRejected (the warning has gone
// through the prompter) or kExitImageError (the number, its words and the reason are printed).
int loadImage(AppState &state, const QString &image, Prompter &prompter);

} // namespace nuvora::cli
