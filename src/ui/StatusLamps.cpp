#include "ui/StatusLamps.h"

#include <QLabel>
#include <QPainter>
#include <QProgressBar>
#include <QVariant>

#include <cmath>

namespace nuvora {

namespace {

constexpr int kLampPixels = 15;
const char *const kTagProperty = "tag";

struct LampLook {
    const char *letters;
    QColor ground; // transparent for an unlit lamp
};

LampLook lookOf(int image)
{
    switch (image) {
    case 1:
        return {"TX", Qt::transparent};
    case 2:
        return {"RX", Qt::transparent};
    case 3:
        return {"ER", Qt::transparent};
    case 4:
        return {"TX", QColor(255, 255, 0)};
    case 5:
        return {"RX", QColor(0, 255, 0)};
    default:
        return {"ER", QColor(255, 0, 0)};
    }
}

// The panel (0 TX, 1 RX, 2 ER) that shows a lamp state.
int panelOf(int state)
{
    return (state - 1) % 3;
}

} // namespace

QPixmap lampPicture(int image, qreal devicePixelRatio)
{
    const LampLook look = lookOf(image);
    const int side = static_cast<int>(std::ceil(kLampPixels * devicePixelRatio));
    QPixmap picture(side, side);
    picture.setDevicePixelRatio(devicePixelRatio);
    picture.fill(look.ground);
    QPainter painter(&picture);
    painter.setRenderHint(QPainter::TextAntialiasing);
    QFont font(QStringLiteral("Arial"));
    font.setPixelSize(8);
    font.setBold(true);
    painter.setFont(font);
    painter.setPen(Qt::black);
    painter.drawText(QRectF(0, 0, kLampPixels, kLampPixels), Qt::AlignCenter,
                     QString::fromLatin1(look.letters));
    return picture;
}

StatusLamps::StatusLamps(QWidget *parent) : QStatusBar(parent)
{
    setObjectName(QStringLiteral("StatusBar1"));
    setSizeGripEnabled(false);
    m_timer1.setObjectName(QStringLiteral("Timer1"));
    m_timer2.setObjectName(QStringLiteral("Timer2"));
    for (QTimer *timer : {&m_timer1, &m_timer2}) {
        timer->setSingleShot(true);
        timer->setInterval(kLampHold);
    }
    connect(&m_timer1, &QTimer::timeout, this, &StatusLamps::Timer1_Timer);
    connect(&m_timer2, &QTimer::timeout, this, &StatusLamps::Timer2_Timer);
}

void StatusLamps::InitStatusBar(QProgressBar *progressBar, double pixelsPerTwip)
{
    const int height = static_cast<int>(std::lround(kLampPanelTwips * pixelsPerTwip));
    setFixedHeight(height);
    // The filler springs to the width the lamps leave; the progress bar lives in it.
    if (progressBar)
        addWidget(progressBar, 1);
    for (int image = 1; image <= 6; ++image)
        m_pictures[static_cast<size_t>(image - 1)] = lampPicture(image, devicePixelRatioF());
    for (int lamp = 0; lamp < 3; ++lamp) {
        auto *panel = new QLabel(this);
        panel->setObjectName(QStringLiteral("StatusPanel%1").arg(lamp + 2));
        panel->setAlignment(Qt::AlignCenter);
        panel->setMinimumWidth(height);
        panel->setPixmap(m_pictures[static_cast<size_t>(lamp)]);
        panel->setProperty(kTagProperty, QVariant::fromValue<qint16>(qint16(lamp + 1)));
        addPermanentWidget(panel);
        m_panels[static_cast<size_t>(lamp)] = panel;
    }
}

void StatusLamps::SetLamp(LampState lamp)
{
    const int state = int(lamp);
    if (state < int(LampState::TxOff) || state > int(LampState::ErrOn))
        return;
    // Every TxOn and RxOn restarts its countdown, whether or not the picture changes.
    if (lamp == LampState::TxOn)
        m_timer1.start();
    else if (lamp == LampState::RxOn)
        m_timer2.start();
    QLabel *panel = m_panels[static_cast<size_t>(panelOf(state))];
    if (!panel || panel->property(kTagProperty).value<qint16>() == state)
        return; // the cheap path taken for thousands of frames a run
    panel->setProperty(kTagProperty, QVariant::fromValue<qint16>(qint16(state)));
    panel->setPixmap(m_pictures[static_cast<size_t>(state - 1)]);
    ++m_pictureChanges;
}

int StatusLamps::lampTag(int lamp) const
{
    const QLabel *panel = m_panels[static_cast<size_t>(lamp)];
    return panel ? panel->property(kTagProperty).value<qint16>() : 0;
}

void StatusLamps::Timer1_Timer()
{
    SetLamp(LampState::TxOff);
    m_timer1.stop();
}

void StatusLamps::Timer2_Timer()
{
    SetLamp(LampState::RxOff);
    SetLamp(LampState::ErrOff);
    m_timer2.stop();
}

} // namespace nuvora
