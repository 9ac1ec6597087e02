// Main dialog (template 101) driven modelessly with the real template: the start-up
// messages, the device tree, the driver list and Start/Stop through the real service
// control manager, tabs, page layout, help topics, the Version page; and the program
// itself: single instance, Close ending it with code 0.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include "cfg_util.h"
#include "help.h"
#include "maindlg.h"
#include "osversion.h"
#include "resource.h"
#include "settings_layout.h"

using namespace cfgtest;

namespace {

std::wstring ListText(HWND dlg, int row, int col) {
    wchar_t buf[128] = L"";
    LVITEMW it{};
    it.iSubItem = col;
    it.pszText = buf;
    it.cchTextMax = 128;
    SendDlgItemMessageW(dlg, IDC_MAIN_LIST, LVM_GETITEMTEXTW, row, reinterpret_cast<LPARAM>(&it));
    return buf;
}
int ListRows(HWND dlg) { return static_cast<int>(SendDlgItemMessageW(dlg, IDC_MAIN_LIST, LVM_GETITEMCOUNT, 0, 0)); }
int ListColumns(HWND dlg) {
    HWND header = reinterpret_cast<HWND>(SendDlgItemMessageW(dlg, IDC_MAIN_LIST, LVM_GETHEADER, 0, 0));
    return header ? static_cast<int>(SendMessageW(header, HDM_GETITEMCOUNT, 0, 0)) : 0;
}
HTREEITEM TreeRoot(HWND dlg) {
    return reinterpret_cast<HTREEITEM>(SendDlgItemMessageW(dlg, IDC_MAIN_TREE, TVM_GETNEXTITEM, TVGN_ROOT, 0));
}
std::wstring TreeText(HWND dlg, HTREEITEM item) {
    wchar_t buf[128] = L"";
    TVITEMW it{};
    it.mask = TVIF_TEXT;
    it.hItem = item;
    it.pszText = buf;
    it.cchTextMax = 128;
    SendDlgItemMessageW(dlg, IDC_MAIN_TREE, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&it));
    return buf;
}
INT_PTR CALLBACK PlainProc(HWND, UINT, WPARAM, LPARAM) { return FALSE; }
int TreeCount(HWND dlg) { return static_cast<int>(SendDlgItemMessageW(dlg, IDC_MAIN_TREE, TVM_GETCOUNT, 0, 0)); }

// Every test leaves the machine as it found it: no vx710s10 key, no service.
class MainDialog : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_FALSE(KeyExists(vxreg::kServiceKey)); }
    void TearDown() override {
        if (dlg_) DestroyWindow(dlg_);
        Pump();
    }
    HWND Open() {
        dlg_ = CreateDlg(IDD_MAIN, MainDialogProc);
        return dlg_;
    }
    ModalAnswerer boxes_;
    HelpRecorder help_;
    HWND dlg_ = nullptr;
};

}  // namespace

TEST_F(MainDialog, DriverNotInstalled) {
    HWND dlg = Open();
    ASSERT_TRUE(dlg);
    ASSERT_EQ(boxes_.seen.size(), 1u);
    EXPECT_EQ(boxes_.seen[0].caption, L"デバイスドライバ未検出");
    EXPECT_EQ(boxes_.seen[0].text,
              L"デバイスドライバがインストールされていません。\nデバイスドライバをインスイトールしてください。");
    EXPECT_EQ(boxes_.seen[0].text, kNotInstalledText);
    for (int id : {IDC_MAIN_PROPERTIES, IDC_MAIN_START, IDC_MAIN_STOP}) EXPECT_FALSE(Enabled(dlg, id)) << id;
    EXPECT_EQ(ListColumns(dlg), 0);
    EXPECT_EQ(ListRows(dlg), 0);
    EXPECT_EQ(TreeCount(dlg), 0);
    // The rest of the set-up still runs: size, tabs, page 0.
    RECT rc;
    GetWindowRect(dlg, &rc);
    EXPECT_EQ(rc.left, 0);
    EXPECT_EQ(rc.top, 0);
    EXPECT_EQ(rc.right - rc.left, RefX(dlg, 456));
    EXPECT_EQ(rc.bottom - rc.top, RefY(dlg, 277));
    EXPECT_EQ(SendDlgItemMessageW(dlg, IDC_TAB, TCM_GETITEMCOUNT, 0, 0), 3);
}

