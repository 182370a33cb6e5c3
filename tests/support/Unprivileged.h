#pragma once

#include <QStringList>

namespace nuvora::test {

// The command prefix that runs a child process as an unprivileged user: root ignores file
// permissions, so a permission check must be made by somebody else. Empty when the tests
// already run unprivileged. Fails the test when running as root without setpriv.
QStringList unprivilegedPrefix();

// Makes a folder (and the file or folder path inside it) reachable for that user.
void openUpForOthers(const QString &path);

} // namespace nuvora::test
