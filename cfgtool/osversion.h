// The OS version record, filled once at start-up. Only the major version matters:
// on major version 5 the main dialog hides its Start and Stop buttons.
#pragma once

#include <windows.h>

extern OSVERSIONINFOA g_osVersion;  // 148 bytes
void FillOsVersion();
bool HideServiceButtons();  // major version exactly 5
