#include "serial/PortNames.h"

#include "base/UserFolder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace nuvora {

namespace {

constexpr int kFirstUsbNumber = 5;     // /dev/ttyUSB0 is number 5
constexpr int kLastPortNumber = 32767; // ComPort is a signed 16-bit number

QString aliasPath(int number, const QString &folder)
{
    return QDir(folder).filePath(QStringLiteral("ports/COM%1").arg(number));
}

// A dangling link still names the port the user meant: opening it says what is wrong.
bool aliasExists(const QString &alias)
{
    return QFileInfo(alias).isSymLink() || QFileInfo::exists(alias);
}

// The folders whose aliases count, the first one winning.
QStringList aliasFolders(const QString &programFolder)
{
    QStringList folders;
    if (!programFolder.isEmpty())
        folders << programFolder;
    const QString user = UserFolder();
    if (!user.isEmpty() && !folders.contains(user))
        folders << user;
    return folders;
}

// The alias that number leads to, or empty.
QString aliasFor(int number, const QStringList &folders)
{
    for (const QString &folder : folders) {
        const QString alias = aliasPath(number, folder);
        if (aliasExists(alias))
            return alias;
    }
    return {};
}

} // namespace

QString UserPortsFolder()
{
    const QString user = UserFolder();
    return user.isEmpty() ? QString() : QDir(user).filePath(QStringLiteral("ports"));
}

QString PortDevice(int number, const QString &programFolder)
{
    if (number < 1)
        return {};
#ifdef Q_OS_WIN
    Q_UNUSED(programFolder);
    return QStringLiteral("COM%1").arg(number);
#else
    const QString alias = aliasFor(number, aliasFolders(programFolder));
    if (!alias.isEmpty())
        return alias;
    if (number < kFirstUsbNumber)
        return QStringLiteral("/dev/ttyS%1").arg(number - 1);
    return QStringLiteral("/dev/ttyUSB%1").arg(number - kFirstUsbNumber);
#endif
}

