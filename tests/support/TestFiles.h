#pragma once

#include <QByteArray>
#include <QString>

namespace nuvora::test {

// Writes bytes to a file, creating its folder; fails the test on error.
void writeFile(const QString &path, const QByteArray &bytes);
QByteArray readFile(const QString &path);

// The source tree's data/ folder and the build's ready program folder (set by CTest).
QString sourceDataDir();
QString binDir();

} // namespace nuvora::test
