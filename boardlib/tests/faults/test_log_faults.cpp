// Faults around the call log, with the in-process virtual board: the Dll keys
// deleted while a thread keeps logging, and the log folder made unwritable. The
// commands must go on returning 0 whatever happens to the log, and the log must
// stop without a torn record and come back once its settings or folder do.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <functional>
#include <cstdint>
#include <thread>

#include "fault_support.h"
#include "handle_count.h"
#include "qrlink00.h"

using namespace flt;

namespace {

// The longest record: 21 entries with every item on, newline included.
constexpr int64_t kMaxRecordChars = 1103;

// Characters as the library counts them (newline = 1), whatever line ends the
// text-mode file got on disk.
int64_t LogChars(const std::string& path) {
    int64_t n = 0;
    for (const std::string& l : ReadLines(path)) n += static_cast<int64_t>(l.size()) + 1;
    return n;
}

void ExpectWellFormedLog(const std::string& path) {
    const auto lines = ReadLines(path);
    ASSERT_FALSE(lines.empty()) << path;
    EXPECT_EQ(lines[0].substr(0, 2), "00") << path << ": a log file starts with its header";
    for (size_t i = 0; i < lines.size(); ++i) {
        EXPECT_TRUE(LineIsWellFormed(lines[i])) << path << " line " << i << ": " << lines[i];
        if (i > 0) {
            EXPECT_EQ(lines[i].substr(0, 2), "01") << path << " line " << i;
        }
    }
}

// One round of commands that are each one logged exchange or two.
int32_t CommandRound() {
    uint16_t st = 0;
    if (int32_t r = StdtStGet(1, &st)) return r;
    if (int32_t r = MlockOn(1)) return r;
    if (int32_t r = StdtStGet(2, &st)) return r;
    return MlockOff(1);
}

// A thread issuing command rounds until stopped; it can be held between rounds.
class Commander {
public:
    Commander() : thread_([this] { Run(); }) {}
    ~Commander() { Stop(); }
    // Holds the thread between two rounds; false if it did not get there in 3 s.
    bool Pause() {
        pause_ = true;
        const double end = NowMs() + 3000;
        while (!paused_ && NowMs() < end) Sleep(1);
        return paused_;
    }
    void Resume() {
        pause_ = false;
        const double end = NowMs() + 3000;
        while (paused_ && NowMs() < end) Sleep(1);
    }
    void Stop() {
        stop_ = true;
        pause_ = false;
        if (thread_.joinable()) thread_.join();
    }
    int rounds() const { return rounds_; }
    int failures() const { return failures_; }
    int32_t last_failure() const { return last_failure_; }

private:
    void Run() {
        while (!stop_) {
            if (pause_) {
                paused_ = true;
                Sleep(1);
                continue;
            }
            paused_ = false;
            if (int32_t r = CommandRound()) {
                ++failures_;
                last_failure_ = r;
            }
            ++rounds_;
            Sleep(1);
        }
        paused_ = false;
    }
    std::atomic<bool> stop_{false}, pause_{false}, paused_{false};
    std::atomic<int> rounds_{0}, failures_{0};
    std::atomic<int32_t> last_failure_{0};
    std::thread thread_;
};

// Sum of the sizes of a folder's files (the log ring), to see whether it still grows.
int64_t FolderBytes(const std::string& dir) {
    int64_t n = 0;
    for (const std::string& f : ListDir(dir)) n += std::max<int64_t>(0, FileSize(dir + "\\" + f));
    return n;
}

// Polls until the folder's size has not changed for `quiet_ms`; false after limit_ms.
bool FolderSettles(const std::string& dir, double quiet_ms, double limit_ms) {
    const double end = NowMs() + limit_ms;
    int64_t last = FolderBytes(dir);
    double since = NowMs();
    while (NowMs() < end) {
        Sleep(20);
        const int64_t now = FolderBytes(dir);
        if (now != last) {
            last = now;
            since = NowMs();
        } else if (NowMs() - since >= quiet_ms) {
            return true;
        }
    }
    return false;
}

bool WaitFor(double limit_ms, const std::function<bool()>& cond) {
    const double end = NowMs() + limit_ms;
    while (!cond()) {
        if (NowMs() > end) return false;
        Sleep(2);
    }
    return true;
}

}  // namespace

