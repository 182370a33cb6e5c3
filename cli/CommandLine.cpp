#include "CommandLine.h"

#include "base/FileErrors.h"
#include "base/VersionText.h"
#include "commands/LoadCommands.h"
#include "image/RecordCheck.h"
#include "lang/LangTable.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

namespace nuvora::cli {

namespace {

constexpr std::size_t kMostRecordWarnings = 20;

// The classic error numbers in words, as a terminal user reads them.
QString errorWords(int number)
{
    switch (number) {
    case kErrIndexOutOfRange:
        return QStringLiteral("index out of range");
    case kErrTypeMismatch:
        return QStringLiteral("type mismatch");
    case kErrFileNotFound:
        return QStringLiteral("file not found");
    case kErrDeviceIo:
        return QStringLiteral("device I/O error");
    case kErrDiskFull:
        return QStringLiteral("disk full");
    case kErrPermissionDenied:
        return QStringLiteral("permission denied");
    case kErrPathAccess:
        return QStringLiteral("path/file access error");
    default:
        return QStringLiteral("error");
    }
}

// The language file's name as it is on disk when only its case differs from the one asked.
QString languageOnDisk(const QString &folder, const QString &language)
{
    const QString wanted = language + QStringLiteral(".lng");
    if (QFileInfo::exists(folder + QLatin1Char('/') + wanted))
        return language;
    const QStringList files = QDir(folder).entryList({QStringLiteral("*.lng")}, QDir::Files);
    for (const QString &file : files) {
        if (file.compare(wanted, Qt::CaseInsensitive) == 0)
            return file.chopped(4);
    }
    return language;
}

} // namespace

QString linePrefix(const QString &label)
{
    return (label.isEmpty() ? QStringLiteral("nuvora-cli") : label) + QStringLiteral(": ");
}

void printError(const QString &text, const QString &label)
{
    std::fprintf(stderr, "%serror: %s\n", qPrintable(linePrefix(label)), qPrintable(text));
}

void printWarning(const QString &text, const QString &label)
{
    std::fprintf(stderr, "%swarning: %s\n", qPrintable(linePrefix(label)), qPrintable(text));
}

CommandParser::CommandParser(const char *command, const char *help)
    : m_command(command), m_help(help)
{
    m_parser.addOption({{QStringLiteral("h"), QStringLiteral("help")}, {}});
    m_parser.addOption({{QStringLiteral("V"), QStringLiteral("version")}, {}});
}

std::optional<int> CommandParser::parse(const QStringList &args)
{
    const QString program = QStringLiteral("nuvora-cli ") + QLatin1String(m_command);
    if (!m_parser.parse(QStringList{program} + args)) {
        const QStringList unknown = m_parser.unknownOptionNames();
        if (unknown.isEmpty()) {
            QString what = m_parser.errorText();
            what[0] = what[0].toLower();
            return usageError(what.endsWith(QLatin1Char('.')) ? what.chopped(1) : what);
        }
        const QString &name = unknown.first();
        return usageError(
            QStringLiteral("unknown option '%1%2'")
                .arg(name.size() == 1 ? QStringLiteral("-") : QStringLiteral("--"), name));
    }
    if (m_parser.isSet(QStringLiteral("help"))) {
        std::fputs(m_help, stdout);
        return 0;
    }
    if (m_parser.isSet(QStringLiteral("version")))
        return printVersion("nuvora-cli");
    return std::nullopt;
}

int CommandParser::usageError(const QString &what) const
{
    printError(what);
    std::fprintf(stderr, "try 'nuvora-cli %s --help'\n", m_command);
    return kExitUsage;
}

std::optional<QString> CommandParser::onePositional(const char *name) const
{
    const QStringList given = m_parser.positionalArguments();
    if (given.size() == 1)
        return given.first();
    if (given.isEmpty())
        usageError(QStringLiteral("missing %1").arg(QLatin1String(name)));
    else
        usageError(QStringLiteral("one %1 only, got '%2' too").arg(QLatin1String(name), given[1]));
    return std::nullopt;
}

int printVersion(const char *program)
{
    std::printf("%s\n", qPrintable(versionLine(QLatin1String(program))));
    return 0;
}

std::unique_ptr<AppState> stateWithLanguage(const QString &language, bool asked)
{
    auto state = std::make_unique<AppState>();
    // The words used when the language file cannot be read.
    state->LangText[8] = QStringLiteral("Nuvora - EEPROM image");
    state->LangText[9] = QStringLiteral("The device does not answer.");
    state->LangText[10] = QStringLiteral("Writing stopped: the device did not confirm a block.");
    state->LangText[16] = QStringLiteral("The file holds no usable S-record data.");
    state->LangText[18] = QStringLiteral("Programming complete");
    state->LangText[19] = QStringLiteral("The whole image has been written to the EEPROM.");
    const QString folder = QCoreApplication::applicationDirPath();
    state->LanguageName = languageOnDisk(folder, language);
    if (!LoadLanguage(*state, folder) && asked) {
        printWarning(
            QStringLiteral("cannot read the language file %1; the messages are in "
                           "built-in English")
                .arg(QDir::toNativeSeparators(folder + QLatin1Char('/') + state->LanguageName +
                                              QStringLiteral(".lng"))));
    }
    return state;
}

bool warnAboutRecords(const QString &image)
{
    const std::vector<RecordProblem> problems = CheckRecords(image);
    const QString shown = QDir::toNativeSeparators(image);
    for (std::size_t i = 0; i < problems.size() && i < kMostRecordWarnings; ++i) {
        const RecordProblem &p = problems[i];
        printWarning(p.line > 0 ? QStringLiteral("%1:%2: %3").arg(shown).arg(p.line).arg(p.what)
                                : QStringLiteral("%1: %2").arg(shown, p.what));
    }
    if (problems.size() > kMostRecordWarnings)
        printWarning(QStringLiteral("%1: %2 more records with problems")
                         .arg(shown)
                         .arg(problems.size() - kMostRecordWarnings));
    return !problems.empty();
}

int loadImage(AppState &state, const QString &image, Prompter &prompter)
{
    const LoadOutcome outcome = LoadImageFile(state, image, prompter);
    if (outcome.kind == LoadOutcome::Kind::Rejected)
        return kExitRejected;
    if (outcome.kind == LoadOutcome::Kind::Error) {
        // "file not found (53): x.mhx" rather than the reason's "file not found: x.mhx".
        const QString words = errorWords(outcome.error);
        QString reason = outcome.reason;
        if (reason.startsWith(words + QStringLiteral(": ")))
            reason.remove(0, words.size() + 2);
        printError(QStringLiteral("%1 (%2): %3").arg(words).arg(outcome.error).arg(reason));
        return kExitImageError;
    }
    return 0;
}

} // namespace nuvora::cli
