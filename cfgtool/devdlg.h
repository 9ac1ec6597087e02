// Device settings dialog (template 204): page General shows what the driver recorded
// about the board; page Details edits the device number, synchronisation and the logs.
#pragma once

#include <windows.h>

INT_PTR RunDeviceSettingsDialog(HWND owner);
INT_PTR CALLBACK DeviceSettingsDialogProc(HWND dlg, UINT msg, WPARAM wp, LPARAM lp);
