#pragma once

// The lookup of the FTDI USB-serial adapter's COM port. Plain C++17 without Qt, so that the
// registry part also builds with mingw-w64 and can be checked against Wine's registry.

#include "serial/RegistryApi.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace nuvora {

// Every value is read into a buffer of this size; a longer value counts as missing.
constexpr std::size_t kValueBufferSize = 255;
// Name and class buffers of the subkey enumeration, in characters.
constexpr std::uint32_t kEnumBufferSize = 1024;

using ValueBuffer = std::array<unsigned char, kValueBufferSize>;

// Route 1 (Windows 95/98/Me): devices present, their hardware keys, the device's port.
inline constexpr const char *kConfigManagerEnumKey = "Config Manager\\Enum";
inline constexpr const char *kHardwareKeyValue = "HardWareKey";
inline constexpr const char *kHardwareEnumPrefix = "Enum\\";
inline constexpr const char *kFtdiBusMarker = "FTDIBUS";
// Route 2 (NT family): the FTDI driver service's first device and its parameters.
inline constexpr const char *kFtdiServiceEnumKey =
    "SYSTEM\\CurrentControlSet\\Services\\FTSER2K\\Enum\\";
inline constexpr const char *kFirstDeviceValue = "0";
inline constexpr const char *kDeviceEnumPrefix = "SYSTEM\\CurrentControlSet\\Enum\\";
inline constexpr const char *kDeviceParametersSuffix = "\\Device Parameters";
inline constexpr const char *kPortNameValue = "PortName";

// The value as text from the raw buffer and the byte count the query reported: a trailing
// terminator counted in byteCount is dropped. Counts beyond the buffer are cut to its size.
std::string CutNull(const ValueBuffer &buffer, std::uint32_t byteCount);

// The names of every subkey of an open key in enumeration order, followed by one empty end
// marker; an empty list (no marker) when the key has no subkeys.
std::vector<std::string> EnumSubKeys(RegistryApi &registry, RegHandle key);

// The value root\path\valueName as text; "" when the key or value is missing or the value does
// not fit the buffer.
std::string ReadRegString(RegistryApi &registry, RegHandle root, const std::string &path,
                          const std::string &valueName);

// The adapter's port name as the registry stores it (such as "COM7"), or "" when none is known.
std::string GetUSBCom(RegistryApi &registry);

// The product's lookup: the registry on Windows, the kernel's sysfs tree elsewhere.
std::string GetUSBCom();

// The port number written in an adapter's port name from its fourth character on: leading
// blanks skipped, decimal digits read up to the first other character. No digits, or a number
// no 16-bit port number can hold, give 0 (a port that never opens).
std::int16_t PortNumberFromName(const std::string &name);

} // namespace nuvora
