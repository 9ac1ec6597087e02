// Helper of scripts/screenshots-compat.sh, run under Wine with the X11 driver:
//   shot_helper stamp SRC DST a.b.c.d   copy SRC to DST with only a version resource a.b.c.d
//   shot_helper open-item TEXT          type TEXT into the Control Panel's item list, press Enter
//   shot_helper click WINDOW ID         press button ID of WINDOW: "main" (the utility's
//                                       main dialog), "compat" (the compatibility dialog)
//                                       or "box" (the first visible dialog box)
// The windows are named by keyword: Japanese on a Wine command line depends on the host's
// locale support.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

int Stamp(const char* src, const char* dst, const char* version) {
  unsigned v[4] = {0, 0, 0, 0};
  std::sscanf(version, "%u.%u.%u.%u", &v[0], &v[1], &v[2], &v[3]);
  if (!CopyFileA(src, dst, FALSE)) return 2;
  std::vector<BYTE> blob(40 + sizeof(VS_FIXEDFILEINFO), 0);
  WORD header[3] = {static_cast<WORD>(blob.size()), sizeof(VS_FIXEDFILEINFO), 0};
  std::memcpy(blob.data(), header, sizeof header);
  std::memcpy(blob.data() + 6, L"VS_VERSION_INFO", 32);
  VS_FIXEDFILEINFO fixed{};
  fixed.dwSignature = VS_FFI_SIGNATURE;
  fixed.dwStrucVersion = VS_FFI_STRUCVERSION;
  fixed.dwFileVersionMS = MAKELONG(v[1], v[0]);
  fixed.dwFileVersionLS = MAKELONG(v[3], v[2]);
  fixed.dwFileOS = VOS_NT_WINDOWS32;
  std::memcpy(blob.data() + 40, &fixed, sizeof fixed);
  HANDLE h = BeginUpdateResourceA(dst, TRUE);
  if (!h) return 3;
  if (!UpdateResourceA(h, MAKEINTRESOURCEA(16), MAKEINTRESOURCEA(1),
                       MAKELANGID(LANG_JAPANESE, SUBLANG_DEFAULT), blob.data(),
                       static_cast<DWORD>(blob.size())))
    return 4;
  return EndUpdateResourceA(h, FALSE) ? 0 : 5;
}

HWND g_found = nullptr;

BOOL CALLBACK HasListView(HWND child, LPARAM) {
  wchar_t cls[64] = L"";
  GetClassNameW(child, cls, 64);
  if (lstrcmpiW(cls, L"SysListView32") == 0) {
    g_found = child;
    return FALSE;
  }
  return TRUE;
}

BOOL CALLBACK FindPanel(HWND top, LPARAM) {
  if (!IsWindowVisible(top)) return TRUE;
  EnumChildWindows(top, HasListView, 0);
  return g_found ? FALSE : TRUE;
}

void Key(WORD vk, wchar_t unicode = 0) {
  INPUT in[2] = {};
  for (int i = 0; i < 2; ++i) {
    in[i].type = INPUT_KEYBOARD;
    in[i].ki.wVk = unicode ? 0 : vk;
    in[i].ki.wScan = unicode;
    in[i].ki.dwFlags = (unicode ? KEYEVENTF_UNICODE : 0) | (i ? KEYEVENTF_KEYUP : 0);
  }
  SendInput(2, in, sizeof(INPUT));
  Sleep(150);
}

int OpenItem(const char* text) {
  EnumWindows(FindPanel, 0);
  if (!g_found) return 2;
  HWND panel = GetAncestor(g_found, GA_ROOT);
  SetForegroundWindow(panel);
  Sleep(500);
  // Clicking into the list gives it the keyboard focus.
  RECT r;
  GetWindowRect(g_found, &r);
  SetCursorPos(r.right - 20, r.bottom - 20);
  INPUT click[2] = {};
  click[0].type = click[1].type = INPUT_MOUSE;
  click[0].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
  click[1].mi.dwFlags = MOUSEEVENTF_LEFTUP;
  SendInput(2, click, sizeof(INPUT));
  Sleep(300);
  for (const char* p = text; *p; ++p) Key(0, static_cast<wchar_t>(*p));
  Sleep(300);
  Key(VK_RETURN);
  return 0;
}

BOOL CALLBACK FindBox(HWND top, LPARAM) {
  wchar_t cls[64] = L"";
  GetClassNameW(top, cls, 64);
  if (IsWindowVisible(top) && lstrcmpW(cls, L"#32770") == 0) {
    g_found = top;
    return FALSE;
  }
  return TRUE;
}

int Click(const wchar_t* title, const char* id) {
  const std::wstring wanted = title;
  HWND top = nullptr;
  for (int i = 0; i < 100 && !top; ++i) {
    if (wanted == L"*") {
      g_found = nullptr;
      EnumWindows(FindBox, 0);
      top = g_found;
    } else {
      top = FindWindowW(nullptr, wanted.c_str());
    }
    if (!top) Sleep(100);
  }
  if (!top) return 2;
  const int control = std::atoi(id);
  PostMessageW(top, WM_COMMAND, MAKEWPARAM(control, BN_CLICKED),
               reinterpret_cast<LPARAM>(GetDlgItem(top, control)));
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 5 && std::strcmp(argv[1], "stamp") == 0) return Stamp(argv[2], argv[3], argv[4]);
  if (argc == 3 && std::strcmp(argv[1], "open-item") == 0) return OpenItem(argv[2]);
  if (argc == 4 && std::strcmp(argv[1], "click") == 0) {
    const char* which = argv[2];
    const wchar_t* title = std::strcmp(which, "main") == 0     ? L"VX-7105 ｺﾝﾄﾛｰﾗ"
                           : std::strcmp(which, "compat") == 0 ? L"VX-7105ソフトウェア互換状況"
                           : std::strcmp(which, "box") == 0    ? L"*"
                                                               : nullptr;
    return title ? Click(title, argv[3]) : 1;
  }
  std::fprintf(stderr, "usage: shot_helper stamp SRC DST a.b.c.d | open-item TEXT | click main|compat|box ID\n");
  return 1;
}
