// Any byte sequence as a language file: loading keeps the table's shape, and a file always
// passes the compatibility check against itself.
#include "FuzzSupport.h"
#include "base/AppState.h"
#include "lang/LangTable.h"

#include <memory>

using namespace nuvora;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    fuzz::writeInput(QStringLiteral("Fuzz.lng"), data, size);
    const QString folder = fuzz::scratch().path();
    const auto state = std::make_unique<AppState>();
    state->LanguageName = QStringLiteral("Fuzz");
    // No line of a file can hold a line feed, so this marks the entries the load left alone.
    const QString untouched = QStringLiteral("\n");
    state->LangText.fill(untouched);

    fuzz::expect(LoadLanguage(*state, folder), "a readable language file did not load");
    fuzz::expect(state->LangText[0] == untouched, "entry 0 is not a line of the file");
    // Lines fill the table from entry 1 on: once one entry is untouched, all after it are.
    bool past = false;
    for (int k = 1; k < kLangTextSize; ++k) {
        const bool kept = state->LangText[std::size_t(k)] == untouched;
        fuzz::expect(!past || kept, "a gap in the loaded lines");
        past = past || kept;
    }
    fuzz::expect(CheckLangFile(folder, QStringLiteral("Fuzz.lng"), QStringLiteral("Fuzz.lng")),
                 "a language file refused itself");
    return 0;
}
