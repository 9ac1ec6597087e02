// vx710cfg.exe: a single instance, a hidden frame window whose creation runs the main
// dialog, and a message loop that offers every message to HTML Help first.
#include <windows.h>
#include <commctrl.h>

#include "help.h"
#include "maindlg.h"
#include "osversion.h"

namespace {

// The mutex and the frame window share one name; two instances must agree on it in
// every code page, so it only ever goes through the wide API.
const wchar_t kInstanceName[] = L"vx-7105コントローラ";
const wchar_t kClassName[] = L"vx710cfg";

LRESULT CALLBACK FrameProc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
    case WM_CREATE: {
        BuildHelpFilePath();
        INITCOMMONCONTROLSEX icc{sizeof icc, ICC_TAB_CLASSES};
        InitCommonControlsEx(&icc);
        RunMainDialog(wnd);
        return 0;
    }
    case WM_DESTROY:
        HelpUninitialize();
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcW(wnd, msg, wp, lp);
}

bool RegisterFrameClass(HINSTANCE instance) {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.style = CS_HREDRAW | CS_VREDRAW;
    wc.lpfnWndProc = FrameProc;
    wc.hInstance = instance;
    wc.hIcon = LoadIconW(nullptr, IDI_APPLICATION);
    wc.hIconSm = LoadIconW(nullptr, IDI_APPLICATION);
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
    wc.lpszClassName = kClassName;
    return RegisterClassExW(&wc) != 0;
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR, int) {
    FillOsVersion();

    if (HANDLE existing = OpenMutexW(MUTEX_ALL_ACCESS, FALSE, kInstanceName)) {
        CloseHandle(existing);
        if (HWND first = FindWindowW(nullptr, kInstanceName)) {
            SetForegroundWindow(first);
            return 0;
        }
        // The mutex without its window: the first instance is on its way out; carry on.
    }
    HANDLE mutex = CreateMutexW(nullptr, FALSE, kInstanceName);

    if (!previous && !RegisterFrameClass(instance)) {
        if (mutex) CloseHandle(mutex);
        return 0;
    }
    HWND frame = CreateWindowExW(0, kClassName, kInstanceName, WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT,
                                 CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr, instance, nullptr);
    if (!frame) {
        if (mutex) CloseHandle(mutex);
        return 0;
    }

    HelpInitialize();
    MSG msg{};
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        if (HelpPreTranslate(&msg)) continue;
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    if (mutex) CloseHandle(mutex);
    return static_cast<int>(msg.wParam);
}
