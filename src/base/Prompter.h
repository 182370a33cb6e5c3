#pragma once

#include <QString>

namespace nuvora {

// Message-box styles: an icon number plus the button set (always 0, OK only).
enum MessageStyle : int {
    kStyleCritical = 16,
    kStyleExclamation = 48,
    kStyleInformation = 64,
};

// The title of a box that has no title of its own.
inline const QString kAppTitle = QStringLiteral("Nuvora");

// The cancel code of the open-file dialog.
constexpr int kDialogCancelled = 32755;

struct OpenFileOptions {
    QString defaultExt; // "mhx"
    QString filter;     // in the dialog's own "Description|pattern" form
    unsigned flags = 0; // the open-file flags as the window asks for them
};

struct OpenFileAnswer {
    bool cancelled = true;
    QString fileName;  // full path
    QString fileTitle; // file name without its folder
};

// Every report to the operator and every file dialog goes through here, so that tests can
// record the boxes and answer the dialogs.
class Prompter {
public:
    virtual ~Prompter() = default;
    virtual void message(const QString &text, int style, const QString &title) = 0;
    virtual OpenFileAnswer openFile(const OpenFileOptions &options) = 0;
};

} // namespace nuvora
