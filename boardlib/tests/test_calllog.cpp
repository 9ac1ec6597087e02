// The call log's records, file ring, switching and per-command switches, on the
// scripted driver and in-memory registry and files.
#include <cstring>

#include "checks.h"
#include "qrlink00.h"
#include "test_calllog_fixture.h"

using namespace qrl;
using namespace logtest;

namespace {

// The record text of one entry with every item on, formatted here independently.
std::string FullEntryText(const CommandBuffer& b, int k) {
    char s[64];
    std::snprintf(s, sizeof s, "%02x%02x%04x%02x%02x%08x", static_cast<unsigned>(b.Field(k, kDeviceNumber) & 0xFF),
                  static_cast<unsigned>(b.Field(k, kSelectCode) & 0xFF), static_cast<unsigned>(b.Field(k, kOffset) & 0xFFFF),
                  static_cast<unsigned>(b.Field(k, kSize) & 0xFF), static_cast<unsigned>(b.Field(k, kReturnCode) & 0xFF),
                  static_cast<unsigned>(b.Field(k, kAxisBitNumber)));
    std::string out = s;
    for (int i = 0; i < 16; ++i) {
        std::snprintf(s, sizeof s, "%02x", b.Data(k)[i]);
        out += s;
    }
    return out;
}

unsigned ChecksumOf(const std::string& line) {
    unsigned sum = 0;
    for (size_t i = 2; i + 2 < line.size(); ++i) sum += static_cast<unsigned char>(line[i]);
    return ~sum & 0xFF;
}

}  // namespace

// ---- record format ----

TEST_F(CallLogTest, WorkedExampleRecordAndItsHeader) {
    OnlyItems({2, 4, 5});
    LogStart();
    Send(Command(1, kTplFeed));
    const auto lines = Lines();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], "00000801020405ab");
    EXPECT_EQ(lines[1], "01000801020040b0");
    EXPECT_EQ(files().Content(kPath), "00000801020405ab\n01000801020040b0\n");
    ExpectSound();
}

TEST_F(CallLogTest, HeaderListsTheItemsSwitchedOn) {
    const struct {
        std::initializer_list<int> items;
        const char* header;
    } cases[] = {
        {{1, 2, 3, 4, 5, 6, 7, 8, 9, 10}, "000016010102030405060708090ab9"},
        {{}, "00000201dc"},
        {{1, 10}, "00000601010ae6"},
        {{2, 4, 5}, "00000801020405ab"},
    };
    int n = 0;
    for (auto& c : cases) {
        OnlyItems(c.items);
        LogStart();
        EXPECT_EQ(Lines(Suffixed(n)), std::vector<std::string>{c.header}) << c.header;
        ++n;
    }
    // Any non-zero value switches an item on.
    OnlyItems({});
    Switch("CommandCount", 7);
    LogStart();
    EXPECT_EQ(Lines(Suffixed(n))[0].substr(6, 4), "0102");
}

