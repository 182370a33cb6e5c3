#include "serial/GetUSBT.h"

#include "base/Decimal.h"

#include <algorithm>
#include <limits>
#include <optional>

#ifdef _WIN32
#include "serial/win32/RegistryWin32.h"
#else
#include "serial/UsbSerialLookup.h"
#endif

namespace nuvora {

std::string CutNull(const ValueBuffer &buffer, std::uint32_t byteCount)
{
    const std::size_t n = std::min<std::size_t>(byteCount, buffer.size());
    if (n == 0)
        return {};
    std::string text(reinterpret_cast<const char *>(buffer.data()), n);
    if (text.back() == '\0')
        text.pop_back();
    return text;
}

std::vector<std::string> EnumSubKeys(RegistryApi &registry, RegHandle key)
{
    std::vector<std::string> names;
    std::vector<char> className(kEnumBufferSize, '\0');
    std::uint32_t classLength = kEnumBufferSize;
    std::uint32_t count = 0;
    // A failed query leaves the count at 0, which lists nothing.
    registry.queryInfoKey(key, className.data(), &classLength, &count);
    if (count < 1)
        return names;

    std::vector<char> name(kEnumBufferSize, '\0');
    for (std::uint32_t i = 0; i < count; ++i) {
        std::fill(name.begin(), name.end(), '\0');
        std::fill(className.begin(), className.end(), '\0');
        std::uint32_t nameLength = kEnumBufferSize;
        classLength = kEnumBufferSize;
        std::uint64_t lastWrite = 0;
        // The status does not matter: a failed call leaves an entry that matches nothing.
        registry.enumKey(key, i, name.data(), &nameLength, className.data(), &classLength,
                         &lastWrite);
        const std::size_t length = std::min<std::size_t>(nameLength, name.size());
        names.emplace_back(name.data(), length);
    }
    names.emplace_back();
    return names;
}

std::string ReadRegString(RegistryApi &registry, RegHandle root, const std::string &path,
                          const std::string &valueName)
{
    ValueBuffer buffer{};
    auto byteCount = static_cast<std::uint32_t>(buffer.size());
    RegHandle key = 0;
    if (registry.openKey(root, path.c_str(), 0, kKeyRead, &key) != kRegSuccess)
        return {};
    const RegStatus status = registry.queryValue(key, valueName.c_str(), buffer.data(), &byteCount);
    registry.closeKey(key);
    if (status != kRegSuccess)
        return {};
    return CutNull(buffer, byteCount);
}

namespace {

// Route 1: the first present device whose hardware key names the FTDI bus, and its port.
std::string portFromConfigManager(RegistryApi &registry)
{
    RegHandle enumKey = 0;
    if (registry.openKey(kHKeyDynData, kConfigManagerEnumKey, 0, kKeyRead, &enumKey) != kRegSuccess)
        return {};
    const std::vector<std::string> devices = EnumSubKeys(registry, enumKey);
    std::string hardwareKey;
    bool found = false;
    for (std::size_t i = 0; i < devices.size() && !found; ++i) {
        hardwareKey = ReadRegString(registry, kHKeyDynData,
                                    std::string(kConfigManagerEnumKey) + "\\" + devices[i],
                                    kHardwareKeyValue);
        found = hardwareKey.find(kFtdiBusMarker) != std::string::npos;
        // The walk ends at the empty end marker, so a device listed after an empty name is
        // never looked at.
        if (i + 1 < devices.size() && devices[i + 1].empty())
            break;
    }
    registry.closeKey(enumKey);
    if (!found)
        return {};
    return ReadRegString(registry, kHKeyLocalMachine, kHardwareEnumPrefix + hardwareKey,
                         kPortNameValue);
}

// Route 2: device "0" of the FTDI driver service, and its port.
std::string portFromDriverService(RegistryApi &registry)
{
    const std::string instance =
        ReadRegString(registry, kHKeyLocalMachine, kFtdiServiceEnumKey, kFirstDeviceValue);
    if (instance.empty())
        return {};
    return ReadRegString(registry, kHKeyLocalMachine,
                         kDeviceEnumPrefix + instance + kDeviceParametersSuffix, kPortNameValue);
}

} // namespace

std::int16_t PortNumberFromName(const std::string &name)
{
    // The number starts after "COM"; blanks before it are skipped, anything after it ends it.
    std::size_t pos = 3;
    if (name.size() <= pos)
        return 0;
    while (pos < name.size() && (name[pos] == ' ' || name[pos] == '\t'))
        ++pos;
    const std::optional<long> number =
        ReadDecimal(name, pos, std::numeric_limits<std::int16_t>::max());
    return number ? static_cast<std::int16_t>(*number) : 0;
}

std::string GetUSBCom(RegistryApi &registry)
{
    std::string port = portFromConfigManager(registry);
    if (!port.empty())
        return port;
    return portFromDriverService(registry);
}

std::string GetUSBCom()
{
#ifdef _WIN32
    RegistryWin32 registry;
    return GetUSBCom(registry);
#else
    return ftdiSysfsPortName();
#endif
}

} // namespace nuvora
