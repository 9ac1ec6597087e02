#include "fakes.h"

#include "calllog.h"

#include <cstdio>
#include <cstring>

using namespace qrl;

namespace fake {

int64_t FakeClock::NowMs() {
    std::lock_guard<std::mutex> g(mu);
    now += tick_ms;
    return now;
}

void FakeClock::YieldProcessorTime() {
    std::lock_guard<std::mutex> g(mu);
    ++yields;
    now += yield_ms;
}

void FakeClock::SleepMs(uint32_t ms) {
    std::lock_guard<std::mutex> g(mu);
    sleeps.push_back(ms);
    now += ms;
}

// ---- settings ----

SettingsStore::Key MemorySettings::Open(const char* path) {
    std::lock_guard<std::recursive_mutex> g(mu);
    ++opens;
    if (!keys.count(path)) return 0;
    Key k = next_++;
    open_[k] = path;
    return k;
}

bool MemorySettings::ReadDword(Key key, const char* name, uint32_t& value) {
    std::lock_guard<std::recursive_mutex> g(mu);
    ++reads;
    auto it = open_.find(key);
    if (it == open_.end() || !keys.count(it->second)) return false;
    auto& d = keys[it->second].dwords;
    auto v = d.find(name);
    if (v == d.end()) return false;
    value = v->second;
    return true;
}

bool MemorySettings::ReadString(Key key, const char* name, std::string& value, size_t max_chars) {
    std::lock_guard<std::recursive_mutex> g(mu);
    ++reads;
    auto it = open_.find(key);
    if (it == open_.end() || !keys.count(it->second)) return false;
    auto& s = keys[it->second].strings;
    auto v = s.find(name);
    if (v == s.end() || v->second.size() > max_chars) return false;
    value = v->second;
    return true;
}

bool MemorySettings::WriteDword(Key key, const char* name, uint32_t value) {
    std::lock_guard<std::recursive_mutex> g(mu);
    ++writes;
    auto it = open_.find(key);
    if (it == open_.end() || !keys.count(it->second) || fail_writes.count(name)) return false;
    keys[it->second].dwords[name] = value;
    return true;
}

bool MemorySettings::Close(Key key) {
    std::lock_guard<std::recursive_mutex> g(mu);
    ++closes;
    return open_.erase(key) == 1;
}

void MemorySettings::SetDword(const std::string& path, const std::string& name, uint32_t v) {
    std::lock_guard<std::recursive_mutex> g(mu);
    keys[path].dwords[name] = v;
}

void MemorySettings::SetString(const std::string& path, const std::string& name, const std::string& v) {
    std::lock_guard<std::recursive_mutex> g(mu);
    keys[path].strings[name] = v;
}

bool MemorySettings::GetDword(const std::string& path, const std::string& name, uint32_t& v) {
    std::lock_guard<std::recursive_mutex> g(mu);
    auto k = keys.find(path);
    if (k == keys.end()) return false;
    auto d = k->second.dwords.find(name);
    if (d == k->second.dwords.end()) return false;
    v = d->second;
    return true;
}

void MemorySettings::RemoveKey(const std::string& path) {
    std::lock_guard<std::recursive_mutex> g(mu);
    keys.erase(path);
}

// ---- log files ----

namespace {

class MemoryFile : public LogFile {
public:
    MemoryFile(MemoryFiles& owner, std::string path) : owner_(owner), path_(std::move(path)) {}
    ~MemoryFile() override { Close(); }
    bool Write(const char* text, size_t len) override {
        std::lock_guard<std::mutex> g(owner_.mu);
        if (closed_) return false;
        owner_.files[path_].append(text, len);
        return true;
    }
    void Close() override {
        std::lock_guard<std::mutex> g(owner_.mu);
        if (closed_) return;
        closed_ = true;
        --owner_.open_now;
    }

private:
    MemoryFiles& owner_;
    std::string path_;
    bool closed_ = false;
};

}  // namespace

std::unique_ptr<LogFile> MemoryFiles::Open(const std::string& path) {
    std::lock_guard<std::mutex> g(mu);
    opened.push_back(path);
    if (unopenable.count(path)) return nullptr;
    files[path].clear();  // "w": truncate
    ++open_now;
    return std::make_unique<MemoryFile>(*this, path);
}

std::string MemoryFiles::Content(const std::string& path) {
    std::lock_guard<std::mutex> g(mu);
    auto it = files.find(path);
    return it == files.end() ? std::string() : it->second;
}

bool MemoryFiles::Exists(const std::string& path) {
    std::lock_guard<std::mutex> g(mu);
    return files.count(path) != 0;
}

// ---- scripted driver ----

ScriptedDriver::ScriptedDriver() {
    std::memset(response, 0, sizeof response);
    std::memset(inputs, 0, sizeof inputs);
    for (auto& r : response) r[kRspStatus] = kStatusReady;
}

bool ScriptedDriver::Exchange(uint32_t ioctl, uint8_t* buffer) {
    std::lock_guard<std::recursive_mutex> g(mu);
    CommandBuffer b;
    std::memcpy(b.raw, buffer, kBufferSize);
    fake::Record rec{ioctl, b, b, clock ? clock->now : 0};
    bool ok = true;
    if (fail_all || fail_after == 0) {
        ok = false;
    } else {
        if (fail_after > 0) --fail_after;
        if (!(script && script(ioctl, b, *this))) {
            int count = b.Count();
            if (count > kEntryCount) count = kEntryCount;
            for (int k = 0; k < count; ++k) {
                const int32_t sel = b.Field(k, kSelectCode), off = b.Field(k, kOffset);
                const int32_t size = b.Field(k, kSize);
                uint8_t* d = b.Data(k);
                if (sel == kSelRead && off >= kResponseBase && (off - kResponseBase) % kStationStride == 0) {
                    int n = (off - kResponseBase) / kStationStride;
                    if (n < 16) std::memcpy(d, response[n], kResponseSize);
                } else if (sel == kSelInput && off % kStationStride == 0 && off / kStationStride < 16) {
                    std::memcpy(d, inputs[off / kStationStride], kResponseSize);
                } else if (sel == kSelWrite && station_echo && off % kStationStride == 0 &&
                           off / kStationStride >= 1 && off / kStationStride < 16 && size >= 16 && d[0] == 0x03) {
                    uint8_t* r = response[off / kStationStride];
                    r[kRspCode] = d[1];
                    std::memcpy(r + 5, d + 5, 11);
                    uint16_t st = GetU16(r + kRspStatus);
                    if (d[1] == 0x31) st |= kStatusServo;
                    if (d[1] == 0x32) st &= static_cast<uint16_t>(~kStatusServo);
                    PutU16(r + kRspStatus, st);
                }
                b.SetField(k, kReturnCode, 0);
            }
        }
        std::memcpy(buffer, b.raw, kBufferSize);
    }
    rec.returned = b;
    log.push_back(rec);
    return ok;
}

std::vector<fake::Record> ScriptedDriver::Of(uint32_t ioctl) {
    std::lock_guard<std::recursive_mutex> g(mu);
    std::vector<fake::Record> out;
    for (auto& e : log)
        if (e.ioctl == ioctl) out.push_back(e);
    return out;
}

// ---- platform ----

namespace {

class ForwardingChannel : public DeviceChannel {
public:
    explicit ForwardingChannel(std::shared_ptr<ScriptedDriver> d) : d_(std::move(d)) {}
    bool Exchange(uint32_t ioctl, uint8_t* buffer) override { return d_->Exchange(ioctl, buffer); }
    bool Close() override {
        std::lock_guard<std::recursive_mutex> g(d_->mu);
        ++d_->closes;
        return d_->close_ok;
    }

private:
    std::shared_ptr<ScriptedDriver> d_;
};

}  // namespace

FakePlatform::FakePlatform() : driver(std::make_shared<ScriptedDriver>()) { driver->clock = &clock; }

std::unique_ptr<DeviceChannel> FakePlatform::OpenDevice() {
    ++device_opens;
    if (open_device) return open_device();
    if (!device_present) return nullptr;
    return std::make_unique<ForwardingChannel>(driver);
}

bool FakePlatform::LibraryFileVersion(std::string& text) {
    if (!has_version) return false;
    text = file_version;
    return true;
}

Scope::Scope() {
    ResetBoardForTests();
    ResetLogForTests();
    UsePlatform(&platform);
}

Scope::~Scope() {
    ResetBoardForTests();
    ResetLogForTests();
    UsePlatform(nullptr);
}

std::string Hex(const uint8_t* p, size_t n) {
    std::string s;
    char tmp[4];
    for (size_t i = 0; i < n; ++i) {
        std::snprintf(tmp, sizeof tmp, "%02X", p[i]);
        if (i) s += ' ';
        s += tmp;
    }
    return s;
}

}  // namespace fake

// The native test build's host platform: a quiet fake nobody scripts.
qrl::Platform& qrl::HostPlatform() {
    static fake::FakePlatform p;
    return p;
}
