// Fakes of the platform services for the core's tests: a clock that advances on
// every look, in-memory settings, in-memory log files, and a scripted driver that
// records every exchange and answers from a script.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "board.h"
#include "cmdbuf.h"
#include "platform.h"

namespace fake {

// Time moves only when the code under test looks at it or yields: each NowMs
// call advances by `tick_ms` (default 0) and each Yield by `yield_ms` (default 1),
// so a 2000 ms limit passes after about 2000 polls, instantly.
class FakeClock : public qrl::Clock {
public:
    int64_t NowMs() override;
    void YieldProcessorTime() override;
    void SleepMs(uint32_t ms) override;

    std::atomic<int64_t> now{0};  // also read, unlocked, by the scripted driver
    int64_t tick_ms = 0;
    int64_t yield_ms = 1;
    int64_t yields = 0;
    std::vector<uint32_t> sleeps;
    std::mutex mu;
};

class MemorySettings;

// A watch on one key of MemorySettings: signalled by every change the settings see
// at the key (values written, key created or removed) or, while the key is missing,
// anywhere below its nearest existing parent.
class MemoryWatch : public qrl::KeyWatch {
public:
    MemoryWatch(MemorySettings& owner, std::string path);
    ~MemoryWatch() override;
    bool MayHaveChanged() override;
    bool Rearm() override;

    // Called by the settings for a change at `path`.
    void Touch(const std::string& path);
    const std::string path;

private:
    MemorySettings& owner_;
    std::string on_;  // the key armed on: `path` or a parent
    std::atomic<bool> armed_{false}, signalled_{false};
};

// Registry keys as a map of path -> values. Only keys present in `keys` open. Opens
// are recorded with what they were for; a key opened for reading cannot be written
// and one opened for writing cannot be read, as with the real access rights.
class MemorySettings : public qrl::SettingsStore {
public:
    struct Values {
        std::map<std::string, uint32_t> dwords;
        std::map<std::string, std::string> strings;
    };
    struct OpenRecord {
        std::string path;
        Access access;
    };
    Key Open(const char* path, Access access) override;
    bool ReadDword(Key key, const char* name, uint32_t& value) override;
    bool ReadString(Key key, const char* name, std::string& value, size_t max_chars) override;
    bool WriteDword(Key key, const char* name, uint32_t value) override;
    bool Close(Key key) override;
    std::unique_ptr<qrl::KeyWatch> Watch(const char* path) override;

    // Helpers for tests; each change signals the watches it concerns.
    void SetDword(const std::string& path, const std::string& name, uint32_t v);
    void SetString(const std::string& path, const std::string& name, const std::string& v);
    bool GetDword(const std::string& path, const std::string& name, uint32_t& v);
    void RemoveKey(const std::string& path);
    void RemoveValue(const std::string& path, const std::string& name);
    void PutKey(const std::string& path, const Values& values);

    std::map<std::string, Values> keys;
    std::set<std::string> fail_writes;  // value names whose writes fail
    bool read_only = false;             // opens for writing are refused (a standard user)
    int arm_failures = 0;               // the next arms of a watch that fail
    std::vector<OpenRecord> open_log;   // every open, in order
    int opens = 0, closes = 0, reads = 0, writes = 0, arms = 0;
    std::recursive_mutex mu;

private:
    friend class MemoryWatch;
    void Changed(const std::string& path);
    struct Handle {
        std::string path;
        Access access;
    };
    std::map<Key, Handle> open_;
    std::set<MemoryWatch*> watches_;
    Key next_ = 1;
};

// Log files kept in memory, by the path the library opened.
class MemoryFiles {
public:
    std::unique_ptr<qrl::LogFile> Open(const std::string& path);
    std::string Content(const std::string& path);
    bool Exists(const std::string& path);
    std::vector<std::string> opened;         // every path opened, in order
    std::set<std::string> unopenable;        // paths whose open fails
    int open_now = 0;                        // files currently open
    std::map<std::string, std::string> files;
    std::mutex mu;
};

// One recorded exchange: what was sent and what came back.
struct Record {
    uint32_t ioctl;
    qrl::CommandBuffer sent;
    qrl::CommandBuffer returned;
    int64_t at_ms;
};

// The driver of the tests. By default every entry answers ReturnCode 0; reads of a
// response area return `response[station]`; a station command (a write to station
// n's command area with Data[0] = 0x03) is answered by a minimal station: response
// code := command code, bytes 5..15 echoed, servo bit set by 0x31 and cleared by
// 0x32, ready bit kept. `script`, when set, is consulted first for every exchange:
// return true to take over (the buffer as the script leaves it is the answer).
class ScriptedDriver {
public:
    ScriptedDriver();
    bool Exchange(uint32_t ioctl, uint8_t* buffer);

    std::vector<Record> log;
    uint8_t response[16][17];
    uint8_t inputs[16][17];
    bool station_echo = true;
    bool fail_all = false;        // every exchange fails
    int fail_after = -1;          // exchanges to succeed before all later ones fail
    bool close_ok = true;
    int closes = 0;
    std::function<bool(uint32_t ioctl, qrl::CommandBuffer& b, ScriptedDriver& d)> script;
    std::recursive_mutex mu;
    FakeClock* clock = nullptr;

    // Exchanges of one ioctl code, for assertions.
    std::vector<Record> Of(uint32_t ioctl);
    void Clear() { log.clear(); }
};

// The platform of the native tests. OpenDevice hands out a channel forwarding to
// `driver` (the test keeps its view of it), or fails when `device_present` is false.
class FakePlatform : public qrl::Platform {
public:
    FakePlatform();
    std::unique_ptr<qrl::DeviceChannel> OpenDevice() override;
    qrl::SettingsStore& Settings() override { return settings; }
    qrl::Clock& Time() override { return clock; }
    bool LibraryFileVersion(std::string& text) override;
    std::unique_ptr<qrl::LogFile> OpenLogFile(const std::string& path) override { return files.Open(path); }

    FakeClock clock;
    MemorySettings settings;
    MemoryFiles files;
    std::shared_ptr<ScriptedDriver> driver;
    // Set to route OpenDevice elsewhere (for example to the virtual board).
    std::function<std::unique_ptr<qrl::DeviceChannel>()> open_device;
    bool device_present = true;
    int device_opens = 0;
    std::string file_version = "6, 5, 1, 0";
    bool has_version = true;
};

// Installs a fresh FakePlatform and resets the library's globals; uninstalls on
// destruction. Use one per test.
class Scope {
public:
    Scope();
    ~Scope();
    FakePlatform platform;
    ScriptedDriver& driver() { return *platform.driver; }
};

// Bytes as "03 36 00 ..." for failure messages.
std::string Hex(const uint8_t* p, size_t n);

}  // namespace fake
