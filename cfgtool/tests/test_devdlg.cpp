// Device settings dialog (template 204) and log start confirmation (template 208),
// driven modelessly with the real templates; the registry is checked after each action.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include "cfg_util.h"
#include "devdlg.h"
#include "device.h"
#include "dlgcommon.h"
#include "logconfirm.h"
#include "resource.h"
#include "settings_layout.h"

using namespace cfgtest;

namespace {

const char* const kSys = vxreg::kSysKey;
const char* const kDll = vxreg::kDllKey;
const char* const kSettings = vxreg::kSettingsKey;

class DeviceDialog : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE(KeyExists(vxreg::kServiceKey));
        key_ = new ServiceKeyOnly;
        InstallSettingsTree();
        SetCurrentDeviceLabel(L"VX-7105 / SN-0001");
    }
    void TearDown() override {
        if (dlg_) DestroyWindow(dlg_);
        Pump();
        delete key_;
        EXPECT_FALSE(KeyExists(vxreg::kServiceKey));
    }
    HWND Open() {
        if (dlg_) DestroyWindow(dlg_);
        dlg_ = CreateDlg(IDD_DEVICE, DeviceSettingsDialogProc);
        return dlg_;
    }
    ServiceKeyOnly* key_ = nullptr;
    ModalAnswerer boxes_{IDCANCEL};
    HelpRecorder help_;
    HWND dlg_ = nullptr;
};

const std::vector<int> kGeneral = {1167, 1147, 1149, 1150, 1151, 1152, 1153, 1154, 1155, 1156, 1157, 1165, 1158};
const std::vector<int> kDetails = {1133, 1130, 1131, 1132, 1159, 1160, 1161, 1162, 1163,
                                   1135, 1136, 1000, 1001, 1176, 1197, 1198, 1199, 1134};

}  // namespace

TEST_F(DeviceDialog, GeneralPageShowsWhatTheDriverRecorded) {
    HWND dlg = Open();
    ASSERT_TRUE(dlg);
    EXPECT_EQ(WindowText(dlg), L"ﾃﾞﾊﾞｲｽの設定");
    const struct { int id; const wchar_t* text; } texts[] = {
        {IDC_DEV_LABEL, L"VX-7105 / SN-0001"},
        {IDC_DEV_TYPE, L"PCI"},
        {IDC_DEV_BUS, L"3"},
        {IDC_DEV_BASE, L"E0100000"},
        {IDC_DEV_RANGE, L"E0100000 - E0120000"},
        {IDC_DEV_IRQ, L"A"},
        {IDC_DEV_STATUS, L"デバイスドライバが起動されていません。"},  // no service to ask
        {IDC_DEV_TYPE_CAPTION, L"デバイスの種類"},
        {IDC_DEV_STATUS_GROUP, L"デバイスの状態"},
    };
    for (const auto& t : texts) EXPECT_EQ(Text(dlg, t.id), t.text) << t.id;
    RECT rc;
    GetWindowRect(dlg, &rc);
    EXPECT_EQ(rc.left, 50);
    EXPECT_EQ(rc.top, 0);
    EXPECT_EQ(rc.bottom - rc.top, RefY(dlg, 294));
    // The driver log group lies below the cut edge.
    RECT client;
    GetClientRect(dlg, &client);
    EXPECT_GE(ChildRect(dlg, IDC_DEV_SYS_GROUP).top, client.bottom);
    EXPECT_GE(ChildRect(dlg, IDC_DEV_SYS_PATH).top, client.bottom);
}

TEST_F(DeviceDialog, StatusFollowsTheService) {
    delete key_;
    key_ = nullptr;
    ScratchService svc;
    ASSERT_TRUE(svc.ok());
    InstallSettingsTree();
    HWND dlg = Open();
    EXPECT_EQ(Text(dlg, IDC_DEV_STATUS), L"デバイスドライバが起動されていません。");
    ASSERT_TRUE(svc.Start());
    dlg = Open();
    EXPECT_EQ(Text(dlg, IDC_DEV_STATUS), L"デバイスは正常に動作しています。");
    DestroyWindow(dlg_);
    dlg_ = nullptr;
    RemoveSettingsTree();
}

