#pragma once

#include "base/AppState.h"

#include <QString>
#include <QStringList>

#include <memory>
#include <optional>
#include <vector>

namespace nuvora {
class Prompter;
}

namespace nuvora::cli {

// Exit statuses shared by every subcommand.
constexpr int kExitUsage = 2;
constexpr int kExitRejected = 3;
constexpr int kExitImageError = 4;

// An option that takes a value, e.g. "--dump FILE". With `values` set it may be given again
// and again, each value appended there.
struct ValueOption {
    const char *name;  // "--dump"
    const char *what;  // "a file name", for the usage error
    QString *value;
    QStringList *values = nullptr;
};

// Parses a subcommand's arguments: "--help" prints help to stdout, the value options are
// filled, and at most one positional argument goes to *positional (none accepted when it is
// null). Returns an exit status when the command must end here (0 for --help, kExitUsage).
std::optional<int> parseArguments(const char *command, const QStringList &args,
                                  const char *help, const std::vector<ValueOption> &options,
                                  QString *positional);

// A fresh AppState (64 KiB of image: not on the stack) with the texts of LANGUAGE.lng beside
// the program, or built-in English words where that file cannot be read.
std::unique_ptr<AppState> stateWithLanguage(const QString &language);

// Loads IMAGE as the window's Load command does; returns 0, kExitRejected (the warning has gone
// through the prompter) or kExitImageError (the number and reason are printed).
int loadImage(const char *command, AppState &state, const QString &image, Prompter &prompter);

} // namespace nuvora::cli
