#include "serial/win32/RegistryWin32.h"

#include <windows.h>

namespace nuvora {

namespace {

// The predefined roots are 32-bit numbers that Win64 sign-extends into its handle type;
// anything else is a handle that openKey handed out.
HKEY toHkey(RegHandle handle)
{
    if ((handle & ~RegHandle{0xFFFFFFFF}) == 0 && (handle & 0xF0000000u) == 0x80000000u) {
        const auto root32 = static_cast<LONG>(static_cast<DWORD>(handle));
        return reinterpret_cast<HKEY>(static_cast<LONG_PTR>(root32));
    }
    return reinterpret_cast<HKEY>(handle);
}

} // namespace

RegStatus RegistryWin32::openKey(RegHandle root, const char *path, std::uint32_t options,
                                 std::uint32_t access, RegHandle *result)
{
    HKEY key = nullptr;
    const LONG status = RegOpenKeyExA(toHkey(root), path, options, access, &key);
    if (status == ERROR_SUCCESS)
        *result = reinterpret_cast<RegHandle>(key);
    return status;
}

RegStatus RegistryWin32::queryValue(RegHandle key, const char *valueName, unsigned char *data,
                                    std::uint32_t *byteCount)
{
    DWORD count = *byteCount;
    const LONG status = RegQueryValueExA(toHkey(key), valueName, nullptr, nullptr, data, &count);
    *byteCount = count;
    return status;
}

RegStatus RegistryWin32::queryInfoKey(RegHandle key, char *className, std::uint32_t *classLength,
                                      std::uint32_t *subKeyCount)
{
    DWORD classChars = *classLength;
    DWORD subKeys = 0;
    DWORD maxSubKeyLen = 0, maxClassLen = 0, values = 0, maxValueNameLen = 0, maxValueLen = 0;
    DWORD securityDescriptor = 0;
    FILETIME lastWrite{};
    const LONG status = RegQueryInfoKeyA(toHkey(key), className, &classChars, nullptr, &subKeys,
                                         &maxSubKeyLen, &maxClassLen, &values, &maxValueNameLen,
                                         &maxValueLen, &securityDescriptor, &lastWrite);
    *classLength = classChars;
    if (status == ERROR_SUCCESS)
        *subKeyCount = subKeys;
    return status;
}

RegStatus RegistryWin32::enumKey(RegHandle key, std::uint32_t index, char *name,
                                 std::uint32_t *nameLength, char *className,
                                 std::uint32_t *classLength, std::uint64_t *lastWriteTime)
{
    DWORD nameChars = *nameLength;
    DWORD classChars = *classLength;
    FILETIME lastWrite{static_cast<DWORD>(*lastWriteTime),
                       static_cast<DWORD>(*lastWriteTime >> 32)};
    const LONG status = RegEnumKeyExA(toHkey(key), index, name, &nameChars, nullptr, className,
                                      &classChars, &lastWrite);
    *nameLength = nameChars;
    *classLength = classChars;
    *lastWriteTime = (std::uint64_t{lastWrite.dwHighDateTime} << 32) | lastWrite.dwLowDateTime;
    return status;
}

RegStatus RegistryWin32::closeKey(RegHandle key)
{
    return RegCloseKey(toHkey(key));
}

} // namespace nuvora
