#include "ui/FormControls.h"

#include <QFont>
#include <QLabel>
#include <QPalette>
#include <QProgressBar>
#include <QPushButton>

namespace nuvora {

namespace {

// The designed client area and controls, in twips (Left, Top, Width, Height).
constexpr double kClientWidth = 4935;
constexpr double kClientHeight = 1860;
struct TwipRect {
    double left, top, width, height;
};
constexpr TwipRect kBanner{105, 120, 4665, 465};
constexpr TwipRect kStart{1680, 720, 1515, 435};

} // namespace

void dressFormWindow(QWidget &window)
{
    window.setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                          Qt::WindowCloseButtonHint);
    QFont base(QStringLiteral("Verdana"));
    base.setPointSizeF(9.75);
    window.setFont(base);
}

FormControls buildFormControls(QWidget &window, const std::function<int(double)> &px,
                               double statusTwips)
{
    FormControls c;
    QWidget *client = c.client = new QWidget(&window);
    client->setObjectName(QStringLiteral("client"));
    // The status bar takes the bottom band of the designed client area.
    client->setFixedSize(px(kClientWidth), px(kClientHeight - statusTwips));

    c.banner = new QLabel(client);
    c.banner->setObjectName(QStringLiteral("Label1"));
    c.banner->setGeometry(px(kBanner.left), px(kBanner.top), px(kBanner.width), px(kBanner.height));
    QFont bannerFont(QStringLiteral("Arial"));
    bannerFont.setPointSizeF(14.25);
    c.banner->setFont(bannerFont);
    c.banner->setAlignment(Qt::AlignCenter);
    // File names are shown as they are, never read as markup ("<b>.mhx" is a legal name).
    c.banner->setTextFormat(Qt::PlainText);
    c.banner->setFrameShape(QFrame::Box);
    c.banner->setLineWidth(1);
    c.banner->setAutoFillBackground(true);
    QPalette bannerPalette = c.banner->palette();
    bannerPalette.setColor(QPalette::Window, QColor(192, 255, 255));
    c.banner->setPalette(bannerPalette);
    c.banner->hide();

    c.start = new QPushButton(QStringLiteral("Start "), client);
    c.start->setObjectName(QStringLiteral("Command1"));
    c.start->setGeometry(px(kStart.left), px(kStart.top), px(kStart.width), px(kStart.height));
    QFont startFont = window.font();
    startFont.setBold(true);
    c.start->setFont(startFont);
    c.start->setEnabled(false);

    c.progress = new QProgressBar(&window);
    c.progress->setObjectName(QStringLiteral("ProgressBar1"));
    c.progress->setTextVisible(false);
    c.progress->setRange(0, 100);
    c.progress->setValue(0);

    return c;
}

} // namespace nuvora
