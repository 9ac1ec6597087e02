// SYS log output data dialog (template 205): the driver's log items, file size and
// number of backups, in the Sys and Sys log items keys.
#pragma once

#include <windows.h>

INT_PTR RunSysLogDialog(HWND owner);
INT_PTR CALLBACK SysLogDialogProc(HWND dlg, UINT msg, WPARAM wp, LPARAM lp);
