#pragma once

#include "serial/RegistryApi.h"

namespace nuvora {

// The registry of the running Windows, through the Advapi32 ANSI functions, read access only.
class RegistryWin32 : public RegistryApi {
public:
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
};

} // namespace nuvora
