#include "devdlg.h"

#include <commctrl.h>
#include <commdlg.h>

#include <string>

#include "device.h"
#include "devsettings.h"
#include "dlgcommon.h"
#include "dlllogdlg.h"
#include "help.h"
#include "logconfirm.h"
#include "resource.h"
#include "service.h"
#include "settings_layout.h"
#include "syslogdlg.h"
#include "tabpages.h"

namespace {

const int kGeneralPage[] = {IDC_DEV_LABEL, IDC_DEV_TYPE_CAPTION, IDC_DEV_BUS_CAPTION, IDC_DEV_BASE_CAPTION,
                            IDC_DEV_RANGE_CAPTION, IDC_DEV_IRQ_CAPTION, IDC_DEV_TYPE, IDC_DEV_BUS,
                            IDC_DEV_BASE, IDC_DEV_RANGE, IDC_DEV_IRQ, IDC_DEV_STATUS_GROUP, IDC_DEV_STATUS};
const int kDetailsPage[] = {IDC_DEV_SYS_BROWSE,   IDC_DEV_SYS_DETAILS,      IDC_DEV_DLL_BROWSE, IDC_DEV_DLL_DETAILS,
                            IDC_DEV_NUMBER_CAPTION, IDC_DEV_SYS_PATH_CAPTION, IDC_DEV_SYS_GROUP,
                            IDC_DEV_DLL_PATH_CAPTION, IDC_DEV_LOG_GROUP,      IDC_DEV_NUMBER,     IDC_DEV_SYNC,
                            IDC_DEV_SYS_PATH,     IDC_DEV_DLL_PATH,         IDC_DEV_SYS_START,  IDC_DEV_SYS_STOP,
                            IDC_DEV_DLL_START,    IDC_DEV_DLL_STOP,         IDC_DEV_STANDARD};
const TabPage kSettingsPages[] = {
    {13, kGeneralPage, 263, L"全般"},
    {18, kDetailsPage, 545, L"詳細"},
};
constexpr int kSettingsPageCount = 2;
const unsigned kSettingsTopics[kSettingsPageCount] = {kTopicSettingsGeneral, kTopicSettingsDetails};

// One log (Sys or Dll): its key, the controls that belong to it and its default path.
struct LogControls {
    const char* key;
    int pathEdit, start, stop;
    const wchar_t* defaultPath;
};
const LogControls kSysLog = {vxreg::kSysKey, IDC_DEV_SYS_PATH, IDC_DEV_SYS_START, IDC_DEV_SYS_STOP,
                             kDefaultSysLogPath};
const LogControls kDllLog = {vxreg::kDllKey, IDC_DEV_DLL_PATH, IDC_DEV_DLL_START, IDC_DEV_DLL_STOP,
                             kDefaultDllLogPath};

struct DialogState {
    int currentTab = 0;
    RECT display = {};
};

DialogState* State(HWND dlg) { return reinterpret_cast<DialogState*>(GetWindowLongPtrW(dlg, DWLP_USER)); }

// Logging := value; the buttons follow only when the registry took it.
bool SetLogging(HWND dlg, const LogControls& log, DWORD value) {
    if (!StoreLogging(log.key, value)) return false;
    EnableWindow(GetDlgItem(dlg, log.start), value == 0);
    EnableWindow(GetDlgItem(dlg, log.stop), value == 1);
    return true;
}

bool ApplyLogKey(HWND dlg, const LogControls& log) {
    LogKeyRead r = ReadLogKey(log.key);
    if (r.pathOk) SetDlgItemTextW(dlg, log.pathEdit, r.shownPath.c_str());
    if (r.logging.ok) EnableWindow(GetDlgItem(dlg, r.logging.value == 1 ? log.start : log.stop), FALSE);
    return r.complete;
}

void OnInit(HWND dlg) {
    SetWindowLongPtrW(dlg, DWLP_USER, reinterpret_cast<LONG_PTR>(new DialogState));
    DeviceInfo info = ReadDeviceInfo();
    if (info.count > kBusNumber) SetDlgItemTextW(dlg, IDC_DEV_BUS, DecimalText(info.values[kBusNumber]).c_str());
    if (info.count > kBaseAddress0)
        SetDlgItemTextW(dlg, IDC_DEV_BASE, HexUpperText(info.values[kBaseAddress0]).c_str());
    if (info.count > kIrq) SetDlgItemTextW(dlg, IDC_DEV_IRQ, HexUpperText(info.values[kIrq]).c_str());
    if (!info.complete) return;
    SetDlgItemTextW(dlg, IDC_DEV_LABEL, CurrentDeviceLabel().c_str());
    SetDlgItemTextW(dlg, IDC_DEV_RANGE,
                    AddressRangeText(info.values[kBaseAddress0], info.values[kAddressSize0]).c_str());
    SetDlgItemTextW(dlg, IDC_DEV_STATUS, DeviceStatusText(QueryDriverService()));

    SetDlgItemTextW(dlg, IDC_DEV_SYS_PATH, kDefaultSysLogPath);
    SetDlgItemTextW(dlg, IDC_DEV_DLL_PATH, kDefaultDllLogPath);
    HWND number = GetDlgItem(dlg, IDC_DEV_NUMBER);
    for (int i = 1; i <= 15; ++i) {
        wchar_t item[4];
        wsprintfW(item, L"%d", i);
        SendMessageW(number, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item));
    }

