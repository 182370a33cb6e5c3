#include "commands/LoadCommands.h"

#include "base/LangTexts.h"
#include "settings/RecentFiles.h"
#include "settings/SettingsFile.h"

#include <QDir>

namespace nuvora {

namespace {

// The open-file flags: hide the read-only box, keep the current folder, the path and the file
// must exist, long file names.
constexpr unsigned kLoadDialogFlags = 0x20180C;

} // namespace

LoadOutcome LoadImageFile(AppState &state, const QString &path, Prompter &prompter)
{
    const LoadOutcome outcome = LoadFileMHX(state, path);
    if (outcome.kind == LoadOutcome::Kind::Rejected)
        prompter.message(state.LangText[kTextNoImageData], kStyleExclamation,
                         state.LangText[kTitleError]);
    return outcome;
}

OpenFileOptions loadDialogOptions()
{
    OpenFileOptions options;
    options.defaultExt = QStringLiteral("mhx");
    options.filter = QStringLiteral("Fujitsu S-file (*.mhx)|*.mhx");
    options.flags = kLoadDialogFlags;
    return options;
}

QString fileNameOf(const QString &path)
{
    // Only this platform's separators: on Linux a backslash is part of a file's name.
    const QString native = QDir::fromNativeSeparators(path);
    return native.mid(native.lastIndexOf(QLatin1Char('/')) + 1);
}

LoadCommands::LoadCommands(AppState &state, Prompter &prompter, const SettingsFile &settings,
                           LoadView &view)
    : m_state(state), m_prompter(prompter), m_settings(settings), m_view(view)
{
}

void LoadCommands::showLoaded(const QString &name)
{
    m_view.ShowFileName(name);
    m_view.setBannerVisible(true);
    m_view.setStartEnabled(true);
}

void LoadCommands::showNoFile()
{
    m_view.setBannerVisible(false);
    m_view.setStartEnabled(false);
}

void LoadCommands::smnuFile_Click(int index)
{
    if (index != 0)
        return;
    const OpenFileAnswer answer = m_prompter.openFile(loadDialogOptions());
    if (answer.cancelled)
        return; // a cancel changes nothing and says nothing
    m_state.CurrentFile = answer.fileName;
    const LoadOutcome outcome = LoadImageFile(m_state, m_state.CurrentFile, m_prompter);
    int error = outcome.kind == LoadOutcome::Kind::Error ? outcome.error : 0;
    if (outcome.loaded()) {
        m_view.ShowFileName(answer.fileTitle);
        AddRecentFile(m_state, answer.fileName);
        const SaveResult saved = m_settings.SaveFileINI(m_state);
        // The list keeps its new order in memory; the menu must show what memory holds.
        m_view.ShowRecentFiles();
        if (saved.ok) {
            showLoaded(answer.fileTitle);
            return;
        }
        error = saved.error;
    }
    if (error != 0) {
        m_prompter.message(m_state.LangText[kTextLoadFailed] + QLatin1Char(' ') +
                               QString::number(error),
                           kStyleCritical, m_state.LangText[kTitleError]);
    }
    showNoFile();
}

void LoadCommands::fileM_Click(int index)
{
    if (index < 1 || index > kRecentFileCount)
        return;
    m_state.CurrentFile = m_state.RecentFiles[static_cast<size_t>(index - 1)];
    const QString name = fileNameOf(m_state.CurrentFile);
    const LoadOutcome outcome = LoadImageFile(m_state, m_state.CurrentFile, m_prompter);
    if (outcome.kind == LoadOutcome::Kind::Error) {
        recentFileFailed(index);
        return;
    }
    if (outcome.loaded())
        showLoaded(name);
    else
        showNoFile(); // the reader has shown its warning
    // Even a rejected file moves to the top: the operator did choose it.
    AddRecentFile(m_state, m_state.CurrentFile);
    if (!m_settings.SaveFileINI(m_state).ok) {
        recentFileFailed(1); // the path is entry 0 by now: drop that, not its old place
        return;
    }
    m_view.ShowRecentFiles();
}

void LoadCommands::recentFileFailed(int item)
{
    m_prompter.message(QStringLiteral("File not found"), kStyleInformation, kAppTitle);
    RemoveRecentFile(m_state, item);
    m_state.CurrentFile.clear();
    // The reader may already have erased the image buffer.
    showNoFile();
    // Whatever went wrong has been reported once; a second failure here adds nothing.
    (void)m_settings.SaveFileINI(m_state);
    m_view.ShowRecentFiles();
}

} // namespace nuvora
