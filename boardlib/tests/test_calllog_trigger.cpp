// The stop trigger, and registry values that cannot be trusted.
#include <cstring>

#include "qrlink00.h"
#include "test_calllog_fixture.h"

using namespace qrl;
using namespace logtest;

namespace {

class TriggerTest : public CallLogTest {
protected:
    void SetUp() override {
        CallLogTest::SetUp();
        Dll("TrigChk", 1);
        Dll("TargetType", 1);  // send area unless a test says otherwise
        Dll("TargetCH", 3);
        Dll("TargetOffset", 1);
        Dll("TargetSize", 1);
        Dll("TrigLogic", 1);
        Dll("TrigData", 0x35);
        Dll("AfterTrigDataSize", 0);
    }
    // True when the log was ended by the trigger: file closed, Logging 0 written.
    bool Ended() { return files().open_now == 0 && DllValue("Logging") == 0; }
};

}  // namespace

TEST_F(TriggerTest, AxNcToTheTargetStationStopsAtOnce) {
    LogStart();
    Send(Command(2, kTplNc));  // code 0x35, but station 2
    EXPECT_FALSE(Ended());
    Send(Command(3, kTplFeed));  // station 3, code 0x36
    EXPECT_FALSE(Ended());
    Send(Command(3, kTplNc));
    EXPECT_TRUE(Ended());
    EXPECT_EQ(Records(), 3u) << "the record of the firing exchange is written before the trigger";
    Send(Command(3, kTplNc));
    Send(Command(1, kTplFeed));
    EXPECT_EQ(Records(), 3u) << "stays off";
    EXPECT_EQ(files().opened.size(), 1u);

    // Logging = 1 again (the utility's start button) opens the next file of the ring.
    Dll("Logging", 1);
    Send(Command(1, kTplFeed));
    EXPECT_EQ(files().opened.back(), Suffixed(1));
    EXPECT_EQ(Records(Suffixed(1)), 1u);
}

TEST_F(TriggerTest, NeedsAnOpenBoardAndTrigChk) {
    Board().open = 0;
    LogStart();
    Send(Command(3, kTplNc));
    EXPECT_FALSE(Ended());
    Board().open = 1;
    Dll("TrigChk", 0);
    LogStart();
    Send(Command(3, kTplNc));
    EXPECT_FALSE(Ended());
    Dll("TrigChk", 2);
    LogStart();
    Send(Command(3, kTplNc));
    EXPECT_FALSE(Ended()) << "only 1 arms the trigger";
}

TEST_F(TriggerTest, EveryComparisonOperator) {
    const struct {
        uint32_t logic, v, t;
        bool fires;
    } cases[] = {
        {0, 0x35, 0x35, false}, {0, 0x36, 0x35, true},
        {1, 0x35, 0x35, true},  {1, 0x36, 0x35, false},
        {2, 0x36, 0x35, true},  {2, 0x35, 0x35, false}, {2, 0x34, 0x35, false},
        {3, 0x35, 0x35, true},  {3, 0x36, 0x35, true},  {3, 0x34, 0x35, false},
        {4, 0x35, 0x35, true},  {4, 0x34, 0x35, true},  {4, 0x36, 0x35, false},
        {5, 0x34, 0x35, true},  {5, 0x35, 0x35, false}, {5, 0x36, 0x35, false},
        {6, 0x01, 0x80, true},  {6, 0x00, 0x80, false}, {6, 0x01, 0x00, false},
        {7, 0x0f, 0x05, false}, {7, 0x0a, 0x05, true},  {7, 0x04, 0x05, true}, {7, 0x00, 0x00, false},
        {8, 0x35, 0x35, false}, {0xFFFFFFFF, 0x36, 0x35, false},
        // Comparisons are unsigned: 0xff is above 0x01.
        {2, 0xff, 0x01, true},  {5, 0xff, 0x01, false},
    };
    for (auto& c : cases) {
        Dll("Logging", 1);
        Dll("TrigLogic", c.logic);
        Dll("TrigData", c.t);
        LogStart();
        Send(Entry(kSelWrite, CommandArea(3), {0x03, static_cast<uint8_t>(c.v)}));
        EXPECT_EQ(Ended(), c.fires) << "logic " << c.logic << " v " << c.v << " T " << c.t;
    }
}

