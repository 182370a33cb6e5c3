#include "commands/LanguageMenu.h"

#include "commands/SettingsCommands.h"
#include "lang/LangTable.h"

#include <QDir>

namespace nuvora {

namespace {
const QString kLangSuffix = QStringLiteral(".lng");
}

QStringList listLanguageFiles(const QString &folder)
{
    // Files only: no folders, no hidden files, no broken links; the name filter compares
    // letter case so that "X.LNG" is not a language file.
    const QStringList names =
        QDir(folder).entryList({QStringLiteral("*") + kLangSuffix},
                               QDir::Files | QDir::Hidden | QDir::CaseSensitive, QDir::Name);
    QStringList bases;
    for (const QString &name : names) {
        if (bases.size() == kLanguageItems)
            break;
        // A leading dot hides a file here, except in ".lng" itself: that is the language
        // whose name is empty, and it is listed with an empty caption.
        if (name.startsWith(QLatin1Char('.')) && name != kLangSuffix)
            continue;
        bases << name.chopped(kLangSuffix.size());
    }
    return bases;
}

LanguageMenu::LanguageMenu(AppState &state, Prompter &prompter, const SettingsFile &settings,
                           LanguageMenuView &view, const QString &programFolder)
    : m_state(state), m_prompter(prompter), m_settings(settings), m_view(view),
      m_programFolder(programFolder)
{
}

bool LanguageMenu::FillLangMenu()
{
    const QStringList bases = listLanguageFiles(m_programFolder);
    if (bases.isEmpty()) {
        m_prompter.message(QStringLiteral("File missing! Reinstall program"), kStyleCritical,
                           QStringLiteral("Error"));
        return false;
    }
    for (int i = 0; i < bases.size(); ++i) {
        m_captions[static_cast<size_t>(i)] = bases[i];
        m_view.setLanguageItem(i, bases[i], true);
    }
    return true;
}

void LanguageMenu::SelectStartLanguage()
{
    int found = -1;
    for (int i = 0; i < kLanguageItems && found < 0; ++i) {
        if (m_captions[static_cast<size_t>(i)] == m_state.LanguageName)
            found = i;
    }
    if (m_state.LanguageName.isEmpty() || found < 0) {
        // Not saved here: the settings file keeps its old name until the next save.
        m_state.LanguageName = m_captions[0];
        found = 0;
    }
    check(found);
}

void LanguageMenu::check(int index)
{
    m_checked = index;
    for (int i = 0; i < kLanguageItems; ++i)
        m_view.setLanguageChecked(i, i == index);
}

void LanguageMenu::smnuLingue_Click(int index)
{
    if (index < 0 || index >= kLanguageItems)
        return;
    const QString chosen = m_captions[static_cast<size_t>(index)];
    if (!CheckLangFile(m_programFolder, m_state.LanguageName + kLangSuffix, chosen + kLangSuffix)) {
        check(m_checked); // the menu shows the current language still
        m_prompter.message(QStringLiteral("Check file message!"), kStyleExclamation,
                           QStringLiteral("Wrong file"));
        return;
    }
    check(index);
    m_state.LanguageName = chosen;
    // The switch stands even when its memory for the next start is lost.
    (void)SaveSettings(m_settings, m_state, m_prompter);
    LoadLanguage(m_state, m_programFolder);
    m_view.SetCaptions();
}

} // namespace nuvora
