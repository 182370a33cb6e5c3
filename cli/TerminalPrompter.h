#pragma once

#include "base/Prompter.h"

#include <cstdio>

namespace nuvora::cli {

// Shows message boxes as lines on a terminal stream; a terminal has no file dialog, so every
// dialog counts as cancelled.
class TerminalPrompter : public Prompter {
public:
    // A label (a port, when several devices are programmed at once) starts every line.
    explicit TerminalPrompter(std::FILE *to = stderr, const QString &label = {})
        : m_to(to), m_label(label)
    {
    }
    void message(const QString &text, int style, const QString &title) override;
    OpenFileAnswer openFile(const OpenFileOptions &options) override;
    int boxesShown() const { return m_boxes; }

private:
    std::FILE *m_to = stderr;
    QString m_label;
    int m_boxes = 0;
};

} // namespace nuvora::cli
