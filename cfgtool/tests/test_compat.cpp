// Software compatibility check: version and date texts, the table rules, and dialog 207
// driven modelessly with files of chosen versions placed where it looks for them.
#include <windows.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "compat.h"
#include "compat_logic.h"
#include "help.h"
#include "resource.h"
#include "versioninfo.h"

namespace {

std::wstring WindowText(HWND h) {
  wchar_t buf[512] = L"";
  GetWindowTextW(h, buf, 512);
  return buf;
}
std::wstring Text(HWND dlg, int id) { return WindowText(GetDlgItem(dlg, id)); }
void Click(HWND dlg, int id) {
  SendMessageW(dlg, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
               reinterpret_cast<LPARAM>(GetDlgItem(dlg, id)));
}
void PostClick(HWND dlg, int id) {
  PostMessageW(dlg, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
               reinterpret_cast<LPARAM>(GetDlgItem(dlg, id)));
}

// Answers the modal dialogs of one caption opened on this thread, each with the next
// action; a box left unanswered would block the test for good.
class Answerer {
 public:
  using Action = void (*)(HWND box, const std::wstring& arg);
  Answerer(const wchar_t* caption, Action action, std::wstring arg = L"")
      : caption_(caption), action_(action), arg_(std::move(arg)) {
    current_ = this;
    hook_ = SetWindowsHookExW(WH_CBT, Proc, nullptr, GetCurrentThreadId());
  }
  ~Answerer() {
    UnhookWindowsHookEx(hook_);
    current_ = nullptr;
  }
  int seen = 0;

