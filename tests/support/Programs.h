#pragma once

#include <QProcessEnvironment>
#include <QStringList>

namespace nuvora::test {

struct ProgramRun {
    int status = -1; // exit code; negative when it could not start, crashed or hung
    QByteArray out;
    QByteArray err;
};

// Runs command (program first) to its end, killing it after a minute.
ProgramRun runProgram(const QStringList &command,
                      const QProcessEnvironment &env = QProcessEnvironment::systemEnvironment());

} // namespace nuvora::test
