// The call log of qrlink00.dll on the real registry and file system (under Wine):
// switched on through HKLM, written in text mode, the ring advanced in the
// registry, Logging = 0 written back by the trigger as a 4-byte REG_DWORD, and a
// LoggingPath stored without its terminating zero.
//
// The test creates the keys it needs below the vx710s10 service key and removes
// them afterwards; values that existed before are put back.
#include <windows.h>
#include <sddl.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "handle_count.h"
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
    // A trigger that ends the log with the first feed to station 1: data byte 1
    // (the command code) equal to 0x36, nothing logged after it.
    void TriggerOnEveryFeed() {
        reg.Dword(kDll, "TrigChk", 1);
        reg.Dword(kDll, "TargetType", 1);
        reg.Dword(kDll, "TrigLogic", 1);
        reg.Dword(kDll, "TrigData", 0x36);
        reg.Dword(kDll, "TargetOffset", 1);
        reg.Dword(kDll, "TargetSize", 1);
        reg.Dword(kDll, "TargetCH", 1);
        reg.Dword(kDll, "AfterTrigDataSize", 0);
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
    TriggerOnEveryFeed();
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

namespace {

// The switch writer in a process of its own, talked to through its standard input
// and output.
class SwitchWriter {
public:
    bool Start() {
        SECURITY_ATTRIBUTES sa{sizeof sa, nullptr, TRUE};
        HANDLE in_read, out_write;
        if (!CreatePipe(&in_read, &in_write_, &sa, 0)) return false;
        if (!CreatePipe(&out_read_, &out_write, &sa, 0)) return false;
        SetHandleInformation(in_write_, HANDLE_FLAG_INHERIT, 0);
        SetHandleInformation(out_read_, HANDLE_FLAG_INHERIT, 0);
        char self[MAX_PATH];
        GetModuleFileNameA(nullptr, self, sizeof self);
        std::string exe(self);
        exe = exe.substr(0, exe.find_last_of('\\') + 1) + "qrl_switch_writer.exe";
        STARTUPINFOA si{};
        si.cb = sizeof si;
        si.dwFlags = STARTF_USESTDHANDLES;
        si.hStdInput = in_read;
        si.hStdOutput = out_write;
        si.hStdError = GetStdHandle(STD_ERROR_HANDLE);
        PROCESS_INFORMATION pi{};
        std::string cmd = "\"" + exe + "\"";
        const BOOL ok = CreateProcessA(exe.c_str(), &cmd[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si, &pi);
        CloseHandle(in_read);
        CloseHandle(out_write);
        if (!ok) return false;
        CloseHandle(pi.hThread);
        process_ = pi.hProcess;
        return true;
    }
    // Writes Logging in the other process; returns its answer once the write has returned.
    std::string Set(DWORD v) {
        const std::string line = std::to_string(v) + "\n";
        DWORD put = 0;
        if (!WriteFile(in_write_, line.data(), static_cast<DWORD>(line.size()), &put, nullptr)) return "no pipe";
        std::string answer;
        char c;
        DWORD got = 0;
        while (ReadFile(out_read_, &c, 1, &got, nullptr) && got == 1 && c != '\n')
            if (c != '\r') answer += c;  // its stdout is in text mode
        return answer;
    }
    ~SwitchWriter() {
        if (in_write_) {
            DWORD put = 0;
            WriteFile(in_write_, "q\n", 2, &put, nullptr);
            CloseHandle(in_write_);
        }
        if (process_) {
            WaitForSingleObject(process_, 5000);
            CloseHandle(process_);
        }
        if (out_read_) CloseHandle(out_read_);
    }

private:
    HANDLE in_write_ = nullptr, out_read_ = nullptr, process_ = nullptr;
};

// Lines of a log file (CR LF removed).
std::vector<std::string> LogLines(const std::string& file) {
    std::vector<std::string> out;
    std::istringstream in(FileBytes(file));
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        out.push_back(line);
    }
    return out;
}

}  // namespace

// Another process switches logging on and off 1,000 times, each time between two
// of this process's commands: the very next command is logged exactly when the
// switch is on. With one file (LogFileMax 0), each switch-on starts the file again:
// it then holds the header and exactly the one feed made since, carrying this
// round's value; a switch-off leaves it as it was.
TEST_F(CallLogRegistry, ASwitchWrittenByAnotherProcessIsSeenByTheNextExchange) {
    reg.Dword(kDll, "Logging", 0);
    reg.Dword(kDll, "LogFileMax", 0);
    SwitchWriter writer;
    ASSERT_TRUE(writer.Start());
    Open();
    std::vector<std::string> last;
    int on_rounds = 0;
    for (int i = 1; i <= 1000; ++i) {
        const DWORD v = (i % 2) ? 1 : 0;
        ASSERT_EQ(writer.Set(v), "ok") << "round " << i;
        ASSERT_EQ(AxFeed(1, i), 0) << "round " << i;
        const std::vector<std::string> lines = LogLines(path);
        if (v == 1) {
            ++on_rounds;
            ASSERT_EQ(lines.size(), 2u) << "round " << i << ": header and this round's feed";
            const qrlog::Log log = qrlog::ReadLog(FileBytes(path));
            ASSERT_TRUE(log.problems.empty()) << "round " << i;
            ASSERT_EQ(log.records.size(), 2u) << "round " << i;
            ASSERT_EQ(log.records[1].entries.size(), 1u);
            const auto& d = log.records[1].entries[0].data;
            const int32_t value = d[9] | d[10] << 8 | d[11] << 16 | d[12] << 24;  // the feed distance
            ASSERT_EQ(value, i) << "round " << i << ": the record is this round's feed";
            last = lines;
        } else {
            ASSERT_EQ(lines, last) << "round " << i << ": switched off, nothing written";
        }
    }
    ASSERT_EQ(BdClose(0), 0);
    EXPECT_EQ(on_rounds, 500);
}

// 10,000 changes of the switch, each seen by a command: the watch is re-armed each
// time and holds no more handles at the end than at the start.
TEST_F(CallLogRegistry, TheHandleCountStaysFlatOverTenThousandChanges) {
    reg.Dword(kDll, "Logging", 0);
    reg.Dword(kDll, "LogFileMax", 0);
    Open();
    ASSERT_EQ(AxFeed(1, 0), 0);
    const DWORD before = qrltest::ProcessHandleCount();
    const qrltest::HandleSet held = qrltest::OwnHandles();
    for (int i = 1; i <= 10000; ++i) {
        reg.Dword(kDll, "Logging", i % 2 ? 5 : 0);  // changes, logging stays off
        ASSERT_EQ(AxFeed(1, i), 0);
    }
    EXPECT_EQ(qrltest::ProcessHandleCount(), before) << qrltest::NewHandles(held);
    ASSERT_EQ(BdClose(0), 0);
    EXPECT_FALSE(Exists(path));
}

namespace {

// The Dll key's DACL for the length of a test: read access only, for everyone and
// the administrators too, as a standard user sees the driver's settings. The
// owner's right to change the DACL puts the original back.
class ReadOnlyKey {
public:
    explicit ReadOnlyKey(const std::string& path) : path_(path) {
        HKEY k;
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path_.c_str(), 0, READ_CONTROL | WRITE_DAC, &k) != ERROR_SUCCESS) return;
        DWORD size = 0;
        RegGetKeySecurity(k, DACL_SECURITY_INFORMATION, nullptr, &size);
        saved_.resize(size);
        if (size && RegGetKeySecurity(k, DACL_SECURITY_INFORMATION, saved_.data(), &size) == ERROR_SUCCESS) {
            PSECURITY_DESCRIPTOR sd = nullptr;
            if (ConvertStringSecurityDescriptorToSecurityDescriptorA("D:P(A;;KR;;;WD)(A;;KR;;;BA)(A;;KR;;;SY)",
                                                                     SDDL_REVISION_1, &sd, nullptr)) {
                applied_ = RegSetKeySecurity(k, DACL_SECURITY_INFORMATION, sd) == ERROR_SUCCESS;
                LocalFree(sd);
            }
        }
        RegCloseKey(k);
    }
    ~ReadOnlyKey() {
        HKEY k;
        if (!applied_ || RegOpenKeyExA(HKEY_LOCAL_MACHINE, path_.c_str(), 0, WRITE_DAC, &k) != ERROR_SUCCESS) return;
        RegSetKeySecurity(k, DACL_SECURITY_INFORMATION, saved_.data());
        RegCloseKey(k);
    }
    bool applied() const { return applied_; }

private:
    std::string path_;
    std::vector<BYTE> saved_;
    bool applied_ = false;
};

}  // namespace

