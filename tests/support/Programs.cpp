#include "Programs.h"

#include <QFile>
#include <QProcess>
#include <QStandardPaths>

#ifdef Q_OS_UNIX
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
