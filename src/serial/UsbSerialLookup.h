#pragma once

// The FTDI adapter's port on systems without a registry: the kernel's sysfs tree.

#include <string>

namespace nuvora {

inline constexpr const char *kDefaultSysfsRoot = "/sys";
// Where the kernel lists the ttys that its FTDI driver serves, below the sysfs root.
inline constexpr const char *kFtdiDriverFolder = "bus/usb-serial/drivers/ftdi_sio";

// ttyUSBk becomes port number k + kUsbPortOffset, the inverse of the device rule for ports.
constexpr int kUsbPortOffset = 5;

// The lowest-numbered ttyUSBk that the ftdi_sio driver serves under sysfsRoot, as "COM<k+5>";
// "" when the driver is not loaded or serves no tty.
std::string ftdiSysfsPortName(const std::string &sysfsRoot = kDefaultSysfsRoot);

} // namespace nuvora
