// SYS (template 205) and DLL (template 206) log output data dialogs, driven modelessly
// with the real templates; the registry is checked after each action.
#include <windows.h>

#include <gtest/gtest.h>

#include "cfg_util.h"
#include "dlgcommon.h"
#include "dlllogdlg.h"
#include "logsettings.h"
#include "resource.h"
#include "settings_layout.h"
#include "syslogdlg.h"

using namespace cfgtest;

namespace {

const char* const kSys = vxreg::kSysKey;
const char* const kSysItems = vxreg::kSysLogItemsKey;
const char* const kDll = vxreg::kDllKey;
const char* const kDllItems = vxreg::kDllLogItemsKey;

const int kRowIds[15] = {1137, 1138, 1139, 1140, 1141, 1142, 1143, 1144, 1169, 1170, 1171, 1172, 1173, 1174, 1175};
const char* const kRowNames[15] = {"CommandCount", "DeviceNumber", "SelectCode", "Offset", "Size",
                                   "ReturnCode", "AxisBitNumber", "Sourceadd", "SmonOut", "DinOut",
                                   "InterporateNumOut", "InterporateSetOut", "SmonIn", "InterporateNumIn", "DinIn"};
const int kTriggerIds[] = {1195, 1196, 1191, 1194, 1200, 1201, 1202};

class LogDialog : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE(KeyExists(vxreg::kServiceKey));
        key_ = new ServiceKeyOnly;
        InstallSettingsTree();
    }
    void TearDown() override {
        if (dlg_) DestroyWindow(dlg_);
        Pump();
        delete key_;
        EXPECT_FALSE(KeyExists(vxreg::kServiceKey));
    }
    HWND OpenSys() { return Reopen(IDD_SYSLOG, SysLogDialogProc); }
    HWND OpenDll() { return Reopen(IDD_DLLLOG, DllLogDialogProc); }
    HWND Reopen(int id, DLGPROC proc) {
        if (dlg_) DestroyWindow(dlg_);
        dlg_ = CreateDlg(id, proc);
        return dlg_;
    }
    // Every value of both keys, to tell that nothing was stored.
    std::vector<DWORD> Snapshot() {
        std::vector<DWORD> v;
        for (const auto& s : vxreg::kDllValues)
            if (s.type == vxreg::Type::Dword) v.push_back(GetDword(kDll, s.name));
        for (const char* n : kRowNames) v.push_back(GetDword(kDllItems, n));
        for (const auto& s : vxreg::kSysValues)
            if (s.type == vxreg::Type::Dword) v.push_back(GetDword(kSys, s.name));
        for (int i = 0; i < 8; ++i) v.push_back(GetDword(kSysItems, kRowNames[i]));
        return v;
    }
    ServiceKeyOnly* key_ = nullptr;
    ModalAnswerer boxes_;
    HelpRecorder help_;
    HWND dlg_ = nullptr;
};

}  // namespace

// ---- SYS dialog ----

TEST_F(LogDialog, SysOpensWithTheStoredValues) {
    SetDword(kSys, "LogSize", 250);
    SetDword(kSys, "LogFileMax", 3);
    SetDword(kSysItems, "Offset", 0);
    SetDword(kSysItems, "Size", 2);  // only 1 ticks
    HWND dlg = OpenSys();
    EXPECT_EQ(WindowText(dlg), L"ＳＹＳログﾞ出力データ設定");
    EXPECT_EQ(Text(dlg, IDC_LOG_SIZE_EDIT), L"250");
    for (int i = 0; i < 8; ++i) EXPECT_EQ(Checked(dlg, kRowIds[i]), i != 3 && i != 4) << kRowNames[i];
    ASSERT_EQ(ComboCount(dlg, IDC_LOG_FILEMAX), 8);
    for (int i = 0; i < 8; ++i) EXPECT_EQ(ComboItem(dlg, IDC_LOG_FILEMAX, i), std::wstring(1, L'0' + i));
    EXPECT_EQ(ComboSel(dlg, IDC_LOG_FILEMAX), 3);
    SendHelp(dlg);
    EXPECT_EQ(help_.topics, std::vector<unsigned>{10060});
}

