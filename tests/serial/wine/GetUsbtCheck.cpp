// nuvora-getusbt-check: runs the adapter lookup against the registry of the Windows (or Wine)
// it runs on, one step an invocation; exits 0 when the lookup returns TEXT ("" for none):
//   expect TEXT
//   dyn TEXT [DEVICE HARDWAREKEY]...  with these devices on the configuration-manager route,
//       volatile keys made and removed within this one run, so that a restart of the Wine
//       server between steps cannot lose them.
#include "serial/GetUSBT.h"

#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>

namespace {

constexpr const char *kDynEnum = "Config Manager\\Enum";

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

// The device list gone, and with it every device a step made.
int dynClear()
{
    const LONG status = RegDeleteTreeA(HKEY_DYN_DATA, kDynEnum);
    return status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND ? 0 : 1;
}

} // namespace

int main(int argc, char **argv)
{
    const std::string command = argc > 2 ? argv[1] : "";
    const bool dyn = command == "dyn" && argc % 2 == 1;
    if (!dyn && !(command == "expect" && argc == 3)) {
        std::fprintf(stderr, "usage: nuvora-getusbt-check expect|dyn TEXT...\n");
        return 2;
    }
    int failures = dyn ? dynClear() : 0;
    for (int i = 3; i + 1 < argc; i += 2)
        failures += store(std::string(kDynEnum) + "\\" + argv[i], argv[i + 1]);
    const std::string got = nuvora::GetUSBCom();
    // The length shown too: a kept terminator must show.
    std::printf("%s GetUSBCom = \"%s\" (%zu bytes)\n", got == argv[2] ? "ok  " : "FAIL",
                got.c_str(), got.size());
    failures += (got == argv[2] ? 0 : 1) + (dyn ? dynClear() : 0);
    return failures ? 1 : 0;
}