TEST_F(CallLogTest, RecordOf21EntriesWithEveryItemIs1103Characters) {
    LogStart();
    CommandBuffer b;
    for (int k = 0; k < kEntryCount; ++k) {
        uint8_t data[36];
        for (int i = 0; i < 36; ++i) data[i] = static_cast<uint8_t>(k * 16 + i);
        SetDataEntry(b, k, kSelWrite, CommandArea(k % 15 + 1), data, 17);
        b.SetField(k, kAxisBitNumber, static_cast<int32_t>(0x80000000u >> k));
    }
    b.SetCount(kEntryCount);
    // Values wider than their fields keep their low digits.
    b.SetField(3, kDeviceNumber, 0x1234);
    b.SetField(4, kOffset, 0x12345);
    b.SetField(5, kSize, 0x1ff);
    drv().script = [](uint32_t, CommandBuffer& r, fake::ScriptedDriver&) {
        r.SetField(6, kReturnCode, -2);
        r.SetField(7, kReturnCode, -32771);
        return true;
    };
    CommandBuffer sent = b;
    TransferCommands(b);
    const std::string text = files().Content(kPath);
    const auto lines = Lines();
    ASSERT_EQ(lines.size(), 2u) << "a write is logged before the transfer only";
    EXPECT_EQ(lines[1].size() + 1, 1103u);
    EXPECT_EQ(text.size(), 31u + 1103u);

    std::string expect = "010446" "15";  // 2 + 21 x 52 = 0x446 characters, 21 entries
    for (int k = 0; k < kEntryCount; ++k) expect += FullEntryText(sent, k);
    char sum[4];
    std::snprintf(sum, sizeof sum, "%02x", ChecksumOf(expect + "00"));
    EXPECT_EQ(lines[1], expect + sum);
    EXPECT_EQ(lines[1].substr(8 + 3 * 52, 2), "34") << "DeviceNumber & 0xFF";
    EXPECT_EQ(lines[1].substr(8 + 4 * 52 + 4, 4), "2345") << "Offset & 0xFFFF";
    EXPECT_EQ(lines[1].substr(8 + 5 * 52 + 8, 2), "ff") << "Size & 0xFF";
    EXPECT_EQ(lines[1].substr(8 + 20 * 52 + 12, 8), "00000800") << "AxisBitNumber in full";

    const qrlog::Log log = ExpectSound();
    ASSERT_EQ(log.records.size(), 2u);
    ASSERT_EQ(log.records[1].entries.size(), 21u);
    EXPECT_EQ(log.records[1].entries[20].data[15], 20 * 16 + 15 - 256);
}

TEST_F(CallLogTest, AfterRecordCarriesTheReturnedLowByte) {
    LogStart();
    drv().response[2][1] = 0x36;
    drv().script = [](uint32_t, CommandBuffer& r, fake::ScriptedDriver& d) {
        std::memcpy(r.Data(0), d.response[2], 17);
        r.SetField(0, kReturnCode, -32771);  // 0xffff7ffd
        return true;
    };
    Send(Read(2));
    const auto log = ExpectSound();
    ASSERT_EQ(log.records.size(), 2u) << "a read is logged after the transfer (SmonIn)";
    const auto& e = log.records[1].entries.at(0);
    EXPECT_EQ(e.return_code, 0xfdu);
    EXPECT_EQ(e.data[1], 0x36);
    EXPECT_EQ(e.offset, 1024u + 128u);
}

TEST_F(CallLogTest, BatchOf15WithEveryItem) {
    for (int n = 1; n <= 15; ++n) Board().stations[n] = 1;
    CommandBuffer b;
    ASSERT_EQ(FillAxisBatch(b, StationRange{1, 15}, kTplSvOn, NoPatch), 15);
    LogStart();
    Send(b);
    const auto lines = Lines();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[1].size() + 1, 6u + 2 + 15 * 52 + 2 + 1);
    EXPECT_EQ(lines[1].substr(0, 8), "01030e0f") << "byte count 2 + 15 x 52 = 0x30e, count 15";
    const auto log = ExpectSound();
    const auto& entries = log.records.at(1).entries;
    ASSERT_EQ(entries.size(), 15u);
    for (int k = 0; k < 15; ++k) {
        EXPECT_EQ(qrlog::StationOf(entries[k].select, entries[k].offset), k + 1);
        EXPECT_STREQ(qrlog::CommandName(entries[k].data[1]), "SvOn");
    }
}

