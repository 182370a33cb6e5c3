#pragma once

#include <QString>

namespace nuvora {

class Operator;

// The start-up's steps that belong to the main window, called by Form_Load in its order.
class StartupWindow {
public:
    virtual ~StartupWindow() = default;
    virtual void loadIcon(const QString &iconPath) = 0;
    virtual void setCaption(const QString &caption) = 0;
    virtual void centreOnScreen() = 0;
    virtual void ShowFileName(const QString &name) = 0;
    virtual void InitStatusBar() = 0;
    virtual void ShowRecentFiles() = 0;
    virtual void SetCaptions() = 0;
    virtual void Form_Unload() = 0;
};

// The program's start-up: dresses the window, makes the program folder current and brings up
// the subsystems in their fixed order. Returns false when it ended in the shutdown.
bool Form_Load(StartupWindow &window, Operator &commands, const QString &programFolder);

} // namespace nuvora
