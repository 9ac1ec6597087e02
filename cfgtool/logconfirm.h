// Log start confirmation dialog (template 208), told by its opener which key (Sys or
// Dll) its box "次回起動時も表示する" writes StartLogMessage to.
#pragma once

#include <windows.h>

// 1 after OK (StartLogMessage stored), 0 after Cancel; anything else when the dialog
// could not be shown.
INT_PTR RunLogConfirmDialog(HWND owner, const char* keyPath);
// lParam of WM_INITDIALOG: the key path (const char*).
INT_PTR CALLBACK LogConfirmDialogProc(HWND dlg, UINT msg, WPARAM wp, LPARAM lp);
