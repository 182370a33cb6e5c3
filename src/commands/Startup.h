#pragma once

#include <QString>

namespace nuvora {

// One coordinate of the centred window: (screen - window) rounded to a whole unit, halves to
// the even neighbour, then halved with the remainder dropped towards zero. Negative when the
// window is larger than the screen.
int centredOffset(double screenSize, double windowSize);

// The start-up's steps that belong to the main window, called by Form_Load in its order.
class StartupWindow {
public:
    virtual ~StartupWindow() = default;
    virtual void loadIcon(const QString &iconPath) = 0;
    virtual void setCaption(const QString &caption) = 0;
    virtual void centreOnScreen() = 0;
    virtual void ShowFileName(const QString &name) = 0;
    virtual void InitStatusBar() = 0;
    virtual bool FillLangMenu() = 0; // false: no language file, its box has been shown
    virtual void LoadFileINI() = 0;
    virtual void ShowRecentFiles() = 0;
    virtual void SelectStartLanguage() = 0;
    virtual void LoadLanguage() = 0;
    virtual void SetCaptions() = 0;
    virtual void SetCom() = 0;
    virtual void Form_Unload() = 0;
};

// The program's start-up: dresses the window, makes the program folder current and brings up
// the subsystems in their fixed order. Returns false when it ended in the shutdown.
bool Form_Load(StartupWindow &window, const QString &programFolder);

} // namespace nuvora