    SettingsRead s = ReadSettingsKey();
    if (s.deviceNumber.ok)  // a number outside 1..15 leaves the list without selection
        SendMessageW(number, CB_SETCURSEL, static_cast<WPARAM>(static_cast<int>(s.deviceNumber.value - 1)), 0);
    if (s.synchronizing.ok && s.synchronizing.value == 1) CheckDlgButton(dlg, IDC_DEV_SYNC, BST_CHECKED);
    if (!s.complete) return;
    if (!ApplyLogKey(dlg, kSysLog)) return;
    if (!ApplyLogKey(dlg, kDllLog)) return;

    RECT client{};
    GetClientRect(dlg, &client);
    MoveWindow(dlg, 50, 0, client.right - client.left, LayoutPixelsY(dlg, 294), TRUE);
    HWND tab = GetDlgItem(dlg, IDC_TAB);
    InsertTabs(tab, kSettingsPageCount, kSettingsPages);
    State(dlg)->display = ComputeDisplayRect(dlg, tab);
    LayoutPages(dlg, State(dlg)->display, true, 0, kSettingsPageCount, kSettingsPages);
}

void OnOk(HWND dlg) {
    int index = static_cast<int>(SendMessageW(GetDlgItem(dlg, IDC_DEV_NUMBER), CB_GETCURSEL, 0, 0));
    DWORD number = index < 0 ? 0 : static_cast<DWORD>(index) + 1;
    DWORD sync = IsDlgButtonChecked(dlg, IDC_DEV_SYNC) == BST_CHECKED ? 1 : 0;
    if (!StoreSettingsKey(number, sync)) return;
    for (const LogControls* log : {&kSysLog, &kDllLog}) {
        wchar_t text[260] = L"";
        GetDlgItemTextW(dlg, log->pathEdit, text, 260);
        if (!StoreLogPath(log->key, text)) return;
    }
    FinishDialog(dlg, 1);
}

void OnBrowse(HWND dlg, const LogControls& log) {
    // Always starts from the default path, not from what the edit holds.
    wchar_t file[260];
    lstrcpynW(file, log.defaultPath, 260);
    wchar_t title[100] = L"";
    static const wchar_t kFilter[] =
        L"ログファイル(*.log)\0*.log\0テキスト(*.txt)\0*.txt\0すべてのファイル(*.*)\0*.*\0";
    OPENFILENAMEW ofn{};
    ofn.lStructSize = sizeof ofn;
    ofn.hwndOwner = dlg;
    ofn.lpstrFilter = kFilter;
    ofn.lpstrFile = file;
    ofn.nMaxFile = 260;
    ofn.lpstrFileTitle = title;
    ofn.nMaxFileTitle = 100;
    ofn.lpstrTitle = L"ログファイルの保存";
    ofn.Flags = OFN_FILEMUSTEXIST;
    ofn.lpstrDefExt = L"log";
    if (!GetSaveFileNameW(&ofn)) return;
    SetDlgItemTextW(dlg, log.pathEdit, file);
    InvalidateRect(dlg, nullptr, TRUE);
    UpdateWindow(dlg);
}

