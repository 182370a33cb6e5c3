#pragma once

#include <cstdint>

namespace nuvora {

// A registry key handle: a predefined root (the Win32 numbers below) or a key opened through a
// RegistryApi. Wide enough to hold a Win32 HKEY.
using RegHandle = std::uintptr_t;

constexpr RegHandle kHKeyLocalMachine = 0x80000002;
constexpr RegHandle kHKeyDynData = 0x80000006;

// Read access (query value, enumerate subkeys, notify), as Win32 numbers it.
constexpr std::uint32_t kKeyRead = 0x20019;

// Status codes as the Win32 registry functions return them.
using RegStatus = long;
constexpr RegStatus kRegSuccess = 0;
constexpr RegStatus kRegFileNotFound = 2;
constexpr RegStatus kRegInvalidHandle = 6;
constexpr RegStatus kRegInvalidParameter = 87;
constexpr RegStatus kRegBadPathname = 161;
constexpr RegStatus kRegMoreData = 234;
constexpr RegStatus kRegNoMoreItems = 259;

// The five registry operations the adapter lookup needs, shaped like their Advapi32 ANSI
// counterparts so that the Windows backend is a thin pass-through and tests can stand in a
// registry of their own.
class RegistryApi {
public:
    virtual ~RegistryApi() = default;

    // RegOpenKeyExA: opens root\path; *result receives the new handle on success.
    virtual RegStatus openKey(RegHandle root, const char *path, std::uint32_t options,
                              std::uint32_t access, RegHandle *result) = 0;

    // RegQueryValueExA without the type: on entry *byteCount is the size of data, on return
    // the number of bytes the value holds (also when the buffer was too small).
    virtual RegStatus queryValue(RegHandle key, const char *valueName, unsigned char *data,
                                 std::uint32_t *byteCount) = 0;

    // RegQueryInfoKeyA, of which only the class buffer and the subkey count are asked for.
    virtual RegStatus queryInfoKey(RegHandle key, char *className, std::uint32_t *classLength,
                                   std::uint32_t *subKeyCount) = 0;

    // RegEnumKeyExA: the name of subkey number index. *nameLength is the buffer size in
    // characters on entry and the name's length (without terminator) on success.
    virtual RegStatus enumKey(RegHandle key, std::uint32_t index, char *name,
                              std::uint32_t *nameLength, char *className,
                              std::uint32_t *classLength, std::uint64_t *lastWriteTime) = 0;

    // RegCloseKey.
    virtual RegStatus closeKey(RegHandle key) = 0;
};

} // namespace nuvora
