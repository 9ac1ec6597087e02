// DLL log output data dialog (template 206): the library's log items, per-command
// switches, file rotation and the stop trigger, in the Dll and Dll log items keys.
#pragma once

#include <windows.h>

INT_PTR RunDllLogDialog(HWND owner);
INT_PTR CALLBACK DllLogDialogProc(HWND dlg, UINT msg, WPARAM wp, LPARAM lp);