TEST_F(DeviceDialog, MissingDeviceValueEndsTheSetUp) {
    DeleteValue(vxreg::kDevice0Key, "AddressSize0");
    HWND dlg = Open();
    EXPECT_EQ(Text(dlg, IDC_DEV_BUS), L"3");
    EXPECT_EQ(Text(dlg, IDC_DEV_IRQ), L"A");  // read before the missing one
    EXPECT_EQ(Text(dlg, IDC_DEV_LABEL), L"VX-7105 / SN-0000");
    EXPECT_EQ(Text(dlg, IDC_DEV_RANGE), L"");
    EXPECT_EQ(ComboCount(dlg, IDC_DEV_NUMBER), 0);
    EXPECT_EQ(SendDlgItemMessageW(dlg, IDC_TAB, TCM_GETITEMCOUNT, 0, 0), 0);
}

TEST_F(DeviceDialog, PathsShownWithoutPrefixAndStoredWithIt) {
    SetString(kSys, "LoggingPath", L"\\??\\D:\\log\\drv.log");
    SetString(kDll, "LoggingPath", L"\\??\\D:\\log\\lib.log");
    HWND dlg = Open();
    EXPECT_EQ(Text(dlg, IDC_DEV_SYS_PATH), L"D:\\log\\drv.log");
    EXPECT_EQ(Text(dlg, IDC_DEV_DLL_PATH), L"D:\\log\\lib.log");
    SetText(dlg, IDC_DEV_SYS_PATH, L"");
    SetText(dlg, IDC_DEV_DLL_PATH, L"E:\\x.log");
    EXPECT_EQ(GetString(kDll, "LoggingPath"), L"\\??\\D:\\log\\lib.log");  // not before OK
    Click(dlg, IDOK);
    EXPECT_EQ(FinishedResult(dlg), 1);
    EXPECT_EQ(GetString(kSys, "LoggingPath"), L"\\??\\");
    EXPECT_EQ(GetString(kDll, "LoggingPath"), L"\\??\\E:\\x.log");
    EXPECT_EQ(GetValueType(kSys, "LoggingPath"), static_cast<DWORD>(REG_SZ));
}

TEST_F(DeviceDialog, ShortStoredPathShowsEmpty) {
    SetString(kSys, "LoggingPath", L"C:");
    HWND dlg = Open();
    EXPECT_EQ(Text(dlg, IDC_DEV_SYS_PATH), L"");
    EXPECT_EQ(Text(dlg, IDC_DEV_DLL_PATH), L"C:\\vx710d10.log");
}

TEST_F(DeviceDialog, DeviceNumberAndSynchronising) {
    const struct { DWORD stored; int sel; DWORD afterOk; } cases[] = {
        {1, 0, 1}, {7, 6, 7}, {15, 14, 15}, {0, -1, 0}, {16, -1, 0}, {0xFFFFFFFF, -1, 0},
    };
    for (const auto& c : cases) {
        SetDword(kSettings, "DeviceNumber", c.stored);
        SetDword(kSettings, "synchronizing", c.stored == 7 ? 1 : 2);
        HWND dlg = Open();
        ASSERT_EQ(ComboCount(dlg, IDC_DEV_NUMBER), 15);
        EXPECT_EQ(ComboItem(dlg, IDC_DEV_NUMBER, 0), L"1");
        EXPECT_EQ(ComboItem(dlg, IDC_DEV_NUMBER, 14), L"15");
        EXPECT_EQ(ComboSel(dlg, IDC_DEV_NUMBER), c.sel) << c.stored;
        EXPECT_EQ(Checked(dlg, IDC_DEV_SYNC), c.stored == 7);
        Click(dlg, IDOK);
        EXPECT_EQ(GetDword(kSettings, "DeviceNumber"), c.afterOk) << c.stored;
        EXPECT_EQ(GetDword(kSettings, "synchronizing"), c.stored == 7 ? 1u : 0u);
    }
}

TEST_F(DeviceDialog, CancelStoresNothing) {
    SetDword(kSettings, "DeviceNumber", 4);
    HWND dlg = Open();
    ComboSelect(dlg, IDC_DEV_NUMBER, 9);
    SetCheck(dlg, IDC_DEV_SYNC, true);
    SetText(dlg, IDC_DEV_DLL_PATH, L"Z:\\other.log");
    Click(dlg, IDCANCEL);
    EXPECT_EQ(FinishedResult(dlg), 1);
    EXPECT_EQ(GetDword(kSettings, "DeviceNumber"), 4u);
    EXPECT_EQ(GetDword(kSettings, "synchronizing"), 0u);
    EXPECT_EQ(GetString(kDll, "LoggingPath"), L"\\??\\C:\\vx710d10.log");
}