TEST_F(LogDialog, SysStandardThenOkStoresSeven) {
    SetDword(kSys, "LogFileMax", 3);
    SetDword(kSys, "LogSize", 5);
    for (int i = 0; i < 8; ++i) SetDword(kSysItems, kRowNames[i], 0);
    HWND dlg = OpenSys();
    Click(dlg, IDC_LOG_STANDARD);
    EXPECT_EQ(ComboSel(dlg, IDC_LOG_FILEMAX), 7);
    EXPECT_EQ(ComboCount(dlg, IDC_LOG_FILEMAX), 8);
    EXPECT_EQ(Text(dlg, IDC_LOG_SIZE_EDIT), L"1000");
    for (int i = 0; i < 8; ++i) EXPECT_TRUE(Checked(dlg, kRowIds[i]));
    EXPECT_EQ(GetDword(kSys, "LogFileMax"), 3u);  // nothing stored yet
    Click(dlg, IDOK);
    EXPECT_EQ(FinishedResult(dlg), 1);
    EXPECT_EQ(GetDword(kSys, "LogFileMax"), 7u);
    EXPECT_EQ(GetDword(kSys, "LogSize"), 1000u);
    for (int i = 0; i < 8; ++i) EXPECT_EQ(GetDword(kSysItems, kRowNames[i]), 1u);
}

TEST_F(LogDialog, SysFileSizeConvertedAsSignedDecimal) {
    const struct { const wchar_t* typed; DWORD stored; } cases[] = {
        {L"-1", 0xFFFFFFFF}, {L"  300kb", 300}, {L"abc", 0}, {L"99999999999", 0x7FFFFFFF}, {L"-99999999999", 0x80000000},
    };
    for (const auto& c : cases) {
        HWND dlg = OpenSys();
        SetText(dlg, IDC_LOG_SIZE_EDIT, c.typed);
        Click(dlg, IDOK);
        EXPECT_EQ(GetDword(kSys, "LogSize"), c.stored) << Narrow(c.typed);
    }
    // What was stored shows again, in signed decimal.
    SetDword(kSys, "LogSize", 0xFFFFFFFF);
    EXPECT_EQ(Text(OpenSys(), IDC_LOG_SIZE_EDIT), L"-1");
}

TEST_F(LogDialog, SysMissingValueLeavesLaterControlsAsInTheTemplate) {
    DeleteValue(kSysItems, "ReturnCode");  // row 6
    HWND dlg = OpenSys();
    EXPECT_EQ(Text(dlg, IDC_LOG_SIZE_EDIT), L"1000");
    for (int i = 0; i < 5; ++i) EXPECT_TRUE(Checked(dlg, kRowIds[i]));
    for (int i = 5; i < 8; ++i) EXPECT_FALSE(Checked(dlg, kRowIds[i]));
    EXPECT_EQ(ComboCount(dlg, IDC_LOG_FILEMAX), 0);
    // OK with nothing selected stores index 0.
    Click(dlg, IDOK);
    EXPECT_EQ(GetDword(kSys, "LogFileMax"), 0u);
    EXPECT_EQ(GetDword(kSysItems, "ReturnCode"), 0u);
    EXPECT_EQ(GetDword(kSysItems, "CommandCount"), 1u);
}

TEST_F(LogDialog, SysRegistryFailureDuringOkKeepsItOpen) {
    HWND dlg = OpenSys();
    SetText(dlg, IDC_LOG_SIZE_EDIT, L"42");
    ComboSelect(dlg, IDC_LOG_FILEMAX, 2);
    DeleteTree(kSysItems);
    Click(dlg, IDOK);
    EXPECT_EQ(FinishedResult(dlg), -1);
    EXPECT_EQ(GetDword(kSys, "LogSize"), 42u);     // stored before the failure
    EXPECT_EQ(GetDword(kSys, "LogFileMax"), 7u);   // after it: untouched
    EXPECT_FALSE(KeyExists(kSysItems));
    Click(dlg, IDCANCEL);
    EXPECT_EQ(FinishedResult(dlg), 1);
}

// ---- DLL dialog ----

