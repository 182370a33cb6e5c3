#include "RegistryMemory.h"

#include <algorithm>
#include <cctype>
#include <cstring>

namespace nuvora {

namespace {

bool sameName(const std::string &a, const std::string &b)
{
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](unsigned char x, unsigned char y) {
               return std::tolower(x) == std::tolower(y);
           });
}

// The parts of a key path. Like Windows, empty parts (a trailing or doubled backslash) are
// passed over; a leading backslash is refused by the caller.
std::vector<std::string> splitPath(const std::string &path)
{
    std::vector<std::string> parts;
    std::string part;
    for (char c : path) {
        if (c == '\\') {
            if (!part.empty())
                parts.push_back(part);
            part.clear();
        } else {
            part += c;
        }
    }
    if (!part.empty())
        parts.push_back(part);
    return parts;
}

} // namespace

struct RegistryMemory::Key {
    std::string name;
    std::vector<std::unique_ptr<Key>> subKeys;
    std::vector<std::pair<std::string, std::string>> values;

    Key *child(const std::string &childName) const
    {
        for (const auto &k : subKeys)
            if (sameName(k->name, childName))
                return k.get();
        return nullptr;
    }
};

RegistryMemory::RegistryMemory() = default;
RegistryMemory::~RegistryMemory() = default;

RegistryMemory::Key *RegistryMemory::findRoot(RegHandle root) const
{
    const auto it = m_roots.find(root);
    return it == m_roots.end() ? nullptr : it->second.get();
}

RegistryMemory::Key *RegistryMemory::resolve(RegHandle handle) const
{
    if (Key *root = findRoot(handle))
        return root;
    const auto it = m_handles.find(handle);
    return it == m_handles.end() ? nullptr : it->second;
}

RegistryMemory::Key *RegistryMemory::createPath(RegHandle root, const std::string &path)
{
    auto &slot = m_roots[root];
    if (!slot)
        slot = std::make_unique<Key>();
    Key *key = slot.get();
    for (const std::string &part : splitPath(path)) {
        Key *next = key->child(part);
        if (!next) {
            key->subKeys.push_back(std::make_unique<Key>());
            next = key->subKeys.back().get();
            next->name = part;
        }
        key = next;
    }
    return key;
}

void RegistryMemory::addKey(RegHandle root, const std::string &path)
{
    createPath(root, path);
}

void RegistryMemory::setValue(RegHandle root, const std::string &path, const std::string &name,
                              const std::string &bytes)
{
    Key *key = createPath(root, path);
    for (auto &value : key->values) {
        if (sameName(value.first, name)) {
            value.second = bytes;
            return;
        }
    }
    key->values.emplace_back(name, bytes);
}

void RegistryMemory::setString(RegHandle root, const std::string &path, const std::string &name,
                               const std::string &text)
{
    setValue(root, path, name, text + std::string(1, '\0'));
}

RegStatus RegistryMemory::openKey(RegHandle root, const char *path, std::uint32_t options,
                                  std::uint32_t access, RegHandle *result)
{
    const std::string pathText = path ? path : "";
    auto status = [&]() -> RegStatus {
        Key *key = resolve(root);
        if (!key)
            return kRegInvalidHandle;
        if (!pathText.empty() && pathText.front() == '\\')
            return kRegBadPathname;
        for (const std::string &part : splitPath(pathText)) {
            key = key->child(part);
            if (!key)
                return kRegFileNotFound;
        }
        const RegHandle handle = m_nextHandle++;
        m_handles[handle] = key;
        *result = handle;
        return kRegSuccess;
    }();
    m_openCalls.push_back({root, pathText, options, access, status});
    return status;
}

RegStatus RegistryMemory::queryValue(RegHandle key, const char *valueName, unsigned char *data,
                                     std::uint32_t *byteCount)
{
    m_queryByteCounts.push_back(*byteCount);
    const Key *k = resolve(key);
    if (!k)
        return kRegInvalidHandle;
    const std::string name = valueName ? valueName : "";
    for (const auto &value : k->values) {
        if (!sameName(value.first, name))
            continue;
        const auto size = static_cast<std::uint32_t>(value.second.size());
        const std::uint32_t room = *byteCount;
        *byteCount = size;
        if (!data)
            return kRegSuccess;
        if (size > room)
            return kRegMoreData;
        std::memcpy(data, value.second.data(), size);
        return kRegSuccess;
    }
    return kRegFileNotFound;
}

RegStatus RegistryMemory::queryInfoKey(RegHandle key, char *className, std::uint32_t *classLength,
                                       std::uint32_t *subKeyCount)
{
    const Key *k = resolve(key);
    if (!k)
        return kRegInvalidHandle;
    if (className && classLength && *classLength > 0)
        className[0] = '\0';
    if (classLength)
        *classLength = 0;
    *subKeyCount = static_cast<std::uint32_t>(k->subKeys.size());
    return kRegSuccess;
}

RegStatus RegistryMemory::enumKey(RegHandle key, std::uint32_t index, char *name,
                                  std::uint32_t *nameLength, char *className,
                                  std::uint32_t *classLength, std::uint64_t *lastWriteTime)
{
    const Key *k = resolve(key);
    if (!k)
        return kRegInvalidHandle;
    if (index >= k->subKeys.size())
        return kRegNoMoreItems;
    const std::string &subName = k->subKeys[index]->name;
    if (subName.size() + 1 > *nameLength)
        return kRegMoreData;
    std::memcpy(name, subName.c_str(), subName.size() + 1);
    *nameLength = static_cast<std::uint32_t>(subName.size());
    if (className && classLength && *classLength > 0)
        className[0] = '\0';
    if (classLength)
        *classLength = 0;
    if (lastWriteTime)
        *lastWriteTime = 0;
    return kRegSuccess;
}

RegStatus RegistryMemory::closeKey(RegHandle key)
{
    if (findRoot(key))
        return kRegSuccess;
    return m_handles.erase(key) ? kRegSuccess : kRegInvalidHandle;
}

} // namespace nuvora