TEST_F(TriggerTest, ValueIsTheFirstTargetSizeBytesMostSignificantFirst) {
    const struct {
        uint32_t offset, size, t;
        bool fires;
    } cases[] = {
        {3, 2, 0x1234, true},     {3, 2, 0x12, false},       {3, 2, 0x3412, false},
        {3, 1, 0x12, true},       {4, 1, 0x34, true},        {3, 3, 0x123456, true},
        {3, 4, 0x12345678, true}, {12, 4, 0xa1a2a3a4, true}, {15, 4, 0xf0e0d0c0, true},
        {0, 1, 0x03, true},       {15, 1, 0xf0, true},
    };
    uint8_t data[36] = {0x03, 0x20, 0, 0x12, 0x34, 0x56, 0x78};
    data[12] = 0xa1, data[13] = 0xa2, data[14] = 0xa3, data[15] = 0xa4;
    data[16] = 0xe0, data[17] = 0xd0, data[18] = 0xc0;
    for (auto& c : cases) {
        data[15] = c.offset == 15 ? 0xf0 : 0xa4;
        Dll("Logging", 1);
        Dll("TargetOffset", c.offset);
        Dll("TargetSize", c.size);
        Dll("TrigData", c.t);
        LogStart();
        CommandBuffer b;
        SetDataEntry(b, 0, kSelWrite, CommandArea(3), data, 36);
        Send(b);
        EXPECT_EQ(Ended(), c.fires) << "offset " << c.offset << " size " << c.size << " T " << std::hex << c.t;
    }
}

TEST_F(TriggerTest, BudgetOf2000CharactersAfterTheTrigger) {
    Dll("AfterTrigDataSize", 2);
    LogStart();
    Send(Command(3, kTplNc));  // fires: record 1, then the budget starts
    EXPECT_FALSE(Ended());
    // One-entry records of 63 characters: 31 fit in 2000 (1953), the 32nd crosses.
    for (int i = 0; i < 31; ++i) Send(Command(3, kTplNc));
    EXPECT_FALSE(Ended()) << "while the budget lasts the trigger is not evaluated again";
    EXPECT_EQ(Records(), 32u);
    Send(Command(1, kTplFeed));
    EXPECT_TRUE(Ended());
    EXPECT_EQ(Records(), 32u) << "the record that crosses the budget is not written";
    const auto lines = Lines();
    EXPECT_EQ(lines.back().substr(28, 4), "0335") << "the last record written is the 31st after the trigger";
    ExpectSound();
}

TEST_F(TriggerTest, BudgetIsClearedByTheNextStart) {
    Dll("AfterTrigDataSize", 1);
    LogStart();
    Send(Command(3, kTplNc));
    for (int i = 0; i < 10; ++i) Send(Command(1, kTplFeed));
    LogStart();  // a new log: no trigger pending, the count starts again
    for (int i = 0; i < 20; ++i) Send(Command(1, kTplFeed));
    EXPECT_FALSE(Ended()) << "20 records after a start without trigger";
    EXPECT_EQ(Records(Suffixed(1)), 20u);
}

TEST_F(TriggerTest, UnreadableBudgetStopsAtOnce) {
    reg().RemoveValue(kDll, "AfterTrigDataSize");
    LogStart();
    Send(Command(3, kTplNc));
    EXPECT_TRUE(Ended());
}