TEST_F(LogDialog, DllTemplateTexts) {
    HWND dlg = OpenDll();
    EXPECT_EQ(WindowText(dlg), L"ＤＬＬログ出力データ設定");
    const wchar_t* texts[15] = {L"コマンドﾞ数", L"デバイス番号", L"選択コード", L"オフセット", L"サイズ",
                                L"リターンコード", L"軸番号（ビット指定）", L"通信データ領域", L"ＳＭＯＮコマンド",
                                L"Ｉ／Ｏ入力", L"補間データ数読込み", L"補間データセット", L"ＳＭＯＮデータ",
                                L"補間データ数", L"Ｉ／Ｏ入力データ"};
    for (int i = 0; i < 15; ++i) EXPECT_EQ(Text(dlg, kRowIds[i]), texts[i]) << kRowIds[i];
    EXPECT_EQ(Text(dlg, IDC_LOG_TRIGCHK), L"トリガ設定");
    EXPECT_EQ(Text(dlg, IDC_LOG_STANDARD), L"標準に設定");
    EXPECT_EQ(Text(dlg, IDCANCEL), L"キャンセル");
    // The two-line label keeps its line break.
    bool found = false;
    for (HWND c = GetWindow(dlg, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT))
        found |= WindowText(c) == L"トリガ後データ\nサイズ（ＫＢ）";
    EXPECT_TRUE(found);
    const struct { int id; std::vector<std::wstring> items; } lists[] = {
        {IDC_LOG_TARGETTYPE, {L"受信領域", L"送信領域"}},
        {IDC_LOG_TRIGLOGIC, {L"!=", L"==", L">", L">=", L"<=", L"<", L"AND", L"XOR"}},
        {IDC_LOG_TARGETSIZE, {L"1", L"2", L"3", L"4"}},
    };
    for (const auto& l : lists) {
        ASSERT_EQ(ComboCount(dlg, l.id), static_cast<int>(l.items.size())) << l.id;
        for (size_t i = 0; i < l.items.size(); ++i) EXPECT_EQ(ComboItem(dlg, l.id, static_cast<int>(i)), l.items[i]);
    }
    EXPECT_EQ(ComboCount(dlg, IDC_LOG_TARGETCH), 15);
    EXPECT_EQ(ComboItem(dlg, IDC_LOG_TARGETCH, 14), L"15");
    EXPECT_EQ(ComboCount(dlg, IDC_LOG_TARGETOFFSET), 16);
    EXPECT_EQ(ComboItem(dlg, IDC_LOG_TARGETOFFSET, 0), L"0");
    SendHelp(dlg);
    EXPECT_EQ(help_.topics, std::vector<unsigned>{10070});
}

TEST_F(LogDialog, DllOpensWithTheStoredValues) {
    SetDword(kDll, "TrigData", 0xAB);
    SetDword(kDll, "TargetCH", 15);
    SetDword(kDll, "TargetOffset", 9);
    SetDword(kDll, "TrigLogic", 6);
    SetDword(kDll, "LogSize", 123);
    SetDword(kDll, "AfterTrigDataSize", 0);
    SetDword(kDllItems, "DinIn", 1);
    SetDword(kDllItems, "Sourceadd", 0);
    HWND dlg = OpenDll();
    EXPECT_EQ(Text(dlg, IDC_LOG_TRIGDATA), L"ab");
    EXPECT_EQ(Text(dlg, IDC_LOG_SIZE_EDIT), L"123");
    EXPECT_EQ(Text(dlg, IDC_LOG_AFTERSIZE), L"0");
    EXPECT_EQ(ComboSel(dlg, IDC_LOG_TARGETCH), 14);
    EXPECT_EQ(ComboSel(dlg, IDC_LOG_TARGETOFFSET), 9);
    EXPECT_EQ(ComboSel(dlg, IDC_LOG_TRIGLOGIC), 6);
    EXPECT_EQ(ComboSel(dlg, IDC_LOG_FILEMAX), 7);
    EXPECT_EQ(ComboSel(dlg, IDC_LOG_TARGETSIZE), 0);
    EXPECT_TRUE(Checked(dlg, IDC_LOG_DININ));
    EXPECT_FALSE(Checked(dlg, IDC_LOG_SOURCEADD));
    EXPECT_TRUE(Checked(dlg, IDC_LOG_SMONIN));
    EXPECT_FALSE(Checked(dlg, IDC_LOG_SMONOUT));
    // OK with the lists unchanged stores the same values again.
    Click(dlg, IDOK);
    EXPECT_EQ(FinishedResult(dlg), 1);
    EXPECT_EQ(GetDword(kDll, "TargetCH"), 15u);
    EXPECT_EQ(GetDword(kDll, "TargetOffset"), 9u);
    EXPECT_EQ(GetDword(kDll, "TrigData"), 0xABu);
    EXPECT_EQ(GetDword(kDll, "TargetSize"), 1u);
}

