#pragma once

#include "base/Prompter.h"

class QWidget;

namespace nuvora {

// "Description|pattern|Description|pattern" becomes Qt's "Description;;Description" (Qt reads
// the patterns from the parentheses of each description, so a pattern missing there is added).
QString qtFileFilter(const QString &filter);

// The real message boxes and the open-file dialog.
class WidgetPrompter : public Prompter {
public:
    explicit WidgetPrompter(QWidget *parent = nullptr) : m_parent(parent) {}
    void setParent(QWidget *parent) { m_parent = parent; }

    void message(const QString &text, int style, const QString &title) override;
    OpenFileAnswer openFile(const OpenFileOptions &options) override;

private:
    QWidget *m_parent = nullptr;
};

} // namespace nuvora
