#include "settings/SettingsFile.h"

#include "base/Decimal.h"
#include "base/FileErrors.h"
#include "base/FileWrite.h"
#include "base/TextFile.h"
#include "base/UserFolder.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryFile>

#include <limits>

namespace nuvora {

namespace {

constexpr int kSettingsLines = 6;
constexpr int kComKeyLength = 4;      // "COM="
constexpr int kLanguageKeyLength = 7; // "LINGUA="
constexpr int kFileKeyLength = 6;     // "FILE1=" to "FILE4="

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
    const QByteArray number = text.trimmed().toLatin1();
    const std::string_view digits(number.constData(), std::size_t(number.size()));
    std::size_t pos = 0;
    const bool negative = !digits.empty() && digits[0] == '-';
    if (!digits.empty() && (digits[0] == '-' || digits[0] == '+'))
        ++pos;
    // The negative side reaches one further than the positive one.
    const long limit = std::numeric_limits<std::int16_t>::max() + (negative ? 1 : 0);
    const std::optional<long> parsed = ReadDecimal(digits, pos, limit);
    if (!parsed || pos != digits.size())
        return false;
    value = std::int16_t(negative ? -*parsed : *parsed);
    return true;
}

} // namespace

SettingsFile::SettingsFile(const QString &programFolder)
{
    QString folder = programFolder;
    if (!folderWritable(folder)) {
        const QString user = UserFolder();
        if (!user.isEmpty())
            folder = user;
    }
    m_path = QDir(folder).filePath(kSettingsFileName);
}

ReadResult SettingsFile::read(AppState &state) const
{
    ReadResult result;
    const TextLines file = ReadTextFile(m_path, kSettingsLines);
    if (!file.ok) {
        // A file too long to hold six lines is junk that the reset replaces, without a word.
        result.unreadable = QFileInfo(m_path).isFile() && !file.tooLarge;
        // The reader names the file first; the box names it in a sentence of its own.
        const QString prefix = QDir::toNativeSeparators(m_path) + QStringLiteral(": ");
        result.reason = file.error.startsWith(prefix) ? file.error.mid(prefix.size()) : file.error;
        return result;
    }
    result.ok = readFields(file.lines, state);
    return result;
}

bool SettingsFile::readFields(const QStringList &lines, AppState &state)
{
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

    QDir().mkpath(QFileInfo(m_path).absolutePath());
    const WriteResult written = WriteWholeFile(m_path, bytes);
    result.ok = written.ok;
    result.error = written.error;
    result.reason = written.reason;
    return result;
}

QString SettingsFile::describeFailure(const SaveResult &result)
{
    return QStringLiteral("The settings file %1 cannot be written (%2). Port, language and "
                          "recent files will not be kept for the next start.")
        .arg(QDir::toNativeSeparators(result.path), result.reason);
}

QString SettingsFile::describeUnreadable(const ReadResult &result) const
{
    return QStringLiteral("The settings file %1 cannot be read (%2). The program starts with "
                          "port 1 and no recent files.")
        .arg(QDir::toNativeSeparators(m_path), result.reason);
}

} // namespace nuvora
