#include "dlgcommon.h"

namespace {
const wchar_t kResultProp[] = L"VxDialogResult";
}

HFONT CreateListFont() {
    return CreateFontW(13, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, SHIFTJIS_CHARSET, OUT_DEFAULT_PRECIS,
                       CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH, L"ＭＳ ゴシック");
}

void FinishDialog(HWND dlg, INT_PTR result) {
    SetPropW(dlg, kResultProp, reinterpret_cast<HANDLE>(result + 1));
    EndDialog(dlg, result);
}

INT_PTR FinishedResult(HWND dlg) {
    HANDLE h = GetPropW(dlg, kResultProp);
    return h ? reinterpret_cast<INT_PTR>(h) - 1 : -1;
}

void SetItemText(HWND dlg, int id, const wchar_t* text) { SetDlgItemTextW(dlg, id, text); }

void ForgetDialogResult(HWND dlg) { RemovePropW(dlg, kResultProp); }