TEST_F(MainDialog, InstalledWithoutDevice0ThenStartAddsTheDevice) {
    ScratchService svc;
    ASSERT_TRUE(svc.ok());
    HWND dlg = Open();
    ASSERT_EQ(boxes_.seen.size(), 1u);
    EXPECT_EQ(boxes_.seen[0].caption, L"デバイスドライバ未起動");
    EXPECT_EQ(boxes_.seen[0].text, L"デバイスドライバが起動されていません。\nデバイスドライバを起動してください。");
    EXPECT_FALSE(Enabled(dlg, IDC_MAIN_PROPERTIES));
    EXPECT_TRUE(Enabled(dlg, IDC_MAIN_START));
    EXPECT_TRUE(Enabled(dlg, IDC_MAIN_STOP));
    ASSERT_EQ(ListColumns(dlg), 2);
    const struct { const wchar_t* header; int width; } cols[] = {{L"プログラム名", 297}, {L"状態", 90}};
    for (int i = 0; i < 2; ++i) {
        wchar_t buf[64] = L"";
        LVCOLUMNW c{};
        c.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_FMT;
        c.pszText = buf;
        c.cchTextMax = 64;
        SendDlgItemMessageW(dlg, IDC_MAIN_LIST, LVM_GETCOLUMNW, i, reinterpret_cast<LPARAM>(&c));
        EXPECT_EQ(std::wstring(buf), cols[i].header);
        EXPECT_EQ(c.cx, cols[i].width);
        EXPECT_EQ(c.fmt & LVCFMT_JUSTIFYMASK, LVCFMT_LEFT);
    }
    ASSERT_EQ(ListRows(dlg), 1);
    EXPECT_EQ(ListText(dlg, 0, 0), L"vx710s10.sys");
    EXPECT_EQ(ListText(dlg, 0, 1), L"（停止中）");
    UINT state = static_cast<UINT>(SendDlgItemMessageW(dlg, IDC_MAIN_LIST, LVM_GETITEMSTATE, 0,
                                                       LVIS_FOCUSED | LVIS_SELECTED | LVIS_CUT | LVIS_DROPHILITED));
    EXPECT_EQ(state, static_cast<UINT>(LVIS_SELECTED | LVIS_DROPHILITED));
    EXPECT_EQ(TreeCount(dlg), 0);

    // Started while Device0 is still missing: nothing changes, the next Start tries again.
    Click(dlg, IDC_MAIN_START);
    EXPECT_TRUE(svc.WaitState(SERVICE_RUNNING));
    EXPECT_EQ(ListText(dlg, 0, 1), L"（停止中）");
    EXPECT_FALSE(Enabled(dlg, IDC_MAIN_PROPERTIES));
    EXPECT_EQ(TreeCount(dlg), 0);
    ASSERT_TRUE(svc.Stop());

    InstallSettingsTree();
    Click(dlg, IDC_MAIN_START);
    EXPECT_TRUE(svc.WaitState(SERVICE_RUNNING));
    EXPECT_EQ(ListText(dlg, 0, 1), L"（起動済み）");
    ASSERT_EQ(TreeCount(dlg), 1);
    HTREEITEM root = TreeRoot(dlg);
    EXPECT_EQ(TreeText(dlg, root), L"VX-7105 / SN-0001");
    EXPECT_EQ(reinterpret_cast<HTREEITEM>(SendDlgItemMessageW(dlg, IDC_MAIN_TREE, TVM_GETNEXTITEM, TVGN_DROPHILITE, 0)),
              root);
    EXPECT_TRUE(Enabled(dlg, IDC_MAIN_PROPERTIES));

    // Start refused (already running): the text keeps its value; no second device entry.
    Click(dlg, IDC_MAIN_START);
    EXPECT_EQ(ListText(dlg, 0, 1), L"（起動済み）");
    EXPECT_EQ(TreeCount(dlg), 1);

    Click(dlg, IDC_MAIN_STOP);
    EXPECT_TRUE(svc.WaitState(SERVICE_STOPPED));
    EXPECT_EQ(ListText(dlg, 0, 1), L"（停止中）");
    EXPECT_EQ(TreeCount(dlg), 1);  // the entry stays, and so does Properties
    EXPECT_TRUE(Enabled(dlg, IDC_MAIN_PROPERTIES));

    // Stop refused (already stopped): unchanged. A Start after that only changes the text.
    Click(dlg, IDC_MAIN_STOP);
    EXPECT_EQ(ListText(dlg, 0, 1), L"（停止中）");
    Click(dlg, IDC_MAIN_START);
    EXPECT_TRUE(svc.WaitState(SERVICE_RUNNING));
    EXPECT_EQ(ListText(dlg, 0, 1), L"（起動済み）");
    EXPECT_EQ(TreeCount(dlg), 1);
    EXPECT_EQ(boxes_.seen.size(), 1u);  // nothing more was ever shown
    DestroyWindow(dlg_);
    dlg_ = nullptr;
    RemoveSettingsTree();
}