// A Dll key the application may read but not write (Wine enforces key DACLs, so
// this is the real refusal a standard user meets): logging starts, rotates through
// the ring on the counter it keeps in memory, and a trigger ends it without the
// kept file being emptied afterwards, though Logging = 0 could not be stored.
TEST_F(CallLogRegistry, AKeyReadableOnlyStillLogsRotatesAndStopsAtATrigger) {
    reg.Dword(kDll, "LogSize", 1);
    reg.Dword(kDll, "LogFileMax", 2);
    reg.Dword(kDll, "LogFileCnt", 0);
    ReadOnlyKey guard(kDll);
    ASSERT_TRUE(guard.applied());
    HKEY probe;
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, kDll.c_str(), 0, KEY_SET_VALUE, &probe), ERROR_ACCESS_DENIED)
        << "the key must really refuse writing";
    Open();
    for (int i = 0; i < 40; ++i) ASSERT_EQ(AxFeed(1, i), 0);
    EXPECT_TRUE(Exists(Name(0)));
    EXPECT_TRUE(Exists(Name(1)));
    EXPECT_TRUE(Exists(Name(2))) << "the ring went round without LogFileCnt being written";
    EXPECT_EQ(DllDword("LogFileCnt"), 0u);
    int feeds = 0;
    for (int n = 0; n <= 2; ++n) feeds += FeedRecords(Decode(Name(n)));
    EXPECT_GE(feeds, 1);
    ASSERT_EQ(BdClose(0), 0);
}

