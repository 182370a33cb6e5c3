#pragma once

#include "base/RunView.h"

#include <QElapsedTimer>
#include <QString>
#include <QTimer>

#include <chrono>
#include <cstdio>

namespace nuvora::cli {

// "LABEL: " for a labelled line, nothing without a label.
QString labelPrefix(const QString &label);

// How a run shows itself on a terminal.
struct ViewOptions {
    QString label;            // the port as given, when several devices run at once
    QString port;             // "COM7 (/dev/pts/2)", for the probing line
    bool interactive = false; // a bar redrawn in place, rather than a line every tenth
    int columns = 80;         // the terminal's width, for the bar
    bool quiet = false;       // no progress and no notes
    bool verbose = false;     // a line for every frame sent again
};

// The programming run's front end on a terminal: a progress bar redrawn in place when the
// stream is a terminal, otherwise a plain line every tenth of the image. It counts the frames
// the device answered, and from the lamps the attempts that had to be sent again.
class TerminalRunView : public RunView {
public:
    static constexpr std::chrono::milliseconds kRedrawInterval{100};

    TerminalRunView(std::FILE *to, const ViewOptions &options);

    void DisableCommands() override;
    void EnableCommands() override;
    void setProgressMax(double max) override;
    void setProgressValue(double value) override;
    void SetLamp(LampState state) override;
    void beginReadBack() override;

    // Ends a bar left open on the terminal, so that a message starts on a line of its own.
    void endLine();
    // A line of its own, above the bar when one is shown; labelled with the port unless it
    // concerns every run.
    void printLine(const QString &text, bool labelled = true);
    int framesAnswered() const { return m_frames; }
    int framesResent() const { return m_resent; }
    QString label() const { return m_options.label; }

private:
    void draw(bool final);
    // The frames a run of this image sends: one per page begun.
    long long totalFrames() const;
    QString figures(bool withRate) const;
    QString barLine() const;
    void attemptSent();

    std::FILE *m_to = stderr;
    ViewOptions m_options;
    double m_max = 0;
    double m_value = 0;
    int m_frames = 0;
    int m_resent = 0;
    int m_attempts = 0;      // attempts of the frame (or probe) under way
    bool m_answered = false; // the last attempt got an answer, which was refused
    bool m_writing = false;  // past the probe
    bool m_reading = false;  // reading the written pages back
    int m_lastTenth = -1;
    bool m_lineOpen = false;
    QElapsedTimer m_started;
    QElapsedTimer m_lastDraw;
    QTimer m_lateDraw; // a throttled redraw, so that a stall shows the frames answered so far
};

} // namespace nuvora::cli