// The Dll keys are deleted while a thread logs. The library keeps the switch it
// last read while the key is missing, so the file in use fills up to its size
// limit; the rotation then finds no settings and logging stops: no new file, no
// torn record, commands go on returning 0. Put back with Logging 1, the keys bring
// logging back into the next file of the ring.
TEST(LogKeysDeleted, LoggingStopsCommandsGoOnAndLoggingResumesInTheNextFile) {
    ScratchDir dir("keys");
    const std::string base = dir.File("vx.log");
    constexpr DWORD kLogSize = 20;  // 20 000 characters per file
    constexpr int64_t kLimit = kLogSize * 1000;
    LogKeys keys;
    DeviceEnv dev("sim");
    ASSERT_EQ(InitDll(1), QRL_OK);
    int32_t types[15] = {1, 1};
    // The posix thread runtime linked into the library gives each thread a record
    // of its own (a duplicate of the thread's handle and an event) at its first
    // BdOpen, kept until the thread ends: one round before counting, so that the
    // count compares like with like.
    ASSERT_EQ(BdOpen(0, 10, 0, types), QRL_OK);
    ASSERT_EQ(BdClose(0), QRL_OK);
    const DWORD handles0 = HandleCount();
    const qrltest::HandleSet held0 = qrltest::OwnHandles();
    ASSERT_TRUE(keys.Create(base, kLogSize, 7, 0));
    ASSERT_EQ(BdOpen(0, 10, 0, types), QRL_OK);
    ASSERT_GT(FileSize(base), 0) << "BdOpen started the log";
    const int64_t opened = LogChars(base);
    for (int i = 0; i < 5; ++i) ASSERT_EQ(CommandRound(), QRL_OK);
    EXPECT_GT(LogChars(base), opened) << "commands are logged";

    Commander cmd;
    ASSERT_TRUE(WaitFor(10000, [&] { return FileSize(RingFile(base, 1)) > 0; })) << "the log rotates";
    ASSERT_TRUE(cmd.Pause());
    DWORD cnt = 0;
    ASSERT_TRUE(keys.GetDword("LogFileCnt", &cnt));
    ASSERT_GE(cnt, 2u);
    ASSERT_LE(cnt, 7u) << "the ring must not have wrapped yet";
    const std::string current = RingFile(base, static_cast<int>(cnt) - 1);
    ASSERT_GT(FileSize(current), 0);
    const auto files_before = ListDir(dir.path());

    ASSERT_TRUE(keys.DeleteDllKeys());
    const int rounds_at_delete = cmd.rounds();
    cmd.Resume();
    ASSERT_TRUE(FolderSettles(dir.path(), 400, 10000)) << "logging never stopped";
    const int rounds_at_stop = cmd.rounds();
    const int64_t stopped = FolderBytes(dir.path());
    Sleep(300);
    EXPECT_GT(cmd.rounds(), rounds_at_stop + 20) << "commands go on";
    EXPECT_GT(rounds_at_stop, rounds_at_delete);
    EXPECT_EQ(FolderBytes(dir.path()), stopped) << "no record once logging stopped";
    EXPECT_EQ(cmd.failures(), 0) << "last failure " << cmd.last_failure();
    EXPECT_EQ(ListDir(dir.path()), files_before) << "no new file of the ring without settings";
    const int64_t chars = LogChars(current);
    EXPECT_GT(chars, kLimit) << "the file in use was filled to its limit";
    EXPECT_LE(chars, kLimit + kMaxRecordChars);
    ExpectWellFormedLog(current);
    std::printf("[ timing ] keys deleted: %d rounds until logging stopped (file %s at %lld characters), "
                "%d more rounds without a record\n",
                rounds_at_stop - rounds_at_delete, current.c_str(), static_cast<long long>(chars),
                cmd.rounds() - rounds_at_stop);

    // The keys back, as the utility would write them, with Logging 1.
    ASSERT_TRUE(cmd.Pause());
    ASSERT_TRUE(keys.Create(base, kLogSize, 7, cnt));
    const std::string next = RingFile(base, static_cast<int>(cnt));
    const double t_back = NowMs();
    cmd.Resume();
    ASSERT_TRUE(WaitFor(5000, [&] { return ReadLines(next).size() >= 10; })) << next;
    std::printf("[ timing ] keys back: records in %s after %.1f ms\n", next.c_str(), NowMs() - t_back);
    cmd.Stop();
    EXPECT_EQ(cmd.failures(), 0);
    EXPECT_EQ(LogChars(current), chars) << "the stopped file stays as it was";
    ExpectWellFormedLog(next);
    DWORD cnt_after = 0;
    ASSERT_TRUE(keys.GetDword("LogFileCnt", &cnt_after));
    EXPECT_GT(cnt_after, cnt);

    EXPECT_EQ(BdClose(0), QRL_OK);
    EXPECT_EQ(HandleCount(), handles0) << qrltest::NewHandles(held0);
}