TEST_F(MainDialog, InstalledStoppedWithDevice0) {
    ScratchService svc;
    ASSERT_TRUE(svc.ok());
    InstallSettingsTree();
    HWND dlg = Open();
    EXPECT_TRUE(boxes_.seen.empty());
    ASSERT_EQ(TreeCount(dlg), 1);
    EXPECT_EQ(TreeText(dlg, TreeRoot(dlg)), L"VX-7105 / SN-0001");
    EXPECT_TRUE(Enabled(dlg, IDC_MAIN_PROPERTIES));
    EXPECT_EQ(ListText(dlg, 0, 1), L"（停止中）");
    DestroyWindow(dlg_);
    dlg_ = nullptr;
    RemoveSettingsTree();
}

TEST_F(MainDialog, StateOfARunningAndAPausedService) {
    ScratchService svc;
    ASSERT_TRUE(svc.ok());
    InstallSettingsTree();
    ASSERT_TRUE(svc.Start());
    struct Case { DWORD control, state; } steps[] = {{0, SERVICE_RUNNING}, {SERVICE_CONTROL_PAUSE, SERVICE_PAUSED}};
    for (const auto& s : steps) {
        if (s.control) {
            ASSERT_TRUE(svc.Control(s.control, s.state));
        }
        HWND dlg = Open();
        EXPECT_EQ(ListText(dlg, 0, 1), L"（起動済み）") << s.state;
        DestroyWindow(dlg);
        dlg_ = nullptr;
    }
    RemoveSettingsTree();
}

TEST_F(MainDialog, ServiceKeyWithoutServiceShowsStopped) {
    ServiceKeyOnly key;
    InstallSettingsTree();
    HWND dlg = Open();
    EXPECT_TRUE(boxes_.seen.empty());
    EXPECT_EQ(ListText(dlg, 0, 1), L"（停止中）");
    // Start and Stop are refused by the manager: nothing changes.
    Click(dlg, IDC_MAIN_START);
    EXPECT_EQ(ListText(dlg, 0, 1), L"（停止中）");
    Click(dlg, IDC_MAIN_STOP);
    EXPECT_EQ(ListText(dlg, 0, 1), L"（停止中）");
}

TEST_F(MainDialog, UnreadableSerialEndsTheSetUpAtTemplateSize) {
    ServiceKeyOnly key;
    InstallSettingsTree();
    DeleteValue(vxreg::kDevice0Key, "SerialNumber");
    HWND dlg = Open();
    EXPECT_TRUE(boxes_.seen.empty());
    EXPECT_EQ(ListColumns(dlg), 0);
    EXPECT_EQ(SendDlgItemMessageW(dlg, IDC_TAB, TCM_GETITEMCOUNT, 0, 0), 0);
    RECT rc;
    GetClientRect(dlg, &rc);
    RECT units = {0, 0, 299, 651};
    MapDialogRect(dlg, &units);
    EXPECT_EQ(rc.bottom, units.bottom);
}