TEST_F(TriggerTest, ReceiveAreaTriggerOnTheReturnedResponse) {
    Dll("TargetType", 0);
    drv().response[3][1] = 0x35;
    LogStart();
    Send(Command(3, kTplNc));
    EXPECT_FALSE(Ended()) << "a receive-area trigger ignores what is sent";
    Send(Read(2));
    EXPECT_FALSE(Ended());
    Send(Read(3));
    EXPECT_TRUE(Ended()) << "the returned response code 0x35 of station 3";
    EXPECT_EQ(Records(), 3u);

    // Without SmonIn the read is not logged after the transfer, and not evaluated.
    Dll("Logging", 1);
    Switch("SmonIn", 0);
    LogStart();
    Send(Read(3));
    EXPECT_FALSE(Ended());
    // A send-area trigger does not look at what a read returns.
    Dll("TargetType", 1);
    Switch("SmonIn", 1);
    LogStart();
    Send(Read(3));
    EXPECT_FALSE(Ended());
}

TEST_F(TriggerTest, TargetIsTheFirstEntryAddressingTheStation) {
    const struct {
        const char* name;
        int32_t select, offset;
        bool fires;
    } kinds[] = {
        {"command area", kSelWrite, CommandArea(3), true},
        {"response area", kSelRead, ResponseArea(3), true},
        {"axis data", kSelAxisData, CommandArea(3), true},
        {"interpolation data", kSelIpData, CommandArea(3), true},
        {"input read", kSelInput, CommandArea(3), true},
        {"I/O init", kSelIoInit, CommandArea(3), true},
        {"a read of the command area", kSelRead, CommandArea(3), false},
        {"second block", kSelWrite, CommandArea(3) + 32, true},
        {"board setting", kSelWrite, 2816, false},
        {"LkStart", kSelLkStart, CommandArea(3), false},
        {"AxdtClr", kSelAxdtClr, CommandArea(3), false},
        {"IpStrt", kSelIpStrt, CommandArea(3), false},
        {"IpNumGet", kSelIpNumGet, CommandArea(3), false},
        {"IpNumMax", kSelIpNumMax, CommandArea(3), false},
    };
    for (const char* n : vxreg::kCommandSwitches) Switch(n, 1);
    drv().station_echo = false;
    drv().response[3][1] = 0x35;
    for (auto& k : kinds) {
        for (uint32_t type : {0u, 1u}) {
            Dll("Logging", 1);
            Dll("TargetType", type);
            LogStart();
            Send(Entry(k.select, k.offset, {0x03, 0x35}));
            // A receive-area trigger looks only at what a read returns (the response
            // table below answers 0x35); a send-area trigger at what is sent.
            const bool expect = k.fires && (type == 1 || k.select == kSelRead);
            EXPECT_EQ(Ended(), expect) << k.name << " type " << type;
        }
    }
    // In a batch, the first entry for station 3 is the one compared.
    CommandBuffer b;
    uint8_t other[16] = {0x03, 0x36}, match[16] = {0x03, 0x35};
    SetDataEntry(b, 0, kSelWrite, CommandArea(1), match, 16);
    SetDataEntry(b, 1, kSelWrite, CommandArea(3), other, 16);
    SetDataEntry(b, 2, kSelWrite, CommandArea(3), match, 16);
    b.SetCount(3);
    Dll("Logging", 1);
    Dll("TargetType", 1);
    LogStart();
    Send(b);
    EXPECT_FALSE(Ended()) << "entry 1 is the target, and it does not match";
    std::memcpy(b.Data(1), match, 16);
    Send(b);
    EXPECT_TRUE(Ended());
    // Entries beyond CommandCount are not searched.
    std::memcpy(b.Data(1), other, 16);
    SetDataEntry(b, 0, kSelWrite, CommandArea(1), other, 16);
    SetDataEntry(b, 1, kSelWrite, CommandArea(2), other, 16);
    SetDataEntry(b, 2, kSelWrite, CommandArea(3), match, 16);
    b.SetCount(2);
    Dll("Logging", 1);
    LogStart();
    Send(b);
    EXPECT_FALSE(Ended());
}

// ---- untrusted registry values ----

