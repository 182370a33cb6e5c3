// Any byte sequence as the settings file: reading it must never fail towards the caller, and
// whatever it leaves in the state must come back unchanged from the file it saves.
#include "FuzzSupport.h"
#include "base/AppState.h"
#include "commands/ComMenuMarks.h"
#include "commands/SettingsCommands.h"

#include <memory>

using namespace nuvora;

namespace {

class Marks : public ComMenuMarks {
public:
    void setComChecked(int index, bool checked) override
    {
        fuzz::expect(index >= 1 && index <= 4, "a Com item outside 1..4 was marked");
        if (checked)
            ++marked;
    }
    void setUsbChecked(bool checked) override
    {
        if (checked)
            ++marked;
    }
    int marked = 0;
};

bool sameFields(const AppState &a, const AppState &b)
{
    return a.ComPort == b.ComPort && a.LanguageName == b.LanguageName &&
           a.RecentFiles == b.RecentFiles;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    fuzz::writeInput(kSettingsFileName, data, size);
    const SettingsFile file(fuzz::scratch().path());
    fuzz::CountingPrompter prompter;

    const auto first = std::make_unique<AppState>();
    Marks marks;
    LoadFileINI(file, *first, marks, prompter);
    fuzz::expect(prompter.shown == 0, "reading a writable folder's settings showed a box");
    fuzz::expect(first->ComPort >= 1, "a port number below 1 survived the reader");
    fuzz::expect(marks.marked <= 1, "more than one Com item was marked");

    const SaveResult saved = file.SaveFileINI(*first);
    fuzz::expect(saved.ok, "the settings could not be saved");
    const auto second = std::make_unique<AppState>();
    Marks marksAgain;
    LoadFileINI(file, *second, marksAgain, prompter);
    fuzz::expect(sameFields(*first, *second), "the saved settings read back differently");
    fuzz::expect(marksAgain.marked == 1, "a saved file gave no Com check mark");
    return 0;
}