TEST_F(DeviceDialog, LoggingButtonsFollowTheRegistry) {
    SetDword(kSys, "Logging", 1);
    HWND dlg = Open();
    EXPECT_FALSE(Enabled(dlg, IDC_DEV_SYS_START));
    EXPECT_TRUE(Enabled(dlg, IDC_DEV_SYS_STOP));
    EXPECT_TRUE(Enabled(dlg, IDC_DEV_DLL_START));
    EXPECT_FALSE(Enabled(dlg, IDC_DEV_DLL_STOP));
    Click(dlg, IDC_DEV_SYS_STOP);  // at once, no OK needed
    EXPECT_EQ(GetDword(kSys, "Logging"), 0u);
    EXPECT_TRUE(Enabled(dlg, IDC_DEV_SYS_START));
    EXPECT_FALSE(Enabled(dlg, IDC_DEV_SYS_STOP));
    // Without the key the value cannot be set: the buttons keep their state.
    SetDword(kDll, "StartLogMessage", 0);
    Click(dlg, IDC_DEV_DLL_START);
    EXPECT_EQ(GetDword(kDll, "Logging"), 1u);
    DeleteTree(vxreg::kDllLogItemsKey);
    DeleteTree(kDll);
    Click(dlg, IDC_DEV_DLL_STOP);
    EXPECT_FALSE(Enabled(dlg, IDC_DEV_DLL_START));
    EXPECT_TRUE(Enabled(dlg, IDC_DEV_DLL_STOP));
    EXPECT_FALSE(KeyExists(kDll));  // never created
    Click(dlg, IDCANCEL);
}

TEST_F(DeviceDialog, ConfirmationFlow) {
    HWND dlg = Open();
    ASSERT_EQ(GetDword(kDll, "StartLogMessage"), 1u);
    // Ask; Cancel leaves Logging as it was.
    bool boxTicked = false;
    std::wstring boxText, staticText;
    boxes_.Queue([&](HWND h) {
        boxTicked = IsDlgButtonChecked(h, IDC_CONFIRM_NEXT) == BST_CHECKED;
        boxText = Text(h, IDC_CONFIRM_NEXT);
        HWND s = FindWindowExW(h, nullptr, L"Static", nullptr);
        staticText = WindowText(s);
        PostClick(h, IDCANCEL);
    });
    Click(dlg, IDC_DEV_DLL_START);
    ASSERT_EQ(boxes_.seen.size(), 1u);
    EXPECT_EQ(boxes_.seen[0].caption, L"ログ開始の確認");
    EXPECT_TRUE(boxTicked);
    EXPECT_EQ(boxText, L"次回起動時も表示する");
    EXPECT_EQ(staticText, L"ログファイルの作成を開始します。\n\nＯＫボタンをクリックするとログ出力が開始されます。");
    EXPECT_EQ(GetDword(kDll, "Logging"), 0u);
    EXPECT_EQ(GetDword(kDll, "StartLogMessage"), 1u);
    EXPECT_TRUE(Enabled(dlg, IDC_DEV_DLL_START));

    // OK with the box cleared: StartLogMessage 0, logging on.
    boxes_.Queue([](HWND h) {
        CheckDlgButton(h, IDC_CONFIRM_NEXT, BST_UNCHECKED);
        PostClick(h, IDOK);
    });
    Click(dlg, IDC_DEV_DLL_START);
    ASSERT_EQ(boxes_.seen.size(), 2u);
    EXPECT_EQ(GetDword(kDll, "StartLogMessage"), 0u);
    EXPECT_EQ(GetDword(kDll, "Logging"), 1u);
    EXPECT_FALSE(Enabled(dlg, IDC_DEV_DLL_START));
    EXPECT_TRUE(Enabled(dlg, IDC_DEV_DLL_STOP));
    EXPECT_EQ(GetDword(kSys, "Logging"), 0u);  // the other log is untouched

    // Stop, then Start again: no question this time.
    Click(dlg, IDC_DEV_DLL_STOP);
    EXPECT_EQ(GetDword(kDll, "Logging"), 0u);
    Click(dlg, IDC_DEV_DLL_START);
    EXPECT_EQ(boxes_.seen.size(), 2u);
    EXPECT_EQ(GetDword(kDll, "Logging"), 1u);

    // The driver log asks on its own key; OK with the box ticked keeps asking.
    boxes_.QueueClick(IDOK);
    Click(dlg, IDC_DEV_SYS_START);
    ASSERT_EQ(boxes_.seen.size(), 3u);
    EXPECT_EQ(GetDword(kSys, "Logging"), 1u);
    EXPECT_EQ(GetDword(kSys, "StartLogMessage"), 1u);
    Click(dlg, IDCANCEL);
    EXPECT_EQ(GetDword(kSys, "Logging"), 1u);  // stays, even though the dialog was cancelled
}

