#include "dlllogdlg.h"

#include <cwchar>

#include "dlgcommon.h"
#include "help.h"
#include "logsettings.h"
#include "numconv.h"
#include "resource.h"

namespace {

// Enabled and disabled together by the trigger switch.
const int kTriggerControls[] = {IDC_LOG_TRIGDATA,  IDC_LOG_AFTERSIZE,    IDC_LOG_TARGETTYPE, IDC_LOG_TRIGLOGIC,
                                IDC_LOG_TARGETCH, IDC_LOG_TARGETOFFSET, IDC_LOG_TARGETSIZE};

void EnableTriggerControls(HWND dlg, bool on) {
    for (int id : kTriggerControls) EnableWindow(GetDlgItem(dlg, id), on ? TRUE : FALSE);
}

void SetNumber(HWND dlg, const NumericField& f, DWORD v) {
    wchar_t buf[16];
    if (f.hex)
        swprintf(buf, 16, L"%lx", static_cast<unsigned long>(v));
    else
        swprintf(buf, 16, L"%ld", static_cast<long>(v));
    SetDlgItemTextW(dlg, f.id, buf);
}

void SelectChoice(HWND dlg, const ChoiceField& f, DWORD value) {
    // A value outside the list gives an index the combo box does not have: no selection.
    SendMessageW(GetDlgItem(dlg, f.id), CB_SETCURSEL, static_cast<WPARAM>(static_cast<int>(value - f.first)), 0);
}

void OnInit(HWND dlg) {
    DllLogRead r = ReadDllLogSettings();
    int n = r.count;
    if (n-- <= 0) return;
    if (r.trigChk == 1) CheckDlgButton(dlg, IDC_LOG_TRIGCHK, BST_CHECKED);
    EnableTriggerControls(dlg, r.trigChk != 0);
    for (int i = 0; i < kDllNumericCount; ++i) {
        if (n-- <= 0) return;
        SetNumber(dlg, kDllNumericFields[i], r.numeric[i]);
    }
    for (int i = 0; i < kDllRowCount; ++i) {
        if (n-- <= 0) return;
        if (r.items[i] == 1) CheckDlgButton(dlg, kLogItemRows[i].id, BST_CHECKED);
    }
    for (int i = 0; i < kDllChoiceCount; ++i) {
        if (n-- <= 0) return;
        const ChoiceField& f = kDllChoiceFields[i];
        HWND combo = GetDlgItem(dlg, f.id);
        for (int k = 0; k < f.itemCount; ++k) SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(f.items[k]));
        SelectChoice(dlg, f, r.choice[i]);
    }
}

void OnOk(HWND dlg) {
    DllLogForm form;
    form.trigChk = IsDlgButtonChecked(dlg, IDC_LOG_TRIGCHK) == BST_CHECKED ? 1 : 0;
    for (int i = 0; i < kDllNumericCount; ++i) {
        wchar_t text[100] = L"";
        GetDlgItemTextW(dlg, kDllNumericFields[i].id, text, 100);
        form.numeric[i] = ParseUnsigned(text, kDllNumericFields[i].base);
    }
    for (int i = 0; i < kDllRowCount; ++i)
        form.items[i] = IsDlgButtonChecked(dlg, kLogItemRows[i].id) == BST_CHECKED ? 1 : 0;
    for (int i = 0; i < kDllChoiceCount; ++i)
        form.choiceIndex[i] =
            static_cast<int>(SendMessageW(GetDlgItem(dlg, kDllChoiceFields[i].id), CB_GETCURSEL, 0, 0));
    if (StoreDllLogSettings(form)) FinishDialog(dlg, 1);
}

void OnStandard(HWND dlg) {
    CheckDlgButton(dlg, IDC_LOG_TRIGCHK, BST_UNCHECKED);
    EnableTriggerControls(dlg, false);
    for (const NumericField& f : kDllNumericFields) SetNumber(dlg, f, f.standard);
    for (const LogItemRow& row : kLogItemRows) CheckDlgButton(dlg, row.id, row.standard ? BST_CHECKED : BST_UNCHECKED);
    for (const ChoiceField& f : kDllChoiceFields) SelectChoice(dlg, f, f.standard);
}

}  // namespace

INT_PTR RunDllLogDialog(HWND owner) {
    return DialogBoxParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_DLLLOG), owner, DllLogDialogProc, 0);
}

INT_PTR CALLBACK DllLogDialogProc(HWND dlg, UINT msg, WPARAM wp, LPARAM) {
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
        case IDC_LOG_TRIGCHK:
            EnableTriggerControls(dlg, IsDlgButtonChecked(dlg, IDC_LOG_TRIGCHK) == BST_CHECKED);
            return TRUE;
        }
        return FALSE;
    case WM_HELP:
        ShowHelpTopic(kTopicDllLog);
        SetWindowLongPtrW(dlg, DWLP_MSGRESULT, TRUE);
        return TRUE;
    case WM_NCDESTROY:
        ForgetDialogResult(dlg);
        return FALSE;
    }
    return FALSE;
}
