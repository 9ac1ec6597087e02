#include "osversion.h"

OSVERSIONINFOA g_osVersion = {};

void FillOsVersion() {
    g_osVersion.dwOSVersionInfoSize = sizeof g_osVersion;
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    GetVersionExA(&g_osVersion);
#pragma GCC diagnostic pop
}

bool HideServiceButtons() { return g_osVersion.dwMajorVersion == 5; }
