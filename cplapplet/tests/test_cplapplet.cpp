// vx710cpl.cpl loaded as the Control Panel loads it: every message, the item record,
// the module's exports and version, and the start of the utility; and the starting
// code driven with doubles of process creation that answer as Windows does when the
// utility needs elevation.
#include <windows.h>
#include <cpl.h>
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "cplapplet.h"
#include "launch.h"

namespace {

using CplProc = LONG(CALLBACK*)(HWND, UINT, LPARAM, LPARAM);

// The records the Control Panel of each architecture hands over: the handles and
// the LONG_PTR in them are 8 bytes on x86_64.
#ifdef _WIN64
constexpr size_t kCplInfoBytes = 20, kNewCplInfoBytes = 252;
#else
constexpr size_t kCplInfoBytes = 16, kNewCplInfoBytes = 244;
#endif

std::string HereDir() {
  char self[MAX_PATH] = "";
  GetModuleFileNameA(nullptr, self, sizeof self);
  std::string s(self);
  return s.substr(0, s.find_last_of('\\'));
}

std::string SystemDir() {
  char dir[261] = "";
  GetSystemDirectoryA(dir, sizeof dir);
  return dir;
}

std::string UtilityPath() { return SystemDir() + "\\vx710cfg.exe"; }

// The handles this process holds, counted by asking about every small handle value:
// Wine's GetProcessHandleCount always reports 0, which would let any leak pass.
DWORD HandleCount() {
  DWORD n = 0, flags = 0;
  for (ULONG_PTR value = 4; value < 0x4000; value += 4)
    if (GetHandleInformation(reinterpret_cast<HANDLE>(value), &flags)) ++n;
  return n;
}

class Applet : public ::testing::Test {
 protected:
  void SetUp() override {
    module_ = LoadLibraryA((HereDir() + "\\vx710cpl.cpl").c_str());
    ASSERT_NE(module_, nullptr) << "LoadLibrary error " << GetLastError();
    proc_ = reinterpret_cast<CplProc>(reinterpret_cast<void*>(GetProcAddress(module_, "CPlApplet")));
    ASSERT_NE(proc_, nullptr);
  }
  void TearDown() override {
    if (module_) FreeLibrary(module_);
  }
  LONG Call(UINT msg, LPARAM p1 = 0, LPARAM p2 = 0) { return proc_(nullptr, msg, p1, p2); }

  HMODULE module_ = nullptr;
  CplProc proc_ = nullptr;
};

TEST_F(Applet, ExportsCPlAppletAlone) {
  auto base = reinterpret_cast<const BYTE*>(module_);
  auto dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
  auto nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
  const IMAGE_DATA_DIRECTORY& dir = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_EXPORT];
  ASSERT_NE(dir.VirtualAddress, 0u);
  auto exports = reinterpret_cast<const IMAGE_EXPORT_DIRECTORY*>(base + dir.VirtualAddress);
  ASSERT_EQ(exports->NumberOfNames, 1u);
  auto names = reinterpret_cast<const DWORD*>(base + exports->AddressOfNames);
  EXPECT_STREQ(reinterpret_cast<const char*>(base + names[0]), "CPlApplet");
}

TEST_F(Applet, MessagesWithConstantAnswers) {
  struct Case {
    UINT message;
    LONG expected;
  };
  const Case cases[] = {
      {CPL_INIT, 1},   {CPL_GETCOUNT, 1}, {CPL_SELECT, 0},   {CPL_STOP, 0},
      {CPL_EXIT, 0},   {CPL_INIT, 1},     {CPL_GETCOUNT, 1}, {CPL_STARTWPARMSA, 0},
      {CPL_STARTWPARMSW, 0}, {0, 0},      {99, 0},           {0xFFFF, 0},
  };
  for (const Case& c : cases) {
    // The item number is never examined.
    for (LPARAM item : {0, 1, 7}) EXPECT_EQ(Call(c.message, item, 0), c.expected) << c.message;
  }
}

