#pragma once

#include <QString>

namespace nuvora {

// The user's own Nuvora folder (~/.config/Nuvora on Linux), where an installed copy keeps what
// its read-only program folder cannot hold: the settings file and the user's port aliases.
// One name for every program, so that nuvora-cli finds what the window keeps. Empty when the
// system names no configuration folder.
QString UserFolder();

} // namespace nuvora
