// Main dialog (template 101): pages Device, Driver and Version information.
#pragma once

#include <windows.h>

// Runs the main dialog modally, owner the frame window.
INT_PTR RunMainDialog(HWND owner);
INT_PTR CALLBACK MainDialogProc(HWND dlg, UINT msg, WPARAM wp, LPARAM lp);

// Texts of the start-up messages when the driver is missing or has not started.
extern const wchar_t kNotInstalledText[];
extern const wchar_t kNotInstalledCaption[];
extern const wchar_t kNotStartedText[];
extern const wchar_t kNotStartedCaption[];