TEST_F(MainDialog, TabsShowTheirPagesAndChooseTheHelpTopic) {
    ServiceKeyOnly key;
    InstallSettingsTree();
    HWND dlg = Open();
    HWND tab = GetDlgItem(dlg, IDC_TAB);
    const wchar_t* captions[] = {L"デバイス", L"ドライバ", L"バージョン情報"};
    for (int i = 0; i < 3; ++i) {
        wchar_t buf[64] = L"";
        TCITEMW it{};
        it.mask = TCIF_TEXT;
        it.pszText = buf;
        it.cchTextMax = 64;
        SendMessageW(tab, TCM_GETITEMW, i, reinterpret_cast<LPARAM>(&it));
        EXPECT_EQ(std::wstring(buf), captions[i]);
    }
    EXPECT_EQ(SendMessageW(tab, TCM_GETCURSEL, 0, 0), 0);
    const std::vector<int> pages[3] = {
        {IDC_MAIN_DEVICE_TEXT, IDC_MAIN_TREE, IDC_MAIN_PROPERTIES},
        {IDC_MAIN_DRIVER_TEXT, IDC_MAIN_LIST, IDC_MAIN_START, IDC_MAIN_STOP},
        {IDC_MAIN_TITLE, IDC_MAIN_VERSION, IDC_MAIN_NOTICE, IDC_MAIN_ICON, IDC_MAIN_COMPAT, IDC_MAIN_VERSION_LABEL},
    };
    const unsigned topics[3] = {10030, 10080, 10090};
    for (int show : {0, 1, 2, 0, 2, 1}) {
        if (show != 0 || SendMessageW(tab, TCM_GETCURSEL, 0, 0) != 0) SelectTab(dlg, show);
        for (int p = 0; p < 3; ++p) {
            for (int id : pages[p]) EXPECT_EQ(Visible(dlg, id), p == show) << "page " << show << " control " << id;
        }
        help_.topics.clear();
        SendHelp(dlg);
        EXPECT_EQ(help_.topics, std::vector<unsigned>{topics[show]});
    }
    // Controls in no page keep their template visibility; 1151 lies below the dialog.
    EXPECT_FALSE(Visible(dlg, IDC_MAIN_GROUP_DEVICE));
    EXPECT_FALSE(Visible(dlg, IDC_MAIN_GROUP_DRIVER));
    RECT client;
    GetClientRect(dlg, &client);
    EXPECT_GE(ChildRect(dlg, IDC_MAIN_GROUP_VERSION).top, client.bottom);
    // A selection index outside the pages changes nothing and asks for no help.
    SendMessageW(tab, TCM_SETCURSEL, 5, 0);
    SelectTab(dlg, -1);
    help_.topics.clear();
    SendHelp(dlg);
    EXPECT_TRUE(help_.topics.empty());
    for (int id : pages[1]) EXPECT_TRUE(Visible(dlg, id));
}

