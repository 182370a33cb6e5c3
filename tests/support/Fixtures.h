#pragma once
// The shared fixtures: programs, files and folders laid out as the product finds them.
#include <QByteArray>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

namespace nuvora::test {

// The build's program `name`, for runProgram().
QString programPath(const QString &name);

// <folder>/ports/COMn leading to `target` (a missing target leaves it dangling).
bool linkPort(const QString &folder, int n, const QString &target);

// <root>/bus/usb-serial/drivers/<driver>/ laid out as the kernel fills it. Entries: "ttyUSBk"
// (device folder and a relative link to it), "dangling:ttyUSBk" (device gone), "file:name"
// (attribute file such as bind), "link:name" (link to a non-tty folder such as module).
void layOutUsbSerial(const QString &root, const QString &driver, const QStringList &entries);

// n reproducible pseudo-random bytes.
QByteArray randomBytes(int n, quint32 seed = 1);

// Writes bytes to a file, creating its folder; fails the test on error.
void writeFile(const QString &path, const QByteArray &bytes);
QByteArray readFile(const QString &path);

// The source tree's data/ folder (set by CTest).
QString sourceDataDir();

// A language file of `lines` lines, CR LF ended: line k reads "<tag> k", except the markers on
// lines 3 and 10 and an empty line `emptyLine`.
QByteArray languageFile(const QString &tag, int lines, int emptyLine = 0);

// IMAGE as S2 records of 16 bytes from address 0 with their checksums, between an S0 and an
// S8 record, as the Fujitsu tools write them.
void writeSRecords(const QString &path, const QByteArray &image);

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
