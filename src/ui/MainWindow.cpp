#include "ui/MainWindow.h"

#include "base/Prompter.h"
#include "commands/SettingsCommands.h"
#include "commands/StartCommand.h"
#include "settings/RecentFiles.h"
#include "lang/LangTable.h"
#include "ui/StatusLamps.h"

#include <QAction>
#include <QCloseEvent>
#include <QFont>
#include <QImageReader>
#include <QLabel>
#include <QLayout>
#include <QMenu>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <QWindow>

#include <chrono>
#include <cmath>

namespace nuvora {

namespace {

// The designed client area and controls, in twips (Left, Top, Width, Height).
constexpr double kClientWidth = 4935;
constexpr double kClientHeight = 1860;
constexpr double kStatusHeight = 255;
struct TwipRect {
    double left, top, width, height;
};
constexpr TwipRect kBanner{105, 120, 4665, 465};
constexpr TwipRect kStart{1680, 720, 1515, 435};

const QString kBannerPrefix = QStringLiteral("File:  ");

// A desktop that frames its windows does so soon after the first show (later on a machine
// under load), or never.
constexpr std::chrono::milliseconds kFrameWatchInterval{20};
constexpr std::chrono::seconds kFrameWait{20};
constexpr std::chrono::milliseconds kFrameSettle{500};

// Menu captions taken from data must not turn an "&" into an access key.
QString literalCaption(QString text)
{
    return text.replace(QLatin1Char('&'), QStringLiteral("&&"));
}

} // namespace

MainWindow::MainWindow(AppState &state, Prompter &prompter, const QString &programFolder,
                       ShutdownActions outside, QWidget *parent)
    : QMainWindow(parent), m_state(state), m_prompter(prompter), m_programFolder(programFolder),
      m_shutdown(std::move(outside)), m_settings(programFolder),
      m_port(m_line, programFolder), m_run(state, m_port, *this),
      m_load(state, prompter, m_settings, *this),
      m_languages(state, prompter, m_settings, *this, programFolder),
      m_portMenu(state, *this, m_port, m_settings, prompter)
{
    setObjectName(QStringLiteral("Form1"));
    QFont base(QStringLiteral("Verdana"));
    base.setPointSizeF(9.75);
    setFont(base);
    m_menus.build(menuBar());
    buildControls();
    connectCommands();
    ShowOutcomeBoxes(m_run, m_state, m_port, m_prompter);
    m_shutdown.closePort = [this] {
        // Closing a port that never opened is no failure: the host is still started.
        m_port.CloseCom();
        return true;
    };
}

MainWindow::~MainWindow()
{
    delete m_about; // a top-level window of its own: it goes with the main window
}

bool MainWindow::Form_Load()
{
    return nuvora::Form_Load(*this, m_programFolder);
}

int twipsToPixels(double twips, double logicalDpi)
{
    return static_cast<int>(std::lround(twips / kTwipsPerPixel * logicalDpi / 96.0));
}

double MainWindow::pixelsPerTwip() const
{
    const double dpi = screen() ? screen()->logicalDotsPerInch() : 96.0;
    return dpi / 96.0 / kTwipsPerPixel;
}

int MainWindow::px(double twips) const
{
    return twipsToPixels(twips, screen() ? screen()->logicalDotsPerInch() : 96.0);
}

void MainWindow::buildControls()
{
    auto *client = new QWidget(this);
    client->setObjectName(QStringLiteral("client"));
    // The status bar takes the bottom band of the designed client area.
    client->setFixedSize(px(kClientWidth), px(kClientHeight - kStatusHeight));
    setCentralWidget(client);

    m_banner = new QLabel(client);
    m_banner->setObjectName(QStringLiteral("Label1"));
    m_banner->setGeometry(px(kBanner.left), px(kBanner.top), px(kBanner.width),
                          px(kBanner.height));
    QFont bannerFont(QStringLiteral("Arial"));
    bannerFont.setPointSizeF(14.25);
    m_banner->setFont(bannerFont);
    m_banner->setAlignment(Qt::AlignCenter);
    // File names are shown as they are, never read as markup ("<b>.mhx" is a legal name).
    m_banner->setTextFormat(Qt::PlainText);
    m_banner->setFrameShape(QFrame::Box);
    m_banner->setLineWidth(1);
    m_banner->setAutoFillBackground(true);
    QPalette bannerPalette = m_banner->palette();
    bannerPalette.setColor(QPalette::Window, QColor(192, 255, 255));
    m_banner->setPalette(bannerPalette);
    m_banner->hide();

    m_start = new QPushButton(QStringLiteral("Start "), client);
    m_start->setObjectName(QStringLiteral("Command1"));
    m_start->setGeometry(px(kStart.left), px(kStart.top), px(kStart.width), px(kStart.height));
    QFont startFont = font();
    startFont.setBold(true);
    m_start->setFont(startFont);
    m_start->setEnabled(false);

    m_progress = new QProgressBar(this);
    m_progress->setObjectName(QStringLiteral("ProgressBar1"));
    m_progress->setTextVisible(false);
    m_progress->setRange(0, 100);
    m_progress->setValue(0);

    m_lamps = new StatusLamps(this);
    setStatusBar(m_lamps);
    layout()->setSizeConstraint(QLayout::SetFixedSize);
}

void MainWindow::connectCommands()
{
    connect(m_start, &QPushButton::clicked, this, [this] { m_run.start(); });
    connect(m_menus.mnuAbo, &QAction::triggered, this, &MainWindow::mnuAbo_Click);
    connect(&m_frameWatch, &QTimer::timeout, this, &MainWindow::watchForFrame);
    connect(m_menus.smnuFile0, &QAction::triggered, this, [this] { m_load.smnuFile_Click(0); });
    for (int k = 1; k <= kRecentFileCount; ++k) {
        connect(m_menus.fileM[static_cast<size_t>(k - 1)], &QAction::triggered, this,
                [this, k] { m_load.fileM_Click(k); });
    }
    for (int i = 0; i < kLanguageItems; ++i) {
        connect(m_menus.smnuLingue[static_cast<size_t>(i)], &QAction::triggered, this,
                [this, i] { m_languages.smnuLingue_Click(i); });
    }
    for (int k = 1; k <= kComMenuItems; ++k) {
        connect(m_menus.mnuCox[static_cast<size_t>(k - 1)], &QAction::triggered, this,
                [this, k] { m_portMenu.mnuCox_Click(k); });
    }
    connect(m_menus.mnuUSB, &QAction::triggered, this, [this] { m_portMenu.mnuUSB_Click(); });
}

void MainWindow::InitStatusBar()
{
    m_lamps->InitStatusBar(m_progress, pixelsPerTwip());
}

void MainWindow::SetCaptions()
{
    m_menus.mnuFile->setTitle(m_state.LangText[1]);
    m_menus.smnuFile0->setText(m_state.LangText[2]);
    m_menus.mnuLingue->setTitle(m_state.LangText[4]);
    ShowFileName(m_state.ShownFileName);
    m_start->setText(m_state.LangText[6]);
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
    m_lamps->SetLamp(static_cast<int>(LampState::ErrOff));
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
    m_lamps->SetLamp(static_cast<int>(state));
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
    m_menus.M1->setVisible(menu.separatorVisible);
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
    adjustSize();
    // A native window knows its frame where the platform draws it (Windows); under X11 the
    // window manager adds it only once the window is shown, see watchForFrame().
    (void)winId();
    const QScreen *where = screen();
    if (!where)
        return;
    const QMargins margins = windowHandle() ? windowHandle()->frameMargins() : QMargins();
    m_centredMargins = margins;
    if (!isVisible() && margins.isNull()) {
        // The window manager frames the window when it gets round to it, and Qt does not
        // always say so by an event: look for the frame a while after the window is shown.
        m_frameWaited.start();
        m_frameSettled.invalidate();
        m_frameWatch.start(kFrameWatchInterval);
    }
    // The rule works in twips on the whole screen and the window's outer frame.
    const double twipsPerPx = kTwipsPerPixel * 96.0 / where->logicalDotsPerInch();
    const QRect area = where->geometry();
    const QSize frame = size().grownBy(margins);
    const int top = centredOffset(area.height() * twipsPerPx, frame.height() * twipsPerPx);
    const int left = centredOffset(area.width() * twipsPerPx, frame.width() * twipsPerPx);
    // Placed by its client area: what move() adds for a frame is not always up to date yet.
    const QPoint framePos(area.left() + px(left), area.top() + px(top));
    setGeometry(QRect(framePos + QPoint(margins.left(), margins.top()), size()));
}

bool MainWindow::FillLangMenu()
{
    return m_languages.FillLangMenu();
}

void MainWindow::LoadFileINI()
{
    nuvora::LoadFileINI(m_settings, m_state, *this, m_prompter);
}

void MainWindow::SelectStartLanguage()
{
    m_languages.SelectStartLanguage();
}

void MainWindow::LoadLanguage()
{
    nuvora::LoadLanguage(m_state, m_programFolder);
}

void MainWindow::SetCom()
{
    nuvora::SetCom(m_port, m_state.ComPort, m_prompter);
}

void MainWindow::Form_Unload()
{
    if (m_shutdownDone)
        return;
    m_shutdownDone = true;
    nuvora::Form_Unload(m_programFolder, m_shutdown);
}

void MainWindow::watchForFrame()
{
    // The margins Qt reports can be wrong for a moment while the window manager reparents the
    // window: centre again whenever they change, until they have held still a while.
    const QMargins margins = windowHandle() ? windowHandle()->frameMargins() : QMargins();
    if (margins != m_centredMargins) {
        centreOnScreen();
        m_frameSettled.start();
    }
    const bool settled = !margins.isNull() && m_frameSettled.isValid() &&
                         std::chrono::milliseconds(m_frameSettled.elapsed()) > kFrameSettle;
    if (settled || std::chrono::milliseconds(m_frameWaited.elapsed()) > kFrameWait)
        m_frameWatch.stop();
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
    if (!m_about)
        m_about = new AboutBox(m_programFolder);
    m_about->show();
    m_about->raise();
    m_about->activateWindow();
}

} // namespace nuvora
