// vx710cpl: the Control Panel entry of the VX-7105 controller. One item; opening it
// starts the configuration utility from the system directory.
#include <windows.h>
#include <cpl.h>

#include <cwchar>

#include "cplapplet.h"

namespace {

HINSTANCE g_instance = nullptr;

const wchar_t kItemName[] = L"VX-7105 ｺﾝﾄﾛｰﾗ";
const wchar_t kItemInfo[] = L"VX-7105の設定を変更します。";
const wchar_t kStartError[] = L"設定ファイルの起動時にエラーが発生しました。\nError %d";

// The Control Panel reads the record's texts as ANSI; they are the Japanese
// code-page bytes whatever the source file's own encoding.
void CopyCp932(const wchar_t* text, char* field, int size) {
  char bytes[128] = "";
  WideCharToMultiByte(CPL_TEXT_CODEPAGE, 0, text, -1, bytes, sizeof bytes, nullptr, nullptr);
  bytes[size - 1] = '\0';
  lstrcpyA(field, bytes);
}

void Describe(NEWCPLINFOA* info) {
  info->dwSize = sizeof(NEWCPLINFOA);
  info->dwFlags = 0;
  info->dwHelpContext = 0;
  info->lData = 0;
  info->hIcon = LoadIconA(g_instance, MAKEINTRESOURCEA(IDI_VX710CPL));
  CopyCp932(kItemName, info->szName, sizeof info->szName);
  CopyCp932(kItemInfo, info->szInfo, sizeof info->szInfo);
  info->szHelpFile[0] = '\0';
}

// Starts the utility as its own process and does not wait for it; a running
// instance is the utility's own business.
void StartUtility() {
  STARTUPINFOA startup;
  ZeroMemory(&startup, sizeof startup);
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = SW_SHOWNORMAL;
  PROCESS_INFORMATION process;
  ZeroMemory(&process, sizeof process);

  char program[261 + 16] = "";
  GetSystemDirectoryA(program, 261);
  lstrcatA(program, "\\vx710cfg.exe");
  char commandLine[1] = "";

  if (CreateProcessA(program, commandLine, nullptr, nullptr, FALSE, CREATE_NEW_CONSOLE,
                     nullptr, nullptr, &startup, &process)) {
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return;
  }
  const DWORD error = GetLastError();
  wchar_t text[128];
  swprintf(text, 128, kStartError, static_cast<int>(error));
  MessageBoxW(nullptr, text, L"Error", MB_OK | MB_ICONEXCLAMATION);
}

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) g_instance = instance;
  return TRUE;
}

extern "C" LONG CALLBACK CPlApplet(HWND, UINT message, LPARAM, LPARAM param2) {
  switch (message) {
    case CPL_INIT:
      return 1;
    case CPL_GETCOUNT:
      return 1;
    case CPL_DBLCLK:
      StartUtility();
      return 0;
    case CPL_NEWINQUIRE:
      Describe(reinterpret_cast<NEWCPLINFOA*>(param2));
      return 0;
    default:  // CPL_INQUIRE, CPL_SELECT, CPL_STOP, CPL_EXIT and the rest
      return 0;
  }
}