int PortNumberForDevice(const QString &device, const QString &programFolder)
{
#ifdef Q_OS_WIN
    Q_UNUSED(programFolder);
    static const QRegularExpression com(QStringLiteral("^(?:\\\\\\\\\\.\\\\)?COM(\\d+)$"),
                                        QRegularExpression::CaseInsensitiveOption);
    const auto m = com.match(device);
    const int n = m.hasMatch() ? m.captured(1).toInt() : 0;
    return n >= 1 && n <= kLastPortNumber ? n : 0;
#else
    const QString target = QFileInfo(device).canonicalFilePath();
    const QStringList folders = aliasFolders(programFolder);
    // An alias names its number directly, unless a folder before its own has that number.
    for (const QString &folder : folders) {
        const QDir ports(QDir(folder).filePath(QStringLiteral("ports")));
        static const QRegularExpression aliasName(QStringLiteral("^COM(\\d+)$"));
        const auto entries =
            ports.entryInfoList(QDir::Files | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
        for (const QFileInfo &entry : entries) {
            const auto m = aliasName.match(entry.fileName());
            if (!m.hasMatch())
                continue;
            const int n = m.captured(1).toInt();
            if (n < 1 || n > kLastPortNumber ||
                QDir::cleanPath(QFileInfo(aliasFor(n, folders)).absoluteFilePath()) !=
                    QDir::cleanPath(entry.absoluteFilePath()))
                continue;
            if (entry.absoluteFilePath() == QFileInfo(device).absoluteFilePath() ||
                (!target.isEmpty() && entry.canonicalFilePath() == target))
                return n;
        }
    }
    static const QRegularExpression fixed(QStringLiteral("^/dev/tty(S|USB)(\\d+)$"));
    const auto m = fixed.match(QFileInfo(device).absoluteFilePath());
    if (!m.hasMatch())
        return 0;
    bool ok = false;
    const int k = m.captured(2).toInt(&ok);
    if (!ok)
        return 0;
    int n = 0;
    if (m.captured(1) == QLatin1String("S"))
        n = k <= 3 ? k + 1 : 0; // only ttyS0..3 have a number (1..4)
    else
        n = k + kFirstUsbNumber;
    if (n < 1 || n > kLastPortNumber)
        return 0;
    // An alias for this number would send the number elsewhere; then the device has none.
    if (!aliasFor(n, folders).isEmpty() && QFileInfo(aliasFor(n, folders)).exists())
        return 0;
    return n;
#endif
}

QString StableDeviceName(const QString &device, const QString &byIdFolder)
{
    const QFileInfo given(device);
    const QString target = given.canonicalFilePath();
    const QDir stable(byIdFolder);
    if (!target.isEmpty() && given.absolutePath() != stable.absolutePath()) {
        const auto names =
            stable.entryInfoList(QDir::System | QDir::Files | QDir::NoDotAndDotDot, QDir::Name);
        for (const QFileInfo &name : names) {
            if (name.canonicalFilePath() == target)
                return name.absoluteFilePath();
        }
    }
    return given.absoluteFilePath();
}

bool MakeUserAlias(int number, const QString &target, QString &error)
{
    const QString folder = UserPortsFolder();
    if (folder.isEmpty() || !QDir().mkpath(folder)) {
        error = QStringLiteral("cannot make the folder %1").arg(folder);
        return false;
    }
    const QString alias = aliasPath(number, UserFolder());
    if (aliasExists(alias) && !QFileInfo(alias).isSymLink()) {
        error = QStringLiteral("%1 is not a link: it stays").arg(alias);
        return false;
    }
    // Beside it first, then over it: the old alias stays until the new one is whole.
    const QString fresh = alias + QStringLiteral(".new");
    QFile::remove(fresh);
    QFile link(target);
    if (!link.link(fresh)) {
        error = QStringLiteral("cannot create the link %1: %2").arg(fresh, link.errorString());
        return false;
    }
    if (std::rename(QFile::encodeName(fresh).constData(), QFile::encodeName(alias).constData())) {
        error = QStringLiteral("cannot replace %1: %2")
                    .arg(alias, QString::fromLocal8Bit(std::strerror(errno)));
        QFile::remove(fresh);
        return false;
    }
    return true;
}

bool RemoveUserAlias(int number, QString &error)
{
    const QString alias = aliasPath(number, UserFolder());
    if (!QFileInfo(alias).isSymLink()) {
        error = aliasExists(alias) ? QStringLiteral("%1 is not a link: it stays").arg(alias)
                                   : QStringLiteral("there is no alias %1").arg(alias);
        return false;
    }
    if (!QFile::remove(alias)) {
        error = QStringLiteral("cannot remove %1").arg(alias);
        return false;
    }
    return true;
}

PortArgument ParsePortArgument(const QString &text)
{
    PortArgument result;
    const QString t = text.trimmed();
    if (t.isEmpty()) {
        result.error = QStringLiteral("empty port");
        return result;
    }
    static const QRegularExpression number(QStringLiteral("^(?:COM)?(\\d+)$"),
                                           QRegularExpression::CaseInsensitiveOption);
    const auto m = number.match(t);
    if (m.hasMatch()) {
        bool ok = false;
        const int n = m.captured(1).toInt(&ok);
        if (!ok || n < 1 || n > kLastPortNumber) {
            result.error = QStringLiteral("port number %1 is out of range (1 to %2)")
                               .arg(m.captured(1))
                               .arg(kLastPortNumber);
            return result;
        }
        result.valid = true;
        result.number = n;
        return result;
    }
    if (t.contains(QLatin1Char('/')) || t.contains(QLatin1Char('\\'))) {
        result.valid = true;
        result.device = t;
        return result;
    }
    result.error = QStringLiteral("'%1' is neither a port number, COMn nor a device path").arg(t);
    return result;
}

} // namespace nuvora