TEST_F(Applet, InquireLeavesItsRecordUntouched) {
  unsigned char record[sizeof(CPLINFO) + 8];
  std::memset(record, 0xA5, sizeof record);
  EXPECT_EQ(sizeof(CPLINFO), kCplInfoBytes);
  EXPECT_EQ(Call(CPL_INQUIRE, 0, reinterpret_cast<LPARAM>(record)), 0);
  for (unsigned char b : record) ASSERT_EQ(b, 0xA5);
}

TEST_F(Applet, NewInquireDescribesTheItem) {
  NEWCPLINFOA info;
  std::memset(&info, 0xA5, sizeof info);
  ASSERT_EQ(sizeof info, kNewCplInfoBytes);
  EXPECT_EQ(Call(CPL_NEWINQUIRE, 0, reinterpret_cast<LPARAM>(&info)), 0);
  EXPECT_EQ(info.dwSize, kNewCplInfoBytes);
  EXPECT_EQ(info.dwFlags, 0u);
  EXPECT_EQ(info.dwHelpContext, 0u);
  EXPECT_EQ(info.lData, 0);
  EXPECT_EQ(info.szHelpFile[0], '\0');

  // Shift-JIS bytes of "VX-7105 ｺﾝﾄﾛｰﾗ" and "VX-7105の設定を変更します。".
  const char name[] = "VX-7105 \xBA\xDD\xC4\xDB\xB0\xD7";
  const char info_text[] =
      "VX-7105\x82\xCC\x90\xDD\x92\xE8\x82\xF0\x95\xCF\x8D\x58\x82\xB5\x82\xDC\x82\xB7\x81\x42";
  EXPECT_EQ(std::memcmp(info.szName, name, sizeof name), 0) << info.szName;
  EXPECT_EQ(std::memcmp(info.szInfo, info_text, sizeof info_text), 0) << info.szInfo;
  wchar_t wide[64] = L"";
  MultiByteToWideChar(CPL_TEXT_CODEPAGE, 0, info.szName, -1, wide, 64);
  EXPECT_STREQ(wide, L"VX-7105 ｺﾝﾄﾛｰﾗ");

  ASSERT_NE(info.hIcon, nullptr);
  EXPECT_EQ(info.hIcon, LoadIconA(module_, MAKEINTRESOURCEA(IDI_VX710CPL)));
  ICONINFO icon{};
  ASSERT_TRUE(GetIconInfo(info.hIcon, &icon));
  BITMAP bm{};
  GetObjectW(icon.hbmColor ? icon.hbmColor : icon.hbmMask, sizeof bm, &bm);
  EXPECT_EQ(bm.bmWidth, GetSystemMetrics(SM_CXICON));
  if (icon.hbmColor) DeleteObject(icon.hbmColor);
  if (icon.hbmMask) DeleteObject(icon.hbmMask);
}

TEST_F(Applet, VersionResource) {
  const std::string path = HereDir() + "\\vx710cpl.cpl";
  DWORD handle = 0;
  DWORD size = GetFileVersionInfoSizeA(path.c_str(), &handle);
  ASSERT_GT(size, 0u);
  std::vector<char> block(size);
  ASSERT_TRUE(GetFileVersionInfoA(path.c_str(), 0, size, block.data()));
  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT len = 0;
  ASSERT_TRUE(VerQueryValueA(block.data(), "\\", reinterpret_cast<void**>(&fixed), &len));
  EXPECT_EQ(fixed->dwFileVersionMS, MAKELONG(0, 1));
  EXPECT_EQ(fixed->dwFileVersionLS, MAKELONG(1, 0));
  char* text = nullptr;
  ASSERT_TRUE(VerQueryValueA(block.data(), "\\StringFileInfo\\041104b0\\FileVersion",
                             reinterpret_cast<void**>(&text), &len));
  EXPECT_STREQ(text, "1, 0, 0, 1");
  WORD* translation = nullptr;
  ASSERT_TRUE(VerQueryValueA(block.data(), "\\VarFileInfo\\Translation",
                             reinterpret_cast<void**>(&translation), &len));
  ASSERT_GE(len, 4u);
  EXPECT_EQ(translation[0], 0x411);
  EXPECT_EQ(translation[1], 1200);
}

