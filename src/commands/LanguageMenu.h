#pragma once

#include "base/AppState.h"
#include "base/Prompter.h"

#include <QStringList>

#include <array>

namespace nuvora {

class SettingsFile;

constexpr int kLanguageItems = 10; // smnuLingue 0..9

// What the Language menu changes in the window.
class LanguageMenuView {
public:
    virtual ~LanguageMenuView() = default;
    virtual void setLanguageItem(int index, const QString &caption, bool visible) = 0;
    virtual void setLanguageChecked(int index, bool checked) = 0;
    virtual void SetCaptions() = 0;
};

// The base names of the language files in a folder: plain, not hidden files whose names end
// in ".lng" exactly (lower case), sorted by name, the first ten only.
QStringList listLanguageFiles(const QString &folder);

// The Language menu: lists the language files once, restores the saved language and switches
// to another one after checking that its layout matches the current file.
class LanguageMenu {
public:
    LanguageMenu(AppState &state, Prompter &prompter, const SettingsFile &settings,
                 LanguageMenuView &view, const QString &programFolder);

    // False when the folder holds no language file; the box has been shown and the caller
    // must run the shutdown.
    bool FillLangMenu();
    void SelectStartLanguage();
    void smnuLingue_Click(int index);

private:
    void check(int index);

    AppState &m_state;
    Prompter &m_prompter;
    const SettingsFile &m_settings;
    LanguageMenuView &m_view;
    QString m_programFolder;
    std::array<QString, kLanguageItems> m_captions;
    int m_checked = -1;
};

} // namespace nuvora
