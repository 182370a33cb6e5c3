#include "TerminalPrompter.h"

#include "CommandLine.h"

namespace nuvora::cli {

void TerminalPrompter::message(const QString &text, int style, const QString &)
{
    // A box on a terminal is the end of a command: a warning box there means it failed. The
    // title only names the program, which the line's start already does.
    const bool failed = (style & 0x70) == kStyleCritical || (style & 0x70) == kStyleExclamation;
    std::fprintf(m_to, "%s%s%s\n", qPrintable(linePrefix(m_label)), failed ? "error: " : "",
                 qPrintable(text));
    ++m_boxes;
}

OpenFileAnswer TerminalPrompter::openFile(const OpenFileOptions &)
{
    return {};
}

} // namespace nuvora::cli
