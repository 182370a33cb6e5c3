// nuvora-getusbt-check: runs the adapter lookup against the registry of the Windows (or Wine)
// it runs on. Each invocation does one step and exits 0 when the result is as expected:
//   expect TEXT                  the product's lookup returns TEXT ("" for none)
//   read PATH VALUE TEXT         ReadRegString(HKLM, PATH, VALUE) returns TEXT
//   enum PATH NAME...            EnumSubKeys of HKLM\PATH lists NAME... and the end marker
//   setraw PATH VALUE TEXT       stores TEXT as REG_BINARY without terminator (set-up only)
//   dyn TEXT [DEVICE HARDWAREKEY]...
//                                with these devices present on the configuration-manager
//                                route, the lookup returns TEXT. The devices are volatile keys
//                                made and removed within this one run, so a restart of the
//                                Wine server between steps cannot lose them.
#include "serial/GetUSBT.h"
#include "serial/win32/RegistryWin32.h"

#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>

namespace {

constexpr const char *kDynEnum = "Config Manager\\Enum";

// Anything unprintable shown as \xNN, and the length: a lost terminator must show.
int verdict(const char *what, const std::string &got, const std::string &want)
{
    std::string shown;
    for (unsigned char c : got) {
        char hex[8];
        std::snprintf(hex, sizeof hex, c < 32 || c > 126 ? "\\x%02x" : "%c", c);
        shown += hex;
    }
    std::printf("%s %s = \"%s\" (%zu bytes)\n", got == want ? "ok  " : "FAIL", what, shown.c_str(),
                got.size());
    return got == want ? 0 : 1;
}

// Creates HKLM\path (or a volatile HKEY_DYN_DATA\path) and stores one value in it.
int store(HKEY root, const std::string &path, const char *value, DWORD type, const char *text,
          DWORD size)
{
    HKEY key = nullptr;
    const DWORD options = root == HKEY_DYN_DATA ? REG_OPTION_VOLATILE : 0;
    LONG status = RegCreateKeyExA(root, path.c_str(), 0, nullptr, options, KEY_ALL_ACCESS, nullptr,
                                  &key, nullptr);
    if (status == ERROR_SUCCESS) {
        status = RegSetValueExA(key, value, 0, type, reinterpret_cast<const BYTE *>(text), size);
        RegCloseKey(key);
    }
    if (status != ERROR_SUCCESS)
        std::printf("FAIL cannot store %s in %s: %ld\n", value, path.c_str(), status);
    return status == ERROR_SUCCESS ? 0 : 1;
}

int dynClear()
{
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_DYN_DATA, kDynEnum, 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS)
        return 0;
    char name[1024];
    DWORD length = sizeof name;
    int failures = 0;
    while (!failures && RegEnumKeyExA(key, 0, name, &length, nullptr, nullptr, nullptr, nullptr) ==
                            ERROR_SUCCESS) {
        failures = RegDeleteKeyA(key, name) == ERROR_SUCCESS ? 0 : 1;
        length = sizeof name;
    }
    RegCloseKey(key);
    return failures;
}

int enumCheck(const char *path, int count, char **names)
{
    nuvora::RegistryWin32 registry;
    nuvora::RegHandle key = 0;
    if (registry.openKey(nuvora::kHKeyLocalMachine, path, 0, nuvora::kKeyRead, &key) != 0)
        return verdict("open", path, "");
    std::string got, want;
    for (const auto &n : nuvora::EnumSubKeys(registry, key))
        got += "[" + n + "]";
    registry.closeKey(key);
    for (int i = 0; i < count; ++i)
        want += "[" + std::string(names[i]) + "]";
    return verdict("EnumSubKeys", got, count ? want + "[]" : "");
}

} // namespace

int main(int argc, char **argv)
{
    const std::string command = argc > 1 ? argv[1] : "";
    if (command == "expect" && argc == 3)
        return verdict("GetUSBCom", nuvora::GetUSBCom(), argv[2]);
    if (command == "read" && argc == 5) {
        nuvora::RegistryWin32 registry;
        return verdict("ReadRegString",
                       nuvora::ReadRegString(registry, nuvora::kHKeyLocalMachine, argv[2], argv[3]),
                       argv[4]);
    }
    if (command == "enum" && argc >= 3)
        return enumCheck(argv[2], argc - 3, argv + 3);
    if (command == "setraw" && argc == 5) // stored without terminator
        return store(HKEY_LOCAL_MACHINE, argv[2], argv[3], REG_BINARY, argv[4],
                     DWORD(std::strlen(argv[4])));
    if (command == "dyn" && argc >= 3 && argc % 2 == 1) {
        int failures = dynClear();
        for (int i = 3; i + 1 < argc; i += 2)
            failures += store(HKEY_DYN_DATA, std::string(kDynEnum) + "\\" + argv[i], "HardWareKey",
                              REG_SZ, argv[i + 1], DWORD(std::strlen(argv[i + 1]) + 1));
        failures += verdict("GetUSBCom", nuvora::GetUSBCom(), argv[2]);
        failures += dynClear();
        return failures ? 1 : 0;
    }
    std::fprintf(stderr, "usage: nuvora-getusbt-check expect|read|enum|setraw|dyn\n");
    return 2;
}
