#pragma once

#include "base/RunView.h"

#include <QElapsedTimer>
#include <QString>

#include <chrono>
#include <cstdio>

namespace nuvora::cli {

// "LABEL: " for a labelled line, nothing without a label.
QString labelPrefix(const QString &label);

// The programming run's front end on a terminal: a progress bar redrawn in place when the
// stream is a terminal, otherwise a plain line every tenth of the image.
class TerminalRunView : public RunView {
public:
    static constexpr std::chrono::milliseconds kRedrawInterval{100};
    static constexpr int kFrameBytes = 16;

    // A label (a port, when several devices are programmed at once) starts every plain line.
    TerminalRunView(std::FILE *to, bool interactive, const QString &label = {})
        : m_to(to), m_interactive(interactive), m_label(label)
    {
    }

    void DisableCommands() override {}
    void EnableCommands() override;
    void setProgressMax(double max) override;
    void setProgressValue(double value) override;
    void SetLamp(LampState state) override;

    // Ends a bar left open on the terminal, so that a message starts on a line of its own.
    void endLine();
    int framesAnswered() const { return m_frames; }
    int errors() const { return m_errors; }
    QString label() const { return m_label; }

private:
    void draw(bool final);

    std::FILE *m_to = stderr;
    bool m_interactive = false;
    QString m_label;
    double m_max = 0;
    double m_value = 0;
    int m_frames = 0;
    int m_errors = 0;
    int m_lastTenth = -1;
    bool m_lineOpen = false;
    QElapsedTimer m_started;
    QElapsedTimer m_lastDraw;
};

} // namespace nuvora::cli
