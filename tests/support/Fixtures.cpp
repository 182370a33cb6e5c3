#include "Fixtures.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRandomGenerator>
#include <QStandardPaths>
#include <QTest>

#include <numeric>

#include <fcntl.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace nuvora::test {

QString programPath(const QString &name)
{
    return qEnvironmentVariable("NUVORA_BIN_DIR", QCoreApplication::applicationDirPath() +
                                                      QStringLiteral("/../bin")) +
           QLatin1Char('/') + name;
}

bool linkPort(const QString &folder, int n, const QString &target)
{
    return QDir(folder).mkpath(QStringLiteral("ports")) &&
           QFile::link(target, folder + QStringLiteral("/ports/COM%1").arg(n));
}

void layOutUsbSerial(const QString &root, const QString &driver, const QStringList &entries)
{
    const QString dir = root + QStringLiteral("/bus/usb-serial/drivers/") + driver + '/';
    QDir().mkpath(dir);
    for (const QString &entry : entries) {
        const QString kind = entry.section(':', 0, 0), name = entry.section(':', -1);
        const QString target = (kind == "link" ? "module/" : "devices/usb1/1-2/1-2:1.0/") + name;
        if (kind == "file")
            writeFile(dir + name, {});
        else if (QFile::link("../../../../" + target, dir + name) && kind != "dangling")
            QDir().mkpath(root + '/' + target);
    }
}

QByteArray randomBytes(int n, quint32 seed)
{
    QByteArray out(n, Qt::Uninitialized);
    QRandomGenerator gen(seed);
    for (char &c : out)
        c = char(gen.bounded(256));
    return out;
}

void writeFile(const QString &path, const QByteArray &bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        qFatal("cannot write %s: %s", qPrintable(path), qPrintable(f.errorString()));
    f.write(bytes);
}

QByteArray readFile(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QString sourceDataDir()
{
    return qEnvironmentVariable("NUVORA_SOURCE_DIR", QStringLiteral(".")) + QStringLiteral("/data");
}

QByteArray languageFile(const QString &tag, int lines, int emptyLine)
{
    QByteArray text;
    for (int k = 1; k <= lines; ++k) {
        const QByteArray line = tag.toUtf8() + ' ' + QByteArray::number(k);
        text += (k == 3 || k == 10 ? ";--" : k == emptyLine ? "" : line) + "\r\n";
    }
    return text;
}

void writeSRecords(const QString &path, const QByteArray &image)
{
    QByteArray file = "S0030000FC\r\n";
    for (int a = 0; a < image.size(); a += 16) {
        QByteArray rec = char(qMin<int>(16, image.size() - a) + 4) + QByteArray(1, 0) +
                         char(a >> 8) + char(a) + image.mid(a, 16);
        rec += char(~std::accumulate(rec.begin(), rec.end(), 0,
                                     [](int n, char c) { return n + quint8(c); }));
        file += "S2" + rec.toHex().toUpper() + "\r\n";
    }
    writeFile(path, file + "S804000000FB\r\n");
}

// A program's end; one still running is killed and reported as hung (-3).
static ProgramRun ended(QProcess &p, const QByteArray &err)
{
    if (p.state() == QProcess::NotRunning)
        return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1,
                p.readAllStandardOutput(), err};
    p.kill();
    p.waitForFinished();
    return {-3, {}, err};
}

ProgramRun runProgram(const QStringList &command, const QProcessEnvironment &env)
{
    QProcess p;
    p.setProcessEnvironment(env);
    p.start(command.first(), command.mid(1));
    if (!p.waitForStarted(10000))
        return {
            -2, {}, "cannot start " + command.first().toUtf8() + ": " + p.errorString().toUtf8()};
    const bool done = p.waitForFinished(60000);
    return ended(p, done ? p.readAllStandardError() : command.first().toUtf8() + " did not finish");
}

ProgramRun runOnTerminal(const QStringList &command, int columns)
{
    const int master = ::posix_openpt(O_RDWR | O_NOCTTY);
    if (master < 0 || ::grantpt(master) != 0 || ::unlockpt(master) != 0)
        return {-2, {}, "no pseudo-terminal"};
    const QByteArray terminal = ::ptsname(master);
    winsize size{};
    size.ws_row = 24;
    size.ws_col = static_cast<unsigned short>(columns);
    ::ioctl(master, TIOCSWINSZ, &size);
    ::fcntl(master, F_SETFL, O_NONBLOCK);
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(QStringLiteral("COLUMNS")); // the width must come from the terminal
    p.setProcessEnvironment(env);
    p.setChildProcessModifier([terminal] {
        const int fd = ::open(terminal.constData(), O_RDWR | O_NOCTTY);
        ::dup2(fd, STDERR_FILENO);
    });
    p.start(command.first(), command.mid(1));
    QByteArray seen;
    const auto drain = [&] {
        char buffer[4096];
        ssize_t n = 0;
        while ((n = ::read(master, buffer, sizeof buffer)) > 0)
            seen.append(buffer, n);
    };
    for (int waited = 0; p.state() != QProcess::NotRunning && waited < 60000; waited += 10) {
        drain(); // a full terminal would stop the program
        p.waitForFinished(10);
    }
    drain();
    ::close(master);
    return ended(p, seen);
}

QStringList unprivilegedPrefix()
{
    if (::geteuid() == 0) {
        const QString setpriv = QStandardPaths::findExecutable(QStringLiteral("setpriv"));
        if (setpriv.isEmpty())
            qFatal("running as root without setpriv: cannot check permissions as a user");
        return {setpriv, QStringLiteral("--reuid=65534"), QStringLiteral("--regid=65534"),
                QStringLiteral("--clear-groups")};
    }
    return {};
}

void openUpForOthers(const QString &path)
{
    QFile::setPermissions(path, QFile::permissions(path) | QFileDevice::ReadOther |
                                    QFileDevice::ExeOther | QFileDevice::ReadGroup |
                                    QFileDevice::ExeGroup);
}

} // namespace nuvora::test
