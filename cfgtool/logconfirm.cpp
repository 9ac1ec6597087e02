#include "logconfirm.h"

#include "devsettings.h"
#include "dlgcommon.h"
#include "help.h"
#include "resource.h"

namespace {
const wchar_t kKeyProp[] = L"VxConfirmKey";
}

INT_PTR RunLogConfirmDialog(HWND owner, const char* keyPath) {
    return DialogBoxParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_LOGCONFIRM), owner, LogConfirmDialogProc,
                           reinterpret_cast<LPARAM>(keyPath));
}

INT_PTR CALLBACK LogConfirmDialogProc(HWND dlg, UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
    case WM_INITDIALOG:
        SetPropW(dlg, kKeyProp, reinterpret_cast<HANDLE>(lp));
        CheckDlgButton(dlg, IDC_CONFIRM_NEXT, BST_CHECKED);
        return TRUE;
    case WM_COMMAND:
        switch (LOWORD(wp)) {
        case IDOK: {
            const char* key = static_cast<const char*>(GetPropW(dlg, kKeyProp));
            DWORD next = IsDlgButtonChecked(dlg, IDC_CONFIRM_NEXT) == BST_CHECKED ? 1 : 0;
            // A key that cannot be written keeps the question open.
            if (key && StoreStartLogMessage(key, next)) FinishDialog(dlg, 1);
            return TRUE;
        }
        case IDCANCEL:
            FinishDialog(dlg, 0);
            return TRUE;
        }
        return FALSE;
    case WM_HELP:
        ShowHelpTopic(kTopicLogConfirm);
        SetWindowLongPtrW(dlg, DWLP_MSGRESULT, TRUE);
        return TRUE;
    case WM_NCDESTROY:
        RemovePropW(dlg, kKeyProp);
        ForgetDialogResult(dlg);
        return FALSE;
    }
    return FALSE;
}
