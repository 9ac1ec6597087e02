#include "syslogdlg.h"

#include <cwchar>

#include "dlgcommon.h"
#include "help.h"
#include "logsettings.h"
#include "numconv.h"
#include "resource.h"

namespace {

void FillFileMaxItems(HWND dlg) {
    HWND combo = GetDlgItem(dlg, kFileMaxField.id);
    for (int i = 0; i < kFileMaxField.itemCount; ++i)
        SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(kFileMaxField.items[i]));
}

void SetDecimal(HWND dlg, int id, long v) {
    wchar_t buf[16];
    swprintf(buf, 16, L"%ld", v);
    SetDlgItemTextW(dlg, id, buf);
}

void OnInit(HWND dlg) {
    // Whatever could not be read leaves its control, and the later ones, as in the template.
    SysLogRead r = ReadSysLogSettings();
    int n = r.count;
    if (n-- <= 0) return;
    SetDecimal(dlg, IDC_LOG_SIZE_EDIT, static_cast<long>(r.logSize));
    for (int i = 0; i < kSysRowCount; ++i) {
        if (n-- <= 0) return;
        if (r.items[i] == 1) CheckDlgButton(dlg, kLogItemRows[i].id, BST_CHECKED);
    }
    if (n-- <= 0) return;
    FillFileMaxItems(dlg);
    SendMessageW(GetDlgItem(dlg, kFileMaxField.id), CB_SETCURSEL, r.fileMax - kFileMaxField.first, 0);
}

void OnOk(HWND dlg) {
    SysLogForm form;
    wchar_t text[100] = L"";
    GetDlgItemTextW(dlg, IDC_LOG_SIZE_EDIT, text, 100);
    form.logSize = ParseSignedDecimal(text);
    for (int i = 0; i < kSysRowCount; ++i)
        form.items[i] = IsDlgButtonChecked(dlg, kLogItemRows[i].id) == BST_CHECKED ? 1 : 0;
    form.fileMaxIndex = static_cast<int>(SendMessageW(GetDlgItem(dlg, kFileMaxField.id), CB_GETCURSEL, 0, 0));
    if (StoreSysLogSettings(form)) FinishDialog(dlg, 1);
}

void OnStandard(HWND dlg) {
    SetDecimal(dlg, IDC_LOG_SIZE_EDIT, 1000);
    for (int i = 0; i < kSysRowCount; ++i) CheckDlgButton(dlg, kLogItemRows[i].id, BST_CHECKED);
    SendMessageW(GetDlgItem(dlg, kFileMaxField.id), CB_SETCURSEL, kFileMaxField.standard - kFileMaxField.first, 0);
}

}  // namespace

INT_PTR RunSysLogDialog(HWND owner) {
    return DialogBoxParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_SYSLOG), owner, SysLogDialogProc, 0);
}

INT_PTR CALLBACK SysLogDialogProc(HWND dlg, UINT msg, WPARAM wp, LPARAM) {
    switch (msg) {
    case WM_INITDIALOG:
        OnInit(dlg);
        return TRUE;
    case WM_COMMAND:
        switch (LOWORD(wp)) {
        case IDOK:
            OnOk(dlg);
            return TRUE;
        case IDCANCEL:
            FinishDialog(dlg, 1);
            return TRUE;
        case IDC_LOG_STANDARD:
            OnStandard(dlg);
            return TRUE;
        }
        return FALSE;
    case WM_HELP:
        ShowHelpTopic(kTopicSysLog);
        SetWindowLongPtrW(dlg, DWLP_MSGRESULT, TRUE);
        return TRUE;
    case WM_NCDESTROY:
        ForgetDialogResult(dlg);
        return FALSE;
    }
    return FALSE;
}