void OnStartLog(HWND dlg, const LogControls& log) {
    DWORD ask = 0;
    if (!ReadStartLogMessage(log.key, ask)) return;
    // Anything but OK, including a confirmation that could not be shown, starts nothing.
    if (ask == 1 && RunLogConfirmDialog(dlg, log.key) != 1) return;
    SetLogging(dlg, log, 1);
}

void OnStandard(HWND dlg) {
    if (!StoreStandardLogCounters()) return;
    SetDlgItemTextW(dlg, IDC_DEV_SYS_PATH, kDefaultSysLogPath);
    SetDlgItemTextW(dlg, IDC_DEV_DLL_PATH, kDefaultDllLogPath);
    SendMessageW(GetDlgItem(dlg, IDC_DEV_NUMBER), CB_SETCURSEL, 0, 0);
    CheckDlgButton(dlg, IDC_DEV_SYNC, BST_UNCHECKED);
    for (const LogControls* log : {&kSysLog, &kDllLog}) {
        EnableWindow(GetDlgItem(dlg, log->start), TRUE);
        EnableWindow(GetDlgItem(dlg, log->stop), FALSE);
        SetLogging(dlg, *log, 0);
    }
}

}  // namespace

INT_PTR RunDeviceSettingsDialog(HWND owner) {
    return DialogBoxParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_DEVICE), owner, DeviceSettingsDialogProc,
                           0);
}

INT_PTR CALLBACK DeviceSettingsDialogProc(HWND dlg, UINT msg, WPARAM wp, LPARAM lp) {
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
        case IDC_DEV_DLL_BROWSE:
            OnBrowse(dlg, kDllLog);
            return TRUE;
        case IDC_DEV_SYS_BROWSE:
            OnBrowse(dlg, kSysLog);
            return TRUE;
        case IDC_DEV_DLL_DETAILS:
            RunDllLogDialog(dlg);
            return TRUE;
        case IDC_DEV_SYS_DETAILS:
            RunSysLogDialog(dlg);
            return TRUE;
        case IDC_DEV_DLL_START:
            OnStartLog(dlg, kDllLog);
            return TRUE;
        case IDC_DEV_SYS_START:
            OnStartLog(dlg, kSysLog);
            return TRUE;
        case IDC_DEV_DLL_STOP:
            SetLogging(dlg, kDllLog, 0);
            return TRUE;
        case IDC_DEV_SYS_STOP:
            SetLogging(dlg, kSysLog, 0);
            return TRUE;
        case IDC_DEV_STANDARD:
            OnStandard(dlg);
            return TRUE;
        }
        return FALSE;
    case WM_NOTIFY:
        if (reinterpret_cast<NMHDR*>(lp)->code == static_cast<UINT>(TCN_SELCHANGE)) {
            DialogState* st = State(dlg);
            if (!st) return FALSE;
            st->currentTab = static_cast<int>(SendMessageW(GetDlgItem(dlg, IDC_TAB), TCM_GETCURSEL, 0, 0));
            if (st->currentTab >= 0 && st->currentTab < kSettingsPageCount)
                LayoutPages(dlg, st->display, false, st->currentTab, kSettingsPageCount, kSettingsPages);
        }
        return FALSE;
    case WM_HELP:
        if (DialogState* st = State(dlg))
            if (st->currentTab >= 0 && st->currentTab < kSettingsPageCount)
                ShowHelpTopic(kSettingsTopics[st->currentTab]);
        SetWindowLongPtrW(dlg, DWLP_MSGRESULT, TRUE);
        return TRUE;
    case WM_NCDESTROY:
        delete State(dlg);
        SetWindowLongPtrW(dlg, DWLP_USER, 0);
        ForgetDialogResult(dlg);
        return FALSE;
    }
    return FALSE;
}
