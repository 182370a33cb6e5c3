#pragma once

#include "base/AppState.h"
#include "settings/SettingsFile.h"

namespace nuvora {

class ComMenuMarks;
class Prompter;

// LoadFileINI: reads the settings file into the state and checks the Com menu's item for the
// port. Any failure resets the port and the recent files and rewrites the file; an unreadable
// file, or a failure of that rewrite, is shown once in a box that names the file.
void LoadFileINI(const SettingsFile &settings, AppState &state, ComMenuMarks &marks,
                 Prompter &prompter);

// Saves the settings and shows a failure in a box that names the file; the choices stay in
// force for this session either way.
SaveResult SaveSettings(const SettingsFile &settings, const AppState &state, Prompter &prompter);

} // namespace nuvora