TEST_F(CallLogTest, ChecksumOfEveryLineIsTheComplementOfTheLowByte) {
    OnlyItems({2, 3, 4, 5, 6, 7, 8, 9});
    LogStart();
    for (int n = 1; n <= 15; ++n) {
        Send(Command(n, kTplHome));
        Send(Read(n));
        Send(Entry(kSelInput, CommandArea(n), {0xff, 0xfe, static_cast<uint8_t>(n)}));
    }
    for (const auto& line : Lines()) {
        ASSERT_GE(line.size(), 8u);
        EXPECT_EQ(std::stoul(line.substr(line.size() - 2), nullptr, 16), ChecksumOf(line)) << line;
        EXPECT_EQ(std::stoul(line.substr(2, 4), nullptr, 16), line.size() - 8) << line;
        EXPECT_EQ(line.find_first_not_of("0123456789abcdef"), std::string::npos) << line;
    }
    ExpectSound();
}

TEST_F(CallLogTest, CountOutsideTheBufferIsClamped) {
    LogStart();
    CommandBuffer b = Command(1, kTplFeed);
    b.SetCount(300);
    Send(b);
    b.SetCount(-5);
    Send(b);
    b.SetCount(0);
    Send(b);
    const auto log = ExpectSound();
    ASSERT_EQ(log.records.size(), 4u);
    EXPECT_EQ(log.records[1].count, 21u);
    EXPECT_EQ(log.records[2].count, 0u);
    EXPECT_EQ(log.records[3].count, 0u);
    EXPECT_TRUE(log.records[3].entries.empty());
}

// ---- the ring of files ----

TEST_F(CallLogTest, RingOfEightFilesFromCountZero) {
    for (int i = 0; i < 9; ++i) {
        LogStart();
        EXPECT_EQ(DllValue("LogFileCnt"), i < 8 ? static_cast<uint32_t>(i + 1) : 1u) << "start " << i;
    }
    std::vector<std::string> expect;
    for (int i = 0; i < 8; ++i) expect.push_back(Suffixed(i));
    expect.push_back(kPath);
    EXPECT_EQ(files().opened, expect);
    EXPECT_EQ(files().open_now, 1) << "each start closes the file before";
    for (int i = 0; i < 8; ++i) EXPECT_EQ(Lines(Suffixed(i)).size(), 1u) << "a header only";
}

TEST_F(CallLogTest, CountAboveTheMaximumRestarts) {
    const struct {
        uint32_t max, cnt;
        std::string path;
        uint32_t stored;
    } cases[] = {
        {3, 9, kPath, 1},
        {3, 3, Suffixed(3), 4},
        {3, 4, kPath, 1},
        {0, 0, kPath, 1},
        {0, 1, kPath, 1},
        {7, 0xFFFFFFFF, kPath, 1},
        {0xFFFFFFFF, 0xFFFFFFFF, kPath + ".4294967295", 0},
    };
    for (auto& c : cases) {
        Dll("LogFileMax", c.max);
        Dll("LogFileCnt", c.cnt);
        files().opened.clear();
        LogStart();
        EXPECT_EQ(files().opened, std::vector<std::string>{c.path}) << c.max << "/" << c.cnt;
        EXPECT_EQ(DllValue("LogFileCnt"), c.stored) << c.max << "/" << c.cnt;
    }
}

TEST_F(CallLogTest, MaximumZeroAlwaysUsesThePathItself) {
    Dll("LogFileMax", 0);
    for (int i = 0; i < 3; ++i) {
        LogStart();
        Send(Command(1, kTplFeed));
    }
    EXPECT_EQ(files().opened, (std::vector<std::string>{kPath, kPath, kPath}));
    EXPECT_EQ(Lines().size(), 2u) << "truncated by every start";
    EXPECT_EQ(DllValue("LogFileCnt"), 1u);
}

TEST_F(CallLogTest, SizeLimitRotatesToTheNextFile) {
    Dll("LogSize", 1);  // 1000 characters
    LogStart();
    // Header 31, records 63: the 16th record takes the file to 31 + 16 x 63 = 1039.
    for (int i = 0; i < 20; ++i) Send(Command(1 + i % 15, kTplFeed));
    EXPECT_EQ(files().opened, (std::vector<std::string>{kPath, Suffixed(1)}));
    EXPECT_EQ(files().Content(kPath).size(), 31u + 16 * 63);
    EXPECT_EQ(Records(kPath), 16u);
    EXPECT_EQ(Records(Suffixed(1)), 4u);
    EXPECT_EQ(Lines(Suffixed(1))[0], "000016010102030405060708090ab9") << "the new file begins with a header";
    EXPECT_EQ(DllValue("LogFileCnt"), 2u);
    ExpectSound(kPath);
    ExpectSound(Suffixed(1));
}