TEST_F(TriggerTest, OutOfRangeTargetsNeverFireAndNeverReadOutside) {
    // With "!=" against a value no byte pattern has, any entry the trigger looks at fires.
    const struct {
        const char* name;
        uint32_t value;
    } offsets[] = {{"TargetOffset", 16}, {"TargetOffset", 35}, {"TargetOffset", 0xFFFFFFFF},
                   {"TargetOffset", 0x80000000}, {"TargetSize", 0}, {"TargetSize", 5},
                   {"TargetSize", 0xFFFFFFFF}, {"TargetCH", 0}, {"TargetCH", 16},
                   {"TargetCH", 0xFFFFFFFF}, {"TargetType", 2}, {"TargetType", 0xFFFFFFFF}};
    for (auto& c : offsets) {
        SetUp();
        Dll("TrigLogic", 0);
        Dll("TrigData", 0xFFFFFFFF);
        Dll(c.name, c.value);
        LogStart();
        for (int n = 0; n <= 15; ++n) {
            Send(Entry(kSelWrite, CommandArea(n), {0x03, 0x35}));
            Send(Read(n));
        }
        EXPECT_FALSE(Ended()) << c.name << " " << c.value;
        EXPECT_EQ(Records(), 32u) << c.name << " " << c.value;
        LogClose();
        files().files.clear();
        Dll("LogFileCnt", 0);
    }
    // The same settings in range do fire.
    SetUp();
    Dll("TrigLogic", 0);
    Dll("TrigData", 0xFFFFFFFF);
    Dll("TargetOffset", 15);
    Dll("TargetSize", 4);
    Dll("TargetCH", 15);
    LogStart();
    Send(Entry(kSelWrite, CommandArea(15), {0x03, 0x35}));
    EXPECT_TRUE(Ended());
}

TEST_F(TriggerTest, BudgetSaturatesInsteadOfWrapping) {
    // 4294968 x 1000 wraps to 704 in 32 bits.
    Dll("AfterTrigDataSize", 4294968);
    LogStart();
    Send(Command(3, kTplNc));
    for (int i = 0; i < 40; ++i) Send(Command(1, kTplFeed));  // 2520 characters
    EXPECT_FALSE(Ended());
    EXPECT_EQ(Records(), 41u);
    Dll("AfterTrigDataSize", 0xFFFFFFFF);
    Dll("Logging", 1);
    LogStart();
    Send(Command(3, kTplNc));
    for (int i = 0; i < 40; ++i) Send(Command(1, kTplFeed));
    EXPECT_FALSE(Ended());
}

TEST_F(CallLogTest, LogSizeSaturatesInsteadOfWrapping) {
    const uint32_t sizes[] = {4294968, 0xFFFFFFFF, 4294967};
    for (uint32_t size : sizes) {
        Dll("LogSize", size);
        files().opened.clear();
        LogStart();
        for (int i = 0; i < 40; ++i) Send(Command(1, kTplFeed));
        EXPECT_EQ(files().opened.size(), 1u) << "LogSize " << size << ": no rotation";
    }
}

TEST_F(CallLogTest, SettingsThatCannotWorkLeaveLoggingOff) {
    const struct {
        const char* name;
        const char* path;   // LoggingPath, nullptr: the value is missing
        uint32_t log_size;
        bool opens;         // a file open is attempted
        bool count_moves;   // LogFileCnt advanced
    } cases[] = {
        {"path without a colon", "\\??\\vx\\call.log", 1000, false, false},
        {"colon first", ":\\call.log", 1000, false, false},
        {"empty path", "", 1000, false, false},
        {"no LoggingPath", nullptr, 1000, false, false},
        {"LogSize 0", "\\??\\C:\\vx\\call.log", 0, false, false},
        {"file does not open", "\\??\\Q:\\nowhere\\call.log", 1000, true, true},
    };
    files().unopenable.insert("Q:\\nowhere\\call.log");
    for (auto& c : cases) {
        SetUp();
        if (c.path) {
            reg().SetString(kDll, "LoggingPath", c.path);
        } else {
            reg().RemoveValue(kDll, "LoggingPath");
        }
        Dll("LogSize", c.log_size);
        Dll("LogFileCnt", 0);
        files().opened.clear();
        LogStart();
        for (int i = 0; i < 5; ++i) {
            Send(Command(1, kTplFeed));
            Send(Read(1));
        }
        EXPECT_EQ(files().opened.size(), c.opens ? 1u : 0u) << c.name << ": tried once, not on every exchange";
        EXPECT_EQ(files().open_now, 0) << c.name;
        for (auto& f : files().files) EXPECT_TRUE(f.second.empty()) << c.name << ": " << f.first;
        EXPECT_EQ(DllValue("LogFileCnt"), c.count_moves ? 1u : 0u) << c.name;
        // Switching off and on tries again, and a sound setting then logs.
        reg().SetString(kDll, "LoggingPath", kStored);
        Dll("LogSize", 1000);
        Dll("Logging", 0);
        Send(Command(1, kTplFeed));
        Dll("Logging", 1);
        Send(Command(1, kTplFeed));
        EXPECT_EQ(files().open_now, 1) << c.name;
        LogClose();
        files().files.clear();
    }
}

