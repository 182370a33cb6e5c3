#include "commands/Startup.h"

#include "base/Prompter.h"
#include "commands/Operator.h"

#include <QDir>

namespace nuvora {

bool Form_Load(StartupWindow &window, Operator &commands, const QString &programFolder)
{
    window.loadIcon(programFolder + QStringLiteral("/VURUVEVI.ROD"));
    window.setCaption(kAppTitle);
    // The language menu lists the current folder, so the program folder must be it.
    QDir::setCurrent(programFolder);
    window.centreOnScreen();
    window.ShowFileName(QString());
    window.InitStatusBar();
    if (!commands.FillLangMenu()) {
        window.Form_Unload();
        return false;
    }
    commands.LoadFileINI();
    window.ShowRecentFiles();
    commands.SelectStartLanguage();
    commands.LoadLanguage();
    window.SetCaptions();
    commands.SetCom();
    return true;
}

} // namespace nuvora