TEST_F(DeviceDialog, MissingStartLogMessageMakesStartDoNothing) {
    DeleteValue(kSys, "StartLogMessage");
    HWND dlg = Open();
    Click(dlg, IDC_DEV_SYS_START);
    EXPECT_TRUE(boxes_.seen.empty());
    EXPECT_EQ(GetDword(kSys, "Logging"), 0u);
    EXPECT_TRUE(Enabled(dlg, IDC_DEV_SYS_START));
}

TEST_F(DeviceDialog, StandardSettingsThenCancel) {
    SetDword(kSettings, "DeviceNumber", 5);
    SetDword(kSettings, "synchronizing", 1);
    SetString(kSys, "LoggingPath", L"\\??\\D:\\s.log");
    SetString(kDll, "LoggingPath", L"\\??\\D:\\d.log");
    for (const char* k : {kSys, kDll}) {
        SetDword(k, "Logging", 1);
        SetDword(k, "StartLogMessage", 0);
    }
    SetDword(kDll, "LogFileCnt", 3);
    SetDword(kDll, "LogSize", 77);
    HWND dlg = Open();
    Click(dlg, IDC_DEV_STANDARD);
    // Controls back to standard...
    EXPECT_EQ(Text(dlg, IDC_DEV_SYS_PATH), L"C:\\vx710s10.log");
    EXPECT_EQ(Text(dlg, IDC_DEV_DLL_PATH), L"C:\\vx710d10.log");
    EXPECT_EQ(ComboSel(dlg, IDC_DEV_NUMBER), 0);
    EXPECT_FALSE(Checked(dlg, IDC_DEV_SYNC));
    for (int id : {IDC_DEV_SYS_START, IDC_DEV_DLL_START}) EXPECT_TRUE(Enabled(dlg, id));
    for (int id : {IDC_DEV_SYS_STOP, IDC_DEV_DLL_STOP}) EXPECT_FALSE(Enabled(dlg, id));
    Click(dlg, IDCANCEL);
    // ...the log switches stored at once, the rest only by OK.
    for (const char* k : {kSys, kDll}) {
        EXPECT_EQ(GetDword(k, "Logging"), 0u) << k;
        EXPECT_EQ(GetDword(k, "StartLogMessage"), 1u) << k;
    }
    EXPECT_EQ(GetDword(kDll, "LogFileCnt"), 0u);
    EXPECT_EQ(GetDword(kDll, "LogSize"), 77u);
    EXPECT_EQ(GetDword(kSettings, "DeviceNumber"), 5u);
    EXPECT_EQ(GetDword(kSettings, "synchronizing"), 1u);
    EXPECT_EQ(GetString(kSys, "LoggingPath"), L"\\??\\D:\\s.log");
    EXPECT_EQ(GetString(kDll, "LoggingPath"), L"\\??\\D:\\d.log");
}

TEST_F(DeviceDialog, StandardSettingsThenOk) {
    SetDword(kSettings, "DeviceNumber", 5);
    SetDword(kSettings, "synchronizing", 1);
    SetString(kSys, "LoggingPath", L"\\??\\D:\\s.log");
    HWND dlg = Open();
    Click(dlg, IDC_DEV_STANDARD);
    Click(dlg, IDOK);
    EXPECT_EQ(GetDword(kSettings, "DeviceNumber"), 1u);
    EXPECT_EQ(GetDword(kSettings, "synchronizing"), 0u);
    EXPECT_EQ(GetString(kSys, "LoggingPath"), L"\\??\\C:\\vx710s10.log");
    EXPECT_EQ(GetString(kDll, "LoggingPath"), L"\\??\\C:\\vx710d10.log");
}