TEST_F(CallLogRegistry, AKeyReadableOnlyKeepsTheFileATriggerEnded) {
    reg.Dword(kDll, "LogFileMax", 0);
    TriggerOnEveryFeed();
    {
        ReadOnlyKey guard(kDll);
        ASSERT_TRUE(guard.applied());
        Open();
        ASSERT_EQ(AxFeed(1, 5), 0);  // fires: the log ends with this record
        const std::string kept = FileBytes(path);
        ASSERT_EQ(FeedRecords(Decode(path)), 1);
        EXPECT_EQ(DllDword("Logging"), 1u) << "Logging = 0 could not be stored";
        for (int i = 0; i < 5; ++i) ASSERT_EQ(AxFeed(1, 6 + i), 0);
        ASSERT_EQ(BdClose(0), 0);
        Open();  // a new BdOpen does not restart it either
        ASSERT_EQ(AxFeed(1, 20), 0);
        ASSERT_EQ(BdClose(0), 0);
        EXPECT_EQ(FileBytes(path), kept) << "the file the trigger kept is untouched";
    }
    // Logging through 0 and back to 1 (as the utility's Stop and Start write it):
    // logging comes back.
    reg.Dword(kDll, "TrigChk", 0);
    Open();
    reg.Dword(kDll, "Logging", 0);
    ASSERT_EQ(AxFeed(1, 30), 0);
    reg.Dword(kDll, "Logging", 1);
    ASSERT_EQ(AxFeed(1, 31), 0);
    ASSERT_EQ(BdClose(0), 0);
    EXPECT_EQ(FeedRecords(Decode(path)), 1);
}