TEST_F(LogDialog, DllTriggerValueInHexadecimal) {
    const struct { const wchar_t* typed; DWORD stored; } cases[] = {
        {L"1F", 0x1F}, {L"ab", 0xAB}, {L"xyz", 0}, {L"zz9", 0}, {L"-1", 0xFFFFFFFF},
        {L"123456789", 0xFFFFFFFF}, {L" 7g", 7},
    };
    for (const auto& c : cases) {
        HWND dlg = OpenDll();
        SetText(dlg, IDC_LOG_TRIGDATA, c.typed);
        Click(dlg, IDOK);
        EXPECT_EQ(GetDword(kDll, "TrigData"), c.stored) << Narrow(c.typed);
    }
    SetDword(kDll, "TrigData", 0x1F);
    EXPECT_EQ(Text(OpenDll(), IDC_LOG_TRIGDATA), L"1f");
}

TEST_F(LogDialog, DllDecimalFieldsUnsignedWithSignAndOverflow) {
    const struct { const wchar_t* typed; DWORD stored; } cases[] = {
        {L"2000", 2000}, {L"-1", 0xFFFFFFFF}, {L"4294967296", 0xFFFFFFFF}, {L"12ab", 12}, {L"", 0},
    };
    for (const auto& c : cases) {
        HWND dlg = OpenDll();
        SetText(dlg, IDC_LOG_SIZE_EDIT, c.typed);
        SetText(dlg, IDC_LOG_AFTERSIZE, c.typed);
        Click(dlg, IDOK);
        EXPECT_EQ(GetDword(kDll, "LogSize"), c.stored) << Narrow(c.typed);
        EXPECT_EQ(GetDword(kDll, "AfterTrigDataSize"), c.stored) << Narrow(c.typed);
    }
}

TEST_F(LogDialog, DllTriggerSwitchEnablesTheTriggerControls) {
    const struct { DWORD stored; bool ticked, enabled; } cases[] = {{0, false, false}, {1, true, true}, {2, false, true}};
    for (const auto& c : cases) {
        SetDword(kDll, "TrigChk", c.stored);
        HWND dlg = OpenDll();
        EXPECT_EQ(Checked(dlg, IDC_LOG_TRIGCHK), c.ticked) << c.stored;
        for (int id : kTriggerIds) EXPECT_EQ(Enabled(dlg, id), c.enabled) << c.stored << " control " << id;
        Click(dlg, IDOK);
        EXPECT_EQ(GetDword(kDll, "TrigChk"), c.ticked ? 1u : 0u) << c.stored;  // 2 stores 0
    }
    HWND dlg = OpenDll();
    SetCheck(dlg, IDC_LOG_TRIGCHK, true);
    Click(dlg, IDC_LOG_TRIGCHK);
    for (int id : kTriggerIds) EXPECT_TRUE(Enabled(dlg, id)) << id;
    SetText(dlg, IDC_LOG_TRIGDATA, L"35");
    SetCheck(dlg, IDC_LOG_TRIGCHK, false);
    Click(dlg, IDC_LOG_TRIGCHK);
    for (int id : kTriggerIds) EXPECT_FALSE(Enabled(dlg, id)) << id;
    Click(dlg, IDOK);  // disabled contents are stored all the same
    EXPECT_EQ(GetDword(kDll, "TrigData"), 0x35u);
    EXPECT_EQ(GetDword(kDll, "TrigChk"), 0u);
}

