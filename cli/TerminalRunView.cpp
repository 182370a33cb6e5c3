#include "TerminalRunView.h"

#include "transfer/FrameProtocol.h"

#include <QStringList>

#include <cmath>

namespace nuvora::cli {

namespace {

constexpr int kMinBar = 10;
constexpr int kMaxBar = 50;

QString clock(double seconds)
{
    const auto s = static_cast<long long>(std::llround(std::max(0.0, seconds)));
    return QStringLiteral("%1:%2").arg(s / 60).arg(s % 60, 2, 10, QLatin1Char('0'));
}

QString rateText(double bytesPerSecond)
{
    if (bytesPerSecond >= 1000)
        return QStringLiteral("%1 kB/s").arg(bytesPerSecond / 1000, 0, 'f', 1);
    return QStringLiteral("%1 B/s").arg(std::llround(bytesPerSecond));
}

} // namespace

QString labelPrefix(const QString &label)
{
    return label.isEmpty() ? QString() : label + QStringLiteral(": ");
}

TerminalRunView::TerminalRunView(std::FILE *to, const ViewOptions &options)
    : m_to(to), m_options(options)
{
    m_lateDraw.setSingleShot(true);
    QObject::connect(&m_lateDraw, &QTimer::timeout, [this] { draw(false); });
}

void TerminalRunView::DisableCommands()
{
    // The port is open and the probe goes out: up to five seconds of silence otherwise.
    if (!m_options.quiet)
        printLine(QStringLiteral("probing %1...").arg(m_options.port));
}

void TerminalRunView::EnableCommands()
{
    m_lateDraw.stop();
    endLine();
}

void TerminalRunView::setProgressMax(double max)
{
    m_max = max;
    m_frames = 0;
    m_attempts = 0;
    m_writing = true;
    m_lastTenth = -1;
    m_started.start();
    m_lastDraw.invalidate();
}

void TerminalRunView::setProgressValue(double value)
{
    // The run sets 0 twice (reset, and after the outcome): nothing to show then.
    if (value <= 0 || m_max <= 0)
        return;
    m_value = value;
    ++m_frames;
    m_attempts = 0;
    draw(value >= m_max);
}

void TerminalRunView::beginReadBack()
{
    // The written image's bar stays on screen; the check gets a line of its own.
    endLine();
    m_reading = true;
}

void TerminalRunView::SetLamp(LampState state)
{
    if (state == LampState::TxOn)
        attemptSent();
    else if (state == LampState::RxOn)
        m_answered = true;
}

void TerminalRunView::attemptSent()
{
    if (m_attempts++ == 0) {
        m_answered = false;
        return;
    }
    ++m_resent;
    const QString why = m_answered ? QStringLiteral("the acknowledgement was wrong")
                                   : QStringLiteral("no answer in time");
    m_answered = false;
    if (!m_options.verbose)
        return;
    const QString what = m_writing
                             ? QStringLiteral("%1frame %2 (address 0x%3)")
                                   .arg(m_reading ? QStringLiteral("read ") : QString())
                                   .arg(m_frames + 1)
                                   .arg(m_frames * protocol::kPageBytes, 4, 16, QLatin1Char('0'))
                             : QStringLiteral("probe");
    printLine(QStringLiteral("%1 sent again: %2").arg(what, why));
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

void TerminalRunView::printLine(const QString &text, bool labelled)
{
    if (m_lineOpen)
        std::fputs("\r\033[K", m_to);
    const QString label = labelled ? labelPrefix(m_options.label) : QString();
    std::fprintf(m_to, "%s%s\n", qPrintable(label), qPrintable(text));
    if (m_lineOpen)
        std::fprintf(m_to, "%s", qPrintable(barLine()));
    std::fflush(m_to);
}

long long TerminalRunView::totalFrames() const
{
    return static_cast<long long>(std::ceil(m_max / protocol::kPageBytes));
}

QString TerminalRunView::figures(bool withRate) const
{
    const double elapsed = std::max(1e-3, m_started.nsecsElapsed() / 1e9);
    const double rate = m_value / elapsed;
    QString text = QStringLiteral("%1/%2 bytes  %3/%4 frames")
                       .arg(static_cast<long long>(m_value))
                       .arg(static_cast<long long>(m_max))
                       .arg(m_frames)
                       .arg(totalFrames());
    if (withRate) {
        const double left = rate > 0 ? (m_max - m_value) / rate : 0;
        text += QStringLiteral("  %1  %2 left").arg(rateText(rate), clock(left));
    }
    return text;
}

// The widest line that fits: the bar shrinks first, then the figures lose their least useful
// parts; one column stays free, so that no terminal wraps the line.
QString TerminalRunView::barLine() const
{
    const double fraction = std::min(1.0, m_value / m_max);
    const QString percent = QStringLiteral("%1%2%")
                                .arg(m_reading ? QStringLiteral("verify ") : QString())
                                .arg(int(fraction * 100), 3);
    const QStringList choices{figures(true), figures(false),
                              QStringLiteral("%1/%2 frames").arg(m_frames).arg(totalFrames()),
                              QString()};
    const int room = std::max(1, m_options.columns - 1);
    for (const QString &tail : choices) {
        const QString text = percent + (tail.isEmpty() ? QString() : QStringLiteral("  ") + tail);
        const int bar = std::min(kMaxBar, room - int(text.size()) - 3);
        if (bar < kMinBar && !tail.isEmpty())
            continue;
        if (bar < 1)
            return text.left(room);
        const int filled = static_cast<int>(fraction * bar);
        return QStringLiteral("[%1%2] %3")
            .arg(QString(filled, QLatin1Char('#')), QString(bar - filled, QLatin1Char('.')), text);
    }
    return percent;
}

void TerminalRunView::draw(bool final)
{
    if (m_options.quiet || m_max <= 0)
        return;
    const double fraction = std::min(1.0, m_value / m_max);
    if (!m_options.interactive) {
        const int tenth = static_cast<int>(fraction * 10);
        if (tenth == m_lastTenth && !final)
            return;
        m_lastTenth = tenth;
        std::fprintf(m_to, "%s%s %3d%%  %s\n", qPrintable(labelPrefix(m_options.label)),
                     m_reading ? "verify  " : "progress", static_cast<int>(fraction * 100),
                     qPrintable(figures(true)));
        std::fflush(m_to);
        return;
    }
    if (!final && m_lastDraw.isValid() && m_lastDraw.elapsed() < kRedrawInterval.count()) {
        // A terminal redrawn for every frame would cost more than the frame; draw a little
        // later instead, so that the bar never lags behind a device that stops answering.
        if (!m_lateDraw.isActive())
            m_lateDraw.start(kRedrawInterval - std::chrono::milliseconds(m_lastDraw.elapsed()));
        return;
    }
    m_lateDraw.stop();
    m_lastDraw.start();
    std::fprintf(m_to, "\r%s\033[K", qPrintable(barLine()));
    m_lineOpen = true;
    std::fflush(m_to);
}

} // namespace nuvora::cli