 private:
  static LRESULT CALLBACK Proc(int code, WPARAM wp, LPARAM lp) {
    if (code == HCBT_ACTIVATE && current_) {
      HWND h = reinterpret_cast<HWND>(wp);
      wchar_t cls[32] = L"";
      GetClassNameW(h, cls, 32);
      if (lstrcmpW(cls, L"#32770") == 0 && WindowText(h) == current_->caption_ &&
          std::find(current_->handled_.begin(), current_->handled_.end(), h) ==
              current_->handled_.end()) {
        current_->handled_.push_back(h);
        ++current_->seen;
        current_->action_(h, current_->arg_);
      }
    }
    return CallNextHookEx(nullptr, code, wp, lp);
  }
  static Answerer* current_;
  std::wstring caption_;
  Action action_;
  std::wstring arg_;
  std::vector<HWND> handled_;
  HHOOK hook_ = nullptr;
};
Answerer* Answerer::current_ = nullptr;

std::string SystemDir() {
  char dir[261] = "";
  GetSystemDirectoryA(dir, sizeof dir);
  return dir;
}
const std::string kDriverPath = SystemDir() + "\\drivers\\vx710s10.sys";
const std::string kUtilityPath = SystemDir() + "\\vx710cfg.exe";

std::string ScratchDir() {
  char temp[MAX_PATH] = "";
  GetTempPathA(sizeof temp, temp);
  std::string dir = std::string(temp) + "vx710compat_" + std::to_string(GetCurrentProcessId());
  CreateDirectoryA(dir.c_str(), nullptr);
  return dir;
}

// A version resource holding only the fixed information: enough for the version query.
std::vector<BYTE> VersionBlob(const VersionQuad& v) {
  std::vector<BYTE> blob(40 + sizeof(VS_FIXEDFILEINFO), 0);
  WORD header[3] = {static_cast<WORD>(blob.size()), sizeof(VS_FIXEDFILEINFO), 0};
  std::memcpy(blob.data(), header, sizeof header);
  std::memcpy(blob.data() + 6, L"VS_VERSION_INFO", 32);
  VS_FIXEDFILEINFO fixed{};
  fixed.dwSignature = VS_FFI_SIGNATURE;
  fixed.dwStrucVersion = VS_FFI_STRUCVERSION;
  fixed.dwFileVersionMS = MAKELONG(v.b, v.a);
  fixed.dwFileVersionLS = MAKELONG(v.d, v.c);
  fixed.dwProductVersionMS = fixed.dwFileVersionMS;
  fixed.dwProductVersionLS = fixed.dwFileVersionLS;
  fixed.dwFileOS = VOS_NT_WINDOWS32;
  fixed.dwFileType = VFT_DLL;
  std::memcpy(blob.data() + 40, &fixed, sizeof fixed);
  return blob;
}

// Writes a module at `path` whose only resource is a version resource of `v`
// (a copy of this test program with its resources replaced).
void WriteVersionedFile(const std::string& path, const VersionQuad& v) {
  char self[MAX_PATH] = "";
  GetModuleFileNameA(nullptr, self, sizeof self);
  ASSERT_TRUE(CopyFileA(self, path.c_str(), FALSE)) << path << " " << GetLastError();
  HANDLE update = BeginUpdateResourceA(path.c_str(), TRUE);
  ASSERT_NE(update, nullptr);
  std::vector<BYTE> blob = VersionBlob(v);
  ASSERT_TRUE(UpdateResourceA(update, MAKEINTRESOURCEA(16), MAKEINTRESOURCEA(1),
                              MAKELANGID(LANG_JAPANESE, SUBLANG_DEFAULT), blob.data(),
                              static_cast<DWORD>(blob.size())));
  ASSERT_TRUE(EndUpdateResourceA(update, FALSE));
}

void WritePlainFile(const std::string& path) {
  HANDLE f = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  ASSERT_NE(f, INVALID_HANDLE_VALUE);
  DWORD n = 0;
  WriteFile(f, "no version here", 15, &n, nullptr);
  CloseHandle(f);
}

// Sets the last-write time to noon of the given local day.
void SetLocalWriteDate(const std::string& path, WORD year, WORD month, WORD day) {
  SYSTEMTIME st{};
  st.wYear = year, st.wMonth = month, st.wDay = day, st.wHour = 12;
  FILETIME local{}, utc{};
  ASSERT_TRUE(SystemTimeToFileTime(&st, &local));
  ASSERT_TRUE(LocalFileTimeToFileTime(&local, &utc));
  HANDLE f = CreateFileA(path.c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(f, INVALID_HANDLE_VALUE);
  EXPECT_TRUE(SetFileTime(f, nullptr, nullptr, &utc));
  CloseHandle(f);
}

// The driver and utility at their system-directory places, the library in a scratch
// folder; everything removed (and earlier copies put back) on destruction.
class Installation {
 public:
  Installation() : scratch_(ScratchDir()) {
    for (const std::string* p : {&kDriverPath, &kUtilityPath}) {
      std::string saved = *p + ".vxtest-saved";
      DeleteFileA(saved.c_str());
      saved_.push_back(MoveFileA(p->c_str(), saved.c_str()) != 0);
    }
    std::strcpy(CompatLibraryPath(), (scratch_ + "\\missing\\qrlink00.dll").c_str());
  }
  ~Installation() {
    const std::string* places[] = {&kDriverPath, &kUtilityPath};
    for (int i = 0; i < 2; ++i) {
      DeleteFileA(places[i]->c_str());
      if (saved_[i]) MoveFileA((*places[i] + ".vxtest-saved").c_str(), places[i]->c_str());
    }
    WIN32_FIND_DATAA found;
    HANDLE h = FindFirstFileA((scratch_ + "\\*").c_str(), &found);
    if (h != INVALID_HANDLE_VALUE) {
      do {
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
          DeleteFileA((scratch_ + "\\" + found.cFileName).c_str());
      } while (FindNextFileA(h, &found));
      FindClose(h);
    }
    EXPECT_TRUE(RemoveDirectoryA(scratch_.c_str())) << scratch_ << " " << GetLastError();
  }
  void Driver(const VersionQuad& v) { WriteVersionedFile(kDriverPath, v); }
  void Utility(const VersionQuad& v) { WriteVersionedFile(kUtilityPath, v); }
  // A library file of version v in the scratch folder; returns its path.
  std::string Library(const VersionQuad& v, const char* name = "qrlink00.dll") {
    std::string path = scratch_ + "\\" + name;
    WriteVersionedFile(path, v);
    return path;
  }
  // The library as the dialog will find it when it opens.
  void InstalledLibrary(const VersionQuad& v) {
    std::strcpy(CompatLibraryPath(), Library(v).c_str());
  }
  std::string scratch() const { return scratch_; }

 private:
  std::string scratch_;
  std::vector<bool> saved_;
};

std::wstring Wide(const std::string& s) {
  std::wstring w(s.size() + 1, L'\0');
  w.resize(MultiByteToWideChar(CP_ACP, 0, s.c_str(), -1, &w[0], static_cast<int>(w.size())) - 1);
  return w;
}

// The dialog created modelessly from the real template, destroyed at scope end.
struct Dialog {
  HWND h;
  Dialog()
      : h(CreateDialogParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_COMPAT), nullptr,
                             CompatDialogProc, 0)) {}
  ~Dialog() { DestroyWindow(h); }
  std::wstring operator[](int id) const { return Text(h, id); }
  void Check() const { Click(h, IDC_CPT_CHECK); }
};

constexpr COLORREF kUntouched = RGB(1, 2, 3);

// The text colour that WM_CTLCOLORSTATIC leaves on a DC for control `id`; kUntouched
// when the handler keeps the default colour.
COLORREF TextColour(HWND dlg, int id) {
  HDC dc = CreateCompatibleDC(nullptr);
  SetTextColor(dc, kUntouched);
  SetBkColor(dc, kUntouched);
  auto brush = reinterpret_cast<HBRUSH>(
      SendMessageW(dlg, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc),
                   reinterpret_cast<LPARAM>(GetDlgItem(dlg, id))));
  LOGBRUSH lb{};
  EXPECT_TRUE(brush && GetObjectW(brush, sizeof lb, &lb)) << id;
  EXPECT_EQ(lb.lbColor, GetSysColor(COLOR_BTNFACE)) << id;
  EXPECT_EQ(GetBkColor(dc), GetSysColor(COLOR_BTNFACE)) << id;
  COLORREF colour = GetTextColor(dc);
  DeleteDC(dc);
  return colour;
}

const VersionQuad kOwnUtility{6, 3, 0, 1};  // the utility's own release
const VersionQuad kOwnLibrary{6, 5, 1, 0};  // the library's own release

