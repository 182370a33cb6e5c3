#pragma once

#include <QStringList>

namespace nuvora::cli {

// Each subcommand takes its own arguments (without the program and command names) and
// returns the process exit status.

// info IMAGE [--dump FILE] [--lang NAME]: load an image and summarise it (2 usage, 3 rejected, 4
// error).
int runInfo(const QStringList &args);
// program IMAGE --port PORT [--lang NAME]: write IMAGE into the device (0 done, 2 usage,
// 3 rejected, 4 image error, 5 port, 6 no answer to the probe, 7 write frame failed,
// 130 interrupted).
int runProgram(const QStringList &args);

// read --port PORT [--start A] --length N -o FILE: the device's bytes to an S-record file (2 usage,
// 4 file cannot be written, 5 port, 6 no answer to the probe, 7 read frame failed,
// 130 interrupted).
int runRead(const QStringList &args);

// ports [--folder DIR] [--sysfs ROOT]: the serial ports under the window's port numbers and the
// port the USB item would choose; --alias N DEVICE and --unalias N change the user's own port
// numbers (2 usage, 4 the alias cannot be made or removed).
int runPorts(const QStringList &args);

} // namespace nuvora::cli
