#pragma once

#include "commands/Operator.h"
#include "commands/Shutdown.h"
#include "commands/Startup.h"
#include "ui/AboutBox.h"
#include "ui/MainMenus.h"

#include <QMainWindow>
#include <QPointer>

class QAction;
class QLabel;
class QProgressBar;
class QPushButton;

namespace nuvora {

class Prompter;
class StatusLamps;
class WindowCentring;

// Form1, the working window: builds the controls and menus, forwards their events to the
// operator's commands and shows what those ask for through the view calls it implements.
class MainWindow : public QMainWindow, public OperatorView, public StartupWindow {
    Q_OBJECT
public:
    // `outside` holds the host start and the end of the process; the window closes the port.
    MainWindow(AppState &state, Prompter &prompter, const QString &programFolder,
               ShutdownActions outside = systemShutdownActions(), QWidget *parent = nullptr);
    ~MainWindow() override;

    // The start-up, run once before the window is shown; false when it ended in the shutdown.
    bool Form_Load();

    // OperatorView: captions, the busy state, the progress bar, the lamps and the menus.
    void SetCaptions() override;
    void ShowFileName(const QString &name) override;
    void DisableCommands() override;
    void EnableCommands() override;
    void setProgressMax(double max) override;
    void setProgressValue(double value) override;
    void SetLamp(LampState state) override;
    void setComChecked(int index, bool checked) override;
    void setUsbChecked(bool checked) override;
    void setBannerVisible(bool visible) override;
    void setStartEnabled(bool enabled) override;
    void ShowRecentFiles() override;
    void setLanguageItem(int index, const QString &caption, bool visible) override;
    void setLanguageChecked(int index, bool checked) override;

    // StartupWindow: the steps of Form_Load that are the window's own.
    void loadIcon(const QString &iconPath) override;
    void setCaption(const QString &caption) override;
    void centreOnScreen() override;
    void InitStatusBar() override;
    void Form_Unload() override;

    // Pixels for a length in twips on this window's screen.
    int px(double twips) const;

    Operator &commands() { return m_commands; }
    const MainMenus &menus() const { return m_menus; }
    QAction *comAction(int index) const { return m_menus.mnuCox[static_cast<size_t>(index - 1)]; }
    QAction *usbAction() const { return m_menus.mnuUSB; }
    StatusLamps *lamps() const { return m_lamps; }
    AboutBox *aboutBox() const { return m_about; }

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void buildControls();
    void connectCommands();
    void mnuAbo_Click();
    double logicalDpi() const;

    AppState &m_state;
    QString m_programFolder;
    ShutdownActions m_shutdown;
    bool m_shutdownDone = false;
    Operator m_commands;
    WindowCentring *m_centring = nullptr;

    MainMenus m_menus;
    QLabel *m_banner = nullptr;         // Label1
    QPushButton *m_start = nullptr;     // Command1
    QProgressBar *m_progress = nullptr; // ProgressBar1
    StatusLamps *m_lamps = nullptr;     // StatusBar1 with its lamps and timers
    QPointer<AboutBox> m_about;         // FrmInfo while it is open
};

} // namespace nuvora
