// vx710cpl.cpl loaded as the Control Panel loads it: every message, the item record,
// the module's exports and version, and the start of the utility.
#include <windows.h>
#include <cpl.h>
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "cplapplet.h"

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

  const DWORD handlesBefore = [] { DWORD n = 0; GetProcessHandleCount(GetCurrentProcess(), &n); return n; }();
  // Opening the item twice starts the utility twice.
  EXPECT_EQ(Call(CPL_DBLCLK, 0, 0), 0);
  EXPECT_EQ(Call(CPL_DBLCLK, 0, 0), 0);
  const DWORD handlesAfter = [] { DWORD n = 0; GetProcessHandleCount(GetCurrentProcess(), &n); return n; }();
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

}  // namespace