// Moves an existing system-directory copy of the utility aside for the test and puts
// it back afterwards, whatever the test put there.
class UtilitySlot {
 public:
  UtilitySlot() : backup_(UtilityPath() + ".vxtest-saved") {
    DeleteFileA(backup_.c_str());
    saved_ = MoveFileA(UtilityPath().c_str(), backup_.c_str()) != 0;
  }
  ~UtilitySlot() {
    // The started program may still be running for a moment.
    for (int i = 0; i < 100; ++i) {
      if (DeleteFileA(UtilityPath().c_str()) || GetLastError() == ERROR_FILE_NOT_FOUND) break;
      Sleep(100);
    }
    if (saved_) MoveFileA(backup_.c_str(), UtilityPath().c_str());
  }

 private:
  std::string backup_;
  bool saved_ = false;
};

std::vector<std::string> Runs(const std::string& dir) {
  std::vector<std::string> files;
  WIN32_FIND_DATAA found;
  HANDLE h = FindFirstFileA((dir + "\\run_*.txt").c_str(), &found);
  if (h == INVALID_HANDLE_VALUE) return files;
  do files.push_back(dir + "\\" + found.cFileName);
  while (FindNextFileA(h, &found));
  FindClose(h);
  return files;
}

std::vector<std::string> Lines(const std::string& path) {
  std::vector<std::string> lines;
  FILE* f = fopen(path.c_str(), "r");
  char buf[1024];
  while (f && fgets(buf, sizeof buf, f)) {
    std::string s(buf);
    while (!s.empty() && (s.back() == '\n' || s.back() == '\r')) s.pop_back();
    lines.push_back(s);
  }
  if (f) fclose(f);
  return lines;
}

TEST_F(Applet, DoubleClickStartsTheUtilityFromTheSystemDirectory) {
  UtilitySlot slot;
  ASSERT_TRUE(CopyFileA((HereDir() + "\\cpl_fake_cfg.exe").c_str(), UtilityPath().c_str(), FALSE));
  char temp[MAX_PATH] = "";
  GetTempPathA(sizeof temp, temp);
  const std::string markers = std::string(temp) + "vx710cpl_test_" + std::to_string(GetCurrentProcessId());
  CreateDirectoryA(markers.c_str(), nullptr);
  SetEnvironmentVariableA("VX_CPL_MARKER_DIR", markers.c_str());

  const DWORD handlesBefore = HandleCount();
  // Opening the item twice starts the utility twice.
  EXPECT_EQ(Call(CPL_DBLCLK, 0, 0), 0);
  EXPECT_EQ(Call(CPL_DBLCLK, 0, 0), 0);
  const DWORD handlesAfter = HandleCount();
  EXPECT_TRUE(Runs(markers).empty()) << "the applet waited for the utility";
  EXPECT_EQ(handlesAfter, handlesBefore) << "process or thread handles left open";

  std::vector<std::string> runs;
  for (int i = 0; i < 150 && runs.size() < 2; ++i) {
    Sleep(100);
    runs = Runs(markers);
  }
  ASSERT_EQ(runs.size(), 2u);
  for (const std::string& run : runs) {
    const std::vector<std::string> lines = Lines(run);
    ASSERT_GE(lines.size(), 3u);
    EXPECT_EQ(lstrcmpiA(lines[0].c_str(), UtilityPath().c_str()), 0) << lines[0];
    EXPECT_EQ(std::stoul(lines[1]) & STARTF_USESHOWWINDOW, static_cast<unsigned long>(STARTF_USESHOWWINDOW));
    EXPECT_EQ(lines[2], "1");  // SW_SHOWNORMAL
    DeleteFileA(run.c_str());
  }
  SetEnvironmentVariableA("VX_CPL_MARKER_DIR", nullptr);
  RemoveDirectoryA(markers.c_str());
}

// Answers the error box on this thread; a box left open would block the test.
struct BoxSeen {
  int count = 0;
  std::wstring text, caption;
  bool hasOk = false, hasCancel = false;
  HICON icon = nullptr;
};
BoxSeen g_box;
HHOOK g_hook = nullptr;

