// Several threads issuing commands with logging on: records never interleave or
// tear, no file is written or closed after it was closed, and every line of every
// file reads back cleanly.
#include <atomic>
#include <map>
#include <thread>

#include "qrlink00.h"
#include "test_calllog_fixture.h"

using namespace qrl;
using namespace logtest;

namespace {

// Log files that count every misuse: a write or a close after the close.
struct Misuse {
    std::atomic<int> late_writes{0}, double_closes{0}, writes{0};
};

class CheckedFile : public LogFile {
public:
    CheckedFile(std::unique_ptr<LogFile> inner, Misuse& m) : inner_(std::move(inner)), m_(m) {}
    bool Write(const char* text, size_t len) override {
        ++m_.writes;
        if (closed_) ++m_.late_writes;
        return inner_->Write(text, len);
    }
    void Close() override {
        if (closed_.exchange(true)) ++m_.double_closes;
        inner_->Close();
    }

private:
    std::unique_ptr<LogFile> inner_;
    Misuse& m_;
    std::atomic<bool> closed_{false};
};

class CheckingPlatform : public fake::FakePlatform {
public:
    std::unique_ptr<LogFile> OpenLogFile(const std::string& path) override {
        auto f = files.Open(path);
        if (!f) return nullptr;
        return std::make_unique<CheckedFile>(std::move(f), misuse);
    }
    Misuse misuse;
};

class CallLogThreads : public ::testing::Test {
protected:
    CheckingPlatform platform;  // outlives the scope, which closes the log last
    fake::Scope scope;

    void SetUp() override {
        UsePlatform(&platform);
        auto& reg = platform.settings;
        reg.SetDword(kDll, "Logging", 1);
        reg.SetString(kDll, "LoggingPath", kStored);
        reg.SetDword(kDll, "LogSize", 30);
        reg.SetDword(kDll, "LogFileMax", 7);
        reg.SetDword(kDll, "LogFileCnt", 0);
        for (const char* n : vxreg::kItemSwitches) reg.SetDword(kItemsKey, n, 1);
        for (const char* n : vxreg::kCommandSwitches) reg.SetDword(kItemsKey, n, 0);
        reg.SetDword(kItemsKey, "SmonIn", 1);
        reg.SetDword(kItemsKey, "DinIn", 1);
        int32_t types[15] = {1, 1, 1, 1, 0x61};
        ASSERT_EQ(InitDll(1), 0);
        ASSERT_EQ(BdOpen(0, 10, 0, types), 0);
    }

    // Every file the log used reads back cleanly; returns the parsed logs by path.
    std::map<std::string, qrlog::Log> ReadAll() {
        std::map<std::string, qrlog::Log> out;
        for (const auto& path : platform.files.opened) {
            if (out.count(path)) continue;
            const std::string text = platform.files.Content(path);
            qrlog::Log log = qrlog::ReadLog(text);
            for (auto& p : log.problems) ADD_FAILURE() << path << ":" << p.line << ": " << p.what;
            if (!log.records.empty()) {
                EXPECT_EQ(log.records[0].type, 0) << path << " begins with its header";
            }
            for (size_t i = 1; i < log.records.size(); ++i)
                EXPECT_EQ(log.records[i].type, 1) << path << ":" << log.lines[i] << " a header inside the file";
            out[path] = std::move(log);
        }
        return out;
    }
};

constexpr int kWorkers = 4;
constexpr int kRounds = 300;

// Worker t drives axis station t + 1; worker 0 also reads the I/O station. After
// kRounds it goes on while `more` says so.
std::atomic<long> g_progress{0};

void Work(int t, std::atomic<int>& failures, const std::atomic<bool>* more) {
    const int station = t + 1;
    for (int i = 0; i < kRounds || (more && more->load()); ++i, ++g_progress) {
        if (AxFeed(station, t * 100000 + i) != 0) ++failures;
        uint16_t status = 0;
        if (StdtStGet(station, &status) != 0) ++failures;
        if (t == 0 && i % 10 == 0) {
            uint16_t in = 0;
            if (D16in(5, 1, 0, 0, &in) != 0) ++failures;
        }
    }
}

}  // namespace