// ---- switching on and off while the application runs ----

TEST_F(CallLogTest, LoggingSwitchedBetweenExchanges) {
    Dll("Logging", 0);
    LogStart();
    EXPECT_TRUE(files().opened.empty());
    Send(Command(1, kTplFeed));
    EXPECT_TRUE(files().opened.empty()) << "off: no file";

    Dll("Logging", 1);
    Send(Command(2, kTplFeed));
    ASSERT_EQ(files().opened, std::vector<std::string>{kPath}) << "switched on: log start from the writer";
    EXPECT_EQ(Records(), 1u) << "the exchange that saw the switch is the first record";
    Send(Command(3, kTplFeed));
    EXPECT_EQ(Records(), 2u);

    Dll("Logging", 0);
    Send(Command(4, kTplFeed));
    EXPECT_EQ(files().open_now, 0) << "switched off: file closed";
    EXPECT_EQ(Records(), 2u);
    Send(Command(5, kTplFeed));
    EXPECT_EQ(Records(), 2u);

    Dll("Logging", 1);
    Send(Command(6, kTplFeed));
    EXPECT_EQ(files().opened, (std::vector<std::string>{kPath, Suffixed(1)}));
    EXPECT_EQ(Records(Suffixed(1)), 1u);
    EXPECT_EQ(Records(kPath), 2u) << "the earlier file is kept";
    ExpectSound(kPath);
    ExpectSound(Suffixed(1));
}

// With the watch on the Dll key armed, an unchanged switch costs no registry call
// and no lock of the call log's; a change costs one read, on the next logged
// exchange only.
TEST_F(CallLogTest, AnUnchangedSwitchCostsNoRegistryReadAndNoLock) {
    Dll("Logging", 0);
    LogStart();
    auto& r = reg();
    const int opens = r.opens, reads = r.reads, writes = r.writes;
    const long locks = qrl::LogLockCountForTests();
    for (int i = 0; i < 50; ++i) {
        Send(Command(1, kTplFeed));
        Send(Read(1));
    }
    EXPECT_EQ(r.opens - opens, 0);
    EXPECT_EQ(r.reads - reads, 0);
    EXPECT_EQ(r.writes - writes, 0);
    EXPECT_EQ(qrl::LogLockCountForTests() - locks, 0) << "logging off takes no lock";

    Dll("Logging", 5);  // a change to another "off" value
    Send(Command(1, kTplFeed));
    EXPECT_EQ(r.opens - opens, 1) << "one open, one read, for the change";
    EXPECT_EQ(r.reads - reads, 1);
    Send(Command(1, kTplFeed));
    EXPECT_EQ(r.opens - opens, 1) << "and none after it";
    EXPECT_TRUE(files().opened.empty());

    // A read with neither SmonOut nor SmonIn in effect does not look at a change:
    // the next logged exchange does. (The switches were last read at the start,
    // while Logging was 1.)
    Dll("Logging", 1);
    Switch("SmonIn", 0);
    LogStart();
    Dll("Logging", 0);
    const int opens2 = r.opens, reads2 = r.reads;
    Send(Read(1));
    EXPECT_EQ(r.opens - opens2, 0);
    EXPECT_EQ(r.reads - reads2, 0);
    EXPECT_EQ(files().open_now, 1) << "the change is not seen by an exchange that logs nothing";
    Send(Command(1, kTplFeed));
    EXPECT_EQ(files().open_now, 0) << "the next logged exchange sees it";
    EXPECT_EQ(Records(), 0u);
}