LRESULT CALLBACK AnswerBox(int code, WPARAM wp, LPARAM lp) {
  if (code == HCBT_ACTIVATE) {
    HWND h = reinterpret_cast<HWND>(wp);
    wchar_t cls[32] = L"";
    GetClassNameW(h, cls, 32);
    if (lstrcmpW(cls, L"#32770") == 0) {
      wchar_t buf[512] = L"";
      ++g_box.count;
      GetDlgItemTextW(h, 0xFFFF, buf, 512);
      g_box.text = buf;
      GetWindowTextW(h, buf, 512);
      g_box.caption = buf;
      g_box.hasOk = GetDlgItem(h, IDOK) != nullptr;
      g_box.hasCancel = GetDlgItem(h, IDCANCEL) != nullptr;
      for (int id : {0x14, 1088}) {
        if (HWND icon = GetDlgItem(h, id)) {
          g_box.icon = reinterpret_cast<HICON>(SendMessageW(icon, STM_GETICON, 0, 0));
          break;
        }
      }
      PostMessageW(h, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    }
  }
  return CallNextHookEx(g_hook, code, wp, lp);
}

TEST_F(Applet, DoubleClickWithoutTheUtilityShowsTheErrorBox) {
  UtilitySlot slot;
  ASSERT_EQ(GetFileAttributesA(UtilityPath().c_str()), INVALID_FILE_ATTRIBUTES);
  g_box = BoxSeen{};
  g_hook = SetWindowsHookExW(WH_CBT, AnswerBox, nullptr, GetCurrentThreadId());
  ASSERT_NE(g_hook, nullptr);
  EXPECT_EQ(Call(CPL_DBLCLK, 0, 0), 0);
  UnhookWindowsHookEx(g_hook);
  ASSERT_EQ(g_box.count, 1);
  EXPECT_EQ(g_box.text, L"設定ファイルの起動時にエラーが発生しました。\nError 2");
  EXPECT_EQ(g_box.caption, L"Error");
  EXPECT_TRUE(g_box.hasOk);
  EXPECT_FALSE(g_box.hasCancel);
  EXPECT_EQ(g_box.icon, LoadIconA(nullptr, IDI_EXCLAMATION));
}

// ---- starting the utility when it needs elevation ----

std::wstring UtilityPathW() {
  wchar_t dir[261] = L"";
  GetSystemDirectoryW(dir, 261);
  return std::wstring(dir) + L"\\vx710cfg.exe";
}

std::string Narrow(const std::wstring& text) {
  char bytes[1024] = "";
  WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, bytes, sizeof bytes, nullptr, nullptr);
  return bytes;
}

// What CreateProcess answers, under UAC, for a program whose manifest asks for an
// administrator (ERROR_ELEVATION_REQUIRED; the XP-level headers lack the name).
constexpr DWORD kElevationRequired = 740;

// What the doubles answer and what they were asked.
struct Doubles {
  DWORD createError = kElevationRequired;
  bool shellSucceeds = true;
  DWORD shellError = ERROR_SUCCESS;
  HINSTANCE shellCode = nullptr;  // hInstApp of a failure
  int creates = 0, shells = 0;
  std::string createdProgram;
  SHELLEXECUTEINFOW shellInfo{};
  std::wstring shellFile;
  bool shellVerbGiven = false;
};
Doubles g_doubles;

// CreateProcessA failing as configured, by default as it does under UAC for the utility.
BOOL WINAPI RefusingCreateProcess(LPCSTR program, LPSTR, LPSECURITY_ATTRIBUTES, LPSECURITY_ATTRIBUTES,
                                  BOOL, DWORD, LPVOID, LPCSTR, LPSTARTUPINFOA, LPPROCESS_INFORMATION) {
  ++g_doubles.creates;
  g_doubles.createdProgram = program ? program : "";
  SetLastError(g_doubles.createError);
  return FALSE;
}

