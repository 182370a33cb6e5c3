#pragma once

#include "serial/RegistryApi.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <string>
#include <vector>

namespace nuvora {

// A registry held in memory, behaving like the Windows one where the adapter lookup can tell:
// values are raw bytes (a string without terminator or one longer than any buffer can be
// stored), subkeys enumerate in the order they were added, empty path parts are passed over.
// It records how it was used.
class RegistryMemory : public RegistryApi {
public:
    // Creates root\path and every key above it.
    void addKey(RegHandle root, const std::string &path)
    {
        std::string key = std::to_string(root);
        for (const std::string &part : parts(path + "\\")) {
            if (!exists(key))
                m_keys.push_back(key);
            key += part.empty() ? "" : '\\' + part;
        }
    }
    // Stores the bytes as value `name` of root\path, creating the key.
    void setValue(RegHandle root, const std::string &path, const std::string &name,
                  const std::string &bytes)
    {
        addKey(root, path);
        m_values[find(root, path) + '|' + name] = bytes;
    }

    struct OpenCall {
        RegHandle root;
        std::string path;
        std::uint32_t options, access;
    };
    std::vector<OpenCall> openCalls;
    std::vector<std::uint32_t> queryByteCounts; // each query's buffer size on entry
    std::size_t openHandleCount() const { return m_handles.size(); }

    RegStatus openKey(RegHandle root, const char *path, std::uint32_t options, std::uint32_t access,
                      RegHandle *result) override
    {
        openCalls.push_back({root, path, options, access});
        const std::string key = find(root, path);
        if (key.empty())
            return kRegFileNotFound;
        m_handles[ *result = m_nextHandle++] = key;
        return kRegSuccess;
    }
    RegStatus queryValue(RegHandle key, const char *valueName, unsigned char *data,
                         std::uint32_t *byteCount) override
    {
        queryByteCounts.push_back(*byteCount);
        const auto value = m_values.find(find(key, {}) + '|' + valueName);
        if (value == m_values.end())
            return kRegFileNotFound;
        const std::uint32_t room = *byteCount;
        *byteCount = std::uint32_t(value->second.size());
        if (*byteCount > room)
            return kRegMoreData;
        std::memcpy(data, value->second.data(), *byteCount);
        return kRegSuccess;
    }
    RegStatus queryInfoKey(RegHandle key, char *, std::uint32_t *, std::uint32_t *count) override
    {
        *count = std::uint32_t(children(find(key, {})).size());
        return kRegSuccess;
    }
    RegStatus enumKey(RegHandle key, std::uint32_t index, char *name, std::uint32_t *nameLength,
                      char *, std::uint32_t *, std::uint64_t *) override
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
    RegStatus closeKey(RegHandle key) override
    {
        return m_handles.erase(key) ? kRegSuccess : kRegInvalidHandle;
    }

private:
    // The parts between backslashes, empty ones (a trailing or doubled backslash) among them.
    static std::vector<std::string> parts(const std::string &path)
    {
        std::vector<std::string> out{{}};
        for (char c : path)
            c == '\\' ? out.emplace_back() : out.back() += c;
        return out;
    }
    bool exists(const std::string &key) const
    {
        return std::find(m_keys.begin(), m_keys.end(), key) != m_keys.end();
    }
    // A key's full name ("<root>\\A\\B"), "" when there is none.
    std::string find(RegHandle at, const std::string &path) const
    {
        const auto open = m_handles.find(at);
        std::string key = open != m_handles.end() ? open->second : std::to_string(at);
        for (const std::string &part : parts(path))
            key += part.empty() ? "" : '\\' + part;
        return exists(key) ? key : std::string();
    }
    std::vector<std::string> children(const std::string &key) const
    {
        std::vector<std::string> out;
        for (const std::string &k : m_keys)
            if (k.rfind(key + '\\', 0) == 0 && k.find('\\', key.size() + 1) == std::string::npos)
                out.push_back(k.substr(key.size() + 1));
        return out;
    }

    std::vector<std::string> m_keys;             // full names, in the order they were added
    std::map<std::string, std::string> m_values; // "key|name" -> bytes
    std::map<RegHandle, std::string> m_handles;  // open handles -> full names
    RegHandle m_nextHandle = 1;
};

} // namespace nuvora
