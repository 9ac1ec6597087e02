// cfg_screens.exe OUTDIR: shows every page of the utility's dialogs one after the
// other on a real display and, for each, asks the screenshot script to take a picture:
// it writes OUTDIR\<name>.ready with the client rectangle on the screen ("x y w h") and waits for
// OUTDIR\<name>.done. The registry is set up as an installed driver with a board and
// removed again at the end.
#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <string>

#include "cfg_util.h"
#include "devdlg.h"
#include "dlllogdlg.h"
#include "logconfirm.h"
#include "maindlg.h"
#include "resource.h"
#include "settings_layout.h"
#include "syslogdlg.h"

using namespace cfgtest;

namespace {

std::wstring g_out;

void Settle(DWORD ms) {
    DWORD start = GetTickCount();
    while (GetTickCount() - start < ms) {
        Pump();
        Sleep(20);
    }
}

bool Capture(const wchar_t* name, HWND wnd) {
    RedrawWindow(wnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    Settle(600);
    // Without a window manager nobody draws the frame and caption: take the client area.
    RECT rc;
    GetClientRect(wnd, &rc);
    MapWindowPoints(wnd, nullptr, reinterpret_cast<POINT*>(&rc), 2);
    std::wstring ready = g_out + L"\\" + name + L".ready", done = g_out + L"\\" + name + L".done";
    FILE* f = _wfopen((ready + L".tmp").c_str(), L"w");
    if (!f) return false;
    fprintf(f, "%ld %ld %ld %ld\n", rc.left, rc.top, rc.right - rc.left, rc.bottom - rc.top);
    fclose(f);
    MoveFileW((ready + L".tmp").c_str(), ready.c_str());
    for (int i = 0; i < 600; ++i) {
        if (GetFileAttributesW(done.c_str()) != INVALID_FILE_ATTRIBUTES) return true;
        Settle(50);
    }
    return false;
}

HWND Show(int templateId, DLGPROC proc, HWND owner = nullptr, LPARAM param = 0) {
    HWND h = CreateDialogParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(templateId), owner, proc, param);
    ShowWindow(h, SW_SHOW);
    UpdateWindow(h);
    return h;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 2) return 2;
    g_out = argv[1];
    INITCOMMONCONTROLSEX icc{sizeof icc, ICC_TAB_CLASSES | ICC_TREEVIEW_CLASSES | ICC_LISTVIEW_CLASSES};
    InitCommonControlsEx(&icc);

    ServiceKeyOnly key;
    DeviceValues dv;
    dv.serial = static_cast<DWORD>(-1);
    InstallSettingsTree(true, dv);
    SetString(vxreg::kDllKey, "LoggingPath", L"\\??\\D:\\log\\vx710d10.log");
    SetDword(vxreg::kSysKey, "Logging", 1);
    wchar_t sys[MAX_PATH];
    GetSystemDirectoryW(sys, MAX_PATH);
    std::wstring copy = std::wstring(sys) + L"\\vx710cfg.exe";
    bool copied = CopyFileW((ModuleDir() + L"vx710cfg.exe").c_str(), copy.c_str(), TRUE) != 0;

    bool ok = true;
    HWND main = Show(IDD_MAIN, MainDialogProc);
    const wchar_t* mainNames[] = {L"main_device", L"main_driver", L"main_version"};
    for (int p = 0; p < 3; ++p) {
        SelectTab(main, p);
        ok &= Capture(mainNames[p], main);
    }
    SelectTab(main, 0);

    HWND dev = Show(IDD_DEVICE, DeviceSettingsDialogProc, main);
    ok &= Capture(L"device_general", dev);
    SelectTab(dev, 1);
    ok &= Capture(L"device_details", dev);

    HWND confirm = Show(IDD_LOGCONFIRM, LogConfirmDialogProc, dev, reinterpret_cast<LPARAM>(vxreg::kDllKey));
    // Over its owner this small popup stays unpainted on the window-manager-less X server;
    // pictured on a free part of the screen it draws normally.
    SetWindowPos(confirm, HWND_TOP, 600, 400, 0, 0, SWP_NOSIZE | SWP_SHOWWINDOW);
    ok &= Capture(L"logconfirm", confirm);
    DestroyWindow(confirm);

    HWND sysLog = Show(IDD_SYSLOG, SysLogDialogProc, dev);
    ok &= Capture(L"syslog", sysLog);
    DestroyWindow(sysLog);

    HWND dllLog = Show(IDD_DLLLOG, DllLogDialogProc, dev);
    ok &= Capture(L"dlllog", dllLog);
    CheckDlgButton(dllLog, IDC_LOG_TRIGCHK, BST_CHECKED);
    SendMessageW(dllLog, WM_COMMAND, MAKEWPARAM(IDC_LOG_TRIGCHK, BN_CLICKED), 0);
    ok &= Capture(L"dlllog_trigger", dllLog);
    DestroyWindow(dllLog);

    DestroyWindow(dev);
    DestroyWindow(main);
    if (copied) DeleteFileW(copy.c_str());
    RemoveSettingsTree();
    return ok ? 0 : 1;
}
