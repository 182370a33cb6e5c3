#pragma once

#include "base/AppState.h"

#include <QString>

namespace nuvora {

// The most lines a language file can give: LangText has entries 1 to 500.
constexpr int kMaxLangLines = kLangTextSize - 1;

// Lines that fix a language file's layout start with this.
inline const QString kLangMarker = QStringLiteral(";--");

// Loads programFolder/LanguageName.lng into LangText(1..n); lines beyond 500 are ignored and
// entries above n keep their text. A file that cannot be read leaves LangText as it was and
// gives false.
bool LoadLanguage(AppState &state, const QString &programFolder);

// True when chosenFile (a name in programFolder, with extension) has at least as many lines
// as currentFile and a marker line wherever currentFile has one. A file that cannot be read
// refuses the switch.
bool CheckLangFile(const QString &programFolder, const QString &currentFile,
                   const QString &chosenFile);

} // namespace nuvora