TEST_F(DeviceDialog, RegistryFailureDuringOkKeepsTheDialogOpen) {
    HWND dlg = Open();
    ComboSelect(dlg, IDC_DEV_NUMBER, 2);
    SetText(dlg, IDC_DEV_SYS_PATH, L"D:\\new.log");
    SetText(dlg, IDC_DEV_DLL_PATH, L"D:\\lib.log");
    DeleteTree(kDll);
    Click(dlg, IDOK);
    EXPECT_EQ(FinishedResult(dlg), -1);
    EXPECT_EQ(GetDword(kSettings, "DeviceNumber"), 3u);               // step 1 stored
    EXPECT_EQ(GetString(kSys, "LoggingPath"), L"\\??\\D:\\new.log");  // step 2 stored
    EXPECT_FALSE(KeyExists(kDll));
    // Standard settings fail at their first step and change nothing.
    SetText(dlg, IDC_DEV_SYS_PATH, L"keep");
    Click(dlg, IDC_DEV_STANDARD);
    EXPECT_EQ(Text(dlg, IDC_DEV_SYS_PATH), L"keep");
}

TEST_F(DeviceDialog, TabsAndHelpReopenOnPageZero) {
    HWND dlg = Open();
    for (int id : kGeneral) EXPECT_TRUE(Visible(dlg, id)) << id;
    for (int id : kDetails) EXPECT_FALSE(Visible(dlg, id)) << id;
    SendHelp(dlg);
    SelectTab(dlg, 1);
    for (int id : kGeneral) EXPECT_FALSE(Visible(dlg, id)) << id;
    for (int id : kDetails) EXPECT_TRUE(Visible(dlg, id)) << id;
    SendHelp(dlg);
    EXPECT_EQ(help_.topics, (std::vector<unsigned>{10040, 10050}));
    Click(dlg, IDCANCEL);
    help_.topics.clear();
    dlg = Open();
    EXPECT_TRUE(Visible(dlg, IDC_DEV_LABEL));
    EXPECT_FALSE(Visible(dlg, IDC_DEV_NUMBER));
    SendHelp(dlg);
    EXPECT_EQ(help_.topics, std::vector<unsigned>{10040});
}

TEST_F(DeviceDialog, DetailsAndBrowseOpenTheirDialogs) {
    HWND dlg = Open();
    Click(dlg, IDC_DEV_SYS_DETAILS);
    Click(dlg, IDC_DEV_DLL_DETAILS);
    Click(dlg, IDC_DEV_DLL_BROWSE);
    ASSERT_EQ(boxes_.seen.size(), 3u);
    EXPECT_EQ(boxes_.seen[0].caption, L"ＳＹＳログﾞ出力データ設定");
    EXPECT_EQ(boxes_.seen[1].caption, L"ＤＬＬログ出力データ設定");
    EXPECT_EQ(boxes_.seen[2].caption, L"ログファイルの保存");
    EXPECT_EQ(Text(dlg, IDC_DEV_DLL_PATH), L"C:\\vx710d10.log");  // cancelled: unchanged
}

TEST(LogConfirm, OkStoresTheBoxAndAFailedKeyKeepsItOpen) {
    ServiceKeyOnly key;
    InstallSettingsTree();
    HelpRecorder help;
    HWND dlg = CreateDlg(IDD_LOGCONFIRM, LogConfirmDialogProc, reinterpret_cast<LPARAM>(vxreg::kSysKey));
    ASSERT_TRUE(dlg);
    EXPECT_EQ(WindowText(dlg), L"ログ開始の確認");
    EXPECT_TRUE(Checked(dlg, IDC_CONFIRM_NEXT));
    SendHelp(dlg);
    EXPECT_EQ(help.topics, std::vector<unsigned>{10060});
    SetCheck(dlg, IDC_CONFIRM_NEXT, false);
    Click(dlg, IDOK);
    EXPECT_EQ(FinishedResult(dlg), 1);
    EXPECT_EQ(GetDword(vxreg::kSysKey, "StartLogMessage"), 0u);
    DestroyWindow(dlg);

    static const char kMissing[] = "SYSTEM\\CurrentControlSet\\Services\\vx710s10\\Missing";
    dlg = CreateDlg(IDD_LOGCONFIRM, LogConfirmDialogProc, reinterpret_cast<LPARAM>(kMissing));
    Click(dlg, IDOK);
    EXPECT_EQ(FinishedResult(dlg), -1);
    Click(dlg, IDCANCEL);
    EXPECT_EQ(FinishedResult(dlg), 0);
    DestroyWindow(dlg);
    RemoveSettingsTree();
}
