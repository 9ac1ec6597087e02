// Call logging: settings from the Dll key of the board family, a ring of log files,
// one hexadecimal text line per logged exchange, and a stop trigger that ends the
// log a set number of characters after a chosen data pattern went by.
//
// Everything read from the registry is untrusted: the utility writes it, but so
// can anyone with a registry editor. Out-of-range trigger settings never fire,
// sizes saturate, and a setting that makes logging impossible leaves it off.
#include "calllog.h"

#include <atomic>
#include <cstdio>
#include <memory>
#include <mutex>
#include <string>

#include "board.h"
#include "platform.h"
#include "settings_layout.h"

namespace qrl {

namespace {

using calllog::kCommandSwitchCount;
using calllog::kItemCount;
using calllog::kMaxRecordChars;

// Item switches by index (item number = index + 1).
enum Item : int {
    kItemByteCount, kItemCommandCount, kItemDeviceNumber, kItemSelectCode, kItemOffset,
    kItemSize, kItemReturnCode, kItemAxisBits, kItemSourceadd, kItemCheckSum,
};
// Per-command switches, in the order the settings list them.
enum CommandSwitch : int { kSmonOut, kDinOut, kIpNumOut, kIpSetOut, kSmonIn, kIpNumIn, kDinIn };
// The ten trigger and file settings, in their read order.
enum Setting : int {
    kTrigChk, kTrigData, kTargetOffset, kTargetSize, kTargetCH,
    kTrigLogic, kTargetType, kLogFileCnt, kLogFileMax, kLogSize,
};
constexpr int kSettingCount = 10;

constexpr size_t kSourceBytes = 16;  // Data bytes a record carries per entry
constexpr uint32_t kTargetSend = 1, kTargetReceive = 0;
constexpr uint32_t kMaxTargetOffset = 15;

struct LogState {
    int32_t flag = 0;                      // the Logging value last seen; records only while 1
    std::unique_ptr<LogFile> file;         // null whenever no file is open
    uint32_t items[kItemCount] = {};
    uint32_t commands[kCommandSwitchCount] = {};
    uint32_t settings[kSettingCount] = {};  // LogSize as stored, in units of 1000
    uint64_t limit = 0;                    // LogSize in characters
    uint64_t written = 0;                  // characters in the current file, header included
    uint64_t budget = 0;                   // 0: no trigger pending
    uint64_t after = 0;                    // record characters since the trigger fired
    // A trigger ended the log but Logging = 0 could not be written back: logging
    // stays off until Logging has been seen at 0 and then at 1 again, so that the
    // file the trigger kept is not followed by a new log nobody asked for.
    bool hold_off = false;
    // A LogFileCnt write-back failed: the ring's counter lives here from then on,
    // for the rest of the process, so that every rotation still moves on to the
    // next file instead of reopening (and emptying) the same one.
    bool count_in_memory = false;
    uint32_t memory_count = 0;
};

std::mutex g_mu;
LogState g_log;

// The fast path of an exchange with logging off takes no lock: it asks the watch on
// the Dll key whether Logging may have changed and reads g_recording. Both are set
// under g_mu; the watch only by LogStart, LogClose and InitDll, which run while no
// other thread uses the library.
std::unique_ptr<KeyWatch> g_watch_owner;
std::atomic<KeyWatch*> g_watch{nullptr};
std::atomic<bool> g_recording{false};  // a file is open and records are written
#ifdef VX_TEST_HOOKS
std::atomic<long> g_lock_count{0};  // every taking of g_mu, for the tests
#endif

// g_mu for one operation; on the way out, g_recording tells the fast path what the
// operation left behind.
class Locked {
public:
    Locked() : lock_(g_mu) {
#ifdef VX_TEST_HOOKS
        g_lock_count.fetch_add(1, std::memory_order_relaxed);
#endif
    }
    ~Locked() { g_recording.store(g_log.flag == 1 && g_log.file != nullptr, std::memory_order_release); }
    Locked(const Locked&) = delete;
    Locked& operator=(const Locked&) = delete;

private:
    std::lock_guard<std::mutex> lock_;
};

// Units of 1000 characters as a character count that cannot wrap.
uint64_t Thousands(uint32_t units) {
    const uint64_t v = static_cast<uint64_t>(units) * 1000u;
    return v > UINT32_MAX ? UINT32_MAX : v;
}

// One registry key, opened for what the caller does with it and closed on every way out.
class OpenKey {
public:
    OpenKey(SettingsStore& store, const char* path, SettingsStore::Access access = SettingsStore::Access::Read)
        : store_(store), key_(path ? store.Open(path, access) : 0) {}
    ~OpenKey() {
        if (key_) store_.Close(key_);
    }
    OpenKey(const OpenKey&) = delete;
    OpenKey& operator=(const OpenKey&) = delete;
    explicit operator bool() const { return key_ != 0; }
    bool Read(const char* name, uint32_t& v) { return store_.ReadDword(key_, name, v); }
    bool ReadText(const char* name, std::string& v, size_t max) { return store_.ReadString(key_, name, v, max); }
    bool Write(const char* name, uint32_t v) { return store_.WriteDword(key_, name, v); }

private:
    SettingsStore& store_;
    SettingsStore::Key key_;
};

// One record line, formatted in place and written with a single call.
class Line {
public:
    explicit Line(const char* type) {
        Put(type[0]);
        Put(type[1]);
        Hex(0, 4);  // byte count, filled in by Finish
    }
    void Hex(uint32_t v, int width) {
        static const char digits[] = "0123456789abcdef";
        for (int i = width - 1; i >= 0; --i) Put(digits[(v >> (4 * i)) & 0xF]);
    }
    // Byte count (characters from position 6 up to the checksum), checksum, newline.
    void Finish() {
        const uint32_t count = static_cast<uint32_t>(n_ - 6);
        const size_t end = n_;
        n_ = 2;
        Hex(count, 4);
        n_ = end;
        uint32_t sum = 0;
        for (size_t i = 2; i < n_; ++i) sum += static_cast<unsigned char>(buf_[i]);
        Hex(~sum & 0xFF, 2);
        Put('\n');
    }
    const char* text() const { return buf_; }
    size_t size() const { return n_; }

private:
    void Put(char c) {
        if (n_ < sizeof buf_) buf_[n_++] = c;
    }
    char buf_[kMaxRecordChars];
    size_t n_ = 0;
};

const char* DllKey() { return vxreg::DllKeyFor(Board().family); }

// Writes one value of the Dll key back, in an open of its own that asks for
// set-value access only (a standard user's application may read the key but not
// write it). False when the key does not open or the write fails.
bool WriteBack(const char* name, uint32_t value) {
    OpenKey key(CurrentPlatform().Settings(), DllKey(), SettingsStore::Access::Write);
    return key && key.Write(name, value);
}

void CloseFile() {
    if (g_log.file) {
        g_log.file->Close();
        g_log.file.reset();
    }
}

bool LoggingOn() { return g_log.flag == 1 && g_log.file != nullptr; }

// The file to open for a stored LoggingPath: the text from the drive letter on,
// i.e. from the character before the last ':'. False when there is none.
bool DrivePath(const std::string& stored, std::string& path) {
    const size_t colon = stored.rfind(':');
    if (colon == std::string::npos || colon == 0) return false;
    path = stored.substr(colon - 1);
    return true;
}

void WriteHeader() {
    Line line("00");
    line.Hex(1, 2);
    // The header lists the switches the records are written with, so that a reader
    // can always recover the layout (also when a switch kept its earlier value).
    for (int i = 0; i < kItemCount; ++i)
        if (g_log.items[i] != 0) line.Hex(static_cast<uint32_t>(i + 1), 2);
    line.Finish();
    g_log.file->Write(line.text(), line.size());
    g_log.written += line.size();
}

// Log start. The caller holds g_mu.
void Start() {
    CloseFile();  // a log still open (a second BdOpen, rotation) ends here
    g_log.written = 0;
    g_log.budget = 0;
    g_log.after = 0;

    SettingsStore& store = CurrentPlatform().Settings();
    std::string file_path;
    {
        OpenKey key(store, DllKey());
        uint32_t logging = 0;
        if (!key || !key.Read(vxreg::kLogging, logging)) {
            // Without the switch there is no log; the next exchange that can read
            // Logging = 1 tries again.
            g_log.flag = 0;
            return;
        }
        if (logging != 1 || g_log.hold_off) {
            // Held off after a trigger: 1 counts only once 0 has been seen.
            if (logging != 1) g_log.hold_off = false;
            g_log.flag = logging == 1 ? 0 : static_cast<int32_t>(logging);
            return;
        }
        g_log.flag = 1;

        for (int i = 0; i < kSettingCount; ++i) {
            uint32_t v;
            if (key.Read(vxreg::kTriggerAndFileValues[i], v)) g_log.settings[i] = v;
        }
        g_log.limit = Thousands(g_log.settings[kLogSize]);

        // From here on a failure leaves the flag at 1 with no file: logging is off
        // and stays off until Logging goes through 0, so a setting that cannot work
        // costs no repeated registry writes.
        std::string stored;
        if (!key.ReadText(vxreg::kLoggingPath, stored, vxreg::kMaxPathChars)) return;
        if (!DrivePath(stored, file_path) || g_log.limit == 0) return;

        if (g_log.count_in_memory) g_log.settings[kLogFileCnt] = g_log.memory_count;
        uint32_t count = g_log.settings[kLogFileCnt];
        if (count > g_log.settings[kLogFileMax]) count = 0;
        if (count > 0) file_path += "." + std::to_string(count);
        g_log.settings[kLogFileCnt] = count + 1;
        if (!WriteBack(vxreg::kLogFileCnt, count + 1)) g_log.count_in_memory = true;
        g_log.memory_count = count + 1;
        g_log.file = CurrentPlatform().OpenLogFile(file_path);
    }
    if (!g_log.file) return;

    {
        OpenKey items(store, vxreg::DllLogItemsKeyFor(Board().family));
        if (items) {
            for (int i = 0; i < kItemCount; ++i) {
                uint32_t v;
                if (items.Read(vxreg::kItemSwitches[i], v)) g_log.items[i] = v;
            }
            for (int i = 0; i < kCommandSwitchCount; ++i) {
                uint32_t v;
                if (items.Read(vxreg::kCommandSwitches[i], v)) g_log.commands[i] = v;
            }
        }
    }
    WriteHeader();
    // A header alone above the limit ends this log; the flag stays 1, so logging
    // is off until Logging is switched off and on again.
    if (g_log.written > g_log.limit) CloseFile();
}

// Ends the log because the trigger's budget is spent (or was 0).
void EndByTrigger() {
    CloseFile();
    g_log.flag = 0;
    if (!WriteBack(vxreg::kLogging, 0)) g_log.hold_off = true;
}

void FormatRecord(const CommandBuffer& b, Line& line) {
    const uint32_t* on = g_log.items;
    int32_t count = b.Count();
    if (count < 0) count = 0;
    if (count > kEntryCount) count = kEntryCount;
    if (on[kItemCommandCount]) line.Hex(static_cast<uint32_t>(count), 2);
    for (int k = 0; k < count; ++k) {
        if (on[kItemDeviceNumber]) line.Hex(static_cast<uint32_t>(b.Field(k, kDeviceNumber)) & 0xFF, 2);
        if (on[kItemSelectCode]) line.Hex(static_cast<uint32_t>(b.Field(k, kSelectCode)) & 0xFF, 2);
        if (on[kItemOffset]) line.Hex(static_cast<uint32_t>(b.Field(k, kOffset)) & 0xFFFF, 4);
        if (on[kItemSize]) line.Hex(static_cast<uint32_t>(b.Field(k, kSize)) & 0xFF, 2);
        if (on[kItemReturnCode]) line.Hex(static_cast<uint32_t>(b.Field(k, kReturnCode)) & 0xFF, 2);
        if (on[kItemAxisBits]) line.Hex(static_cast<uint32_t>(b.Field(k, kAxisBitNumber)), 8);
        if (on[kItemSourceadd]) {
            const uint8_t* d = b.Data(k);
            for (size_t i = 0; i < kSourceBytes; ++i) line.Hex(d[i], 2);
        }
    }
    line.Finish();
}

// Brings the state up to the Logging value in the registry. The caller holds g_mu.
void ReadSwitch() {
    OpenKey key(CurrentPlatform().Settings(), DllKey());
    if (!key) return;  // a missing key changes nothing
    uint32_t v = 0;
    if (!key.Read(vxreg::kLogging, v)) v = 0;
    // Only 1 means on. Switching on runs a log start, which sets the flag from its
    // own reading; any other value closes the log (and ends a hold after a trigger).
    if (v == 1 && g_log.flag != 1) {
        if (!g_log.hold_off) Start();
    } else {
        if (v != 1) {
            CloseFile();
            g_log.hold_off = false;
        }
        g_log.flag = static_cast<int32_t>(v);
    }
}

// The record writer. `current`: the switch is known to be current for this
// exchange. Otherwise it is read: always without a watch (as on every logged
// exchange before watches existed), and with one only when a change was signalled,
// after re-arming, so that a change made while reading is signalled again.
// Returns whether the switch is current for the rest of the exchange. The caller
// holds g_mu.
bool WriteRecord(const CommandBuffer& b, bool current) {
    if (!current) {
        KeyWatch* w = g_watch.load(std::memory_order_acquire);
        if (w == nullptr) {
            ReadSwitch();
        } else if (w->MayHaveChanged()) {
            current = w->Rearm();
            ReadSwitch();
        } else {
            current = true;
        }
    }
    if (!LoggingOn()) return current;

    Line line("01");
    FormatRecord(b, line);
    g_log.written += line.size();
    if (g_log.budget > 0) {
        g_log.after += line.size();
        if (g_log.after > g_log.budget) {
            EndByTrigger();
            return current;
        }
    }
    g_log.file->Write(line.text(), line.size());
    if (g_log.written > g_log.limit) Start();  // rotation: the next file of the ring
    return current;
}

bool Fires(uint32_t logic, uint32_t v, uint32_t t) {
    switch (logic) {
    case 0: return v != t;
    case 1: return v == t;
    case 2: return v > t;
    case 3: return v >= t;
    case 4: return v <= t;
    case 5: return v < t;
    case 6: return v != 0 && t != 0;
    case 7: return ((v & t) ^ t) != 0;
    default: return false;
    }
}

// Trigger evaluation on entry k. The caller holds g_mu.
void EvaluateTrigger(const CommandBuffer& b, int k) {
    if (Board().open != 1 || g_log.budget != 0 || g_log.settings[kTrigChk] != 1) return;
    if (!LoggingOn()) return;  // there is no log to end
    const uint32_t offset = g_log.settings[kTargetOffset], size = g_log.settings[kTargetSize];
    if (offset > kMaxTargetOffset || size < 1 || size > 4) return;
    const uint8_t* d = b.Data(k);
    uint32_t v = 0;
    for (uint32_t i = 0; i < size; ++i) v = (v << 8) | d[offset + i];  // most significant first
    if (!Fires(g_log.settings[kTrigLogic], v, g_log.settings[kTrigData])) return;

    {
        OpenKey key(CurrentPlatform().Settings(), DllKey());
        uint32_t units;
        if (key && key.Read(vxreg::kAfterTrigDataSize, units)) g_log.budget = Thousands(units);
    }
    g_log.after = 0;
    if (g_log.budget == 0) EndByTrigger();
}

// The first entry addressing station TargetCH, or -1.
int TargetEntry(const CommandBuffer& b) {
    const uint32_t target = g_log.settings[kTargetCH];
    if (target < 1 || target > 15) return -1;
    int32_t count = b.Count();
    if (count > kEntryCount) count = kEntryCount;
    for (int k = 0; k < count; ++k)
        if (StationOfEntry(b.Field(k, kSelectCode), b.Field(k, kOffset)) == static_cast<int>(target)) return k;
    return -1;
}

// LogBefore under g_mu; returns whether the switch is current for the rest of the
// exchange.
bool BeforeLocked(const CommandBuffer& b, bool current) {
    const int target = TargetEntry(b);
    const uint32_t* sw = g_log.commands;
    bool write;
    switch (b.Field(target >= 0 ? target : 0, kSelectCode)) {
    case kSelRead: write = sw[kSmonOut] != 0; break;
    case kSelIpData: write = sw[kIpSetOut] != 0; break;
    case kSelIpNumGet: write = sw[kIpNumOut] != 0; break;
    case kSelInput: write = sw[kDinOut] != 0; break;
    default: write = true; break;
    }
    if (write) current = WriteRecord(b, current);
    if (target >= 0 && g_log.settings[kTargetType] == kTargetSend) EvaluateTrigger(b, target);
    return current;
}

// LogAfter under g_mu.
void AfterLocked(const CommandBuffer& b, bool current) {
    const int target = TargetEntry(b);
    const uint32_t* sw = g_log.commands;
    switch (b.Field(target >= 0 ? target : 0, kSelectCode)) {
    case kSelRead:
        if (sw[kSmonIn]) {
            WriteRecord(b, current);
            if (target >= 0 && g_log.settings[kTargetType] == kTargetReceive) EvaluateTrigger(b, target);
        }
        break;
    case kSelIpNumGet:
        if (sw[kIpNumIn]) WriteRecord(b, current);
        break;
    case kSelInput:
        if (sw[kDinIn]) WriteRecord(b, current);
        break;
    default: break;
    }
}

// Arms a watch on the Dll key of the current family (replacing any other). Runs
// while no other thread uses the library.
void WatchDllKey() {
    g_watch.store(nullptr, std::memory_order_release);
    g_watch_owner.reset();
    // No family, no key to watch: the switch is then looked for (in vain) as
    // without a watch.
    if (const char* path = DllKey()) g_watch_owner = CurrentPlatform().Settings().Watch(path);
    g_watch.store(g_watch_owner.get(), std::memory_order_release);
}

void DropWatch() {
    g_watch.store(nullptr, std::memory_order_release);
    g_watch_owner.reset();
}

}  // namespace

void LogStart() {
    Locked lock;
    // Armed before the settings are read, so that no change after the reading
    // goes unnoticed.
    WatchDllKey();
    Start();
}

void LogClose() {
    Locked lock;
    CloseFile();
    g_log.flag = 0;
    DropWatch();
}

void LogFamilyChanged() {
    Locked lock;
    if (g_watch.load(std::memory_order_relaxed) != nullptr) WatchDllKey();
}

LogPass LogBefore(const CommandBuffer& b) {
    KeyWatch* w = g_watch.load(std::memory_order_acquire);
    // Logging off and the switch unchanged since it was last read: nothing to do,
    // and no lock taken, so that threads with logging off never queue here.
    const bool unchanged = w != nullptr && !w->MayHaveChanged();
    if (unchanged && !g_recording.load(std::memory_order_acquire)) return LogPass{true};
    Locked lock;
    return LogPass{BeforeLocked(b, unchanged)};
}

void LogAfter(const CommandBuffer& b, LogPass pass) {
    bool current = pass.current;
    if (!current) {
        // The switch was not brought up to date before the exchange (no watch, or a
        // change signalled on an exchange whose LogBefore logs nothing): look now.
        KeyWatch* w = g_watch.load(std::memory_order_acquire);
        current = w != nullptr && !w->MayHaveChanged();
    }
    if (current && !g_recording.load(std::memory_order_acquire)) return;
    Locked lock;
    AfterLocked(b, current);
}

#ifdef VX_TEST_HOOKS
long LogLockCountForTests() { return g_lock_count.load(std::memory_order_relaxed); }

void ResetLogForTests() {
    Locked lock;
    CloseFile();
    DropWatch();
    g_log = LogState{};
}
#endif

}  // namespace qrl
