#include "maindlg.h"

#include <commctrl.h>

#include <string>

#include "compat.h"
#include "devdlg.h"
#include "device.h"
#include "dlgcommon.h"
#include "help.h"
#include "osversion.h"
#include "resource.h"
#include "service.h"
#include "tabpages.h"
#include "versioninfo.h"

const wchar_t kNotInstalledText[] =
    L"デバイスドライバがインストールされていません。\nデバイスドライバをインスイトールしてください。";
const wchar_t kNotInstalledCaption[] = L"デバイスドライバ未検出";
const wchar_t kNotStartedText[] = L"デバイスドライバが起動されていません。\nデバイスドライバを起動してください。";
const wchar_t kNotStartedCaption[] = L"デバイスドライバ未起動";

namespace {

const int kDevicePage[] = {IDC_MAIN_DEVICE_TEXT, IDC_MAIN_TREE, IDC_MAIN_PROPERTIES};
const int kDriverPage[] = {IDC_MAIN_DRIVER_TEXT, IDC_MAIN_LIST, IDC_MAIN_START, IDC_MAIN_STOP};
const int kVersionPage[] = {IDC_MAIN_TITLE, IDC_MAIN_VERSION, IDC_MAIN_NOTICE,
                            IDC_MAIN_ICON, IDC_MAIN_COMPAT, IDC_MAIN_VERSION_LABEL};
const TabPage kMainPages[] = {
    {3, kDevicePage, 283, L"デバイス"},
    {4, kDriverPage, 524, L"ドライバ"},
    {6, kVersionPage, 765, L"バージョン情報"},
};
constexpr int kMainPageCount = 3;
const unsigned kMainTopics[kMainPageCount] = {kTopicMainDevice, kTopicMainDriver, kTopicMainVersion};

// Process-wide state of the main window; the program has one main dialog per run.
bool g_devicePresent = false;
int g_currentMainTab = 0;
RECT g_display = {};
HWND g_tab = nullptr;
HWND g_list = nullptr;
HFONT g_treeFont = nullptr;
HFONT g_listFont = nullptr;

void ReplaceFont(HWND ctl, HFONT& slot) {
    HFONT font = CreateListFont();
    SendMessageW(ctl, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
    if (slot) DeleteObject(slot);
    slot = font;
}

// Inserts the device label into the tree; null when Device0 or its serial cannot be read.
HTREEITEM AddDeviceEntry(HWND dlg) {
    std::wstring label;
    if (!ReadDeviceLabel(label)) return nullptr;
    SetCurrentDeviceLabel(label);
    HWND tree = GetDlgItem(dlg, IDC_MAIN_TREE);
    TVINSERTSTRUCTW ins{};
    ins.hParent = TVI_ROOT;
    ins.hInsertAfter = TVI_LAST;
    ins.item.mask = TVIF_TEXT;
    ins.item.pszText = const_cast<wchar_t*>(CurrentDeviceLabel().c_str());
    HTREEITEM item = reinterpret_cast<HTREEITEM>(SendMessageW(tree, TVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&ins)));
    ReplaceFont(tree, g_treeFont);
    return item;
}

void SetStateText(const wchar_t* text) {
    LVITEMW item{};
    item.iSubItem = 1;
    item.pszText = const_cast<wchar_t*>(text);
    SendMessageW(g_list, LVM_SETITEMTEXTW, 0, reinterpret_cast<LPARAM>(&item));
}

void SetUpDriverList() {
    struct Column { const wchar_t* header; int width; };
    const Column columns[] = {{L"プログラム名", 297}, {L"状態", 90}};
    for (int i = 0; i < 2; ++i) {
        LVCOLUMNW col{};
        col.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT | LVCF_SUBITEM;
        col.fmt = LVCFMT_LEFT;
        col.cx = columns[i].width;
        col.pszText = const_cast<wchar_t*>(columns[i].header);
        col.iSubItem = i;
        SendMessageW(g_list, LVM_INSERTCOLUMNW, i, reinterpret_cast<LPARAM>(&col));
    }
    LVITEMW row{};
    row.mask = LVIF_TEXT;
    row.pszText = const_cast<wchar_t*>(L"vx710s10.sys");
    SendMessageW(g_list, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&row));
    SetStateText(DriverStateText(QueryDriverService()));
    LVITEMW state{};
    state.stateMask = LVIS_FOCUSED | LVIS_SELECTED | LVIS_CUT | LVIS_DROPHILITED;
    state.state = LVIS_SELECTED | LVIS_DROPHILITED;
    SendMessageW(g_list, LVM_SETITEMSTATE, 0, reinterpret_cast<LPARAM>(&state));
    ReplaceFont(g_list, g_listFont);
}

void ShowOwnVersion(HWND dlg) {
    char path[MAX_PATH + 16] = "";
    UINT n = GetSystemDirectoryA(path, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) path[0] = '\0';
    lstrcatA(path, "\\vx710cfg.exe");
    ShowFileVersionText(dlg, IDC_MAIN_VERSION, path);
}