TEST_F(CallLogThreads, ConcurrentCommandsEveryRecordSoundAndCounted) {
    std::atomic<int> failures{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < kWorkers; ++t) threads.emplace_back(Work, t, std::ref(failures), nullptr);
    for (auto& th : threads) th.join();
    ASSERT_EQ(failures.load(), 0);
    ASSERT_EQ(BdClose(0), 0);

    EXPECT_EQ(platform.misuse.late_writes.load(), 0);
    EXPECT_EQ(platform.misuse.double_closes.load(), 0);
    EXPECT_EQ(platform.files.open_now, 0);

    // The ring did not wrap, so every record is still there.
    std::set<std::string> unique(platform.files.opened.begin(), platform.files.opened.end());
    ASSERT_EQ(unique.size(), platform.files.opened.size()) << "no file of the ring was reused";
    ASSERT_GE(platform.files.opened.size(), 3u) << "the size limit rotated the log while threads wrote";

    std::map<int, int> feeds, reads;
    size_t records = 0;
    for (auto& [path, log] : ReadAll()) {
        for (size_t i = 1; i < log.records.size(); ++i) {
            ++records;
            const auto& e = log.records[i].entries.at(0);
            const int station = qrlog::StationOf(e.select, e.offset);
            if (e.select == 2 && e.data[0] == 0x03 && e.data[1] == 0x36) ++feeds[station];
            if (e.select == 1) ++reads[station];
        }
    }
    for (int s = 1; s <= kWorkers; ++s) {
        EXPECT_EQ(feeds[s], kRounds) << "AxFeed records of station " << s;
        EXPECT_GE(reads[s], kRounds) << "status reads of station " << s;
    }
    EXPECT_EQ(static_cast<int>(records) + static_cast<int>(platform.files.opened.size()),
              platform.misuse.writes.load())
        << "one write per line, headers included";
}

TEST_F(CallLogThreads, SwitchingOnAndOffWhileThreadsRun) {
    std::atomic<int> failures{0};
    std::atomic<bool> more{true};
    // A size limit small enough to rotate often, too (read at the next start).
    platform.settings.SetDword(kDll, "LogSize", 2);
    std::vector<std::thread> threads;
    for (int t = 0; t < kWorkers; ++t) threads.emplace_back(Work, t, std::ref(failures), &more);
    // Forty switches, each after the workers made some progress, however the
    // threads happen to be scheduled.
    auto after_some_work = [] {
        const long from = g_progress.load();
        while (g_progress.load() < from + 25) std::this_thread::yield();
    };
    uint32_t v = 0;
    for (int toggles = 0; toggles < 40; ++toggles) {
        platform.settings.SetDword(kDll, "Logging", v);
        v ^= 1;
        after_some_work();
    }
    platform.settings.SetDword(kDll, "Logging", 1);
    after_some_work();
    more = false;
    for (auto& th : threads) th.join();
    ASSERT_EQ(failures.load(), 0);
    ASSERT_EQ(BdClose(0), 0);

    EXPECT_EQ(platform.misuse.late_writes.load(), 0);
    EXPECT_EQ(platform.misuse.double_closes.load(), 0);
    EXPECT_EQ(platform.files.open_now, 0);
    EXPECT_GT(platform.files.opened.size(), 1u);
    ReadAll();
}

// With logging off and the switch unchanged, threads making commands at once never
// take the call log's lock: they cannot queue behind each other (or behind a thread
// writing a record) on the log's account. Switched on, they do, and each record is
// whole.
TEST_F(CallLogThreads, ThreadsWithLoggingOffTakeNoLockOfTheLog) {
    platform.settings.SetDword(kDll, "Logging", 0);
    uint16_t status = 0;
    ASSERT_EQ(StdtStGet(1, &status), 0);  // sees the change: the log closes
    ASSERT_EQ(platform.files.open_now, 0);
    const long locks = LogLockCountForTests();
    std::atomic<int> failures{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < kWorkers; ++t) threads.emplace_back(Work, t, std::ref(failures), nullptr);
    for (auto& th : threads) th.join();
    ASSERT_EQ(failures.load(), 0);
    EXPECT_EQ(LogLockCountForTests(), locks) << kWorkers << " threads x " << kRounds << " rounds";

    platform.settings.SetDword(kDll, "Logging", 1);
    threads.clear();
    for (int t = 0; t < kWorkers; ++t) threads.emplace_back(Work, t, std::ref(failures), nullptr);
    for (auto& th : threads) th.join();
    ASSERT_EQ(failures.load(), 0);
    EXPECT_GT(LogLockCountForTests(), locks);
    ASSERT_EQ(BdClose(0), 0);
    ReadAll();
}
