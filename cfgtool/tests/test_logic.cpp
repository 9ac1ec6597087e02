// Window-free parts of the utility: number conversions, texts made from the Device0
// values, registry access, the settings read and stored by the dialogs, help loading.
#include <gtest/gtest.h>

#include "cfg_util.h"
#include "device.h"
#include "devsettings.h"
#include "help.h"
#include "logsettings.h"
#include "numconv.h"
#include "regkey.h"
#include "service.h"
#include "settings_layout.h"
#include "tabpages.h"

using namespace cfgtest;

TEST(NumberConversion, SignedDecimal) {
    struct Case { const wchar_t* text; int32_t want; } cases[] = {
        {L"1000", 1000},         {L"  42", 42},           {L"\t+7", 7},
        {L"-1", -1},             {L"12abc", 12},          {L"abc", 0},
        {L"", 0},                {L"-", 0},               {L"2147483647", INT32_MAX},
        {L"2147483648", INT32_MAX}, {L"99999999999999999999", INT32_MAX},
        {L"-2147483648", INT32_MIN}, {L"-2147483649", INT32_MIN}, {L"1 2", 1},
        {L"--5", 0},             {L"0x10", 0},
    };
    for (const auto& c : cases) EXPECT_EQ(ParseSignedDecimal(c.text), c.want) << Narrow(c.text);
    // The stored 32 bits of minus one are all set.
    EXPECT_EQ(static_cast<uint32_t>(ParseSignedDecimal(L"-1")), 0xFFFFFFFFu);
}

TEST(NumberConversion, UnsignedInBase) {
    struct Case { const wchar_t* text; int base; uint32_t want; } cases[] = {
        {L"1F", 16, 0x1F},         {L"ab", 16, 0xAB},          {L"AbCd", 16, 0xABCD},
        {L"xyz", 16, 0},           {L"g1", 16, 0},             {L"1fg", 16, 0x1F},
        {L"  ff", 16, 0xFF},       {L"-1", 16, 0xFFFFFFFF},    {L"-1", 10, 0xFFFFFFFF},
        {L"-2", 10, 0xFFFFFFFE},   {L"+10", 10, 10},           {L"ffffffff", 16, 0xFFFFFFFF},
        {L"100000000", 16, 0xFFFFFFFF}, {L"-100000000", 16, 0xFFFFFFFF},
        {L"4294967295", 10, 0xFFFFFFFF}, {L"4294967296", 10, 0xFFFFFFFF},
        {L"12.5", 10, 12},         {L"", 10, 0},               {L"1a", 10, 1},
        {L"0x1F", 16, 0},
    };
    for (const auto& c : cases) EXPECT_EQ(ParseUnsigned(c.text, c.base), c.want) << Narrow(c.text) << " base " << c.base;
}

TEST(DeviceTexts, LabelFromStoredSerial) {
    struct Case { DWORD stored; const wchar_t* want; } cases[] = {
        {0xFFFFFFFF, L"VX-7105 / SN-0001"}, {static_cast<DWORD>(-42), L"VX-7105 / SN-0042"},
        {0, L"VX-7105 / SN-0000"},          {static_cast<DWORD>(-9999), L"VX-7105 / SN-9999"},
        {1, L"VX-7105 / SN-65535"},         {65535, L"VX-7105 / SN-0001"},
        {static_cast<DWORD>(-12345), L"VX-7105 / SN-12345"},
    };
    for (const auto& c : cases) EXPECT_EQ(DeviceLabelFromSerial(c.stored), c.want) << c.stored;
}

TEST(DeviceTexts, Formats) {
    EXPECT_EQ(HexUpperText(10), L"A");
    EXPECT_EQ(HexUpperText(0xE0100000), L"E0100000");
    EXPECT_EQ(DecimalText(3), L"3");
    EXPECT_EQ(AddressRangeText(0xE0100000, 0x20000), L"E0100000 - E0120000");
}