TEST_F(CallLogTest, LoggingPathFromTheDriveLetterOn) {
    const struct {
        std::string stored;
        std::string opened;
    } cases[] = {
        {"\\??\\D:\\logs\\a.log", "D:\\logs\\a.log"},
        {"C:\\plain.log", "C:\\plain.log"},
        {"\\??\\C:\\x:y.log", "x:y.log"},  // the last colon counts
        {"\\??\\" + std::string(255 - 3, 'p') + ":\\", std::string(1, 'p') + ":\\"},
    };
    for (auto& c : cases) {
        reg().SetString(kDll, "LoggingPath", c.stored);
        Dll("LogFileCnt", 0);
        files().opened.clear();
        LogStart();
        EXPECT_EQ(files().opened, std::vector<std::string>{c.opened}) << c.stored;
    }
    // At most 259 characters are read; a longer value is no path at all.
    reg().SetString(kDll, "LoggingPath", "\\??\\C:\\" + std::string(260 - 7, 'a'));
    files().opened.clear();
    LogStart();
    EXPECT_TRUE(files().opened.empty());
    reg().SetString(kDll, "LoggingPath", "\\??\\C:\\" + std::string(259 - 7, 'a'));
    LogStart();
    EXPECT_EQ(files().opened.size(), 1u);
}

TEST_F(CallLogTest, RegistryFailuresAreSilent) {

    // No Dll key: nothing; the next exchange that finds it starts the log.
    auto saved = reg().keys[kDll];
    reg().RemoveKey(kDll);
    LogStart();
    Send(Command(1, kTplFeed));
    EXPECT_TRUE(files().opened.empty());
    reg().PutKey(kDll, saved);
    Send(Command(1, kTplFeed));
    EXPECT_EQ(files().opened.size(), 1u);
    EXPECT_EQ(Records(), 1u);

    // Board family not selected: no key set at all.
    LogClose();
    Board().family = 0;
    LogStart();
    Send(Command(1, kTplFeed));
    EXPECT_EQ(files().opened.size(), 1u);

}

