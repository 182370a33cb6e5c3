#pragma once

#include <QString>

namespace nuvora {

// The device behind a port number: on Windows COMn; elsewhere the alias ports/COMn in the
// program folder when it exists, else the same alias in the user's folder (UserPortsFolder),
// else /dev/ttyS(n-1) for 1..4 and /dev/ttyUSB(n-5) from 5 on. Numbers below 1 have no
// device: the result is empty.
QString PortDevice(int number, const QString &programFolder);

// The port number whose device is `device` under the rule above, or 0 when no number leads
// there. An alias wins over the fixed names, the program folder's over the user's.
int PortNumberForDevice(const QString &device, const QString &programFolder);

// Where the user's own aliases live (~/.config/Nuvora/ports): an installed copy's program
// folder is read-only. Empty when the system names no configuration folder.
QString UserPortsFolder();

// What an alias to `device` should link to: its name in byIdFolder (/dev/serial/by-id, names
// that keep to the adapter whatever order it was plugged in) when one leads to the same device,
// else the device as given, made absolute.
QString StableDeviceName(const QString &device, const QString &byIdFolder);

// Links the user's alias COMn to target, replacing an alias of that number; false with the
// reason when it cannot. RemoveUserAlias takes one away.
bool MakeUserAlias(int number, const QString &target, QString &error);
bool RemoveUserAlias(int number, QString &error);

// A user's PORT argument: a number ("7"), a Windows name ("COM7", any case) or a device path.
struct PortArgument {
    bool valid = false;
    int number = 0; // set for a number or COMn
    QString device; // set for a device path
    QString error;  // why the argument was refused
};
PortArgument ParsePortArgument(const QString &text);

} // namespace nuvora
