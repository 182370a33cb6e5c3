#include "RegistryMemory.h"

#include <cctype>
#include <cstring>

namespace nuvora {

namespace {

std::string lower(std::string s)
{
    for (char &c : s)
        c = char(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

// Like Windows, empty parts (a trailing or doubled backslash) are passed over.
std::vector<std::string> parts(const std::string &path)
{
    std::vector<std::string> out{{}};
    for (char c : path) {
        if (c != '\\')
            out.back() += c;
        else if (!out.back().empty())
            out.emplace_back();
    }
    if (out.back().empty())
        out.pop_back();
    return out;
}

} // namespace

std::string RegistryMemory::stored(const std::string &key) const
{
    for (const std::string &k : m_keys)
        if (lower(k) == lower(key))
            return k;
    return {};
}

std::string RegistryMemory::find(RegHandle at, const std::string &path) const
{
    const auto open = m_handles.find(at);
    std::string key = open != m_handles.end() ? open->second : std::to_string(at);
    for (const std::string &part : parts(path))
        key += '\\' + part;
    return stored(key);
}

std::vector<std::string> RegistryMemory::children(const std::string &key) const
{
    std::vector<std::string> out;
    const std::string prefix = lower(key) + '\\';
    for (const std::string &k : m_keys)
        if (lower(k).rfind(prefix, 0) == 0 && k.find('\\', prefix.size()) == std::string::npos)
            out.push_back(k.substr(prefix.size()));
    return out;
}

void RegistryMemory::addKey(RegHandle root, const std::string &path)
{
    std::string key = std::to_string(root);
    if (stored(key).empty())
        m_keys.push_back(key);
    for (const std::string &part : parts(path)) {
        key += '\\' + part;
        if (stored(key).empty())
            m_keys.push_back(key);
        key = stored(key);
    }
}

void RegistryMemory::setValue(RegHandle root, const std::string &path, const std::string &name,
                              const std::string &bytes)
{
    addKey(root, path);
    m_values[lower(find(root, path) + '|' + name)] = bytes;
}

RegStatus RegistryMemory::openKey(RegHandle root, const char *path, std::uint32_t options,
                                  std::uint32_t access, RegHandle *result)
{
    openCalls.push_back({root, path, options, access});
    const std::string key = find(root, path);
    if (key.empty())
        return kRegFileNotFound;
    *result = m_nextHandle++;
    m_handles[*result] = key;
    return kRegSuccess;
}

RegStatus RegistryMemory::queryValue(RegHandle key, const char *valueName, unsigned char *data,
                                     std::uint32_t *byteCount)
{
    queryByteCounts.push_back(*byteCount);
    const auto value = m_values.find(lower(find(key, {}) + '|' + valueName));
    if (value == m_values.end())
        return kRegFileNotFound;
    const std::uint32_t room = *byteCount;
    *byteCount = std::uint32_t(value->second.size());
    if (*byteCount > room)
        return kRegMoreData;
    std::memcpy(data, value->second.data(), *byteCount);
    return kRegSuccess;
}

RegStatus RegistryMemory::queryInfoKey(RegHandle key, char *, std::uint32_t *,
                                       std::uint32_t *subKeyCount)
{
    *subKeyCount = std::uint32_t(children(find(key, {})).size());
    return kRegSuccess;
}

RegStatus RegistryMemory::enumKey(RegHandle key, std::uint32_t index, char *name,
                                  std::uint32_t *nameLength, char *, std::uint32_t *,
                                  std::uint64_t *)
{
    const std::vector<std::string> names = children(find(key, {}));
    if (index >= names.size())
        return kRegNoMoreItems;
    if (names[index].size() + 1 > *nameLength)
        return kRegMoreData;
    std::memcpy(name, names[index].c_str(), names[index].size() + 1);
    *nameLength = std::uint32_t(names[index].size());
    return kRegSuccess;
}

RegStatus RegistryMemory::closeKey(RegHandle key)
{
    return m_handles.erase(key) ? kRegSuccess : kRegInvalidHandle;
}

} // namespace nuvora
