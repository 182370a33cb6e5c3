#pragma once

#include <QStringList>

namespace nuvora::cli {

// Each subcommand takes its own arguments (without the program and command names) and
// returns the process exit status.

} // namespace nuvora::cli
