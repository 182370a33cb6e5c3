#include "Programs.h"

#include <QFile>
#include <QProcess>
#include <QStandardPaths>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <sys/ioctl.h>
#include <unistd.h>
#endif

namespace nuvora::test {

ProgramRun runProgram(const QStringList &command, const QProcessEnvironment &env)
{
    QProcess p;
    p.setProcessEnvironment(env);
    p.start(command.first(), command.mid(1));
    if (!p.waitForStarted(10000))
        return {
            -2, {}, "cannot start " + command.first().toUtf8() + ": " + p.errorString().toUtf8()};
    if (!p.waitForFinished(60000)) {
        p.kill();
        p.waitForFinished();
        return {-3, {}, command.first().toUtf8() + " did not finish"};
    }
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1, p.readAllStandardOutput(),
            p.readAllStandardError()};
}

#ifdef Q_OS_UNIX
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
    if (p.state() != QProcess::NotRunning) {
        p.kill();
        p.waitForFinished();
        return {-3, {}, seen};
    }
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1, p.readAllStandardOutput(),
            seen};
}
#endif

QStringList unprivilegedPrefix()
{
#ifdef Q_OS_UNIX
    if (::geteuid() == 0) {
        const QString setpriv = QStandardPaths::findExecutable(QStringLiteral("setpriv"));
        if (setpriv.isEmpty())
            qFatal("running as root without setpriv: cannot check permissions as a user");
        return {setpriv, QStringLiteral("--reuid=65534"), QStringLiteral("--regid=65534"),
                QStringLiteral("--clear-groups")};
    }
#endif
    return {};
}

void openUpForOthers(const QString &path)
{
    QFile::setPermissions(path, QFile::permissions(path) | QFileDevice::ReadOther |
                                    QFileDevice::ExeOther | QFileDevice::ReadGroup |
                                    QFileDevice::ExeGroup);
}

} // namespace nuvora::test