bool Same(const VersionQuad& x, const VersionQuad& y) {
  return x.a == y.a && x.b == y.b && x.c == y.c && x.d == y.d;
}

// ---------------------------------------------------------------- window-free rules

TEST(CompatVersionText, ParseTakesTheLeadingDigitsOfEachPiece) {
  struct Case {
    const char* text;
    VersionQuad expected;
  } cases[] = {
      {"6.2.1.7", {6, 2, 1, 7}},         {"9999.9999.9999.9999", {9999, 9999, 9999, 9999}},
      {"6.0.1.95", {6, 0, 1, 95}},       {"0.0.0.0", {0, 0, 0, 0}},
      {"65535.0.12.65535", {65535, 0, 12, 65535}},
      {"12a.3.b.4", {12, 3, 0, 4}},      {"1.2", {1, 2, 0, 0}},
      {"", {0, 0, 0, 0}},                {"007.08.0.10", {7, 8, 0, 10}},
  };
  for (const Case& c : cases) {
    EXPECT_TRUE(Same(ParseVersion(c.text), c.expected)) << c.text;
    EXPECT_TRUE(Same(ParseVersion(Wide(c.text).c_str()), c.expected)) << c.text;
  }
  EXPECT_EQ(VersionText({6, 3, 0, 1}), L"6.3.0.1");
  EXPECT_EQ(VersionText({65535, 0, 10, 9999}), L"65535.0.10.9999");
}

TEST(CompatRules, RangeIsTestedNumberByNumber) {
  struct Case {
    VersionQuad v;
    const char *lowest, *highest;
    bool inside;
  } cases[] = {
      {{6, 3, 2, 1}, "6.2.0.0", "6.3.3.9999", true},
      {{6, 2, 5, 0}, "6.2.0.0", "6.3.3.9999", false},  // between as a whole, but 5 > 3
      {{6, 2, 0, 0}, "6.2.0.0", "6.3.3.9999", true},
      {{6, 3, 3, 9999}, "6.2.0.0", "6.3.3.9999", true},
      {{6, 3, 3, 10000}, "6.2.0.0", "6.3.3.9999", false},
      {{6, 1, 9, 0}, "6.2.0.0", "6.3.3.9999", false},
      {{7, 2, 0, 0}, "6.2.0.0", "6.3.3.9999", false},
      {{6, 0, 1, 94}, "6.0.1.95", "6.0.1.9999", false},
      {{6, 0, 1, 95}, "6.0.1.95", "6.0.1.9999", true},
      {{9999, 9999, 9999, 9999}, "9999.9999.9999.9999", "9999.9999.9999.9999", true},
      {{6, 3, 0, 1}, "9999.9999.9999.9999", "9999.9999.9999.9999", false},
  };
  for (const Case& c : cases)
    EXPECT_EQ(VersionInRange(c.v, c.lowest, c.highest), c.inside)
        << VersionText(c.v).c_str() << " in " << c.lowest << " .. " << c.highest;
}

TEST(CompatRules, DriverVersionSelectsTheSet) {
  struct Case {
    VersionQuad driver;
    int set;
  } cases[] = {
      {{0, 0, 0, 0}, 0}, {{1, 0, 1, 3}, 0},    {{1, 0, 0, 2}, 0},    {{1, 0, 1, 4}, 1},
      {{1, 0, 1, 9999}, 1}, {{6, 0, 0, 5}, 2}, {{6, 2, 0, 7}, 3},    {{6, 2, 1, 7}, 4},
      {{6, 2, 1, 0}, 4}, {{6, 3, 0, 0}, 5},    {{6, 3, 0, 9999}, 5},
      // In none of the ranges: the search stays in the table and falls back to set 0.
      {{6, 1, 0, 0}, 0}, {{6, 3, 1, 0}, 0},    {{7, 0, 0, 0}, 0},    {{65535, 65535, 65535, 65535}, 0},
  };
  for (const Case& c : cases)
    EXPECT_EQ(SelectCompatSet(&c.driver), c.set) << VersionText(c.driver).c_str();
  EXPECT_EQ(SelectCompatSet(nullptr), 0);
  EXPECT_EQ(LibraryRangeText(3), L"6.2.0.0 ～ 6.3.3.9999");
  EXPECT_EQ(LibraryRangeText(4), L"6.5.0.0 ～ 6.5.3.9999");
  EXPECT_EQ(LibraryRangeText(5), L"6.4.0.0 ～ 6.5.3.9999");
  for (int set : {0, 1, 2}) EXPECT_EQ(LibraryRangeText(set), L"6.0.1.95 ～ 6.0.1.9999");
}