// The log folder cannot take files. Running as root under Wine, permission bits
// are not enforced, so "unwritable" is made the way it also happens in the field:
// the folder is missing and a plain file of the same name stands in its place.
// BdOpen and every command return 0, nothing is written anywhere, and the log
// stays off (also once the folder is back) until Logging is switched off and on or
// the board is opened again. A folder that goes bad while logging ends the log at
// the next rotation.
TEST(LogFolderUnwritable, NoRecordsNoCrashAndLoggingComesBack) {
    ScratchDir dir("folder");
    const std::string folder = dir.File("logs");
    const std::string base = folder + "\\vx.log";
    const std::string blocked = dir.File("blocked");
    for (const std::string& f : {folder, blocked}) {
        HANDLE h = CreateFileA(f.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        ASSERT_NE(h, INVALID_HANDLE_VALUE);
        DWORD put = 0;
        WriteFile(h, "x", 1, &put, nullptr);
        CloseHandle(h);
    }
    constexpr DWORD kLogSize = 2;  // 2000 characters: rotations come quickly
    constexpr int64_t kLimit = kLogSize * 1000;
    LogKeys keys;
    ASSERT_TRUE(keys.Create(base, kLogSize, 7, 0));
    DeviceEnv dev("sim");
    ASSERT_EQ(InitDll(1), QRL_OK);
    const DWORD handles0 = HandleCount();

    int32_t types[15] = {1, 1};
    ASSERT_EQ(BdOpen(0, 10, 0, types), QRL_OK);
    ASSERT_EQ(types[0], 1);
    for (int i = 0; i < 200; ++i) ASSERT_EQ(CommandRound(), QRL_OK);
    EXPECT_EQ(ListDir(dir.path()), (std::vector<std::string>{"blocked", "logs"}));
    EXPECT_FALSE(IsDirectory(folder));
    EXPECT_EQ(FileSize(folder), 1) << "nothing was written into the file in the folder's place";

    // The folder back: the log that failed to start stays off...
    ASSERT_TRUE(DeleteFileA(folder.c_str()));
    ASSERT_TRUE(CreateDirectoryA(folder.c_str(), nullptr));
    for (int i = 0; i < 50; ++i) ASSERT_EQ(CommandRound(), QRL_OK);
    EXPECT_TRUE(ListDir(folder).empty());
    // ...until Logging goes through 0; the failed start had taken suffix 0 of the ring.
    ASSERT_TRUE(keys.SetDword("Logging", 0));
    ASSERT_EQ(CommandRound(), QRL_OK);
    ASSERT_TRUE(keys.SetDword("Logging", 1));
    for (int i = 0; i < 3; ++i) ASSERT_EQ(CommandRound(), QRL_OK);
    EXPECT_EQ(ListDir(folder), std::vector<std::string>{"vx.log.1"});
    ASSERT_GE(ReadLines(RingFile(base, 1)).size(), 5u);
    ExpectWellFormedLog(RingFile(base, 1));

    // The path now leads below a plain file: the file in use fills up, and the
    // rotation's start fails. Every record that was written is whole.
    ASSERT_TRUE(keys.SetString("LoggingPath", "\\??\\" + blocked + "\\vx.log"));
    for (int i = 0; i < 300; ++i) ASSERT_EQ(CommandRound(), QRL_OK);
    EXPECT_EQ(ListDir(folder), std::vector<std::string>{"vx.log.1"});
    const int64_t chars = LogChars(RingFile(base, 1));
    EXPECT_GT(chars, kLimit);
    EXPECT_LE(chars, kLimit + kMaxRecordChars);
    ExpectWellFormedLog(RingFile(base, 1));
    EXPECT_EQ(FileSize(blocked), 1);
    EXPECT_EQ(BdClose(0), QRL_OK);
    EXPECT_EQ(HandleCount(), handles0);

    // The path restored: the next BdOpen logs again, into the next file of the ring
    // (the failed rotation had taken suffix 2); a larger size keeps it in one file.
    ASSERT_TRUE(keys.SetString("LoggingPath", "\\??\\" + base));
    ASSERT_TRUE(keys.SetDword("LogSize", 20));
    ASSERT_EQ(BdOpen(0, 10, 0, types), QRL_OK);
    for (int i = 0; i < 5; ++i) ASSERT_EQ(CommandRound(), QRL_OK);
    EXPECT_EQ(ListDir(folder), (std::vector<std::string>{"vx.log.1", "vx.log.3"}));
    ASSERT_GE(ReadLines(RingFile(base, 3)).size(), 10u);
    ExpectWellFormedLog(RingFile(base, 3));
    EXPECT_EQ(BdClose(0), QRL_OK);
    EXPECT_EQ(HandleCount(), handles0);
}