TEST_F(MainDialog, PagesMovedIntoTheDisplayArea) {
    ServiceKeyOnly key;
    InstallSettingsTree();
    // The same template with no procedure of its own: the controls where the template puts them.
    HWND plain = CreateDlg(IDD_MAIN, PlainProc);
    HWND dlg = Open();
    RECT display;
    GetClientRect(dlg, &display);
    SendDlgItemMessageW(dlg, IDC_TAB, TCM_ADJUSTRECT, FALSE, reinterpret_cast<LPARAM>(&display));
    const struct { int offset; std::vector<int> ids; } pages[] = {
        {283, {IDC_MAIN_DEVICE_TEXT, IDC_MAIN_TREE, IDC_MAIN_PROPERTIES}},
        {524, {IDC_MAIN_DRIVER_TEXT, IDC_MAIN_LIST, IDC_MAIN_START, IDC_MAIN_STOP}},
        {765, {IDC_MAIN_TITLE, IDC_MAIN_VERSION, IDC_MAIN_NOTICE, IDC_MAIN_ICON, IDC_MAIN_COMPAT,
               IDC_MAIN_VERSION_LABEL}},
    };
    for (const auto& page : pages)
        for (int id : page.ids) {
            RECT before = ChildRect(plain, id), after = ChildRect(dlg, id), client;
            GetClientRect(GetDlgItem(plain, id), &client);
            EXPECT_EQ(after.left, display.left + before.left + 1) << id;
            EXPECT_EQ(after.top, display.top + before.top - RefY(dlg, page.offset)) << id;
            EXPECT_EQ(after.right - after.left, client.right) << id;
            EXPECT_EQ(after.bottom - after.top, client.bottom) << id;
        }
    // Controls in no page stay where the template has them.
    for (int id : {IDC_MAIN_GROUP_DEVICE, IDC_MAIN_GROUP_VERSION, IDCANCEL, IDC_TAB}) {
        RECT a = ChildRect(plain, id), b = ChildRect(dlg, id);
        EXPECT_EQ(a.left, b.left) << id;
        EXPECT_EQ(a.top, b.top) << id;
    }
    DestroyWindow(plain);
}

TEST_F(MainDialog, MajorVersionFiveHidesStartAndStop) {
    ServiceKeyOnly key;
    InstallSettingsTree();
    OSVERSIONINFOA saved = g_osVersion;
    g_osVersion.dwMajorVersion = 5;
    HWND dlg = Open();
    SelectTab(dlg, 1);
    SendMessageW(dlg, WM_NULL, 0, 0);
    EXPECT_TRUE(Visible(dlg, IDC_MAIN_LIST));
    EXPECT_TRUE(Visible(dlg, IDC_MAIN_DRIVER_TEXT));
    EXPECT_FALSE(Visible(dlg, IDC_MAIN_START));
    EXPECT_FALSE(Visible(dlg, IDC_MAIN_STOP));
    DestroyWindow(dlg);
    dlg_ = nullptr;
    g_osVersion.dwMajorVersion = 6;
    dlg = Open();
    SelectTab(dlg, 1);
    SendMessageW(dlg, WM_NULL, 0, 0);
    EXPECT_TRUE(Visible(dlg, IDC_MAIN_START));
    EXPECT_TRUE(Visible(dlg, IDC_MAIN_STOP));
    g_osVersion = saved;
}

TEST_F(MainDialog, VersionOfTheCopyInTheSystemDirectory) {
    ServiceKeyOnly key;
    InstallSettingsTree();
    wchar_t sys[MAX_PATH];
    GetSystemDirectoryW(sys, MAX_PATH);
    std::wstring copy = std::wstring(sys) + L"\\vx710cfg.exe";
    ASSERT_EQ(GetFileAttributesW(copy.c_str()), INVALID_FILE_ATTRIBUTES);
    HWND dlg = Open();
    EXPECT_EQ(Text(dlg, IDC_MAIN_VERSION), L"File Not Found");
    DestroyWindow(dlg);
    dlg_ = nullptr;
    ASSERT_TRUE(CopyFileW((ModuleDir() + L"vx710cfg.exe").c_str(), copy.c_str(), TRUE));
    dlg = Open();
    EXPECT_EQ(Text(dlg, IDC_MAIN_VERSION), L"6.3.0.1");
    EXPECT_EQ(Text(dlg, IDC_MAIN_VERSION_LABEL), L"Version");
    EXPECT_EQ(Text(dlg, IDC_MAIN_TITLE), L"VX-7105コントロールパネル設定ツール");
    EXPECT_TRUE(DeleteFileW(copy.c_str()));
}