// Where the watch cannot be armed, every logged exchange reads the switch, as
// before watches, and the next exchange tries to arm again.
TEST_F(CallLogTest, AWatchThatCannotArmFallsBackToAReadPerExchange) {
    Dll("Logging", 0);
    reg().arm_failures = 3;  // LogStart's arm, then two more tries
    LogStart();
    auto& r = reg();
    const int reads = r.reads, arms = r.arms;
    Send(Command(1, kTplFeed));
    EXPECT_EQ(r.reads - reads, 1);
    EXPECT_EQ(r.arms - arms, 1) << "each look tries to arm again";
    Send(Command(1, kTplFeed));
    EXPECT_EQ(r.reads - reads, 2);
    Send(Command(1, kTplFeed));  // this arm succeeds
    EXPECT_EQ(r.reads - reads, 3);
    EXPECT_EQ(r.arms - arms, 3);
    Send(Command(1, kTplFeed));
    Send(Command(1, kTplFeed));
    EXPECT_EQ(r.reads - reads, 3) << "armed: no more reads";
    EXPECT_EQ(r.arms - arms, 3);
    Dll("Logging", 1);
    Send(Command(1, kTplFeed));
    EXPECT_EQ(Records(), 1u) << "and a change is still seen at once";
}

// The watch follows the board: BdOpen arms it on the family's Dll key, InitDll
// moves it, BdClose drops it.
TEST_F(CallLogTest, TheWatchFollowsTheFamilyAndTheBoard) {
    Dll("Logging", 0);
    LogStart();
    reg().PutKey(vxreg::kDllKey880, reg().keys[kDll]);
    reg().PutKey(vxreg::kDllLogItemsKey880, reg().keys[kItemsKey]);
    Board().family = 2;
    qrl::LogFamilyChanged();
    reg().SetDword(vxreg::kDllKey880, "Logging", 1);
    Send(Command(1, kTplFeed));
    EXPECT_EQ(Records(), 1u) << "the other family's switch is watched now";
    Send(Command(1, kTplFeed));  // sees the log start's own LogFileCnt write-back
    Dll("Logging", 1);
    Dll("Logging", 0);  // the first family's key: no longer watched
    const int reads = reg().reads;
    Send(Command(1, kTplFeed));
    EXPECT_EQ(reg().reads, reads);
    EXPECT_EQ(Records(), 3u);
    reg().SetDword(vxreg::kDllKey880, "Logging", 0);
    LogClose();
    const int opens = reg().opens;
    Send(Command(1, kTplFeed));
    EXPECT_EQ(reg().opens - opens, 1) << "no watch after the close: the switch is read";
    EXPECT_EQ(reg().open_log.back().path, vxreg::kDllKey880);
}

TEST_F(CallLogTest, NonOneValuesOfLoggingAreOff) {
    Dll("Logging", 2);
    LogStart();
    Send(Command(1, kTplFeed));
    EXPECT_TRUE(files().opened.empty());
    Dll("Logging", 1);
    Send(Command(1, kTplFeed));
    EXPECT_EQ(Records(), 1u);
    Dll("Logging", 0xFFFFFFFF);
    Send(Command(1, kTplFeed));
    EXPECT_EQ(files().open_now, 0) << "a value other than 1 closes the log too";
    EXPECT_EQ(Records(), 1u);
    Dll("Logging", 0);
    Send(Command(1, kTplFeed));
    Dll("Logging", 1);
    Send(Command(1, kTplFeed));
    EXPECT_EQ(Records(Suffixed(1)), 1u);
}

