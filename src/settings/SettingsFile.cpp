#include "settings/SettingsFile.h"

#include "base/FileErrors.h"
#include "base/TextFile.h"

#include <QDir>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>
#include <QTemporaryFile>

#include <limits>

namespace nuvora {

namespace {

constexpr int kSettingsLines = 6;
constexpr int kComKeyLength = 4;      // "COM="
constexpr int kLanguageKeyLength = 7; // "LINGUA="
constexpr int kFileKeyLength = 6;     // "FILE1=" to "FILE4="
constexpr int kLastComMenuItem = 4;
constexpr std::int16_t kDefaultComPort = 1;

// Whether files can be created in folder. Asking the file system by creating one is the only
// answer that holds for ACLs, read-only mounts and Windows' protected folders alike.
bool folderWritable(const QString &folder)
{
    if (!QFileInfo(folder).isDir())
        return false;
    QTemporaryFile probe(QDir(folder).filePath(QStringLiteral(".nuvora-probe-XXXXXX")));
    return probe.open();
}

// A whole number in the 16-bit signed range, blanks around it allowed.
bool parseComPort(const QString &text, std::int16_t &value)
{
    const QString number = text.trimmed();
    if (number.isEmpty())
        return false;
    for (qsizetype i = 0; i < number.size(); ++i) {
        const QChar c = number.at(i);
        const bool sign = i == 0 && (c == QLatin1Char('+') || c == QLatin1Char('-'));
        if (!sign && (c < QLatin1Char('0') || c > QLatin1Char('9')))
            return false;
    }
    bool ok = false;
    const int parsed = number.toInt(&ok, 10);
    if (!ok || parsed < std::numeric_limits<std::int16_t>::min() ||
        parsed > std::numeric_limits<std::int16_t>::max())
        return false;
    value = std::int16_t(parsed);
    return true;
}

} // namespace

SettingsFile::SettingsFile(const QString &programFolder)
{
    QString folder = programFolder;
    if (!folderWritable(folder)) {
        const QString config = QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation);
        if (!config.isEmpty())
            folder = config;
    }
    m_path = QDir(folder).filePath(kSettingsFileName);
}

bool SettingsFile::readFields(AppState &state) const
{
    const TextLines file = ReadTextFile(m_path, kSettingsLines);
    if (!file.ok)
        return false;
    const QStringList &lines = file.lines;

    // Each field is stored as soon as its line is read, so a later failure leaves it set.
    std::int16_t port = 0;
    if (lines.size() < 1 || !parseComPort(lines.at(0).mid(kComKeyLength), port))
        return false;
    state.ComPort = port;

    if (lines.size() < 2 || lines.at(1).size() < kLanguageKeyLength)
        return false;
    state.LanguageName = lines.at(1).mid(kLanguageKeyLength);

    for (int entry = 0; entry < kRecentFileCount; ++entry) {
        const int line = 2 + entry;
        if (lines.size() <= line || lines.at(line).size() < kFileKeyLength)
            return false;
        state.RecentFiles[size_t(entry)] = lines.at(line).mid(kFileKeyLength);
    }
    // The Com menu has no item for a port below 1.
    return state.ComPort >= 1;
}

void SettingsFile::LoadFileINI(AppState &state, ComMenuMarks &marks, Prompter &prompter) const
{
    if (readFields(state)) {
        if (state.ComPort <= kLastComMenuItem)
            marks.setComChecked(state.ComPort, true);
        else
            marks.setUsbChecked(true);
        return;
    }
    state.ComPort = kDefaultComPort;
    for (QString &entry : state.RecentFiles)
        entry.clear();
    const SaveResult saved = SaveFileINI(state);
    if (!saved.ok)
        prompter.message(describeFailure(saved), kStyleExclamation, kAppTitle);
}

SaveResult SettingsFile::SaveFileINI(const AppState &state) const
{
    SaveResult result;
    result.path = m_path;

    QString text =
        QStringLiteral("COM=%1\r\nLINGUA=%2\r\n").arg(state.ComPort).arg(state.LanguageName);
    for (int entry = 0; entry < kRecentFileCount; ++entry)
        text +=
            QStringLiteral("FILE%1=%2\r\n").arg(entry + 1).arg(state.RecentFiles[size_t(entry)]);
    const QByteArray bytes = text.toUtf8();

    const QFileInfo target(m_path);
    QDir().mkpath(target.absolutePath());
    if (target.isDir()) {
        result.ok = false;
        result.error = kErrPathAccess;
        result.reason = QStringLiteral("a folder has the settings file's name");
        return result;
    }
    QSaveFile file(m_path);
    if (file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.commit())
        return result;

    result.ok = false;
    result.reason = file.errorString();
    const QFileInfo folder(target.absolutePath());
    const bool denied =
        (target.exists() && !target.isWritable()) || (folder.isDir() && !folder.isWritable());
    result.error = denied ? kErrPermissionDenied : kErrPathAccess;
    return result;
}

QString SettingsFile::describeFailure(const SaveResult &result)
{
    return QStringLiteral("The settings file %1 cannot be written (%2). Port, language and "
                          "recent files will not be kept for the next start.")
        .arg(QDir::toNativeSeparators(result.path), result.reason);
}

} // namespace nuvora
