// The call log of qrlink00.dll on the real registry and file system (under Wine):
// switched on through HKLM, written in text mode, the ring advanced in the
// registry, Logging = 0 written back by the trigger as a 4-byte REG_DWORD, and a
// LoggingPath stored without its terminating zero.
//
// The test creates the keys it needs below the vx710s10 service key and removes
// them afterwards; values that existed before are put back.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "logformat.h"
#include "qrlink00.h"
#include "scratch_registry.h"
#include "settings_layout.h"

namespace {

const std::string kDll = vxreg::kDllKey;
const std::string kItems = vxreg::kDllLogItemsKey;

// Scratch keys and values, undone on destruction; a failed write fails the test.
class Scratch : public qrltest::ScratchRegistry {
public:
    void Raw(const std::string& key, const char* name, DWORD type, const void* data, DWORD size) {
        ASSERT_TRUE(ScratchRegistry::Raw(key, name, type, data, size)) << key << " " << name;
    }
    void Dword(const std::string& key, const char* name, DWORD v) { Raw(key, name, REG_DWORD, &v, sizeof v); }
    void Text(const std::string& key, const char* name, const std::string& v) {
        Raw(key, name, REG_SZ, v.c_str(), static_cast<DWORD>(v.size() + 1));
    }
};

std::string TempPath(const char* name) {
    char dir[MAX_PATH];
    GetTempPathA(sizeof dir, dir);
    return std::string(dir) + name;
}

std::string FileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

bool Exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

class CallLogRegistry : public ::testing::Test {
protected:
    Scratch reg;
    std::string path = TempPath("qrl_calllog_test.log");
    std::vector<std::string> cleanup;

    void SetUp() override {
        ASSERT_TRUE(reg.Ensure(kDll) && reg.Ensure(kItems)) << "HKLM is not writable";
        SetEnvironmentVariableA("QRLINK00_DEVICE", "sim");
        for (int i = 0; i <= 7; ++i) cleanup.push_back(Name(i));
        for (auto& f : cleanup) DeleteFileA(f.c_str());
        reg.Dword(kDll, "Logging", 1);
        reg.Text(kDll, "LoggingPath", vxreg::kPathPrefix + path);
        reg.Dword(kDll, "LogSize", 1000);
        reg.Dword(kDll, "LogFileMax", 7);
        reg.Dword(kDll, "LogFileCnt", 0);
        reg.Dword(kDll, "TrigChk", 0);
        for (const char* n : vxreg::kItemSwitches) reg.Dword(kItems, n, 1);
        for (const char* n : vxreg::kCommandSwitches) reg.Dword(kItems, n, 0);
        reg.Dword(kItems, "SmonIn", 1);
    }
    void TearDown() override {
        SetEnvironmentVariableA("QRLINK00_DEVICE", nullptr);
        for (auto& f : cleanup) DeleteFileA(f.c_str());
    }
    std::string Name(int n) const { return n == 0 ? path : path + "." + std::to_string(n); }

    void Open() {
        int32_t types[15] = {1};
        ASSERT_EQ(InitDll(1), 0);
        ASSERT_EQ(BdOpen(0, 10, 0, types), 0);
        ASSERT_EQ(types[0], 1) << "station 1 came up";
    }
    DWORD DllDword(const char* name) {
        DWORD v = 0xDEADBEEF, type = 0, size = 0;
        EXPECT_TRUE(Scratch::Read(kDll, name, v, type, size)) << name;
        EXPECT_EQ(type, static_cast<DWORD>(REG_DWORD)) << name;
        EXPECT_EQ(size, 4u) << name;
        return v;
    }
    // The file decodes cleanly; returns the parsed log.
    qrlog::Log Decode(const std::string& file) {
        const std::string bytes = FileBytes(file);
        const qrlog::Log log = qrlog::ReadLog(bytes);
        for (auto& p : log.problems) ADD_FAILURE() << file << ":" << p.line << ": " << p.what;
        return log;
    }
    static int FeedRecords(const qrlog::Log& log) {
        int n = 0;
        for (auto& r : log.records)
            for (auto& e : r.entries)
                if (e.select == 2 && e.data[0] == 0x03 && e.data[1] == 0x36) ++n;
        return n;
    }
};

}  // namespace

TEST_F(CallLogRegistry, BdOpenToBdCloseWritesATextModeLog) {
    Open();
    ASSERT_EQ(AxFeed(1, 1000), 0);
    ASSERT_EQ(BdClose(0), 0);
    const std::string bytes = FileBytes(path);
    ASSERT_FALSE(bytes.empty());
    EXPECT_NE(bytes.find("\r\n"), std::string::npos) << "written in text mode";
    EXPECT_EQ(bytes.substr(0, 32), "000016010102030405060708090ab9\r\n");
    const auto log = Decode(path);
    EXPECT_EQ(FeedRecords(log), 1);
    EXPECT_EQ(DllDword("LogFileCnt"), 1u);
    EXPECT_EQ(DllDword("Logging"), 1u) << "left on";
}

