#pragma once

#include <QElapsedTimer>
#include <QMargins>
#include <QObject>
#include <QTimer>

class QWidget;

namespace nuvora {

// Twips of the designed layout become pixels at 15 twips per pixel on a 96 dpi screen.
constexpr double kTwipsPerPixel = 15.0;

// A length of the designed layout on a screen of the given logical dots per inch.
int twipsToPixels(double twips, double logicalDpi);

// One coordinate of the centred window: (screen - window) rounded to a whole unit, halves to
// the even neighbour, then halved with the remainder dropped towards zero. Negative when the
// window is larger than the screen.
int centredOffset(double screenSize, double windowSize);

// Places window (a box) with its centre on the centre of over's outer frame.
void centreOver(QWidget &window, const QWidget &over);

// Centres a top-level window on its screen by its outer frame, in twips. Under X11 the window
// manager adds the frame only some time after the first show, and Qt does not always say so
// by an event: the centring then watches for the frame and centres again once it is there.
class WindowCentring : public QObject {
    Q_OBJECT
public:
    explicit WindowCentring(QWidget &window);

    void centre();

private:
    void watchForFrame();
    QMargins frameMargins() const;

    QWidget &m_window;
    QTimer m_frameWatch;
    QElapsedTimer m_frameWaited;
    QElapsedTimer m_frameSettled;
    QMargins m_centredMargins;
};

} // namespace nuvora