void OnInitDialog(HWND dlg) {
    g_tab = GetDlgItem(dlg, IDC_TAB);
    g_list = GetDlgItem(dlg, IDC_MAIN_LIST);
    g_currentMainTab = 0;
    ShowOwnVersion(dlg);
    g_devicePresent = false;
    switch (CheckDriverPresence()) {
    case DriverPresence::NotInstalled:
        MessageBoxW(nullptr, kNotInstalledText, kNotInstalledCaption, MB_ICONWARNING | MB_OK);
        EnableWindow(GetDlgItem(dlg, IDC_MAIN_PROPERTIES), FALSE);
        EnableWindow(GetDlgItem(dlg, IDC_MAIN_START), FALSE);
        EnableWindow(GetDlgItem(dlg, IDC_MAIN_STOP), FALSE);
        break;
    case DriverPresence::NotStarted:
        MessageBoxW(nullptr, kNotStartedText, kNotStartedCaption, MB_ICONWARNING | MB_OK);
        EnableWindow(GetDlgItem(dlg, IDC_MAIN_PROPERTIES), FALSE);
        SetUpDriverList();
        break;
    case DriverPresence::DevicePresent:
        // A Device0 key without a readable serial ends the set-up here, at template size.
        if (!AddDeviceEntry(dlg)) return;
        g_devicePresent = true;
        SetUpDriverList();
        break;
    }
    SetWindowPos(dlg, nullptr, 0, 0, LayoutPixelsX(dlg, 456), LayoutPixelsY(dlg, 277), SWP_NOZORDER | SWP_NOACTIVATE);
    InsertTabs(g_tab, kMainPageCount, kMainPages);
    g_display = ComputeDisplayRect(dlg, g_tab);
    LayoutPages(dlg, g_display, true, 0, kMainPageCount, kMainPages);
    SendMessageW(g_tab, TCM_SETCURSEL, 0, 0);
}

void OnStart(HWND dlg) {
    if (!StartDriverService()) return;
    if (!g_devicePresent) {
        HTREEITEM item = AddDeviceEntry(dlg);
        if (!item) return;  // Device0 not there yet: the next Start tries again
        SendMessageW(GetDlgItem(dlg, IDC_MAIN_TREE), TVM_SELECTITEM, TVGN_DROPHILITE, reinterpret_cast<LPARAM>(item));
        EnableWindow(GetDlgItem(dlg, IDC_MAIN_PROPERTIES), TRUE);
        g_devicePresent = true;
    }
    SetStateText(kStateStarted);
}

void OnStop() {
    if (StopDriverService()) SetStateText(kStateStopped);
}

}  // namespace

INT_PTR RunMainDialog(HWND owner) {
    return DialogBoxParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_MAIN), owner, MainDialogProc, 0);
}

INT_PTR CALLBACK MainDialogProc(HWND dlg, UINT msg, WPARAM wp, LPARAM lp) {
    // On major version 5 the service buttons never stay visible, whatever page is shown.
    if (HideServiceButtons()) {
        if (HWND b = GetDlgItem(dlg, IDC_MAIN_START)) ShowWindow(b, SW_HIDE);
        if (HWND b = GetDlgItem(dlg, IDC_MAIN_STOP)) ShowWindow(b, SW_HIDE);
    }
    switch (msg) {
    case WM_INITDIALOG:
        OnInitDialog(dlg);
        return TRUE;
    case WM_COMMAND:
        switch (LOWORD(wp)) {
        case IDCANCEL:
            FinishDialog(dlg, 1);
            PostQuitMessage(0);
            return TRUE;
        case IDC_MAIN_START:
            OnStart(dlg);
            return TRUE;
        case IDC_MAIN_STOP:
            OnStop();
            return TRUE;
        case IDC_MAIN_PROPERTIES:
            RunDeviceSettingsDialog(dlg);
            return TRUE;
        case IDC_MAIN_COMPAT:
            RunCompatDialog(dlg);
            return TRUE;
        }
        return FALSE;
    case WM_NOTIFY:
        if (reinterpret_cast<NMHDR*>(lp)->code == static_cast<UINT>(TCN_SELCHANGE)) {
            g_currentMainTab = static_cast<int>(SendMessageW(g_tab, TCM_GETCURSEL, 0, 0));
            if (g_currentMainTab >= 0 && g_currentMainTab < kMainPageCount)
                LayoutPages(dlg, g_display, false, g_currentMainTab, kMainPageCount, kMainPages);
        }
        return FALSE;
    case WM_HELP:
        if (g_currentMainTab >= 0 && g_currentMainTab < kMainPageCount) ShowHelpTopic(kMainTopics[g_currentMainTab]);
        SetWindowLongPtrW(dlg, DWLP_MSGRESULT, TRUE);
        return TRUE;
    case WM_NCDESTROY:
        // The fonts outlive their controls only until the dialog is gone.
        if (g_treeFont) DeleteObject(g_treeFont);
        if (g_listFont) DeleteObject(g_listFont);
        g_treeFont = g_listFont = nullptr;
        g_tab = g_list = nullptr;
        ForgetDialogResult(dlg);
        return FALSE;
    }
    return FALSE;
}
