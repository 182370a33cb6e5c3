#pragma once

#include <QStringList>

namespace nuvora::cli {

// Each subcommand takes its own arguments (without the program and command names) and
// returns the process exit status.

// info IMAGE [--dump FILE] [--lang NAME]: load an image and summarise it (2 usage, 3 rejected, 4
// error).
int runInfo(const QStringList &args);

} // namespace nuvora::cli