TEST_F(MainDialog, TemplateTexts) {
    ServiceKeyOnly key;
    InstallSettingsTree();
    HWND dlg = Open();
    EXPECT_EQ(WindowText(dlg), L"VX-7105 ｺﾝﾄﾛｰﾗ");
    const struct { int id; const wchar_t* text; } texts[] = {
        {IDCANCEL, L"閉じる"},
        {IDC_MAIN_DEVICE_TEXT, L"接続されているデバイスは次のとおりです。"},
        {IDC_MAIN_PROPERTIES, L"プロパティ（&P）"},
        {IDC_MAIN_DRIVER_TEXT, L"インストールされている VX-7105 ドライバは次のとおりです。"},
        {IDC_MAIN_START, L"開始"},
        {IDC_MAIN_STOP, L"停止"},
        {IDC_MAIN_COMPAT, L"VX-7105ソフトウェア互換状況"},
    };
    for (const auto& t : texts) EXPECT_EQ(Text(dlg, t.id), t.text) << t.id;
    LONG style = GetWindowLongW(dlg, GWL_STYLE);
    EXPECT_TRUE(style & WS_CAPTION);
    EXPECT_TRUE(style & WS_SYSMENU);
    EXPECT_TRUE(GetWindowLongW(dlg, GWL_EXSTYLE) & WS_EX_CONTEXTHELP);
    EXPECT_TRUE(GetWindowLongW(GetDlgItem(dlg, IDC_MAIN_TREE), GWL_STYLE) & TVS_SHOWSELALWAYS);
    EXPECT_TRUE(GetWindowLongW(GetDlgItem(dlg, IDC_MAIN_LIST), GWL_STYLE) & LVS_REPORT);
    EXPECT_TRUE(GetWindowLongW(GetDlgItem(dlg, IDC_MAIN_COMPAT), GWL_STYLE) & BS_MULTILINE);
    EXPECT_TRUE(SendDlgItemMessageW(dlg, IDC_MAIN_ICON, STM_GETICON, 0, 0) != 0);
    // The list font of the tree and the list: ＭＳ ゴシック, height 13.
    HFONT font = reinterpret_cast<HFONT>(SendDlgItemMessageW(dlg, IDC_MAIN_TREE, WM_GETFONT, 0, 0));
    LOGFONTW lf{};
    ASSERT_TRUE(GetObjectW(font, sizeof lf, &lf));
    EXPECT_EQ(std::wstring(lf.lfFaceName), L"ＭＳ ゴシック");
    EXPECT_EQ(lf.lfHeight, 13);
    EXPECT_EQ(lf.lfCharSet, SHIFTJIS_CHARSET);
    HFONT listFont = reinterpret_cast<HFONT>(SendDlgItemMessageW(dlg, IDC_MAIN_LIST, WM_GETFONT, 0, 0));
    EXPECT_NE(listFont, font);  // a new object for each use
    // Both are freed with the dialog.
    DestroyWindow(dlg);
    dlg_ = nullptr;
    EXPECT_EQ(GetObjectW(font, sizeof lf, &lf), 0);
    EXPECT_EQ(GetObjectW(listFont, sizeof lf, &lf), 0);
}