TEST(CompatRules, VerdictPerSet) {
  const VersionQuad utility{6, 3, 0, 12};
  for (int set = 0; set < kCompatSetCount; ++set) {
    EXPECT_EQ(CheckCompat(set, &utility, nullptr).utilityFails, set < 3) << set;
    EXPECT_TRUE(CheckCompat(set, nullptr, nullptr).utilityFails) << set;
    EXPECT_TRUE(CheckCompat(set, &utility, nullptr).libraryFails) << set;
    // The deliverables' own versions fit the sets of drivers 6.2.1.x and 6.3.0.x only.
    EXPECT_EQ(CheckCompat(set, &kOwnUtility, &kOwnLibrary).ok(), set == 4 || set == 5) << set;
  }
  const VersionQuad good{6, 3, 2, 1}, bad{6, 2, 5, 0};
  EXPECT_FALSE(CheckCompat(3, &utility, &good).libraryFails);
  EXPECT_TRUE(CheckCompat(3, &utility, &bad).libraryFails);
  EXPECT_TRUE(CheckCompat(3, &utility, &good).ok());
}

TEST(CompatRules, ColourDecisions) {
  const int values[] = {IDC_CPT_LIB_VERSION, IDC_CPT_LIB_DATE, IDC_CPT_UTIL_VERSION,
                        IDC_CPT_UTIL_DATE,   IDC_CPT_DRV_VERSION, IDC_CPT_DRV_DATE};
  const int others[] = {IDC_CPT_DRIVER_VERSION, IDC_CPT_RANGE, IDC_CPT_LIB_NAME,
                        IDC_CPT_DRIVER_HEADING, IDC_CPT_CHECK_GROUP};
  COLORREF c = kUntouched;
  // Attention clear: black everywhere, whatever the row flags say.
  for (int id : values) {
    ASSERT_TRUE(CompatTextColour({false, true, true, true}, id, c));
    EXPECT_EQ(c, kCompatBlack);
  }
  for (int flag = 0; flag < 3; ++flag) {
    CompatFlags f{true, flag == 0, flag == 1, flag == 2};
    const int redPair = flag == 0 ? IDC_CPT_DRV_VERSION : flag == 1 ? IDC_CPT_UTIL_VERSION
                                                                    : IDC_CPT_LIB_VERSION;
    for (int i = 0; i < 6; ++i) {
      const bool red = values[i - i % 2] == redPair;  // both values of the flagged row
      c = kUntouched;
      EXPECT_EQ(CompatTextColour(f, values[i], c), red) << flag << " " << values[i];
      EXPECT_EQ(c, red ? kCompatRed : kUntouched);
    }
    for (int id : {IDC_CPT_VERDICT1, IDC_CPT_VERDICT2}) {
      ASSERT_TRUE(CompatTextColour(f, id, c));
      EXPECT_EQ(c, kCompatRed);
    }
    for (int id : others) EXPECT_FALSE(CompatTextColour(f, id, c)) << id;
  }
  EXPECT_EQ(kCompatRed, static_cast<COLORREF>(0x0000FF));
}

// ---------------------------------------------------------------- file texts

