#pragma once

#include "app/AboutBox.h"
#include "serial/ComMenuMarks.h"
#include "state/AppState.h"
#include "transfer/RunView.h"

#include <QMainWindow>
#include <QPointer>

#include <array>

class QAction;
class QLabel;
class QMenu;
class QProgressBar;
class QPushButton;

namespace nuvora {

class Prompter;
class StatusLamps;

// Twips of the designed layout become pixels at 15 twips per pixel on a 96 dpi screen.
constexpr double kTwipsPerPixel = 15.0;

// Form1, the working window: builds the controls and menus and forwards their events to the
// subsystems; the subsystems reach it through the small view interfaces it implements.
class MainWindow : public QMainWindow, public RunView, public ComMenuMarks {
    Q_OBJECT
public:
    MainWindow(AppState &state, Prompter &prompter, const QString &programFolder,
               QWidget *parent = nullptr);
    ~MainWindow() override;

    // Caption operations and the busy state.
    void SetCaptions();
    void ShowFileName(const QString &name);
    void DisableCommands() override;
    void EnableCommands() override;

    // RunView: the progress bar and the lamps.
    void setProgressMax(double max) override;
    void setProgressValue(double value) override;
    void SetLamp(LampState state) override;

    // ComMenuMarks: the Com menu's check marks.
    void setComChecked(int index, bool checked) override;
    void setUsbChecked(bool checked) override;

    void InitStatusBar();
    void setBannerVisible(bool visible);
    void setStartEnabled(bool enabled);
    // Pixels for a length in twips on this window's screen.
    int px(double twips) const;

    QAction *comAction(int index) const { return m_mnuCox[static_cast<size_t>(index - 1)]; }
    QAction *usbAction() const { return m_mnuUSB; }
    StatusLamps *lamps() const { return m_lamps; }
    AboutBox *aboutBox() const { return m_about; }
    const QString &programFolder() const { return m_programFolder; }

signals:
    void startClicked();

private:
    void buildMenus();
    void buildControls();
    void mnuAbo_Click();

    AppState &m_state;
    Prompter &m_prompter;
    QString m_programFolder;

    QMenu *m_mnuFile = nullptr;
    QMenu *m_mnuLingue = nullptr;
    QMenu *m_mnuCom = nullptr;
    QAction *m_smnuFile0 = nullptr;
    QAction *m_M1 = nullptr;
    std::array<QAction *, 4> m_fileM{};
    std::array<QAction *, 10> m_smnuLingue{};
    std::array<QAction *, 4> m_mnuCox{};
    QAction *m_mnuUSB = nullptr;
    QAction *m_mnuAbo = nullptr;

    QLabel *m_banner = nullptr;       // Label1
    QPushButton *m_start = nullptr;   // Command1
    QProgressBar *m_progress = nullptr; // ProgressBar1
    StatusLamps *m_lamps = nullptr;   // StatusBar1 with its lamps and timers
    QPointer<AboutBox> m_about;       // FrmInfo while it is open
};

} // namespace nuvora
