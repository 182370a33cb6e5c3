#pragma once

#include "base/AppState.h"
#include "base/RunView.h"
#include "commands/ComMenuMarks.h"
#include "commands/LanguageMenu.h"
#include "commands/LoadCommands.h"
#include "commands/PortMenu.h"
#include "serial/PortControl.h"
#include "serial/SerialLine.h"
#include "settings/SettingsFile.h"
#include "transfer/ProgrammingRun.h"

namespace nuvora {

class Prompter;

// Everything the operator's commands change in a front end.
class OperatorView : public RunView,
                     public ComMenuMarks,
                     public LoadView,
                     public LanguageMenuView {};

// The operator's commands over one window: the settings file, the serial line on its port, the
// Start run with its outcome boxes, Load with the recent files, and the Language and Com menus.
// The window forwards its events here and shows what the view calls ask for.
class Operator {
public:
    Operator(AppState &state, Prompter &prompter, OperatorView &view, const QString &programFolder);

    // The start-up steps that are the commands' own, called by Form_Load in its order.
    bool FillLangMenu(); // false: no language file, its box has been shown
    void LoadFileINI();
    void SelectStartLanguage();
    void LoadLanguage();
    void SetCom();

    SettingsFile &settings() { return m_settings; }
    PortControl &port() { return m_port; }
    ProgrammingRun &run() { return m_run; }
    LoadCommands &load() { return m_load; }
    LanguageMenu &languages() { return m_languages; }
    PortMenu &portMenu() { return m_portMenu; }

private:
    AppState &m_state;
    Prompter &m_prompter;
    OperatorView &m_view;
    QString m_programFolder;
    SettingsFile m_settings;
    SerialLine m_line; // Comm1
    PortControl m_port;
    ProgrammingRun m_run;
    LoadCommands m_load;
    LanguageMenu m_languages;
    PortMenu m_portMenu;
};

} // namespace nuvora
