#pragma once

#include "base/AppState.h"

#include <QString>

#include <array>

namespace nuvora {

// What the File menu's recent-file part should show.
struct RecentMenuItem {
    QString caption;
    bool visible = false;
};
struct RecentMenu {
    std::array<RecentMenuItem, kRecentFileCount> items;
};

// Puts path at the top of RecentFiles: an equal entry (the last one, letter case counting)
// moves up, otherwise the oldest entry drops out. The caller then saves and refreshes.
void AddRecentFile(AppState &state, const QString &path);

// Drops the entry of menu item 1..4; the later entries move up and the last becomes free.
// Other item numbers change nothing.
void RemoveRecentFile(AppState &state, int item);

// The menu for the current list: one item per entry, shown while the entry is not empty (the
// separator below Load stays whatever the list holds).
RecentMenu ShowRecentFiles(const AppState &state);

} // namespace nuvora