BOOL WINAPI FakeShellExecuteEx(SHELLEXECUTEINFOW* info) {
  ++g_doubles.shells;
  g_doubles.shellInfo = *info;
  g_doubles.shellFile = info->lpFile ? info->lpFile : L"";
  g_doubles.shellVerbGiven = info->lpVerb != nullptr;
  if (!g_doubles.shellSucceeds) {
    info->hInstApp = g_doubles.shellCode;
    SetLastError(g_doubles.shellError);
    return FALSE;
  }
  info->hInstApp = reinterpret_cast<HINSTANCE>(33);
  // A real handle where one is asked for, as the shell hands it out: one left open
  // shows in the process's handle count.
  if (info->fMask & SEE_MASK_NOCLOSEPROCESS)
    DuplicateHandle(GetCurrentProcess(), GetCurrentProcess(), GetCurrentProcess(), &info->hProcess, 0,
                    FALSE, DUPLICATE_SAME_ACCESS);
  return TRUE;
}

const vxcpl::Launcher kDoubles = {&RefusingCreateProcess, &FakeShellExecuteEx};

void StartAnsweringBoxes(HWND owner, const vxcpl::Launcher& launcher) {
  g_box = BoxSeen{};
  g_hook = SetWindowsHookExW(WH_CBT, AnswerBox, nullptr, GetCurrentThreadId());
  ASSERT_NE(g_hook, nullptr);
  vxcpl::StartUtility(owner, launcher);
  UnhookWindowsHookEx(g_hook);
}

std::wstring StartErrorText(int code) {
  return L"設定ファイルの起動時にエラーが発生しました。\nError " + std::to_wstring(code);
}