TEST_F(CallLogRegistry, SwitchedOnWhileTheApplicationRuns) {
    reg.Dword(kDll, "Logging", 0);
    Open();
    ASSERT_EQ(AxFeed(1, 1), 0);
    EXPECT_FALSE(Exists(path));
    reg.Dword(kDll, "Logging", 1);
    ASSERT_EQ(AxFeed(1, 2), 0);
    ASSERT_TRUE(Exists(path));
    reg.Dword(kDll, "Logging", 0);
    ASSERT_EQ(AxFeed(1, 3), 0);
    ASSERT_EQ(BdClose(0), 0);
    EXPECT_EQ(FeedRecords(Decode(path)), 1) << "only the feed made while Logging was 1";
}

TEST_F(CallLogRegistry, RotationAdvancesLogFileCnt) {
    reg.Dword(kDll, "LogSize", 1);
    reg.Dword(kDll, "LogFileCnt", 6);
    Open();  // the log starts with suffix 6
    for (int i = 0; i < 40; ++i) ASSERT_EQ(AxFeed(1, i), 0);
    ASSERT_EQ(BdClose(0), 0);
    EXPECT_TRUE(Exists(Name(6)));
    EXPECT_TRUE(Exists(Name(7)));
    EXPECT_TRUE(Exists(Name(0))) << "after suffix 7 the ring returns to the path itself";
    const DWORD cnt = DllDword("LogFileCnt");
    EXPECT_GE(cnt, 1u);
    EXPECT_LE(cnt, 3u);
    // Every feed is in one of the files (a busy answer makes SendCommand send again).
    int feeds = 0;
    for (int n : {6, 7, 0, 1, 2})
        if (Exists(Name(n))) feeds += FeedRecords(Decode(Name(n)));
    EXPECT_GE(feeds, 40);
}

TEST_F(CallLogRegistry, TriggerWritesLoggingZeroAsAFourByteDword) {
    reg.Dword(kDll, "TrigChk", 1);
    reg.Dword(kDll, "TargetType", 1);
    reg.Dword(kDll, "TrigLogic", 1);
    reg.Dword(kDll, "TrigData", 0x36);
    reg.Dword(kDll, "TargetOffset", 1);
    reg.Dword(kDll, "TargetSize", 1);
    reg.Dword(kDll, "TargetCH", 1);
    reg.Dword(kDll, "AfterTrigDataSize", 0);
    Open();
    ASSERT_EQ(AxFeed(1, 5), 0);
    EXPECT_EQ(DllDword("Logging"), 0u);
    ASSERT_EQ(AxFeed(1, 6), 0);
    ASSERT_EQ(BdClose(0), 0);
    EXPECT_EQ(FeedRecords(Decode(path)), 1) << "the firing feed is the last record";
}

TEST_F(CallLogRegistry, LoggingPathWithoutItsTerminatingZero) {
    const std::string stored = vxreg::kPathPrefix + path;
    reg.Raw(kDll, "LoggingPath", REG_SZ, stored.data(), static_cast<DWORD>(stored.size()));
    Open();
    ASSERT_EQ(AxFeed(1, 1), 0);
    ASSERT_EQ(BdClose(0), 0);
    EXPECT_TRUE(Exists(path)) << "the path read is exactly the stored characters";
    EXPECT_EQ(FeedRecords(Decode(path)), 1);

    // The longest path the library reads, stored without its zero, and one longer.
    for (size_t len : {size_t(259), size_t(260)}) {
        std::string longer = vxreg::kPathPrefix + TempPath("");
        longer += std::string(len - longer.size() - 4, 'x') + ".log";
        ASSERT_EQ(longer.size(), len);
        const std::string file = longer.substr(4);
        cleanup.push_back(file);
        DeleteFileA(file.c_str());
        reg.Raw(kDll, "LoggingPath", REG_SZ, longer.data(), static_cast<DWORD>(longer.size()));
        reg.Dword(kDll, "LogFileCnt", 0);
        Open();
        ASSERT_EQ(AxFeed(1, 1), 0);
        ASSERT_EQ(BdClose(0), 0);
        // A value of up to 259 characters is the path; a longer one is no path at all.
        EXPECT_EQ(Exists(file), len <= vxreg::kMaxPathChars) << len;
    }
}
