#pragma once

#include "base/Prompter.h"
#include "commands/ComMenuMarks.h"
#include "base/AppState.h"

#include <QString>

namespace nuvora {

// How a save of the settings file went.
struct SaveResult {
    bool ok = true;
    int error = 0;  // when !ok: 70 permission denied, 75 path/file access error
    QString path;   // the file that was written, or was to be
    QString reason; // when !ok: the system's words
};

inline const QString kSettingsFileName = QStringLiteral("nuvora.ini");

// The six-line settings file (port, language, four recent files). It lives in the program
// folder; when that folder is not writable (an installed copy) the same name in the per-user
// configuration folder is read and written instead, so that one file is both read and written.
//
// Line 1's value is taken as a whole decimal number with an optional sign; blanks around it
// are allowed, anything else (letters, a decimal point, hex) makes the file unreadable.
class SettingsFile {
public:
    explicit SettingsFile(const QString &programFolder);

    // The file that LoadFileINI reads and SaveFileINI writes.
    QString path() const { return m_path; }

    // Sets ComPort, LanguageName, RecentFiles and the Com menu's check mark from the file. Any
    // failure resets port and recent files and rewrites the file; only a failure of that
    // rewrite is shown, once, in a box.
    void LoadFileINI(AppState &state, ComMenuMarks &marks, Prompter &prompter) const;

    // Rewrites the whole file from the state, atomically: a failed save keeps the old file.
    SaveResult SaveFileINI(const AppState &state) const;

    // The box text for a failed save, for callers that report it the same way.
    static QString describeFailure(const SaveResult &result);

private:
    bool readFields(AppState &state) const;

    QString m_path;
};

} // namespace nuvora