TEST(CompatFileTexts, VersionAndDate) {
  Installation inst;
  const std::string lib = inst.Library({6, 2, 1, 7});
  std::wstring text;
  EXPECT_TRUE(FileVersionText(lib.c_str(), text));
  EXPECT_EQ(text, L"6.2.1.7");
  const std::string high = inst.Library({65535, 0, 10, 65535}, "high.dll");
  EXPECT_TRUE(FileVersionText(high.c_str(), text));
  EXPECT_EQ(text, L"65535.0.10.65535");

  const std::string plain = inst.scratch() + "\\plain.txt";
  WritePlainFile(plain);
  const std::string missing = inst.scratch() + "\\nothing.dll";
  for (const std::string& p : {plain, missing}) {
    EXPECT_FALSE(FileVersionText(p.c_str(), text)) << p;
    EXPECT_EQ(text, L"File Not Found");
  }

  SetLocalWriteDate(lib, 2002, 3, 7);
  EXPECT_TRUE(FileDateText(lib.c_str(), text));
  EXPECT_EQ(text, L"2002/03/07");
  SetLocalWriteDate(plain, 2019, 12, 31);
  EXPECT_TRUE(FileDateText(plain.c_str(), text));  // a date needs no version resource
  EXPECT_EQ(text, L"2019/12/31");
  EXPECT_FALSE(FileDateText(missing.c_str(), text));
  EXPECT_EQ(text, L"File Not Found");
  {  // opened without sharing: a file someone holds open is not found
    HANDLE held = CreateFileA(lib.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    EXPECT_FALSE(FileDateText(lib.c_str(), text));
    CloseHandle(held);
  }

  // The same texts put into a control, with 0 / -1.
  Dialog d;
  EXPECT_EQ(ShowFileVersionText(d.h, IDC_CPT_DRIVER_VERSION, lib.c_str()), 0);
  EXPECT_EQ(d[IDC_CPT_DRIVER_VERSION], L"6.2.1.7");
  EXPECT_EQ(ShowFileDateText(d.h, IDC_CPT_DRIVER_DATE, lib.c_str()), 0);
  EXPECT_EQ(d[IDC_CPT_DRIVER_DATE], L"2002/03/07");
  EXPECT_EQ(ShowFileVersionText(d.h, IDC_CPT_DRIVER_VERSION, missing.c_str()), -1);
  EXPECT_EQ(d[IDC_CPT_DRIVER_VERSION], L"File Not Found");
  EXPECT_EQ(ShowFileDateText(d.h, IDC_CPT_DRIVER_DATE, missing.c_str()), -1);
  EXPECT_EQ(d[IDC_CPT_DRIVER_DATE], L"File Not Found");
}

// ---------------------------------------------------------------- the dialog

TEST(CompatDialog, TemplateControls) {
  Installation inst;
  Dialog d;
  ASSERT_NE(d.h, nullptr);
  EXPECT_EQ(WindowText(d.h), L"VX-7105ソフトウェア互換状況");
  const LONG dlgStyle = GetWindowLongW(d.h, GWL_STYLE);
  for (LONG bit : {DS_MODALFRAME, DS_CONTEXTHELP, WS_CAPTION, WS_SYSMENU})
    EXPECT_EQ(dlgStyle & bit, bit) << std::hex << bit;
  struct Control {
    int id;
    RECT units;  // x, y, width, height
    const wchar_t* text;  // nullptr: set by the dialog
  } controls[] = {
      {1146, {4, 9, 250, 13}, L"このコンピュータにインストールされているデバイスドライバ"},
      {1147, {17, 23, 54, 11}, L"vx710s10.sys"},        {1149, {72, 24, 58, 10}, nullptr},
      {1150, {139, 24, 85, 10}, nullptr},               {1151, {4, 41, 90, 11}, L"対応ＤＬＬバージョン"},
      {1152, {10, 55, 58, 8}, L"DLL名"},                {1153, {85, 55, 117, 8}, L"ファイルバージョン"},
      {1154, {10, 65, 58, 8}, L"qrlink00.dll"},         {1155, {85, 65, 117, 8}, nullptr},
      {1156, {4, 83, 295, 172}, L"ＤＬＬファイルバージョン確認"},
      {1157, {10, 98, 58, 16}, L"ＤＬＬファイル格納場所"}, {1000, {69, 96, 135, 14}, nullptr},
      {1133, {208, 95, 49, 14}, L"参照"},               {1158, {10, 117, 35, 12}, L"確認結果"},
      {1159, {60, 120, 73, 8}, L"コントロールパネル"},  {1160, {140, 120, 73, 8}, L"ファイルバージョン"},
      {1161, {220, 120, 73, 8}, L"日付"},               {1162, {60, 130, 73, 8}, L"vx710cfg.exe"},
      {1163, {140, 130, 73, 8}, nullptr},               {1167, {220, 130, 73, 8}, nullptr},
      {1165, {60, 145, 73, 8}, L"ＤＬＬ"},              {1166, {140, 145, 73, 8}, L"ファイルバージョン"},
      {1177, {220, 145, 73, 8}, L"日付"},               {1178, {60, 155, 73, 8}, L"qrlink00.dll"},
      {1179, {140, 155, 73, 8}, nullptr},               {1180, {220, 155, 73, 8}, nullptr},
      {1181, {60, 170, 73, 8}, L"デバイスドライバ"},    {1182, {140, 170, 73, 8}, L"ファイルバージョン"},
      {1183, {220, 170, 73, 8}, L"日付"},               {1184, {60, 180, 73, 8}, L"vx710s10.sys"},
      {1185, {140, 180, 73, 8}, nullptr},               {1186, {220, 180, 73, 8}, nullptr},
      {1187, {8, 201, 227, 11}, L""},                   {1188, {8, 210, 288, 14}, L""},
      {1130, {211, 225, 83, 25}, L"VX-7105ソフトウェアの互換性を確認（&R）"},
      {2, {249, 258, 50, 14}, L"閉じる"},
  };
  for (const Control& c : controls) {
    // Position and size are converted separately, as the dialog manager does.
    RECT px = c.units;
    MapDialogRect(d.h, &px);
    RECT expect{px.left, px.top, px.left + px.right, px.top + px.bottom};
    RECT got{};
    GetWindowRect(GetDlgItem(d.h, c.id), &got);
    MapWindowPoints(nullptr, d.h, reinterpret_cast<POINT*>(&got), 2);
    EXPECT_TRUE(EqualRect(&got, &expect)) << c.id;
    if (c.text) {
      EXPECT_EQ(d[c.id], c.text) << c.id;
    }
  }
  auto style = [&](int id) { return GetWindowLongW(GetDlgItem(d.h, id), GWL_STYLE); };
  EXPECT_EQ(style(1155) & SS_TYPEMASK, SS_CENTER);
  EXPECT_EQ(style(1187) & SS_TYPEMASK, SS_LEFT);
  EXPECT_TRUE(style(1130) & BS_MULTILINE);
  EXPECT_EQ(style(1156) & BS_TYPEMASK, BS_GROUPBOX);
  EXPECT_TRUE(style(1000) & ES_AUTOHSCROLL);
  // A bordered edit of a dialog is drawn with the sunken client edge instead.
  EXPECT_TRUE((style(1000) & WS_BORDER) ||
              (GetWindowLongW(GetDlgItem(d.h, 1000), GWL_EXSTYLE) & WS_EX_CLIENTEDGE));
}

TEST(CompatDialog, DriverSelectsTheShownLibraryRange) {
  struct Case {
    VersionQuad driver;
    const wchar_t* range;
  } cases[] = {
      {{6, 2, 1, 7}, L"6.5.0.0 ～ 6.5.3.9999"},  // set 4
      {{6, 2, 0, 7}, L"6.2.0.0 ～ 6.3.3.9999"},  // set 3
      {{6, 3, 0, 4}, L"6.4.0.0 ～ 6.5.3.9999"},  // set 5
      {{6, 1, 0, 0}, L"6.0.1.95 ～ 6.0.1.9999"}, // in no range: set 0
  };
  for (const Case& c : cases) {
    Installation inst;
    inst.Driver(c.driver);
    SetLocalWriteDate(kDriverPath, 2002, 3, 7);
    Dialog d;
    const std::wstring version = VersionText(c.driver);
    EXPECT_EQ(d[IDC_CPT_DRIVER_VERSION], version);
    EXPECT_EQ(d[IDC_CPT_DRV_VERSION], version);
    EXPECT_EQ(d[IDC_CPT_DRIVER_DATE], L"2002/03/07");
    EXPECT_EQ(d[IDC_CPT_DRV_DATE], L"2002/03/07");
    EXPECT_EQ(d[IDC_CPT_RANGE], c.range) << version.c_str();
    EXPECT_EQ(TextColour(d.h, IDC_CPT_DRV_VERSION), kUntouched);  // the driver is there
  }
}

TEST(CompatDialog, MissingFilesAreMarkedAtOpening) {
  Installation inst;  // nothing installed, library path names no file
  Dialog d;
  EXPECT_EQ(d[IDC_CPT_DRIVER_VERSION], L"File Not Found");
  EXPECT_EQ(d[IDC_CPT_DRIVER_DATE], L"File Not Found");
  EXPECT_EQ(d[IDC_CPT_RANGE], L"6.0.1.95 ～ 6.0.1.9999");
  EXPECT_EQ(d[IDC_CPT_PATH], Wide(CompatLibraryPath()));
  for (int id : {IDC_CPT_DRV_VERSION, IDC_CPT_DRV_DATE, IDC_CPT_UTIL_VERSION, IDC_CPT_UTIL_DATE,
                 IDC_CPT_LIB_VERSION, IDC_CPT_LIB_DATE}) {
    EXPECT_EQ(d[id], L"File Not Found") << id;
    EXPECT_EQ(TextColour(d.h, id), kCompatRed) << id;
  }
  EXPECT_EQ(d[IDC_CPT_VERDICT1], L"");
  EXPECT_EQ(TextColour(d.h, IDC_CPT_RANGE), kUntouched);

  d.Check();
  EXPECT_EQ(d[IDC_CPT_LIB_VERSION], L"File Not Found");
  EXPECT_EQ(d[IDC_CPT_VERDICT1], kVerdictFaultLine1);
  EXPECT_EQ(d[IDC_CPT_VERDICT2], kVerdictFaultLine2);
  for (int id : {IDC_CPT_LIB_VERSION, IDC_CPT_LIB_DATE, IDC_CPT_VERDICT1, IDC_CPT_VERDICT2,
                 IDC_CPT_DRV_VERSION})  // the check never clears the driver's mark
    EXPECT_EQ(TextColour(d.h, id), kCompatRed) << id;
}

TEST(CompatDialog, LibraryCheckedAgainstSetThree) {
  struct Case {
    VersionQuad library;
    bool passes;
  } cases[] = {{{6, 3, 2, 1}, true}, {{6, 2, 5, 0}, false}};
  for (const Case& c : cases) {
    Installation inst;
    inst.Driver({6, 2, 0, 7});
    inst.Utility(kOwnUtility);
    inst.InstalledLibrary(c.library);
    Dialog d;
    EXPECT_EQ(TextColour(d.h, IDC_CPT_LIB_VERSION), kCompatBlack);  // nothing marked yet
    d.Check();
    EXPECT_EQ(d[IDC_CPT_LIB_VERSION], VersionText(c.library));
    EXPECT_EQ(d[IDC_CPT_VERDICT1], c.passes ? kVerdictOkLine1 : kVerdictFaultLine1);
    EXPECT_EQ(d[IDC_CPT_VERDICT2], c.passes ? kVerdictOkLine2 : kVerdictFaultLine2);
    EXPECT_EQ(TextColour(d.h, IDC_CPT_LIB_VERSION), c.passes ? kCompatBlack : kCompatRed);
    EXPECT_EQ(TextColour(d.h, IDC_CPT_LIB_DATE), c.passes ? kCompatBlack : kCompatRed);
    EXPECT_EQ(TextColour(d.h, IDC_CPT_VERDICT1), c.passes ? kCompatBlack : kCompatRed);
    EXPECT_EQ(TextColour(d.h, IDC_CPT_UTIL_VERSION), c.passes ? kCompatBlack : kUntouched);
  }
}

TEST(CompatDialog, UtilityCheckedAgainstEverySet) {
  // One driver of each set, with a library that fits the set: only the utility decides.
  struct Case {
    VersionQuad driver, library;
    bool passes;
  } cases[] = {
      {{1, 0, 0, 0}, {6, 0, 1, 100}, false}, {{1, 0, 1, 5}, {6, 0, 1, 100}, false},
      {{6, 0, 0, 1}, {6, 0, 1, 100}, false}, {{6, 2, 0, 1}, {6, 3, 0, 0}, true},
      {{6, 2, 1, 1}, {6, 5, 0, 0}, true},    {{6, 3, 0, 1}, {6, 5, 0, 0}, true},
  };
  for (const Case& c : cases) {
    Installation inst;
    inst.Driver(c.driver);
    inst.Utility({6, 3, 0, 12});
    inst.InstalledLibrary(c.library);
    Dialog d;
    EXPECT_EQ(d[IDC_CPT_UTIL_VERSION], L"6.3.0.12");
    d.Check();
    EXPECT_EQ(d[IDC_CPT_VERDICT1], c.passes ? kVerdictOkLine1 : kVerdictFaultLine1)
        << VersionText(c.driver).c_str();
    EXPECT_EQ(TextColour(d.h, IDC_CPT_UTIL_VERSION), c.passes ? kCompatBlack : kCompatRed);
    EXPECT_EQ(TextColour(d.h, IDC_CPT_UTIL_DATE), c.passes ? kCompatBlack : kCompatRed);
    EXPECT_EQ(TextColour(d.h, IDC_CPT_LIB_VERSION), c.passes ? kCompatBlack : kUntouched);
  }
}

TEST(CompatDialog, OwnReleasesPassOnlyWithDrivers621And630) {
  struct Case {
    VersionQuad driver;
    bool passes;
  } cases[] = {
      {{6, 2, 1, 0}, true},  {{6, 2, 1, 9999}, true}, {{6, 3, 0, 0}, true}, {{6, 3, 0, 77}, true},
      {{6, 2, 0, 5}, false}, {{6, 0, 0, 1}, false},   {{1, 0, 1, 4}, false}, {{1, 0, 0, 0}, false},
      {{6, 1, 0, 0}, false}, {{6, 4, 0, 0}, false},
  };
  Installation inst;
  inst.Utility(kOwnUtility);
  inst.InstalledLibrary(kOwnLibrary);
  for (const Case& c : cases) {
    inst.Driver(c.driver);
    Dialog d;
    d.Check();
    EXPECT_EQ(d[IDC_CPT_VERDICT1], c.passes ? kVerdictOkLine1 : kVerdictFaultLine1)
        << VersionText(c.driver).c_str();
  }
}

TEST(CompatDialog, TypedPathIsUsedByTheCheckAndKept) {
  Installation inst;
  inst.Driver({6, 2, 1, 7});
  inst.Utility(kOwnUtility);
  const std::string lib = inst.Library(kOwnLibrary, "typed.dll");
  SetLocalWriteDate(lib, 2002, 3, 7);
  {
    Dialog d;
    EXPECT_EQ(d[IDC_CPT_LIB_VERSION], L"File Not Found");
    SetDlgItemTextW(d.h, IDC_CPT_PATH, Wide(lib).c_str());
    EXPECT_EQ(d[IDC_CPT_LIB_VERSION], L"File Not Found");  // typing alone changes nothing
    d.Check();
    EXPECT_EQ(d[IDC_CPT_LIB_VERSION], L"6.5.1.0");
    EXPECT_EQ(d[IDC_CPT_LIB_DATE], L"2002/03/07");
    EXPECT_EQ(d[IDC_CPT_VERDICT1], kVerdictOkLine1);
  }
  EXPECT_STREQ(CompatLibraryPath(), lib.c_str());
  Dialog again;  // the next opening offers the path and finds the file at once
  EXPECT_EQ(again[IDC_CPT_PATH], Wide(lib));
  EXPECT_EQ(again[IDC_CPT_LIB_VERSION], L"6.5.1.0");
}

// Types `path` into the open-file dialog and confirms it.
void ChooseFile(HWND box, const std::wstring& path) {
  for (int id : {0x47c /* cmb13 */, 0x480 /* edt1 */}) {
    if (HWND name = GetDlgItem(box, id)) {
      SetWindowTextW(name, path.c_str());
      break;
    }
  }
  PostClick(box, IDOK);
}

// The file dialog remembers its last folders under HKCU; put that memory back as it was.
class FileDialogMemory {
 public:
  FileDialogMemory() : existed_(Exists()), before_(Read()) {}
  ~FileDialogMemory() {
    for (const auto& sub : Read()) {
      const std::wstring path = std::wstring(kKey) + L"\\" + sub.first;
      auto old = std::find_if(before_.begin(), before_.end(),
                              [&](const auto& b) { return b.first == sub.first; });
      if (old == before_.end()) {
        RegDeleteKeyW(HKEY_CURRENT_USER, path.c_str());
        continue;
      }
      HKEY k;
      if (!Open(path.c_str(), KEY_ALL_ACCESS, k)) continue;
      for (const Value& v : sub.second) RegDeleteValueW(k, v.name.c_str());
      for (const Value& v : old->second)
        RegSetValueExW(k, v.name.c_str(), 0, v.type, v.data.data(), static_cast<DWORD>(v.data.size()));
      RegCloseKey(k);
    }
    if (!existed_) RegDeleteKeyW(HKEY_CURRENT_USER, kKey);
  }

 private:
  static constexpr const wchar_t* kKey =
      L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\ComDlg32";
  struct Value {
    std::wstring name;
    DWORD type;
    std::vector<BYTE> data;
  };
  using Snapshot = std::vector<std::pair<std::wstring, std::vector<Value>>>;
  static bool Open(const wchar_t* path, REGSAM access, HKEY& k) {
    k = nullptr;
    return RegOpenKeyExW(HKEY_CURRENT_USER, path, 0, access, &k) == ERROR_SUCCESS;
  }
  // Subkeys of the dialog's key with their values (they have no deeper levels).
  static Snapshot Read() {
    Snapshot out;
    HKEY root;
    if (!Open(kKey, KEY_READ, root)) return out;
    wchar_t name[256];
    for (DWORD i = 0;; ++i) {
      DWORD len = 256;
      if (RegEnumKeyExW(root, i, name, &len, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
      out.push_back({name, {}});
      HKEY sub;
      if (RegOpenKeyExW(root, name, 0, KEY_READ, &sub) != ERROR_SUCCESS) continue;
      for (DWORD j = 0;; ++j) {
        wchar_t vname[256];
        DWORD vlen = 256, type = 0, size = 0;
        if (RegEnumValueW(sub, j, vname, &vlen, nullptr, &type, nullptr, &size) != ERROR_SUCCESS) break;
        Value v{vname, type, std::vector<BYTE>(size)};
        vlen = 256;
        RegEnumValueW(sub, j, vname, &vlen, nullptr, &type, v.data.data(), &size);
        out.back().second.push_back(v);
      }
      RegCloseKey(sub);
    }
    RegCloseKey(root);
    return out;
  }
  static bool Exists() {
    HKEY k;
    if (!Open(kKey, KEY_READ, k)) return false;
    RegCloseKey(k);
    return true;
  }
  bool existed_;
  Snapshot before_;
};

void CancelBox(HWND box, const std::wstring&) { PostClick(box, IDCANCEL); }
void CloseBox(HWND box, const std::wstring&) { PostClick(box, IDC_CPT_CLOSE); }

TEST(CompatDialog, BrowseChangesThePathButNotTheRowUntilTheCheck) {
  FileDialogMemory memory;
  Installation inst;
  inst.Driver({6, 2, 1, 7});
  inst.Utility(kOwnUtility);
  inst.InstalledLibrary({6, 4, 0, 0});  // outside set 4
  const std::string chosen = inst.Library(kOwnLibrary, "chosen.dll");
  Dialog d;
  EXPECT_EQ(d[IDC_CPT_LIB_VERSION], L"6.4.0.0");
  // The file dialog moves the current directory into the chosen folder.
  char cwd[MAX_PATH] = "";
  GetCurrentDirectoryA(sizeof cwd, cwd);
  {
    Answerer answer(L"DLLファイルの選択", ChooseFile, Wide(chosen));
    Click(d.h, IDC_CPT_BROWSE);
    EXPECT_EQ(answer.seen, 1);
  }
  EXPECT_EQ(lstrcmpiW(d[IDC_CPT_PATH].c_str(), Wide(chosen).c_str()), 0) << d[IDC_CPT_PATH].c_str();
  EXPECT_EQ(lstrcmpiA(CompatLibraryPath(), chosen.c_str()), 0);
  EXPECT_EQ(d[IDC_CPT_LIB_VERSION], L"6.4.0.0");
  d.Check();
  EXPECT_EQ(d[IDC_CPT_LIB_VERSION], L"6.5.1.0");
  EXPECT_EQ(d[IDC_CPT_VERDICT1], kVerdictOkLine1);

  {  // cancelled: nothing changes
    Answerer answer(L"DLLファイルの選択", CancelBox);
    Click(d.h, IDC_CPT_BROWSE);
    EXPECT_EQ(answer.seen, 1);
  }
  EXPECT_EQ(lstrcmpiA(CompatLibraryPath(), chosen.c_str()), 0);
  SetCurrentDirectoryA(cwd);
}

std::vector<unsigned> g_topics;
void RecordTopic(unsigned topic) { g_topics.push_back(topic); }

TEST(CompatDialog, HelpAndClose) {
  Installation inst;
  {
    Dialog d;
    g_topics.clear();
    SetHelpTopicObserver(RecordTopic);
    HELPINFO hi{};
    hi.cbSize = sizeof hi;
    EXPECT_EQ(CompatDialogProc(d.h, WM_HELP, 0, reinterpret_cast<LPARAM>(&hi)), TRUE);
    SetHelpTopicObserver(nullptr);
    ASSERT_EQ(g_topics.size(), 1u);
    EXPECT_EQ(g_topics[0], 10100u);
    EXPECT_EQ(CompatDialogProc(d.h, WM_TIMER, 0, 0), FALSE);
  }
  // Modal, as the main dialog runs it: the close button ends it.
  Answerer answer(L"VX-7105ソフトウェア互換状況", CloseBox);
  RunCompatDialog(nullptr);
  EXPECT_EQ(answer.seen, 1);
}

}  // namespace