TEST(ServiceTexts, StateTextOfEveryState) {
    struct Case { DWORD raw; const wchar_t* want; } cases[] = {
        {SERVICE_STOPPED, L"（停止中）"},          {SERVICE_START_PENDING, L"（起動済み）"},
        {SERVICE_STOP_PENDING, L"（起動済み）"},    {SERVICE_RUNNING, L"（起動済み）"},
        {SERVICE_CONTINUE_PENDING, L"（起動済み）"}, {SERVICE_PAUSE_PENDING, L"（起動済み）"},
        {SERVICE_PAUSED, L"（起動済み）"},
    };
    for (const auto& c : cases) EXPECT_STREQ(DriverStateText(DriverStateFromRaw(c.raw)), c.want) << c.raw;
    EXPECT_STREQ(DriverStateText(DriverState::Unavailable), L"（停止中）");
    EXPECT_STREQ(DeviceStatusText(DriverState::Stopped), L"デバイスドライバが起動されていません。");
    EXPECT_STREQ(DeviceStatusText(DriverState::Unavailable), L"デバイスドライバが起動されていません。");
    EXPECT_STREQ(DeviceStatusText(DriverState::Started), L"デバイスは正常に動作しています。");
}

TEST(ServiceTexts, MissingServiceIsUnavailable) {
    ASSERT_FALSE(KeyExists(vxreg::kServiceKey));
    EXPECT_EQ(QueryDriverService(), DriverState::Unavailable);
    EXPECT_FALSE(StartDriverService());
    EXPECT_FALSE(StopDriverService());
}

TEST(LogPaths, ShownWithoutPrefixStoredWithIt) {
    EXPECT_EQ(ShownLogPath(L"\\??\\D:\\log\\lib.log"), L"D:\\log\\lib.log");
    EXPECT_EQ(ShownLogPath(L"\\??\\"), L"");
    EXPECT_EQ(ShownLogPath(L"C:"), L"");
    EXPECT_EQ(ShownLogPath(L""), L"");
    EXPECT_EQ(StoredLogPath(L""), L"\\??\\");
    EXPECT_EQ(StoredLogPath(L"C:\\a.log"), L"\\??\\C:\\a.log");
}

class RegistryTest : public ::testing::Test {
protected:
    void SetUp() override { InstallSettingsTree(); }
    void TearDown() override {
        DeleteTree(vxreg::kServiceKey);
        EXPECT_FALSE(KeyExists(vxreg::kServiceKey));
    }
    ServiceKeyOnly service_;
};

TEST_F(RegistryTest, PresenceCheckFollowsTheKeys) {
    EXPECT_EQ(CheckDriverPresence(), DriverPresence::DevicePresent);
    DeleteTree(vxreg::kDevice0Key);
    EXPECT_EQ(CheckDriverPresence(), DriverPresence::NotStarted);
    DeleteTree(vxreg::kServiceKey);
    EXPECT_EQ(CheckDriverPresence(), DriverPresence::NotInstalled);
}

TEST_F(RegistryTest, DeviceInfoStopsAtFirstMissingValue) {
    DeviceInfo all = ReadDeviceInfo();
    EXPECT_TRUE(all.complete);
    EXPECT_EQ(all.count, 9);
    EXPECT_EQ(all.values[kIrq], 10u);
    EXPECT_EQ(all.values[kSerialNumber], 0xFFFFFFFFu);
    DeleteValue(vxreg::kDevice0Key, "BaseAddress2");
    DeviceInfo part = ReadDeviceInfo();
    EXPECT_FALSE(part.complete);
    EXPECT_EQ(part.count, 3);
    EXPECT_EQ(part.values[kBaseAddress0], 0xE0100000u);
    EXPECT_EQ(part.values[kIrq], 0u);  // never read
}

TEST_F(RegistryTest, DeviceLabelNeedsTheSerial) {
    std::wstring label;
    SetDword(vxreg::kDevice0Key, "SerialNumber", static_cast<DWORD>(-7));
    ASSERT_TRUE(ReadDeviceLabel(label));
    EXPECT_EQ(label, L"VX-7105 / SN-0007");
    DeleteValue(vxreg::kDevice0Key, "SerialNumber");
    label = L"unchanged";
    EXPECT_FALSE(ReadDeviceLabel(label));
    EXPECT_EQ(label, L"unchanged");
}