TEST_F(CallLogTest, UnreadableLoggingCountsAsOffButAMissingKeyChangesNothing) {
    LogStart();
    Send(Command(1, kTplFeed));
    reg().RemoveValue(kDll, "Logging");
    Send(Command(1, kTplFeed));
    EXPECT_EQ(files().open_now, 0);
    EXPECT_EQ(Records(), 1u);

    Dll("Logging", 1);
    Send(Command(1, kTplFeed));
    ASSERT_EQ(files().open_now, 1);
    auto saved = reg().keys[kDll];
    reg().RemoveKey(kDll);
    Send(Command(1, kTplFeed));
    EXPECT_EQ(Records(Suffixed(1)), 2u) << "without the key the flag stays as it was";
    reg().PutKey(kDll, saved);
}

TEST_F(CallLogTest, LogCloseEndsTheFileAndAStillOnSwitchStartsTheNext) {
    LogStart();
    Send(Command(1, kTplFeed));
    LogClose();
    EXPECT_EQ(files().open_now, 0);
    LogClose();  // nothing left to close
    Send(Command(1, kTplFeed));
    EXPECT_EQ(files().opened, (std::vector<std::string>{kPath, Suffixed(1)}));
    EXPECT_EQ(Records(Suffixed(1)), 1u);
}

// ---- per-command switches ----

TEST_F(CallLogTest, PerCommandSwitchesDecideBeforeAndAfter) {
    // The driver marks what it returns, so before- and after-records differ.
    drv().script = [](uint32_t, CommandBuffer& r, fake::ScriptedDriver&) {
        r.SetField(0, kReturnCode, 0x42);
        return true;
    };
    const struct {
        const char* name;
        int32_t select;
        int32_t offset;
        const char* out;  // switch for the record before the transfer, or nullptr
        const char* in;   // switch for the record after it, or nullptr
    } kinds[] = {
        {"station read", kSelRead, ResponseArea(2), "SmonOut", "SmonIn"},
        {"input read", kSelInput, CommandArea(4), "DinOut", "DinIn"},
        {"IpNumGet", kSelIpNumGet, 64, "InterporateNumOut", "InterporateNumIn"},
        {"interpolation data", kSelIpData, CommandArea(3), "InterporateSetOut", nullptr},
        {"write", kSelWrite, CommandArea(1), nullptr, nullptr},
        {"axis data", kSelAxisData, CommandArea(1), nullptr, nullptr},
        {"LkStart", kSelLkStart, 64, nullptr, nullptr},
        {"IpNumMax", kSelIpNumMax, 12345, nullptr, nullptr},
        {"I/O init", kSelIoInit, CommandArea(4), nullptr, nullptr},
    };
    int file = 0;
    for (auto& k : kinds) {
        for (int combo = 0; combo < 8; ++combo) {
            const int others = combo & 1, out_on = (combo >> 1) & 1, in_on = (combo >> 2) & 1;
            // The other kinds' switches, on or off, never count.
            for (const char* n : vxreg::kCommandSwitches) Switch(n, static_cast<uint32_t>(others));
            if (k.out) Switch(k.out, static_cast<uint32_t>(out_on));
            if (k.in) Switch(k.in, static_cast<uint32_t>(in_on));
            LogStart();
            Send(Entry(k.select, k.offset, {0x03, 0x36}));
            const bool before = k.out ? out_on != 0 : true;
            const bool after = k.in ? in_on != 0 : false;
            const auto log = ExpectSound(Suffixed(file));
            std::vector<uint32_t> rcs;
            for (size_t i = 1; i < log.records.size(); ++i) rcs.push_back(log.records[i].entries.at(0).return_code);
            std::vector<uint32_t> expect;
            if (before) expect.push_back(0);
            if (after) expect.push_back(0x42);
            EXPECT_EQ(rcs, expect) << k.name << " others=" << others << " out=" << out_on << " in=" << in_on;
            file = (file + 1) % 8;
        }
    }
}

TEST_F(CallLogTest, TheTargetEntryDecidesTheKind) {
    Switch("SmonIn", 0);
    Dll("TargetCH", 3);
    LogStart();
    CommandBuffer b = Read(2);
    SetTemplateEntry(b, 1, kSelWrite, CommandArea(3), kTplFeed, 16);
    b.SetCount(2);
    Send(b);
    EXPECT_EQ(Records(), 1u) << "entry 1 addresses station 3: a write, logged before the transfer";

    Dll("TargetCH", 9);
    LogStart();
    Send(b);
    EXPECT_EQ(Records(Suffixed(1)), 0u) << "no entry for station 9: entry 0 (a read) decides";
}

