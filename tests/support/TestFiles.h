#pragma once

#include <QByteArray>
#include <QString>

namespace nuvora::test {

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

} // namespace nuvora::test
