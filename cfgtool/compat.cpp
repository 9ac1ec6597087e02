// Software compatibility dialog (template 207).
#include "compat.h"

#include <commdlg.h>

#include <string>

#include "compat_logic.h"
#include "help.h"
#include "resource.h"
#include "versioninfo.h"

namespace {

char g_libraryPath[kLibraryPathSize] =
    "C:\\Program Files\\zrn\\vx7105\\qrlink00\\Release\\qrlink00.dll";

// Per-opening state; the dialog is modal, so there is only ever one.
struct CompatState {
  int set;
  CompatFlags flags;
  HBRUSH brush;
};
CompatState g_state{0, {false, false, false, false}, nullptr};

std::string SystemFile(const char* tail) {
  char dir[261] = "";
  GetSystemDirectoryA(dir, sizeof dir);
  return std::string(dir) + tail;
}

std::wstring ControlText(HWND dlg, int id) {
  wchar_t buf[300] = L"";
  GetDlgItemTextW(dlg, id, buf, 300);
  return buf;
}

// Paths are ANSI (the A file functions take them); the edit shows them as wide text.
void ShowPath(HWND dlg) {
  wchar_t wide[kLibraryPathSize] = L"";
  MultiByteToWideChar(CP_ACP, 0, g_libraryPath, -1, wide, kLibraryPathSize);
  SetDlgItemTextW(dlg, IDC_CPT_PATH, wide);
}

void StorePath(const wchar_t* wide) {
  char ansi[kLibraryPathSize * 2] = "";
  WideCharToMultiByte(CP_ACP, 0, wide, -1, ansi, sizeof ansi, nullptr, nullptr);
  lstrcpynA(g_libraryPath, ansi, kLibraryPathSize);
}

bool ParseShown(HWND dlg, int id, VersionQuad& v) {
  const std::wstring text = ControlText(dlg, id);
  if (text == kFileNotFoundText) return false;
  v = ParseVersion(text.c_str());
  return true;
}

INT_PTR OnInit(HWND dlg) {
  g_state.flags = CompatFlags{false, false, false, false};
  if (g_state.brush) DeleteObject(g_state.brush);
  g_state.brush = CreateSolidBrush(GetSysColor(COLOR_BTNFACE));

  ShowPath(dlg);

  const std::string driver = SystemFile("\\drivers\\vx710s10.sys");
  bool driverFound = ShowFileDateText(dlg, IDC_CPT_DRIVER_DATE, driver.c_str()) == 0;
  if (driverFound)
    driverFound = ShowFileVersionText(dlg, IDC_CPT_DRIVER_VERSION, driver.c_str()) == 0;
  VersionQuad driverVersion{};
  if (driverFound) driverVersion = ParseVersion(ControlText(dlg, IDC_CPT_DRIVER_VERSION).c_str());
  g_state.set = SelectCompatSet(driverFound ? &driverVersion : nullptr);
  SetDlgItemTextW(dlg, IDC_CPT_RANGE, LibraryRangeText(g_state.set).c_str());

  if (ShowFileDateText(dlg, IDC_CPT_DRV_DATE, driver.c_str()) != 0) {
    g_state.flags.attention = true;
    g_state.flags.driverMissing = true;
  }
  ShowFileVersionText(dlg, IDC_CPT_DRV_VERSION, driver.c_str());

  const std::string utility = SystemFile("\\vx710cfg.exe");
  if (ShowFileDateText(dlg, IDC_CPT_UTIL_DATE, utility.c_str()) != 0) {
    g_state.flags.attention = true;
    g_state.flags.utilityFails = true;
  }
  ShowFileVersionText(dlg, IDC_CPT_UTIL_VERSION, utility.c_str());

  if (ShowFileDateText(dlg, IDC_CPT_LIB_DATE, g_libraryPath) != 0) {
    g_state.flags.attention = true;
    g_state.flags.libraryFails = true;
  }
  ShowFileVersionText(dlg, IDC_CPT_LIB_VERSION, g_libraryPath);
  return TRUE;
}

INT_PTR OnCheck(HWND dlg) {
  VersionQuad utility{}, library{};
  const bool utilityShown = ParseShown(dlg, IDC_CPT_UTIL_VERSION, utility);

  StorePath(ControlText(dlg, IDC_CPT_PATH).c_str());
  ShowFileDateText(dlg, IDC_CPT_LIB_DATE, g_libraryPath);
  bool libraryShown = ShowFileVersionText(dlg, IDC_CPT_LIB_VERSION, g_libraryPath) == 0;
  if (libraryShown) library = ParseVersion(ControlText(dlg, IDC_CPT_LIB_VERSION).c_str());

  const CompatVerdict verdict = CheckCompat(g_state.set, utilityShown ? &utility : nullptr,
                                            libraryShown ? &library : nullptr);
  g_state.flags.utilityFails = verdict.utilityFails;
  g_state.flags.libraryFails = verdict.libraryFails;
  g_state.flags.attention = !verdict.ok();
  SetDlgItemTextW(dlg, IDC_CPT_VERDICT1, verdict.ok() ? kVerdictOkLine1 : kVerdictFaultLine1);
  SetDlgItemTextW(dlg, IDC_CPT_VERDICT2, verdict.ok() ? kVerdictOkLine2 : kVerdictFaultLine2);

  ShowFileDateText(dlg, IDC_CPT_LIB_DATE, g_libraryPath);
  ShowFileVersionText(dlg, IDC_CPT_LIB_VERSION, g_libraryPath);
  // The colours depend on the new flags: have every row drawn again.
  InvalidateRect(dlg, nullptr, TRUE);
  return TRUE;
}

// The chosen file goes into the edit and the path only; the library row waits for
// the next check.
INT_PTR OnBrowse(HWND dlg) {
  wchar_t file[kLibraryPathSize] = L"";
  MultiByteToWideChar(CP_ACP, 0, g_libraryPath, -1, file, kLibraryPathSize);
  wchar_t title[100] = L"";
  OPENFILENAMEW ofn{};
  ofn.lStructSize = sizeof ofn;
  ofn.hwndOwner = dlg;
  ofn.lpstrFilter = L"dll ファイル(*.dll)\0*.dll\0すべてのファイル(*.*)\0*.*\0";
  ofn.lpstrFile = file;
  ofn.nMaxFile = kLibraryPathSize;
  ofn.lpstrFileTitle = title;
  ofn.nMaxFileTitle = 100;
  ofn.lpstrTitle = L"DLLファイルの選択";
  ofn.Flags = OFN_FILEMUSTEXIST;
  ofn.lpstrDefExt = L"dll";
  if (GetOpenFileNameW(&ofn)) {
    StorePath(file);
    ShowPath(dlg);
    InvalidateRect(dlg, nullptr, TRUE);
  }
  return TRUE;
}

INT_PTR OnColour(HDC dc, HWND control) {
  COLORREF colour = kCompatBlack;
  if (CompatTextColour(g_state.flags, GetDlgCtrlID(control), colour)) SetTextColor(dc, colour);
  SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
  return reinterpret_cast<INT_PTR>(g_state.brush);
}

}  // namespace

char* CompatLibraryPath() { return g_libraryPath; }

INT_PTR CALLBACK CompatDialogProc(HWND dlg, UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_INITDIALOG:
      return OnInit(dlg);
    case WM_COMMAND:
      switch (LOWORD(wp)) {
        case IDC_CPT_CHECK:
          return OnCheck(dlg);
        case IDC_CPT_BROWSE:
          return OnBrowse(dlg);
        case IDC_CPT_CLOSE:
          EndDialog(dlg, 1);
          return TRUE;
        default:
          return FALSE;
      }
    case WM_CTLCOLORSTATIC:
      return OnColour(reinterpret_cast<HDC>(wp), reinterpret_cast<HWND>(lp));
    case WM_HELP:
      ShowHelpTopic(kTopicCompat);
      return TRUE;
    default:
      return FALSE;
  }
}

void RunCompatDialog(HWND owner) {
  DialogBoxParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_COMPAT), owner,
                  CompatDialogProc, 0);
}
