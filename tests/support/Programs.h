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

// Runs command with its stderr on a pseudo-terminal `columns` wide (stdout stays a pipe);
// err holds what the terminal received.
ProgramRun runOnTerminal(const QStringList &command, int columns);

// The command prefix that runs a child process as an unprivileged user, since root ignores file
// permissions; empty when the tests already run unprivileged.
QStringList unprivilegedPrefix();
// Makes a folder (and the file or folder path inside it) reachable for that user.
void openUpForOthers(const QString &path);

} // namespace nuvora::test
