#include "commands/Startup.h"

#include "base/Prompter.h"

#include <QDir>

#include <cmath>

namespace nuvora {

int centredOffset(double screenSize, double windowSize)
{
    // nearbyint rounds in the default mode, to nearest with halves to even; the integer
    // division then drops the remainder towards zero (-3 / 2 is -1).
    const long difference = std::lrint(screenSize - windowSize);
    return static_cast<int>(difference / 2);
}

bool Form_Load(StartupWindow &window, const QString &programFolder)
{
    window.loadIcon(programFolder + QStringLiteral("/VURUVEVI.ROD"));
    window.setCaption(kAppTitle);
    // The language menu lists the current folder, so the program folder must be it.
    QDir::setCurrent(programFolder);
    window.centreOnScreen();
    window.ShowFileName(QString());
    window.InitStatusBar();
    if (!window.FillLangMenu()) {
        window.Form_Unload();
        return false;
    }
    window.LoadFileINI();
    window.ShowRecentFiles();
    window.SelectStartLanguage();
    window.LoadLanguage();
    window.SetCaptions();
    window.SetCom();
    return true;
}

} // namespace nuvora
