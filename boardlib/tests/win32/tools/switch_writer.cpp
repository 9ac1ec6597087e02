// qrl_switch_writer: another process that writes the call log's Logging switch on
// request, for the tests that check a change made elsewhere is seen by the very next
// exchange. Reads one value per line from standard input, writes it as Logging of
// the vx710s10 Dll key, and answers "ok" (or "failed N" with the registry's error)
// once RegSetValueEx has returned; "q" or the end of input ends it.
#include <windows.h>

#include <cstdio>
#include <cstdlib>

#include "settings_layout.h"

int main() {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, vxreg::kDllKey, 0, KEY_SET_VALUE, &key) != ERROR_SUCCESS) {
        std::printf("failed open\n");
        return 1;
    }
    char line[64];
    while (std::fgets(line, sizeof line, stdin) && line[0] != 'q') {
        const DWORD v = static_cast<DWORD>(std::strtoul(line, nullptr, 10));
        const LONG r = RegSetValueExA(key, vxreg::kLogging, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&v), sizeof v);
        if (r == ERROR_SUCCESS)
            std::printf("ok\n");
        else
            std::printf("failed %ld\n", r);
        std::fflush(stdout);
    }
    RegCloseKey(key);
    return 0;
}
