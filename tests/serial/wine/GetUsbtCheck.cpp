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
#include <vector>

namespace {

constexpr const char *kDynEnum = "Config Manager\\Enum";

// The text with anything unprintable as \xNN, quoted, and its length.
std::string printable(const std::string &text)
{
    std::string out = "\"";
    for (unsigned char c : text) {
        char hex[8];
        std::snprintf(hex, sizeof hex, c < 32 || c > 126 ? "\\x%02x" : "%c", c);
        out += hex;
    }
    return out + "\" (" + std::to_string(text.size()) + " bytes)";
}

int verdict(const char *what, const std::string &got, const std::string &want)
{
    if (got == want) {
        std::printf("ok   %s = %s\n", what, printable(got).c_str());
        return 0;
    }
    std::printf("FAIL %s = %s, expected %s\n", what, printable(got).c_str(),
                printable(want).c_str());
    return 1;
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
    std::vector<std::string> names;
    for (DWORD i = 0;; ++i) {
        DWORD length = sizeof name;
        if (RegEnumKeyExA(key, i, name, &length, nullptr, nullptr, nullptr, nullptr) !=
            ERROR_SUCCESS)
            break;
        names.emplace_back(name, length);
    }
    int failures = 0;
    for (const std::string &n : names)
        failures += RegDeleteKeyA(key, n.c_str()) == ERROR_SUCCESS ? 0 : 1;
    RegCloseKey(key);
    return failures ? 1 : 0;
}

int enumCheck(const char *path, int count, char **names)
{
    nuvora::RegistryWin32 registry;
    nuvora::RegHandle key = 0;
    if (registry.openKey(nuvora::kHKeyLocalMachine, path, 0, nuvora::kKeyRead, &key) !=
        nuvora::kRegSuccess) {
        std::printf("FAIL cannot open HKLM\\%s\n", path);
        return 1;
    }
    const std::vector<std::string> got = nuvora::EnumSubKeys(registry, key);
    registry.closeKey(key);
    std::vector<std::string> want(names, names + count);
    if (!want.empty())
        want.emplace_back();
    std::string gotText, wantText;
    for (const auto &n : got)
        gotText += "[" + n + "]";
    for (const auto &n : want)
        wantText += "[" + n + "]";
    return verdict("EnumSubKeys", gotText, wantText);
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
