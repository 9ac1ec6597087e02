// Starting the configuration utility. Its manifest asks for an administrator, so
// from a standard user's Control Panel (or an administrator's under UAC) CreateProcess
// refuses with ERROR_ELEVATION_REQUIRED; only the shell shows the consent prompt and
// starts it elevated. CreateProcess stays the first try: where no elevation is
// needed (UAC off, or the Control Panel already elevated) it starts the utility as
// before, without the shell in between.
#include "launch.h"

#include <cwchar>

namespace vxcpl {

const Launcher kSystemLauncher = {&::CreateProcessA, &::ShellExecuteExW};

namespace {

// ERROR_ELEVATION_REQUIRED, which came with Vista; the headers of our Windows XP
// target level do not name it.
constexpr DWORD kElevationRequired = 740;

const wchar_t kStartError[] = L"設定ファイルの起動時にエラーが発生しました。\nError %d";

void ShowStartError(DWORD error) {
  wchar_t text[128];
  swprintf(text, 128, kStartError, static_cast<int>(error));
  MessageBoxW(nullptr, text, L"Error", MB_OK | MB_ICONEXCLAMATION);
}

// The default verb, not "runas": an .exe's default verb is elevated exactly when its
// manifest asks for it, so the manifest stays the one place that decides, and the
// applet never demands more than the utility does. Returns ERROR_SUCCESS or the error.
DWORD StartThroughShell(HWND owner, const Launcher& launcher) {
  wchar_t program[MAX_PATH + 16] = L"";
  GetSystemDirectoryW(program, MAX_PATH);
  lstrcatW(program, L"\\vx710cfg.exe");

  SHELLEXECUTEINFOW info;
  ZeroMemory(&info, sizeof info);
  info.cbSize = sizeof info;
  // FLAG_NO_UI: a failure is reported by our own box, and the shell's would be a
  // second one. NOASYNC: the Control Panel may unload the applet and end its process
  // right after CPL_DBLCLK. No NOCLOSEPROCESS: the process handle is of no use here.
  info.fMask = SEE_MASK_FLAG_NO_UI | SEE_MASK_NOASYNC;
  info.hwnd = owner;
  info.lpVerb = nullptr;
  info.lpFile = program;
  info.nShow = SW_SHOWNORMAL;
  if (launcher.shellExecuteEx(&info)) return ERROR_SUCCESS;
  const DWORD error = GetLastError();
  if (error != ERROR_SUCCESS) return error;
  // A failure without a last error still has its SE_ERR_ code, whose values are
  // those of the matching system errors (2 file not found, 5 access denied).
  const DWORD code = static_cast<DWORD>(reinterpret_cast<ULONG_PTR>(info.hInstApp));
  return code != ERROR_SUCCESS ? code : ERROR_GEN_FAILURE;
}

}  // namespace

void StartUtility(HWND owner, const Launcher& launcher) {
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

  if (launcher.createProcess(program, commandLine, nullptr, nullptr, FALSE, CREATE_NEW_CONSOLE,
                             nullptr, nullptr, &startup, &process)) {
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return;
  }
  DWORD error = GetLastError();
  if (error == kElevationRequired) {
    error = StartThroughShell(owner, launcher);
    // Declining the prompt is the user's answer, not a fault to report.
    if (error == ERROR_SUCCESS || error == ERROR_CANCELLED) return;
  }
  ShowStartError(error);
}

}  // namespace vxcpl
