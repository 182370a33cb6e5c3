#include "settings/RecentFiles.h"

namespace nuvora {

void AddRecentFile(AppState &state, const QString &path)
{
    auto &entries = state.RecentFiles;
    int found = -1;
    // No early stop: with a hand-edited file holding a path twice, the later copy moves.
    for (int i = 0; i < kRecentFileCount; ++i) {
        if (entries[size_t(i)] == path)
            found = i;
    }
    const int from = found >= 0 ? found : kRecentFileCount - 1;
    for (int i = from; i >= 1; --i)
        entries[size_t(i)] = entries[size_t(i - 1)];
    entries[0] = path;
}

void RemoveRecentFile(AppState &state, int item)
{
    if (item < 1 || item > kRecentFileCount)
        return;
    auto &entries = state.RecentFiles;
    for (int i = item; i < kRecentFileCount; ++i)
        entries[size_t(i - 1)] = entries[size_t(i)];
    entries[kRecentFileCount - 1].clear();
}

RecentMenu ShowRecentFiles(const AppState &state)
{
    RecentMenu menu;
    for (int i = 0; i < kRecentFileCount; ++i) {
        menu.items[size_t(i)].caption = state.RecentFiles[size_t(i)];
        menu.items[size_t(i)].visible = !state.RecentFiles[size_t(i)].isEmpty();
    }
    return menu;
}

} // namespace nuvora
