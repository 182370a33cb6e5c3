#include "ui/MainWindow.h"

#include "base/LangTexts.h"
#include "settings/RecentFiles.h"
#include "ui/FormControls.h"
#include "ui/StatusLamps.h"
#include "ui/WindowCentring.h"

#include <QAction>
#include <QCloseEvent>
#include <QImageReader>
#include <QLabel>
#include <QLayout>
#include <QMenu>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>

namespace nuvora {

namespace {

const QString kBannerPrefix = QStringLiteral("File:  ");

// Menu captions taken from data must not turn an "&" into an access key.
QString literalCaption(QString text)
{
    return text.replace(QLatin1Char('&'), QStringLiteral("&&"));
}

} // namespace

MainWindow::MainWindow(AppState &state, Prompter &prompter, const QString &programFolder,
                       ShutdownActions outside, QWidget *parent)
    : QMainWindow(parent), m_state(state), m_programFolder(programFolder),
      m_shutdown(std::move(outside)), m_commands(state, prompter, *this, programFolder),
      m_centring(new WindowCentring(*this))
{
    setObjectName(QStringLiteral("Form1"));
    dressFormWindow(*this);
    m_menus.build(menuBar());
    buildControls();
    connectCommands();
    m_shutdown.closePort = [this] {
        // Closing a port that never opened is no failure: the host is still started.
        m_commands.port().CloseCom();
        return true;
    };
}

MainWindow::~MainWindow()
{
    delete m_about; // a top-level window of its own: it goes with the main window
}

bool MainWindow::Form_Load()
{
    return nuvora::Form_Load(*this, m_commands, m_programFolder);
}

double MainWindow::logicalDpi() const
{
    return screen() ? screen()->logicalDotsPerInch() : 96.0;
}

int MainWindow::px(double twips) const
{
    return twipsToPixels(twips, logicalDpi());
}

void MainWindow::buildControls()
{
    const FormControls controls = buildFormControls(
        *this, [this](double twips) { return px(twips); }, kLampPanelTwips);
    setCentralWidget(controls.client);
    m_banner = controls.banner;
    m_start = controls.start;
    m_progress = controls.progress;
    m_lamps = new StatusLamps(this);
    // Its final height now, so that the window is centred with the size it keeps.
    m_lamps->setFixedHeight(px(kLampPanelTwips));
    setStatusBar(m_lamps);
    layout()->setSizeConstraint(QLayout::SetFixedSize);
}

void MainWindow::connectCommands()
{
    Operator &c = m_commands;
    connect(m_start, &QPushButton::clicked, this, [&c] { c.run().start(); });
    connect(m_menus.mnuAbo, &QAction::triggered, this, &MainWindow::mnuAbo_Click);
    connect(m_menus.smnuFile0, &QAction::triggered, this, [&c] { c.load().smnuFile_Click(0); });
    for (int k = 1; k <= kRecentFileCount; ++k) {
        connect(m_menus.fileM[size_t(k - 1)], &QAction::triggered, this,
                [&c, k] { c.load().fileM_Click(k); });
    }
    for (int i = 0; i < kLanguageItems; ++i) {
        connect(m_menus.smnuLingue[size_t(i)], &QAction::triggered, this,
                [&c, i] { c.languages().smnuLingue_Click(i); });
    }
    for (int k = 1; k <= kComMenuItems; ++k) {
        connect(m_menus.mnuCox[size_t(k - 1)], &QAction::triggered, this,
                [&c, k] { c.portMenu().mnuCox_Click(k); });
    }
    connect(m_menus.mnuUSB, &QAction::triggered, this, [&c] { c.portMenu().mnuUSB_Click(); });
}

void MainWindow::InitStatusBar()
{
    m_lamps->InitStatusBar(m_progress, logicalDpi() / 96.0 / kTwipsPerPixel);
}

void MainWindow::SetCaptions()
{
    m_menus.mnuFile->setTitle(m_state.LangText[kTextFileMenu]);
    m_menus.smnuFile0->setText(m_state.LangText[kTextLoadItem]);
    m_menus.mnuLingue->setTitle(m_state.LangText[kTextLanguageMenu]);
    ShowFileName(m_state.ShownFileName);
    m_start->setText(m_state.LangText[kTextStart]);
}

void MainWindow::ShowFileName(const QString &name)
{
    m_state.ShownFileName = name;
    m_banner->setText(kBannerPrefix + name);
}

void MainWindow::DisableCommands()
{
    m_menus.setTopLevelEnabled(false);
    m_start->setEnabled(false);
    m_lamps->SetLamp(LampState::ErrOff);
}

void MainWindow::EnableCommands()
{
    m_menus.setTopLevelEnabled(true);
    m_start->setEnabled(true);
}

void MainWindow::setProgressMax(double max)
{
    m_progress->setMaximum(static_cast<int>(max));
}

void MainWindow::setProgressValue(double value)
{
    m_progress->setValue(static_cast<int>(value));
}

void MainWindow::SetLamp(LampState state)
{
    m_lamps->SetLamp(state);
}

void MainWindow::setComChecked(int index, bool checked)
{
    if (index >= 1 && index <= kComMenuItems)
        m_menus.mnuCox[static_cast<size_t>(index - 1)]->setChecked(checked);
}

void MainWindow::setUsbChecked(bool checked)
{
    m_menus.mnuUSB->setChecked(checked);
}

void MainWindow::setBannerVisible(bool visible)
{
    m_banner->setVisible(visible);
}

void MainWindow::setStartEnabled(bool enabled)
{
    m_start->setEnabled(enabled);
}

void MainWindow::ShowRecentFiles()
{
    const RecentMenu menu = nuvora::ShowRecentFiles(m_state);
    for (size_t i = 0; i < menu.items.size(); ++i) {
        m_menus.fileM[i]->setText(literalCaption(menu.items[i].caption));
        m_menus.fileM[i]->setVisible(menu.items[i].visible);
    }
}

void MainWindow::setLanguageItem(int index, const QString &caption, bool visible)
{
    QAction *item = m_menus.smnuLingue[static_cast<size_t>(index)];
    item->setText(literalCaption(caption));
    item->setVisible(visible);
}

void MainWindow::setLanguageChecked(int index, bool checked)
{
    m_menus.smnuLingue[static_cast<size_t>(index)]->setChecked(checked);
}

void MainWindow::loadIcon(const QString &iconPath)
{
    // No icon file, or one Qt cannot read: the window just has no icon.
    const QImage icon = QImageReader(iconPath).read();
    if (!icon.isNull())
        setWindowIcon(QPixmap::fromImage(icon));
}

void MainWindow::setCaption(const QString &caption)
{
    setWindowTitle(caption);
}

void MainWindow::centreOnScreen()
{
    m_centring->centre();
}

void MainWindow::Form_Unload()
{
    if (m_shutdownDone)
        return;
    m_shutdownDone = true;
    nuvora::Form_Unload(m_programFolder, m_shutdown);
}

void MainWindow::closeEvent(QCloseEvent *event)
{
    // Closing is never refused, not even in the middle of a run.
    Form_Unload();
    event->accept();
}

void MainWindow::mnuAbo_Click()
{
    // One box at a time: a second click brings the open one to the front unchanged.
    if (!m_about) {
        m_about = new AboutBox(m_programFolder);
        // Where the operator is looking; a box already open stays where it was put.
        centreOver(*m_about, *this);
    }
    m_about->show();
    m_about->raise();
    m_about->activateWindow();
}

} // namespace nuvora
