// Software compatibility dialog (template 207): checks that the installed driver,
// board library and this utility have versions that fit together.
#pragma once
#include <windows.h>

// Runs the dialog modally; returns when the user closes it.
void RunCompatDialog(HWND owner);

// Dialog procedure of template 207 (also used modelessly by the tests).
INT_PTR CALLBACK CompatDialogProc(HWND dlg, UINT msg, WPARAM wp, LPARAM lp);
