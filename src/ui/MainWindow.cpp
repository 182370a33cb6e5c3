#include "ui/MainWindow.h"

#include "app/AboutBox.h"
#include "app/Prompter.h"
#include "ui/StatusLamps.h"

#include <QAction>
#include <QFont>
#include <QLabel>
#include <QLayout>
#include <QMenu>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>

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

QAction *namedAction(QMenu *menu, const QString &name, const QString &caption)
{
    QAction *action = menu->addAction(caption);
    action->setObjectName(name);
    return action;
}

QAction *separator(QMenu *menu, const QString &name)
{
    QAction *action = menu->addSeparator();
    action->setObjectName(name);
    return action;
}

QMenu *namedMenu(QMenuBar *bar, const QString &name, const QString &caption)
{
    QMenu *menu = bar->addMenu(caption);
    menu->setObjectName(name);
    menu->menuAction()->setObjectName(name);
    return menu;
}

} // namespace

MainWindow::MainWindow(AppState &state, Prompter &prompter, const QString &programFolder,
                       QWidget *parent)
    : QMainWindow(parent), m_state(state), m_prompter(prompter), m_programFolder(programFolder)
{
    setObjectName(QStringLiteral("Form1"));
    QFont base(QStringLiteral("Verdana"));
    base.setPointSizeF(9.75);
    setFont(base);
    buildMenus();
    buildControls();
}

MainWindow::~MainWindow()
{
    delete m_about; // a top-level window of its own: it goes with the main window
}

int MainWindow::px(double twips) const
{
    const double dpi = screen() ? screen()->logicalDotsPerInch() : 96.0;
    return static_cast<int>(std::lround(twips / kTwipsPerPixel * dpi / 96.0));
}

void MainWindow::buildMenus()
{
    QMenuBar *bar = menuBar();
    m_mnuFile = namedMenu(bar, QStringLiteral("mnuFile"), QStringLiteral("&File"));
    m_smnuFile0 = namedAction(m_mnuFile, QStringLiteral("smnuFile0"), QStringLiteral("&Load"));
    m_M1 = separator(m_mnuFile, QStringLiteral("M1"));
    for (int k = 1; k <= 4; ++k)
        m_fileM[static_cast<size_t>(k - 1)] =
            namedAction(m_mnuFile, QStringLiteral("fileM%1").arg(k), QString());

    m_mnuLingue = namedMenu(bar, QStringLiteral("mnuLingue"), QStringLiteral("Language"));
    for (int i = 0; i < 10; ++i) {
        QAction *item = namedAction(m_mnuLingue, QStringLiteral("smnuLingue%1").arg(i), QString());
        item->setCheckable(true);
        item->setVisible(i == 0);
        m_smnuLingue[static_cast<size_t>(i)] = item;
    }

    m_mnuCom = namedMenu(bar, QStringLiteral("mnuCom"), QStringLiteral("&Com"));
    for (int k = 1; k <= 4; ++k) {
        QAction *item = namedAction(m_mnuCom, QStringLiteral("mnuCox%1").arg(k),
                                    QStringLiteral("COM&%1").arg(k));
        item->setCheckable(true);
        m_mnuCox[static_cast<size_t>(k - 1)] = item;
    }
    separator(m_mnuCom, QStringLiteral("mnusep"));
    m_mnuUSB = namedAction(m_mnuCom, QStringLiteral("mnuUSB"), QStringLiteral("&USB"));
    m_mnuUSB->setCheckable(true);

    m_mnuAbo = bar->addAction(QStringLiteral("?"));
    m_mnuAbo->setObjectName(QStringLiteral("mnuAbo"));
    connect(m_mnuAbo, &QAction::triggered, this, &MainWindow::mnuAbo_Click);
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
    connect(m_start, &QPushButton::clicked, this, &MainWindow::startClicked);

    m_progress = new QProgressBar(this);
    m_progress->setObjectName(QStringLiteral("ProgressBar1"));
    m_progress->setTextVisible(false);
    m_progress->setRange(0, 100);
    m_progress->setValue(0);

    m_lamps = new StatusLamps(this);
    setStatusBar(m_lamps);
    layout()->setSizeConstraint(QLayout::SetFixedSize);
}

void MainWindow::InitStatusBar()
{
    m_lamps->InitStatusBar(m_progress, px(kTwipsPerPixel) / kTwipsPerPixel);
}

void MainWindow::SetCaptions()
{
    m_mnuFile->setTitle(m_state.LangText[1]);
    m_smnuFile0->setText(m_state.LangText[2]);
    m_mnuLingue->setTitle(m_state.LangText[4]);
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
    for (QMenu *menu : {m_mnuFile, m_mnuLingue, m_mnuCom})
        menu->menuAction()->setEnabled(false);
    m_mnuAbo->setEnabled(false);
    m_start->setEnabled(false);
    m_lamps->SetLamp(static_cast<int>(LampState::ErrOff));
}

void MainWindow::EnableCommands()
{
    for (QMenu *menu : {m_mnuFile, m_mnuLingue, m_mnuCom})
        menu->menuAction()->setEnabled(true);
    m_mnuAbo->setEnabled(true);
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
    if (index >= 1 && index <= 4)
        m_mnuCox[static_cast<size_t>(index - 1)]->setChecked(checked);
}

void MainWindow::setUsbChecked(bool checked)
{
    m_mnuUSB->setChecked(checked);
}

void MainWindow::setBannerVisible(bool visible)
{
    m_banner->setVisible(visible);
}

void MainWindow::setStartEnabled(bool enabled)
{
    m_start->setEnabled(enabled);
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
