#include "commands/Operator.h"

#include "commands/SettingsCommands.h"
#include "commands/StartCommand.h"
#include "lang/LangTable.h"

namespace nuvora {

Operator::Operator(AppState &state, Prompter &prompter, OperatorView &view,
                   const QString &programFolder)
    : m_state(state), m_prompter(prompter), m_view(view), m_programFolder(programFolder),
      m_settings(programFolder), m_port(m_line, programFolder), m_run(state, m_port, view),
      m_load(state, prompter, m_settings, view),
      m_languages(state, prompter, m_settings, view, programFolder),
      m_portMenu(state, view, m_port, m_settings, prompter)
{
    ShowOutcomeBoxes(m_run, state, m_port, prompter);
}

bool Operator::FillLangMenu()
{
    return m_languages.FillLangMenu();
}

void Operator::LoadFileINI()
{
    nuvora::LoadFileINI(m_settings, m_state, m_view, m_prompter);
}

void Operator::SelectStartLanguage()
{
    m_languages.SelectStartLanguage();
}

void Operator::LoadLanguage()
{
    nuvora::LoadLanguage(m_state, m_programFolder);
}

void Operator::SetCom()
{
    nuvora::SetCom(m_port, m_state.ComPort, m_prompter);
}

} // namespace nuvora
