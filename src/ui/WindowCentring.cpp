#include "ui/WindowCentring.h"

#include <QScreen>
#include <QWidget>
#include <QWindow>

#include <chrono>
#include <cmath>

namespace nuvora {

namespace {
// A desktop that frames its windows does so soon after the first show (later on a machine
// under load), or never.
constexpr std::chrono::milliseconds kFrameWatchInterval{20};
constexpr std::chrono::seconds kFrameWait{20};
constexpr std::chrono::milliseconds kFrameSettle{500};
} // namespace

int twipsToPixels(double twips, double logicalDpi)
{
    return static_cast<int>(std::lround(twips / kTwipsPerPixel * logicalDpi / 96.0));
}

int centredOffset(double screenSize, double windowSize)
{
    // lrint rounds in the default mode, to nearest with halves to even; the integer division
    // then drops the remainder towards zero (-3 / 2 is -1).
    const long difference = std::lrint(screenSize - windowSize);
    return static_cast<int>(difference / 2);
}

void centreOver(QWidget &window, const QWidget &over)
{
    window.adjustSize();
    QRect placed(QPoint(), window.size());
    placed.moveCenter(over.frameGeometry().center());
    window.move(placed.topLeft());
}

WindowCentring::WindowCentring(QWidget &window) : QObject(&window), m_window(window)
{
    connect(&m_frameWatch, &QTimer::timeout, this, &WindowCentring::watchForFrame);
}

QMargins WindowCentring::frameMargins() const
{
    const QWindow *handle = m_window.windowHandle();
    return handle ? handle->frameMargins() : QMargins();
}

void WindowCentring::centre()
{
    m_window.adjustSize();
    // A native window knows its frame where the platform draws it (Windows).
    (void)m_window.winId();
    const QScreen *where = m_window.screen();
    if (!where)
        return;
    const QMargins margins = frameMargins();
    m_centredMargins = margins;
    if (!m_window.isVisible() && margins.isNull()) {
        m_frameWaited.start();
        m_frameSettled.invalidate();
        m_frameWatch.start(kFrameWatchInterval);
    }
    // The rule works in twips on the whole screen and the window's outer frame.
    const double dpi = where->logicalDotsPerInch();
    const double twipsPerPx = kTwipsPerPixel * 96.0 / dpi;
    const QRect area = where->geometry();
    const QSize frame = m_window.size().grownBy(margins);
    const int top = centredOffset(area.height() * twipsPerPx, frame.height() * twipsPerPx);
    const int left = centredOffset(area.width() * twipsPerPx, frame.width() * twipsPerPx);
    // Placed by its client area: what move() adds for a frame is not always up to date yet.
    const QPoint framePos(area.left() + twipsToPixels(left, dpi),
                          area.top() + twipsToPixels(top, dpi));
    m_window.setGeometry(QRect(framePos + QPoint(margins.left(), margins.top()), m_window.size()));
}

void WindowCentring::watchForFrame()
{
    // The margins Qt reports can be wrong for a moment while the window manager reparents the
    // window: centre again whenever they change, until they have held still a while.
    const QMargins margins = frameMargins();
    if (margins != m_centredMargins) {
        centre();
        m_frameSettled.start();
    }
    const bool settled = !margins.isNull() && m_frameSettled.isValid() &&
                         std::chrono::milliseconds(m_frameSettled.elapsed()) > kFrameSettle;
    if (settled || std::chrono::milliseconds(m_frameWaited.elapsed()) > kFrameWait)
        m_frameWatch.stop();
}

} // namespace nuvora
