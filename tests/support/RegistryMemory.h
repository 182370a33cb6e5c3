#pragma once

#include "serial/RegistryApi.h"

#include <cstddef>
#include <map>
#include <string>
#include <vector>

namespace nuvora {

// A registry held in memory, behaving like the Windows one where the adapter lookup can tell:
// names compare without regard to case, values are raw bytes (a string without terminator or
// one longer than any buffer can be stored), subkeys enumerate in the order they were added.
// It records how it was used.
class RegistryMemory : public RegistryApi {
public:
    // Creates root\path and every key above it.
    void addKey(RegHandle root, const std::string &path);
    // Stores the bytes as value `name` of root\path, creating the key.
    void setValue(RegHandle root, const std::string &path, const std::string &name,
                  const std::string &bytes);

    struct OpenCall {
        RegHandle root;
        std::string path;
        std::uint32_t options, access;
    };
    std::vector<OpenCall> openCalls;
    std::vector<std::uint32_t> queryByteCounts; // each query's buffer size on entry
    std::size_t openHandleCount() const { return m_handles.size(); }

    RegStatus openKey(RegHandle root, const char *path, std::uint32_t options, std::uint32_t access,
                      RegHandle *result) override;
    RegStatus queryValue(RegHandle key, const char *valueName, unsigned char *data,
                         std::uint32_t *byteCount) override;
    RegStatus queryInfoKey(RegHandle key, char *className, std::uint32_t *classLength,
                           std::uint32_t *subKeyCount) override;
    RegStatus enumKey(RegHandle key, std::uint32_t index, char *name, std::uint32_t *nameLength,
                      char *className, std::uint32_t *classLength,
                      std::uint64_t *lastWriteTime) override;
    RegStatus closeKey(RegHandle key) override;

private:
    // A key's full name ("<root>\A\B") as added, "" when there is none.
    std::string stored(const std::string &key) const;
    std::string find(RegHandle at, const std::string &path) const;
    std::vector<std::string> children(const std::string &key) const;

    std::vector<std::string> m_keys;             // full names, in the order they were added
    std::map<std::string, std::string> m_values; // lower-case "key|name" -> bytes
    std::map<RegHandle, std::string> m_handles;  // open handles -> full names
    RegHandle m_nextHandle = 1;
};

} // namespace nuvora
