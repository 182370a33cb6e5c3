#include "commands/SettingsCommands.h"

#include "base/Prompter.h"
#include "commands/ComMenuMarks.h"

namespace nuvora {

namespace {
constexpr std::int16_t kDefaultComPort = 1;
} // namespace

void LoadFileINI(const SettingsFile &settings, AppState &state, ComMenuMarks &marks,
                 Prompter &prompter)
{
    const ReadResult read = settings.read(state);
    if (read.ok) {
        if (state.ComPort <= kComMenuItems)
            marks.setComChecked(state.ComPort, true);
        else
            marks.setUsbChecked(true);
        return;
    }
    state.ComPort = kDefaultComPort;
    for (QString &entry : state.RecentFiles)
        entry.clear();
    if (read.unreadable)
        prompter.message(settings.describeUnreadable(read), kStyleExclamation, kAppTitle);
    const SaveResult saved = settings.SaveFileINI(state);
    // One box is enough: an unreadable file usually cannot be written either.
    if (!saved.ok && !read.unreadable)
        prompter.message(SettingsFile::describeFailure(saved), kStyleExclamation, kAppTitle);
}

SaveResult SaveSettings(const SettingsFile &settings, const AppState &state, Prompter &prompter)
{
    const SaveResult saved = settings.SaveFileINI(state);
    if (!saved.ok)
        prompter.message(SettingsFile::describeFailure(saved), kStyleExclamation, kAppTitle);
    return saved;
}

} // namespace nuvora
