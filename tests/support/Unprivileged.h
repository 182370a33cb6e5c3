#pragma once

#include <QStringList>

namespace nuvora::test {

// The command prefix that runs a child process as an unprivileged user, since root ignores file
// permissions; empty when the tests already run unprivileged.
QStringList unprivilegedPrefix();

// Makes a folder (and the file or folder path inside it) reachable for that user.
void openUpForOthers(const QString &path);

} // namespace nuvora::test
