#pragma once

#include "app/Prompter.h"

#include <cstdio>

namespace nuvora::cli {

// Shows message boxes as lines on a terminal stream; a terminal has no file dialog, so every
// dialog counts as cancelled.
class TerminalPrompter : public Prompter {
public:
    explicit TerminalPrompter(std::FILE *to = stderr) : m_to(to) {}
    void message(const QString &text, int style, const QString &title) override;
    OpenFileAnswer openFile(const OpenFileOptions &options) override;
    int boxesShown() const { return m_boxes; }

private:
    std::FILE *m_to = stderr;
    int m_boxes = 0;
};

} // namespace nuvora::cli
