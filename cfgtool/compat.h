// Software compatibility dialog (template 207): checks that the installed driver,
// board library and this utility have versions that fit together.
#pragma once
#include <windows.h>

// Runs the dialog modally; returns when the user closes it.
void RunCompatDialog(HWND owner);

// Dialog procedure of template 207 (also used modelessly by the tests).
INT_PTR CALLBACK CompatDialogProc(HWND dlg, UINT msg, WPARAM wp, LPARAM lp);

// The library path offered by the dialog: 260 bytes (terminator included), kept for
// the life of the process so that a path chosen once is offered again next time.
// Initially "C:\Program Files\zrn\vx7105\qrlink00\Release\qrlink00.dll".
constexpr int kLibraryPathSize = 260;
char* CompatLibraryPath();
