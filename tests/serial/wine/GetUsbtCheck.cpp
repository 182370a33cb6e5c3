// nuvora-getusbt-check: runs the adapter lookup against the registry of the Windows (or Wine)
// it runs on. Each invocation does one step and exits 0 when the result is as expected:
//   expect TEXT                  the product's lookup returns TEXT ("" for none)
//   dyn TEXT [DEVICE HARDWAREKEY]...
//                                with these devices present on the configuration-manager
//                                route, the lookup returns TEXT. The devices are volatile keys
//                                made and removed within this one run, so a restart of the
//                                Wine server between steps cannot lose them.
#include "serial/GetUSBT.h"

#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>

namespace {

constexpr const char *kDynEnum = "Config Manager\\Enum";

// Anything unprintable shown as \xNN, and the length: a lost terminator must show.
int verdict(const std::string &got, const std::string &want)
{
    std::string shown;
    for (unsigned char c : got) {
        char hex[8];
        std::snprintf(hex, sizeof hex, c < 32 || c > 126 ? "\\x%02x" : "%c", c);
        shown += hex;
    }
    std::printf("%s GetUSBCom = \"%s\" (%zu bytes)\n", got == want ? "ok  " : "FAIL", shown.c_str(),
                got.size());
    return got == want ? 0 : 1;
}

// Creates the volatile key HKEY_DYN_DATA\path with the string `text` as its HardWareKey.
int store(const std::string &path, const char *text)
{
    HKEY key = nullptr;
    LONG status = RegCreateKeyExA(HKEY_DYN_DATA, path.c_str(), 0, nullptr, REG_OPTION_VOLATILE,
                                  KEY_ALL_ACCESS, nullptr, &key, nullptr);
    if (status == ERROR_SUCCESS) {
        status = RegSetValueExA(key, "HardWareKey", 0, REG_SZ, reinterpret_cast<const BYTE *>(text),
                                DWORD(std::strlen(text) + 1));
        RegCloseKey(key);
    }
    if (status != ERROR_SUCCESS)
        std::printf("FAIL cannot store %s: %ld\n", path.c_str(), status);
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

} // namespace

int main(int argc, char **argv)
{
    const std::string command = argc > 1 ? argv[1] : "";
    if (command == "expect" && argc == 3)
        return verdict(nuvora::GetUSBCom(), argv[2]);
    if (command == "dyn" && argc >= 3 && argc % 2 == 1) {
        int failures = dynClear();
        for (int i = 3; i + 1 < argc; i += 2)
            failures += store(std::string(kDynEnum) + "\\" + argv[i], argv[i + 1]);
        failures += verdict(nuvora::GetUSBCom(), argv[2]);
        failures += dynClear();
        return failures ? 1 : 0;
    }
    std::fprintf(stderr, "usage: nuvora-getusbt-check expect|dyn\n");
    return 2;
}
