#pragma once

#include "base/AppState.h"

#include <QString>

namespace nuvora {

// How a save of the settings file went.
struct SaveResult {
    bool ok = true;
    int error = 0;  // when !ok: 61 disk full, 70 permission denied, 75 path/file access error
    QString path;   // the file that was written, or was to be
    QString reason; // when !ok: the system's words
};

// What a read of the settings file found.
struct ReadResult {
    bool ok = false;         // all six lines read and the port usable
    bool unreadable = false; // the file is there but could not be read at all
    QString reason;          // when unreadable: the system's words
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

    // Sets ComPort, LanguageName and RecentFiles from the file, each as soon as its line is
    // read, so that a failure part way leaves the earlier ones set.
    ReadResult read(AppState &state) const;

    // Rewrites the whole file from the state, atomically: a failed save keeps the old file.
    SaveResult SaveFileINI(const AppState &state) const;

    // The operator's sentence for a failed save or an unreadable file.
    static QString describeFailure(const SaveResult &result);
    QString describeUnreadable(const ReadResult &result) const;

private:
    static bool readFields(const QStringList &lines, AppState &state);

    QString m_path;
};

} // namespace nuvora
