// vx710cpl: the Control Panel entry of the VX-7105 controller. One item; opening it
// starts the configuration utility from the system directory.
#include <windows.h>
#include <cpl.h>

#include "cplapplet.h"
#include "launch.h"

namespace {

HINSTANCE g_instance = nullptr;

const wchar_t kItemName[] = L"VX-7105 ｺﾝﾄﾛｰﾗ";
const wchar_t kItemInfo[] = L"VX-7105の設定を変更します。";

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

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) g_instance = instance;
  return TRUE;
}

extern "C" LONG CALLBACK CPlApplet(HWND controlPanel, UINT message, LPARAM, LPARAM param2) {
  switch (message) {
    case CPL_INIT:
      return 1;
    case CPL_GETCOUNT:
      return 1;
    case CPL_DBLCLK:
      vxcpl::StartUtility(controlPanel, vxcpl::kSystemLauncher);
      return 0;
    case CPL_NEWINQUIRE:
      Describe(reinterpret_cast<NEWCPLINFOA*>(param2));
      return 0;
    default:  // CPL_INQUIRE, CPL_SELECT, CPL_STOP, CPL_EXIT and the rest
      return 0;
  }
}
