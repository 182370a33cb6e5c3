#include "Programs.h"

#include <QProcess>

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

} // namespace nuvora::test