TEST_F(MainDialog, CommandsOpenTheirDialogsAndCloseEndsWithQuit) {
    ServiceKeyOnly key;
    InstallSettingsTree();
    HWND dlg = Open();
    boxes_.QueueClick(IDCANCEL);
    Click(dlg, IDC_MAIN_PROPERTIES);
    ASSERT_EQ(boxes_.seen.size(), 1u);
    EXPECT_EQ(boxes_.seen[0].caption, L"ﾃﾞﾊﾞｲｽの設定");
    boxes_.QueueClick(IDCANCEL);
    Click(dlg, IDC_MAIN_COMPAT);
    ASSERT_EQ(boxes_.seen.size(), 2u);  // the compatibility dialog came and went
    Click(dlg, 4242);                   // any other command is ignored
    EXPECT_EQ(boxes_.seen.size(), 2u);
    Click(dlg, IDCANCEL);
    MSG msg{};
    ASSERT_TRUE(PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
    EXPECT_EQ(msg.wParam, 0u);
}

// ---- the program as a whole ----

namespace {
const wchar_t kFrameTitle[] = L"vx-7105コントローラ";

HWND WaitWindow(const wchar_t* cls, const wchar_t* title, DWORD ms = 15000) {
    DWORD start = GetTickCount();
    while (GetTickCount() - start < ms) {
        if (HWND h = FindWindowW(cls, title)) return h;
        Sleep(50);
    }
    return nullptr;
}

struct Process {
    PROCESS_INFORMATION pi{};
    bool started = false;
    Process() {
        std::wstring exe = ModuleDir() + L"vx710cfg.exe";
        std::wstring cmd = L"\"" + exe + L"\"";
        STARTUPINFOW si{};
        si.cb = sizeof si;
        started = CreateProcessW(exe.c_str(), &cmd[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi) != 0;
    }
    bool Exited(DWORD ms, DWORD& code) {
        if (WaitForSingleObject(pi.hProcess, ms) != WAIT_OBJECT_0) return false;
        GetExitCodeProcess(pi.hProcess, &code);
        return true;
    }
    ~Process() {
        if (!started) return;
        if (WaitForSingleObject(pi.hProcess, 0) == WAIT_TIMEOUT) {
            TerminateProcess(pi.hProcess, 1);
            WaitForSingleObject(pi.hProcess, 5000);
        }
        CloseHandle(pi.hThread);
        CloseHandle(pi.hProcess);
    }
};
}  // namespace

TEST(Program, SecondInstanceBringsTheFirstToTheFrontAndCloseEndsWithZero) {
    ServiceKeyOnly key;
    InstallSettingsTree();
    Process first;
    ASSERT_TRUE(first.started);
    HWND frame = WaitWindow(nullptr, kFrameTitle);
    ASSERT_TRUE(frame);
    wchar_t cls[32] = L"";
    GetClassNameW(frame, cls, 32);
    EXPECT_EQ(std::wstring(cls), L"vx710cfg");
    EXPECT_FALSE(IsWindowVisible(frame));  // never shown
    HWND main = WaitWindow(L"#32770", L"VX-7105 ｺﾝﾄﾛｰﾗ");
    ASSERT_TRUE(main);
    EXPECT_EQ(GetWindow(main, GW_OWNER), frame);

    // A window of this process in front; the second instance must put the first one there.
    HWND mine = CreateWindowExW(0, L"STATIC", L"in front", WS_POPUP | WS_VISIBLE, 0, 0, 10, 10, nullptr, nullptr,
                                nullptr, nullptr);
    SetForegroundWindow(mine);
    ASSERT_EQ(GetForegroundWindow(), mine);
    Process second;
    ASSERT_TRUE(second.started);
    DWORD code = 99;
    ASSERT_TRUE(second.Exited(15000, code));
    EXPECT_EQ(code, 0u);
    // The frame is asked to the front; being hidden, its enabled dialog takes the place.
    HWND fg = GetForegroundWindow();
    EXPECT_TRUE(fg == frame || fg == main) << fg;
    DWORD pid = 0;
    GetWindowThreadProcessId(fg, &pid);
    EXPECT_EQ(pid, first.pi.dwProcessId);
    DestroyWindow(mine);
    EXPECT_EQ(FindWindowW(nullptr, kFrameTitle), frame);  // still only the first one
    EXPECT_FALSE(first.Exited(0, code));

    PostMessageW(main, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    ASSERT_TRUE(first.Exited(15000, code));
    EXPECT_EQ(code, 0u);
    RemoveSettingsTree();
}

TEST(Program, MutexWithoutWindowLetsTheProgramStart) {
    ServiceKeyOnly key;
    InstallSettingsTree();
    HANDLE mutex = CreateMutexW(nullptr, FALSE, kFrameTitle);
    ASSERT_TRUE(mutex);
    {
        Process p;
        ASSERT_TRUE(p.started);
        HWND main = WaitWindow(L"#32770", L"VX-7105 ｺﾝﾄﾛｰﾗ");
        ASSERT_TRUE(main);
        PostMessageW(main, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
        DWORD code = 99;
        ASSERT_TRUE(p.Exited(15000, code));
        EXPECT_EQ(code, 0u);
    }
    CloseHandle(mutex);
    RemoveSettingsTree();
}
