#pragma once

#include "base/LampState.h"

#include <QPixmap>
#include <QStatusBar>
#include <QTimer>

#include <array>
#include <chrono>

class QLabel;
class QProgressBar;

namespace nuvora {

// How long a TX or RX lamp stays lit after it was last lit.
constexpr std::chrono::milliseconds kLampHold{500};

// Lamp panels are at least 255 twips wide and the bar 255 twips high (17 px at 96 dpi).
constexpr int kLampPanelTwips = 255;

// One of the six lamp pictures (1..6): two black capital letters on a transparent, yellow,
// green or red ground, 15 x 15 logical pixels.
QPixmap lampPicture(int image, qreal devicePixelRatio = 1.0);

// The status bar with the progress bar in its filler panel and the TX, RX and ER lamps at the
// right; each lamp's whole state is the "tag" property of its panel.
class StatusLamps : public QStatusBar {
    Q_OBJECT
public:
    explicit StatusLamps(QWidget *parent = nullptr);

    // Builds the filler panel (holding the given progress bar) and the three lamp panels.
    void InitStatusBar(QProgressBar *progressBar, double pixelsPerTwip);
    // Values outside the six states are ignored.
    void SetLamp(LampState state);

    // The state (1..6) that a lamp panel shows, read from its tag; 0 before InitStatusBar.
    int lampTag(int lamp) const; // lamp 0 = TX, 1 = RX, 2 = ER
    QLabel *lampPanel(int lamp) const { return m_panels[static_cast<size_t>(lamp)]; }
    // Number of times a panel's picture was replaced; a repeated state must not add to it.
    int pictureChanges() const { return m_pictureChanges; }

    QTimer &timer1() { return m_timer1; }
    QTimer &timer2() { return m_timer2; }

private:
    void Timer1_Timer();
    void Timer2_Timer();

    std::array<QPixmap, 6> m_pictures; // the image list: pictures 1..6
    std::array<QLabel *, 3> m_panels{};
    QTimer m_timer1;
    QTimer m_timer2;
    int m_pictureChanges = 0;
};

} // namespace nuvora