// The Dll key may be readable but not writable (an application run by a standard
// user). A failed write-back must not cost logs: the ring's counter then lives in
// memory, so that every log start and rotation still moves on to the next file, and
// a trigger whose Logging = 0 cannot be stored holds logging off until the switch
// has been seen at 0 and then at 1, so that the file it kept is never reopened.
TEST_F(CallLogTest, FailedWriteBacksKeepTheRingMovingAndTheTriggeredFileKept) {
    reg().read_only = true;
    Dll("LogSize", 1);  // 1000 characters: a rotation every dozen records
    Dll("LogFileMax", 3);
    LogStart();
    ASSERT_EQ(files().opened, std::vector<std::string>{kPath}) << "the log starts without its write-back";
    for (int i = 0; i < 120; ++i) Send(Command(1 + i % 15, kTplFeed));
    const std::vector<std::string> ring = {kPath, Suffixed(1), Suffixed(2), Suffixed(3), kPath, Suffixed(1)};
    ASSERT_GE(files().opened.size(), ring.size());
    EXPECT_EQ(std::vector<std::string>(files().opened.begin(), files().opened.begin() + 6), ring)
        << "the ring goes round on the counter kept in memory";
    EXPECT_EQ(DllValue("LogFileCnt"), 0u) << "nothing was written";
    for (const auto& open : reg().open_log) {
        if (open.access == qrl::SettingsStore::Access::Write) {
            EXPECT_EQ(open.path, kDll) << "only the Dll key";
        }
    }

    // A BdClose and BdOpen later the counter goes on from memory, not from the
    // registry's stale 0.
    const std::string last = files().opened.back();
    int next = 0;
    for (int n = 0; n <= 3; ++n)
        if (Suffixed(n) == last) next = (n + 1) % 4;
    LogClose();
    files().opened.clear();
    LogStart();
    EXPECT_EQ(files().opened, std::vector<std::string>{Suffixed(next)}) << "after " << last;

    // A trigger that fires at once: Logging = 0 cannot be stored.
    Dll("TrigChk", 1);
    Dll("TargetType", 1);
    Dll("TargetCH", 1);
    Dll("TrigLogic", 0);
    Dll("TrigData", 0xFFFFFFFF);
    Dll("AfterTrigDataSize", 0);
    LogStart();
    const std::string kept = files().opened.back();
    Send(Command(1, kTplFeed));
    ASSERT_EQ(files().open_now, 0) << "the trigger ended the log";
    const std::string content = files().Content(kept);
    EXPECT_EQ(DllValue("Logging"), 1u);
    Dll("TrigChk", 0);
    Dll("LogFileMax", 0);  // one file only: any new log would empty the kept one
    const size_t opened = files().opened.size();
    for (int i = 0; i < 5; ++i) Send(Command(2, kTplFeed));
    LogStart();  // a BdOpen too
    Send(Command(2, kTplFeed));
    EXPECT_EQ(files().opened.size(), opened) << "Logging still reads 1, but no new log starts";
    EXPECT_EQ(files().Content(kept), content);

    Dll("Logging", 0);
    Send(Command(2, kTplFeed));
    EXPECT_EQ(files().opened.size(), opened);
    Dll("Logging", 1);
    Send(Command(2, kTplFeed));
    EXPECT_EQ(files().opened.size(), opened + 1) << "0, then 1: logging starts again";
    EXPECT_EQ(files().open_now, 1);
}

TEST_F(CallLogTest, MissingSwitchesKeepTheirValuesAndTheHeaderSaysSo) {
    LogStart();
    // The Offset switch disappears and the items key is later gone entirely: the
    // switches keep their last values, and the header still describes the records.
    reg().RemoveValue(kItemsKey, "Offset");
    LogStart();
    Send(Command(1, kTplFeed));
    EXPECT_EQ(Lines(Suffixed(1))[0], "000016010102030405060708090ab9");
    reg().RemoveKey(kItemsKey);
    LogStart();
    Send(Command(1, kTplFeed));
    Send(Read(1));
    EXPECT_EQ(Lines(Suffixed(2))[0], "000016010102030405060708090ab9");
    EXPECT_EQ(Records(Suffixed(2)), 2u) << "SmonIn kept as well";
    ExpectSound(Suffixed(1));
    ExpectSound(Suffixed(2));
}

TEST(CallLogFresh, SwitchesNeverReadAreOff) {
    fake::Scope scope;
    auto& reg = scope.platform.settings;
    Board().family = 1;
    reg.SetDword(kDll, "Logging", 1);
    reg.SetString(kDll, "LoggingPath", kStored);
    reg.SetDword(kDll, "LogSize", 1);
    LogStart();
    CommandBuffer b = Read(1);
    TransferCommands(b);
    b = Command(1, kTplFeed);
    TransferCommands(b);
    // No items key: the header lists nothing, the record is its type, count and checksum.
    const auto lines = SplitLines(scope.platform.files.Content(kPath));
    ASSERT_EQ(lines.size(), 2u) << "the read is not logged: SmonOut and SmonIn were never read";
    EXPECT_EQ(lines[0], "00000201dc");
    EXPECT_EQ(lines[1], "0100003f");
}