TEST_F(LogDialog, DllStandardThenCancelLeavesTheRegistry) {
    SetDword(kDll, "TrigChk", 1);
    SetDword(kDll, "TargetCH", 4);
    SetDword(kDllItems, "SmonIn", 0);
    SetDword(kDllItems, "DinOut", 1);
    std::vector<DWORD> before = Snapshot();
    HWND dlg = OpenDll();
    Click(dlg, IDC_LOG_STANDARD);
    EXPECT_FALSE(Checked(dlg, IDC_LOG_TRIGCHK));
    for (int id : kTriggerIds) EXPECT_FALSE(Enabled(dlg, id));
    EXPECT_EQ(Text(dlg, IDC_LOG_SIZE_EDIT), L"1000");
    EXPECT_EQ(Text(dlg, IDC_LOG_TRIGDATA), L"99");
    EXPECT_EQ(Text(dlg, IDC_LOG_AFTERSIZE), L"1");
    for (int i = 0; i < 15; ++i) EXPECT_EQ(Checked(dlg, kRowIds[i]), i < 8 || i == 12) << kRowNames[i];
    const struct { int id, sel; } sels[] = {{IDC_LOG_FILEMAX, 7}, {IDC_LOG_TARGETTYPE, 0}, {IDC_LOG_TRIGLOGIC, 0},
                                            {IDC_LOG_TARGETCH, 0}, {IDC_LOG_TARGETOFFSET, 2}, {IDC_LOG_TARGETSIZE, 0}};
    for (const auto& s : sels) EXPECT_EQ(ComboSel(dlg, s.id), s.sel) << s.id;
    Click(dlg, IDCANCEL);
    EXPECT_EQ(FinishedResult(dlg), 1);
    EXPECT_EQ(Snapshot(), before);
}

TEST_F(LogDialog, DllStandardThenOkStoresTheDefaultsInOrder) {
    for (const char* n : kRowNames) SetDword(kDllItems, n, 0);
    SetDword(kDll, "TrigChk", 1);
    SetDword(kDll, "TargetOffset", 0);
    HWND dlg = OpenDll();
    Click(dlg, IDC_LOG_STANDARD);
    Click(dlg, IDOK);
    for (const auto& s : vxreg::kDllValues) {
        std::string n = s.name;
        if (n == "Logging" || n == "LoggingPath" || n == "StartLogMessage" || n == "LogFileCnt") continue;
        EXPECT_EQ(GetDword(kDll, s.name), s.def) << s.name;
    }
    for (const auto& s : vxreg::kDllLogItems) EXPECT_EQ(GetDword(kDllItems, s.name), s.standard) << s.name;
}

TEST_F(LogDialog, DllRegistryFailureDuringOkKeepsItOpen) {
    HWND dlg = OpenDll();
    SetCheck(dlg, IDC_LOG_TRIGCHK, true);
    SetText(dlg, IDC_LOG_TRIGDATA, L"55");
    SetCheck(dlg, IDC_LOG_DININ, true);
    ComboSelect(dlg, IDC_LOG_TARGETCH, 9);
    DeleteTree(kDllItems);
    Click(dlg, IDOK);
    EXPECT_EQ(FinishedResult(dlg), -1);
    EXPECT_EQ(GetDword(kDll, "TrigChk"), 1u);      // steps before the failure stay stored
    EXPECT_EQ(GetDword(kDll, "TrigData"), 0x55u);
    EXPECT_EQ(GetDword(kDll, "TargetCH"), 1u);     // the choices come after it
    EXPECT_FALSE(KeyExists(kDllItems));
}

TEST_F(LogDialog, DllMissingChoiceLeavesLaterListsEmpty) {
    DeleteValue(kDll, "TargetCH");
    SetDword(kDll, "TargetType", 5);  // outside the list: no selection
    HWND dlg = OpenDll();
    EXPECT_EQ(ComboCount(dlg, IDC_LOG_FILEMAX), 8);
    EXPECT_EQ(ComboSel(dlg, IDC_LOG_TARGETTYPE), -1);
    EXPECT_EQ(ComboCount(dlg, IDC_LOG_TRIGLOGIC), 8);
    for (int id : {IDC_LOG_TARGETCH, IDC_LOG_TARGETOFFSET, IDC_LOG_TARGETSIZE}) EXPECT_EQ(ComboCount(dlg, id), 0) << id;
    Click(dlg, IDOK);  // nothing selected: index 0 + first value
    EXPECT_EQ(GetDword(kDll, "TargetType"), 0u);
    EXPECT_EQ(GetDword(kDll, "TargetCH"), 1u);
    EXPECT_EQ(GetDword(kDll, "TargetOffset"), 0u);
    EXPECT_EQ(GetDword(kDll, "TargetSize"), 1u);
}
