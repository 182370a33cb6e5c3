#pragma once

#include <QByteArray>
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

} // namespace nuvora::test
