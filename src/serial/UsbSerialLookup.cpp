#include "serial/UsbSerialLookup.h"

#include "base/Decimal.h"

#include <cstdint>
#include <filesystem>
#include <limits>
#include <optional>
#include <system_error>

namespace nuvora {

namespace {

// k of a name "ttyUSB<k>" (decimal digits only), if k still gives a 16-bit port number.
std::optional<int> ttyUsbIndex(const std::string &name)
{
    static const std::string prefix = "ttyUSB";
    if (name.size() <= prefix.size() || name.compare(0, prefix.size(), prefix) != 0)
        return std::nullopt;
    // The kernel never pads the number; "ttyUSB01" would not map back to the same device.
    if (name[prefix.size()] == '0' && name.size() > prefix.size() + 1)
        return std::nullopt;
    constexpr long kMaxIndex = std::numeric_limits<std::int16_t>::max() - kUsbPortOffset;
    std::size_t end = prefix.size();
    const std::optional<long> k = ReadDecimal(name, end, kMaxIndex);
    if (!k || end != name.size())
        return std::nullopt;
    return static_cast<int>(*k);
}

} // namespace

std::string ftdiSysfsPortName(const std::string &sysfsRoot)
{
    namespace fs = std::filesystem;
    std::error_code ec;
    fs::directory_iterator it(fs::path(sysfsRoot) / kFtdiDriverFolder, ec);
    if (ec)
        return {};
    std::optional<int> lowest;
    for (; it != fs::directory_iterator(); it.increment(ec)) {
        if (ec)
            break;
        const std::optional<int> k = ttyUsbIndex(it->path().filename().string());
        // The kernel lists a tty it serves as a link to the device's folder; a link whose device
        // has gone (adapter pulled while we look) does not count.
        if (!k || !it->is_symlink(ec) || !fs::is_directory(it->path(), ec))
            continue;
        if (!lowest || *k < *lowest)
            lowest = k;
    }
    if (!lowest)
        return {};
    return "COM" + std::to_string(*lowest + kUsbPortOffset);
}

} // namespace nuvora