// ---- the library's own calls ----

TEST(CallLogLifecycle, BdOpenStartsAndBdCloseEndsTheLog) {
    fake::Scope scope;
    auto& reg = scope.platform.settings;
    reg.SetDword(kDll, "Logging", 1);
    reg.SetString(kDll, "LoggingPath", kStored);
    reg.SetDword(kDll, "LogSize", 1000);
    reg.SetDword(kDll, "LogFileMax", 7);
    for (const char* n : vxreg::kItemSwitches) reg.SetDword(kItemsKey, n, 1);
    reg.SetDword(kItemsKey, "SmonIn", 1);
    int32_t types[15] = {1, 0x61};
    ASSERT_EQ(InitDll(1), 0);
    ASSERT_EQ(BdOpen(0, 10, 0, types), 0);
    ASSERT_EQ(scope.platform.files.open_now, 1);
    ASSERT_EQ(BdClose(0), 0);
    EXPECT_EQ(scope.platform.files.open_now, 0);

    const std::string text = scope.platform.files.Content(kPath);
    const qrlog::Log log = qrlog::ReadLog(text);
    for (auto& p : log.problems) ADD_FAILURE() << p.line << ": " << p.what;
    ASSERT_GE(log.records.size(), 3u);
    EXPECT_EQ(log.records[0].type, 0);
    bool setup = false, close = false;
    for (size_t i = 1; i < log.records.size(); ++i) {
        for (auto& e : log.records[i].entries) {
            EXPECT_LT(e.offset, 1024u + 16 * 64) << "no board-setting write (TransferDirect) is logged";
            EXPECT_NE(e.offset % 64, 32u) << "nor the second area block";
            if (e.select == 2 && e.data[1] == 0x0e) setup = true;
            if (e.select == 2 && e.data[1] == 0x0f) close = true;
        }
    }
    EXPECT_TRUE(setup) << "the station set-up command is logged";
    EXPECT_TRUE(close) << "the close command is logged";
    EXPECT_EQ(log.records.back().entries.at(0).data[1], 0x0f) << "BdClose's batch is the last record";
    uint32_t cnt = 0;
    ASSERT_TRUE(reg.GetDword(kDll, "LogFileCnt", cnt));
    EXPECT_EQ(cnt, 1u);

    // Family 2 reads the vx880s10 keys only.
    ASSERT_EQ(InitDll(2), 0);
    scope.platform.files.opened.clear();
    ASSERT_EQ(BdOpen(0, 10, 0, types), 0);
    EXPECT_TRUE(scope.platform.files.opened.empty());
    ASSERT_EQ(BdClose(0), 0);
    reg.PutKey(vxreg::kDllKey880, reg.keys[kDll]);
    reg.PutKey(vxreg::kDllLogItemsKey880, reg.keys[kItemsKey]);
    ASSERT_EQ(BdOpen(0, 10, 0, types), 0);
    EXPECT_EQ(scope.platform.files.opened, std::vector<std::string>{kPath + ".1"});
    ASSERT_EQ(BdClose(0), 0);
}

TEST_F(CallLogTest, ASecondStartClosesTheFirstFile) {
    LogStart();
    LogStart();
    EXPECT_EQ(files().open_now, 1);
    EXPECT_EQ(files().opened.size(), 2u);
}

TEST_F(CallLogTest, AFailedExchangeIsLoggedBothSides) {
    drv().fail_all = true;
    LogStart();
    Send(Read(1));
    Send(Command(1, kTplFeed));
    EXPECT_EQ(Records(), 2u) << "the read after its failed transfer, the write before it";
}
