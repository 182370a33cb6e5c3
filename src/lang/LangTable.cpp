#include "lang/LangTable.h"

#include "base/TextFile.h"

#include <QDir>

namespace nuvora {

bool LoadLanguage(AppState &state, const QString &programFolder)
{
    const TextLines file = ReadTextFile(
        QDir(programFolder).filePath(state.LanguageName + QStringLiteral(".lng")), kMaxLangLines);
    if (!file.ok)
        return false;
    for (int k = 1; k <= file.lines.size(); ++k)
        state.LangText[size_t(k)] = file.lines.at(k - 1);
    return true;
}

bool CheckLangFile(const QString &programFolder, const QString &currentFile,
                   const QString &chosenFile)
{
    const QDir folder(programFolder);
    // Lines past the table's end are ignored by the load, so they do not count here either.
    const TextLines current = ReadTextFile(folder.filePath(currentFile), kMaxLangLines);
    const TextLines chosen = ReadTextFile(folder.filePath(chosenFile), kMaxLangLines);
    if (!current.ok || !chosen.ok)
        return false;
    if (chosen.lines.size() < current.lines.size())
        return false;
    for (qsizetype i = 0; i < current.lines.size(); ++i) {
        if (current.lines.at(i).startsWith(kLangMarker) &&
            !chosen.lines.at(i).startsWith(kLangMarker))
            return false;
    }
    return true;
}

} // namespace nuvora
