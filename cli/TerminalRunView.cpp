#include "TerminalRunView.h"

#include <QString>

#include <cmath>

namespace nuvora::cli {

namespace {
constexpr int kBarWidth = 30;

QString clock(double seconds)
{
    const auto s = static_cast<long long>(std::llround(std::max(0.0, seconds)));
    return QStringLiteral("%1:%2").arg(s / 60).arg(s % 60, 2, 10, QLatin1Char('0'));
}
} // namespace

QString labelPrefix(const QString &label)
{
    return label.isEmpty() ? QString() : label + QStringLiteral(": ");
}

void TerminalRunView::setProgressMax(double max)
{
    m_max = max;
    m_frames = 0;
    m_lastTenth = -1;
    m_started.start();
    m_lastDraw.invalidate();
}

void TerminalRunView::setProgressValue(double value)
{
    // The run sets 0 twice (reset, and after the outcome box): nothing to show then.
    if (value <= 0 || m_max <= 0) {
        m_value = 0;
        return;
    }
    m_value = value;
    ++m_frames;
    draw(value >= m_max);
}

void TerminalRunView::SetLamp(LampState state)
{
    if (state == LampState::ErrOn)
        ++m_errors;
}

void TerminalRunView::EnableCommands()
{
    endLine();
}

void TerminalRunView::endLine()
{
    if (m_lineOpen) {
        draw(true); // the figures as they stand, not as last throttled
        std::fputc('\n', m_to);
        std::fflush(m_to);
        m_lineOpen = false;
    }
}

void TerminalRunView::draw(bool final)
{
    const double fraction = std::min(1.0, m_value / m_max);
    if (!m_interactive) {
        const int tenth = static_cast<int>(fraction * 10);
        if (tenth == m_lastTenth && !final)
            return;
        m_lastTenth = tenth;
    } else if (!final && m_lastDraw.isValid() &&
               m_lastDraw.elapsed() < kRedrawInterval.count()) {
        return; // a terminal redrawn for every frame would cost more than the frame
    }
    m_lastDraw.start();
    const double elapsed = std::max(1e-3, m_started.nsecsElapsed() / 1e9);
    const double rate = m_value / elapsed;
    const double left = rate > 0 ? (m_max - m_value) / rate : 0;
    const long long totalFrames = static_cast<long long>(std::ceil(m_max / kFrameBytes));
    const QString figures =
        QStringLiteral("%1/%2 bytes  %3/%4 frames  %5 B/s  %6 left")
            .arg(static_cast<long long>(m_value))
            .arg(static_cast<long long>(m_max))
            .arg(m_frames)
            .arg(totalFrames)
            .arg(static_cast<long long>(std::llround(rate)))
            .arg(clock(left));
    if (m_interactive) {
        const int filled = static_cast<int>(fraction * kBarWidth);
        const QString bar = QString(filled, QLatin1Char('#')) +
                            QString(kBarWidth - filled, QLatin1Char('.'));
        std::fprintf(m_to, "\r[%s] %3d%%  %s\033[K", qPrintable(bar),
                     static_cast<int>(fraction * 100), qPrintable(figures));
        m_lineOpen = true;
    } else {
        std::fprintf(m_to, "%sprogress %3d%%  %s\n", qPrintable(labelPrefix(m_label)),
                     static_cast<int>(fraction * 100), qPrintable(figures));
    }
    std::fflush(m_to);
}

} // namespace nuvora::cli
