// Small pieces every dialog of the utility uses.
#pragma once

#include <windows.h>

// The list font of the tree and the list views: height 13, weight 400, Shift-JIS,
// face "ＭＳ ゴシック". A new object each call; the caller deletes it.
HFONT CreateListFont();

// Ends a dialog and records its result as the window property "VxDialogResult"
// (result + 1), so that a dialog run without a modal loop can be told to have ended.
void FinishDialog(HWND dlg, INT_PTR result);
// The recorded result, or -1 when the dialog has not ended.
INT_PTR FinishedResult(HWND dlg);

// Control texts through the wide API whatever the code page.
void SetItemText(HWND dlg, int id, const wchar_t* text);
// Drops the recorded result; each dialog calls it when its window goes away.
void ForgetDialogResult(HWND dlg);
