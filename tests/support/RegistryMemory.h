#pragma once

#include "serial/RegistryApi.h"

#include <cstddef>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace nuvora {

// A registry held in memory, behaving like the Windows one where the adapter lookup can tell:
// key and value names compare without regard to case, values are raw bytes (so a string
// without terminator or one longer than any buffer can be stored), subkeys enumerate in the
// order they were added. It also records how it was used.
class RegistryMemory : public RegistryApi {
public:
    RegistryMemory();
    ~RegistryMemory() override;

    // Creates root\path and every key above it. A root exists once something is added under it.
    void addKey(RegHandle root, const std::string &path);
    // Stores the bytes as value name of root\path, creating the key; replaces an older value.
    void setValue(RegHandle root, const std::string &path, const std::string &name,
                  const std::string &bytes);
    // A string value the way Windows stores one: its characters and a terminating NUL.
    void setString(RegHandle root, const std::string &path, const std::string &name,
                   const std::string &text);

    // One call of openKey as it was made.
    struct OpenCall {
        RegHandle root = 0;
        std::string path;
        std::uint32_t options = 0;
        std::uint32_t access = 0;
        RegStatus status = kRegSuccess;
    };
    const std::vector<OpenCall> &openCalls() const { return m_openCalls; }
    // The byte count that each queryValue call was handed on entry, in call order.
    const std::vector<std::uint32_t> &queryByteCounts() const { return m_queryByteCounts; }
    // Handles opened and not yet closed.
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
    struct Key;
    Key *findRoot(RegHandle root) const;
    Key *resolve(RegHandle handle) const;
    Key *createPath(RegHandle root, const std::string &path);

    std::map<RegHandle, std::unique_ptr<Key>> m_roots;
    std::map<RegHandle, Key *> m_handles;
    RegHandle m_nextHandle = 1;
    std::vector<OpenCall> m_openCalls;
    std::vector<std::uint32_t> m_queryByteCounts;
};

} // namespace nuvora
