#pragma once

#include "base/AppState.h"
#include "base/Prompter.h"
#include "image/SRecordReader.h"

namespace nuvora {

class SettingsFile;

// What the load commands change in the window: the banner, Start and the recent-file items.
class LoadView {
public:
    virtual ~LoadView() = default;
    virtual void ShowFileName(const QString &name) = 0;
    virtual void setBannerVisible(bool visible) = 0;
    virtual void setStartEnabled(bool enabled) = 0;
    virtual void ShowRecentFiles() = 0; // refresh the File menu from RecentFiles
};

// LoadFileMHX, and the operator's warning when the file holds no usable data (a rejected
// image); an error is left to the caller, whose report differs between the menu items.
LoadOutcome LoadImageFile(AppState &state, const QString &path, Prompter &prompter);

// The options of the Load dialog: *.mhx files that must exist, read-only box hidden.
OpenFileOptions loadDialogOptions();

// The name behind the last folder separator of a path; the whole path when it has none.
QString fileNameOf(const QString &path);

// File > Load and the four recent-file items: load an image and bring the window, the
// recent-file list and the settings file into line with the outcome.
class LoadCommands {
public:
    LoadCommands(AppState &state, Prompter &prompter, const SettingsFile &settings, LoadView &view);

    void smnuFile_Click(int index);
    void fileM_Click(int index); // 1..4

private:
    void showLoaded(const QString &name);
    void showNoFile();
    void recentFileFailed(int item);

    AppState &m_state;
    Prompter &m_prompter;
    const SettingsFile &m_settings;
    LoadView &m_view;
};

} // namespace nuvora
