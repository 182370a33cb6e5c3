#pragma once

#include "ui/AboutBox.h"
#include "settings/SettingsFile.h"
#include "commands/Shutdown.h"
#include "commands/Startup.h"
#include "commands/LoadCommands.h"
#include "commands/LanguageMenu.h"
#include "commands/ComMenuMarks.h"
#include "serial/PortControl.h"
#include "commands/PortMenu.h"
#include "serial/SerialLine.h"
#include "base/AppState.h"
#include "transfer/ProgrammingRun.h"
#include "base/RunView.h"
#include "ui/MainMenus.h"

#include <QMainWindow>
#include <QElapsedTimer>
#include <QPointer>
#include <QTimer>

class QAction;
class QLabel;
class QProgressBar;
class QPushButton;

namespace nuvora {

class Prompter;
class StatusLamps;

// Twips of the designed layout become pixels at 15 twips per pixel on a 96 dpi screen.
constexpr double kTwipsPerPixel = 15.0;

// A length of the designed layout on a screen of the given logical dots per inch.
int twipsToPixels(double twips, double logicalDpi);

// Form1, the working window: builds the controls and menus and forwards their events to the
// subsystems, which reach it back through the small view interfaces it implements.
class MainWindow : public QMainWindow,
                   public RunView,
                   public ComMenuMarks,
                   public LoadView,
                   public LanguageMenuView,
                   public StartupWindow {
    Q_OBJECT
public:
    // `outside` holds the host start and the end of the process; the window closes the port.
    MainWindow(AppState &state, Prompter &prompter, const QString &programFolder,
               ShutdownActions outside = systemShutdownActions(), QWidget *parent = nullptr);
    ~MainWindow() override;

    // The start-up, run once before the window is shown; false when it ended in the shutdown.
    bool Form_Load();

    // Captions and the busy state.
    void SetCaptions() override;
    void ShowFileName(const QString &name) override;
    void DisableCommands() override;
    void EnableCommands() override;

    // RunView: the progress bar and the lamps.
    void setProgressMax(double max) override;
    void setProgressValue(double value) override;
    void SetLamp(LampState state) override;

    // ComMenuMarks: the Com menu's check marks.
    void setComChecked(int index, bool checked) override;
    void setUsbChecked(bool checked) override;

    // LoadView and LanguageMenuView.
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
    bool FillLangMenu() override;
    void LoadFileINI() override;
    void SelectStartLanguage() override;
    void LoadLanguage() override;
    void SetCom() override;
    void Form_Unload() override;

    // Pixels for a length in twips on this window's screen.
    double pixelsPerTwip() const;
    int px(double twips) const;

    const MainMenus &menus() const { return m_menus; }
    QAction *comAction(int index) const { return m_menus.mnuCox[static_cast<size_t>(index - 1)]; }
    QAction *usbAction() const { return m_menus.mnuUSB; }
    StatusLamps *lamps() const { return m_lamps; }
    AboutBox *aboutBox() const { return m_about; }
    PortControl &port() { return m_port; }
    PortMenu &portMenu() { return m_portMenu; }
    ProgrammingRun &run() { return m_run; }
    const SettingsFile &settings() const { return m_settings; }
    const QString &programFolder() const { return m_programFolder; }

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void buildControls();
    void connectCommands();
    void mnuAbo_Click();
    void watchForFrame();

    AppState &m_state;
    Prompter &m_prompter;
    QString m_programFolder;
    ShutdownActions m_shutdown;
    bool m_shutdownDone = false;
    // Centred before the window manager had framed the window: centre again once it has.
    QTimer m_frameWatch;
    QElapsedTimer m_frameWaited;
    QElapsedTimer m_frameSettled;
    QMargins m_centredMargins;

    SettingsFile m_settings;
    SerialLine m_line; // Comm1
    PortControl m_port;
    ProgrammingRun m_run; // the Start button's programming run
    LoadCommands m_load;
    LanguageMenu m_languages;
    PortMenu m_portMenu; // the Com menu's items

    MainMenus m_menus;
    QLabel *m_banner = nullptr;         // Label1
    QPushButton *m_start = nullptr;     // Command1
    QProgressBar *m_progress = nullptr; // ProgressBar1
    StatusLamps *m_lamps = nullptr;     // StatusBar1 with its lamps and timers
    QPointer<AboutBox> m_about;         // FrmInfo while it is open
};

} // namespace nuvora
