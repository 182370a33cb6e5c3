#include "TerminalPrompter.h"
#include "TerminalRunView.h"

namespace nuvora::cli {

void TerminalPrompter::message(const QString &text, int style, const QString &title)
{
    // The icon part of the style (the button set is always OK only).
    const char *kind = "note";
    switch (style & 0x70) {
    case kStyleCritical:
        kind = "error";
        break;
    case kStyleExclamation:
        kind = "warning";
        break;
    default:
        break;
    }
    const QString shownTitle = title.isEmpty() ? kAppTitle : title;
    std::fprintf(m_to, "%s%s: %s: %s\n", qPrintable(labelPrefix(m_label)), kind,
                 qPrintable(shownTitle), qPrintable(text));
    ++m_boxes;
}

OpenFileAnswer TerminalPrompter::openFile(const OpenFileOptions &)
{
    return {};
}

} // namespace nuvora::cli