TEST_F(RegistryTest, DwordReadWhateverItsTypeButFourBytesOnly) {
    HKEY k;
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, vxreg::kDevice0Key, 0, KEY_ALL_ACCESS, &k), ERROR_SUCCESS);
    DWORD v = 0x12345678;
    RegSetValueExA(k, "Binary4", 0, REG_BINARY, reinterpret_cast<BYTE*>(&v), 4);
    RegSetValueExA(k, "Long", 0, REG_BINARY, reinterpret_cast<const BYTE*>("12345678"), 8);
    RegCloseKey(k);
    DWORD got = 0;
    EXPECT_TRUE(RegReadDword(vxreg::kDevice0Key, "Binary4", got));
    EXPECT_EQ(got, 0x12345678u);
    EXPECT_FALSE(RegReadDword(vxreg::kDevice0Key, "Long", got));
    EXPECT_FALSE(RegReadDword(vxreg::kDevice0Key, "Absent", got));
    EXPECT_FALSE(RegWriteDword("SYSTEM\\CurrentControlSet\\Services\\vx710s10\\NoSuchKey", "X", 1));
    EXPECT_FALSE(KeyExists("SYSTEM\\CurrentControlSet\\Services\\vx710s10\\NoSuchKey"));  // never created
}

TEST_F(RegistryTest, LogPathStoredAsStringWithTerminator) {
    ASSERT_TRUE(StoreLogPath(vxreg::kSysKey, L"D:\\log\\drv.log"));
    EXPECT_EQ(GetValueType(vxreg::kSysKey, "LoggingPath"), static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(GetString(vxreg::kSysKey, "LoggingPath"), L"\\??\\D:\\log\\drv.log");
    EXPECT_EQ(GetValueSize(vxreg::kSysKey, "LoggingPath"), (18u + 1u) * 2u);
    LogKeyRead r = ReadLogKey(vxreg::kSysKey);
    EXPECT_TRUE(r.complete);
    EXPECT_EQ(r.shownPath, L"D:\\log\\drv.log");
    EXPECT_EQ(r.logging.value, 0u);
}

TEST_F(RegistryTest, LogKeyReadStopsAtMissingLogging) {
    DeleteValue(vxreg::kDllKey, "Logging");
    LogKeyRead r = ReadLogKey(vxreg::kDllKey);
    EXPECT_TRUE(r.pathOk);
    EXPECT_EQ(r.shownPath, L"C:\\vx710d10.log");
    EXPECT_FALSE(r.logging.ok);
    EXPECT_FALSE(r.complete);
}

TEST_F(RegistryTest, StandardCountersWriteThreeValues) {
    SetDword(vxreg::kDllKey, "LogFileCnt", 5);
    SetDword(vxreg::kDllKey, "StartLogMessage", 0);
    SetDword(vxreg::kSysKey, "StartLogMessage", 0);
    ASSERT_TRUE(StoreStandardLogCounters());
    EXPECT_EQ(GetDword(vxreg::kDllKey, "LogFileCnt"), 0u);
    EXPECT_EQ(GetDword(vxreg::kDllKey, "StartLogMessage"), 1u);
    EXPECT_EQ(GetDword(vxreg::kSysKey, "StartLogMessage"), 1u);
    // Without the Sys key the Dll values are still written: they come first.
    DeleteTree(vxreg::kSysKey);
    SetDword(vxreg::kDllKey, "LogFileCnt", 4);
    EXPECT_FALSE(StoreStandardLogCounters());
    EXPECT_EQ(GetDword(vxreg::kDllKey, "LogFileCnt"), 0u);
}

TEST_F(RegistryTest, SysLogSettingsReadInOrderAndStoreStopsAtFailure) {
    SetDword(vxreg::kSysLogItemsKey, "Offset", 0);
    SysLogRead r = ReadSysLogSettings();
    EXPECT_EQ(r.count, 10);
    EXPECT_EQ(r.logSize, 1000u);
    EXPECT_EQ(r.items[3], 0u);
    EXPECT_EQ(r.fileMax, 7u);
    DeleteValue(vxreg::kSysLogItemsKey, "Size");  // row 5
    EXPECT_EQ(ReadSysLogSettings().count, 5);

    SysLogForm f;
    f.logSize = -1;
    f.fileMaxIndex = 2;
    DeleteTree(vxreg::kSysLogItemsKey);
    EXPECT_FALSE(StoreSysLogSettings(f));
    EXPECT_EQ(GetDword(vxreg::kSysKey, "LogSize"), 0xFFFFFFFFu);  // stored before the failure
    EXPECT_EQ(GetDword(vxreg::kSysKey, "LogFileMax"), 7u);       // after it: untouched
}

TEST_F(RegistryTest, DllLogSettingsRoundTrip) {
    DllLogForm f;
    f.trigChk = 1;
    f.numeric[0] = 2000;
    f.numeric[1] = 0x1F;
    f.numeric[2] = 0;
    for (int i = 0; i < kDllRowCount; ++i) f.items[i] = i % 2;
    const int index[kDllChoiceCount] = {3, 1, 7, 14, 15, -1};
    for (int i = 0; i < kDllChoiceCount; ++i) f.choiceIndex[i] = index[i];
    ASSERT_TRUE(StoreDllLogSettings(f));
    const struct { const char* name; DWORD want; } stored[] = {
        {"TrigChk", 1}, {"LogSize", 2000}, {"TrigData", 0x1F}, {"AfterTrigDataSize", 0},
        {"LogFileMax", 3}, {"TargetType", 1}, {"TrigLogic", 7}, {"TargetCH", 15},
        {"TargetOffset", 15}, {"TargetSize", 1},  // nothing selected: index 0 + first value
    };
    for (const auto& s : stored) EXPECT_EQ(GetDword(vxreg::kDllKey, s.name), s.want) << s.name;
    for (int i = 0; i < kDllRowCount; ++i)
        EXPECT_EQ(GetDword(vxreg::kDllLogItemsKey, kLogItemRows[i].name), static_cast<DWORD>(i % 2))
            << kLogItemRows[i].name;
    // ByteCount and CheckSum are not the dialog's to write.
    EXPECT_EQ(GetDword(vxreg::kDllLogItemsKey, "ByteCount"), 1u);
    EXPECT_EQ(GetDword(vxreg::kDllLogItemsKey, "CheckSum"), 1u);
    DllLogRead r = ReadDllLogSettings();
    EXPECT_EQ(r.count, kDllReadTotal);
    EXPECT_EQ(r.choice[3], 15u);
    EXPECT_EQ(r.numeric[1], 0x1Fu);
}

TEST_F(RegistryTest, DllLogReadStopsAtFirstMissingChoice) {
    DeleteValue(vxreg::kDllKey, "TrigLogic");
    DllLogRead r = ReadDllLogSettings();
    EXPECT_EQ(r.count, 1 + kDllNumericCount + kDllRowCount + 2);
    DeleteValue(vxreg::kDllKey, "TrigChk");
    EXPECT_EQ(ReadDllLogSettings().count, 0);
}

TEST(Layout, PixelValuesFollowTheDialogUnits) {
    // With the reference font the values are used as they are.
    for (int px : {283, 524, 765, 456, 277, 294}) EXPECT_EQ(ScaleToUnits(px, 12, 12), px);
    EXPECT_EQ(ScaleToUnits(456, 6, 6), 456);
    EXPECT_EQ(ScaleToUnits(283, 13, 12), 307);  // 306.58 rounded
    EXPECT_EQ(ScaleToUnits(277, 13, 12), 300);
    EXPECT_EQ(ScaleToUnits(294, 15, 12), 368);  // 120 dots per inch
    EXPECT_EQ(ScaleToUnits(283, 0, 12), 283);   // no units known: unchanged
}

TEST(Help, PathAndLoadingAreStable) {
    char sys[MAX_PATH];
    GetSystemDirectoryA(sys, MAX_PATH);
    EXPECT_EQ(std::string(HelpFilePath()), std::string(sys) + "\\vx710cfg.chm");
    HelpRecorder rec;
    // The help file does not exist: HTML Help is still asked, nothing hangs.
    bool first = ShowHelpTopic(kTopicMainDevice);
    EXPECT_EQ(first, HelpLibraryLoaded());
    EXPECT_EQ(ShowHelpTopic(kTopicDllLog), first);
    EXPECT_EQ(rec.topics, (std::vector<unsigned>{10030, 10070}));
    MSG msg{};
    msg.message = WM_NULL;
    EXPECT_FALSE(HelpPreTranslate(&msg));
}