TEST(Elevation, RequiredTakesTheShellWithTheUtilityAndShowsNoBox) {
  g_doubles = Doubles{};
  HWND controlPanel = CreateWindowW(L"STATIC", L"cpl", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
  ASSERT_NE(controlPanel, nullptr);
  const DWORD handlesBefore = HandleCount();
  StartAnsweringBoxes(controlPanel, kDoubles);
  EXPECT_EQ(HandleCount(), handlesBefore) << "the started process's handle left open";
  EXPECT_EQ(g_box.count, 0) << Narrow(g_box.text);

  EXPECT_EQ(g_doubles.creates, 1);
  EXPECT_EQ(lstrcmpiA(g_doubles.createdProgram.c_str(), UtilityPath().c_str()), 0) << g_doubles.createdProgram;
  ASSERT_EQ(g_doubles.shells, 1);
  const SHELLEXECUTEINFOW& info = g_doubles.shellInfo;
  EXPECT_EQ(info.cbSize, sizeof info);
  EXPECT_EQ(lstrcmpiW(g_doubles.shellFile.c_str(), UtilityPathW().c_str()), 0) << Narrow(g_doubles.shellFile);
  // The default verb: the utility's manifest is what makes it elevate.
  EXPECT_FALSE(g_doubles.shellVerbGiven);
  EXPECT_TRUE(info.lpParameters == nullptr || info.lpParameters[0] == L'\0');
  EXPECT_EQ(info.nShow, SW_SHOWNORMAL);
  // The consent prompt belongs to the Control Panel, not to no window at all (it would
  // only flash in the taskbar).
  EXPECT_EQ(info.hwnd, controlPanel);
  DestroyWindow(controlPanel);
}

TEST(Elevation, DecliningThePromptShowsNothing) {
  g_doubles = Doubles{};
  g_doubles.shellSucceeds = false;
  g_doubles.shellError = ERROR_CANCELLED;
  StartAnsweringBoxes(nullptr, kDoubles);
  EXPECT_EQ(g_doubles.shells, 1);
  EXPECT_EQ(g_box.count, 0) << Narrow(g_box.text);
}

TEST(Elevation, AnyOtherShellFailureShowsTheBoxWithItsCode) {
  for (DWORD error : {static_cast<DWORD>(ERROR_ACCESS_DENIED), static_cast<DWORD>(ERROR_FILE_NOT_FOUND), kElevationRequired}) {
    g_doubles = Doubles{};
    g_doubles.shellSucceeds = false;
    g_doubles.shellError = error;
    StartAnsweringBoxes(nullptr, kDoubles);
    EXPECT_EQ(g_doubles.shells, 1) << error;
    ASSERT_EQ(g_box.count, 1) << error;
    EXPECT_EQ(g_box.text, StartErrorText(error));
    EXPECT_EQ(g_box.caption, L"Error");
    EXPECT_TRUE(g_box.hasOk);
    EXPECT_FALSE(g_box.hasCancel);
    EXPECT_EQ(g_box.icon, LoadIconA(nullptr, IDI_EXCLAMATION));
  }
}

TEST(Elevation, ShellFailureWithoutALastErrorReportsTheShellsCode) {
  g_doubles = Doubles{};
  g_doubles.shellSucceeds = false;
  g_doubles.shellError = ERROR_SUCCESS;
  g_doubles.shellCode = reinterpret_cast<HINSTANCE>(SE_ERR_OOM);
  StartAnsweringBoxes(nullptr, kDoubles);
  ASSERT_EQ(g_box.count, 1);
  EXPECT_EQ(g_box.text, StartErrorText(SE_ERR_OOM));
}

TEST(Elevation, OtherCreateProcessFailuresShowTheBoxAndLeaveTheShellAlone) {
  // Cancelled is only the user's answer when it comes from the consent prompt.
  for (DWORD error : {ERROR_FILE_NOT_FOUND, ERROR_ACCESS_DENIED, ERROR_CANCELLED}) {
    g_doubles = Doubles{};
    g_doubles.createError = error;
    StartAnsweringBoxes(nullptr, kDoubles);
    EXPECT_EQ(g_doubles.creates, 1);
    EXPECT_EQ(g_doubles.shells, 0) << error;
    ASSERT_EQ(g_box.count, 1) << error;
    EXPECT_EQ(g_box.text, StartErrorText(error));
  }
}

// The system's own shell behind the doubled CreateProcess: it really starts the
// program the applet names, shown normally.
TEST(Elevation, TheSystemShellStartsTheUtility) {
  UtilitySlot slot;
  ASSERT_TRUE(CopyFileA((HereDir() + "\\cpl_fake_cfg.exe").c_str(), UtilityPath().c_str(), FALSE));
  char temp[MAX_PATH] = "";
  GetTempPathA(sizeof temp, temp);
  const std::string markers = std::string(temp) + "vx710cpl_shell_" + std::to_string(GetCurrentProcessId());
  CreateDirectoryA(markers.c_str(), nullptr);
  SetEnvironmentVariableA("VX_CPL_MARKER_DIR", markers.c_str());

  g_doubles = Doubles{};
  StartAnsweringBoxes(nullptr, {&RefusingCreateProcess, vxcpl::kSystemLauncher.shellExecuteEx});
  EXPECT_EQ(g_box.count, 0) << Narrow(g_box.text);

  std::vector<std::string> runs;
  for (int i = 0; i < 150 && runs.empty(); ++i) {
    Sleep(100);
    runs = Runs(markers);
  }
  ASSERT_EQ(runs.size(), 1u);
  const std::vector<std::string> lines = Lines(runs[0]);
  ASSERT_GE(lines.size(), 3u);
  EXPECT_EQ(lstrcmpiA(lines[0].c_str(), UtilityPath().c_str()), 0) << lines[0];
  EXPECT_EQ(std::stoul(lines[1]) & STARTF_USESHOWWINDOW, static_cast<unsigned long>(STARTF_USESHOWWINDOW));
  EXPECT_EQ(lines[2], "1");  // SW_SHOWNORMAL
  DeleteFileA(runs[0].c_str());
  SetEnvironmentVariableA("VX_CPL_MARKER_DIR", nullptr);
  RemoveDirectoryA(markers.c_str());
}

// With the utility missing the system's shell fails; the one box is the applet's.
TEST(Elevation, TheSystemShellsFailureIsReportedInOneBox) {
  UtilitySlot slot;
  ASSERT_EQ(GetFileAttributesA(UtilityPath().c_str()), INVALID_FILE_ATTRIBUTES);
  g_doubles = Doubles{};
  StartAnsweringBoxes(nullptr, {&RefusingCreateProcess, vxcpl::kSystemLauncher.shellExecuteEx});
  ASSERT_EQ(g_box.count, 1) << Narrow(g_box.text);
  EXPECT_EQ(g_box.text, StartErrorText(ERROR_FILE_NOT_FOUND));
}

}  // namespace
