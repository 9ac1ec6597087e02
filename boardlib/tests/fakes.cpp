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

SettingsStore::Key MemorySettings::Open(const char* path, Access access) {
    std::lock_guard<std::recursive_mutex> g(mu);
    ++opens;
    open_log.push_back({path, access});
    if (!keys.count(path) || (read_only && access == Access::Write)) return 0;
    Key k = next_++;
    open_[k] = {path, access};
    return k;
}

bool MemorySettings::ReadDword(Key key, const char* name, uint32_t& value) {
    std::lock_guard<std::recursive_mutex> g(mu);
    ++reads;
    auto it = open_.find(key);
    if (it == open_.end() || it->second.access != Access::Read || !keys.count(it->second.path)) return false;
    auto& d = keys[it->second.path].dwords;
    auto v = d.find(name);
    if (v == d.end()) return false;
    value = v->second;
    return true;
}

bool MemorySettings::ReadString(Key key, const char* name, std::string& value, size_t max_chars) {
    std::lock_guard<std::recursive_mutex> g(mu);
    ++reads;
    auto it = open_.find(key);
    if (it == open_.end() || it->second.access != Access::Read || !keys.count(it->second.path)) return false;
    auto& s = keys[it->second.path].strings;
    auto v = s.find(name);
    if (v == s.end() || v->second.size() > max_chars) return false;
    value = v->second;
    return true;
}

bool MemorySettings::WriteDword(Key key, const char* name, uint32_t value) {
    std::lock_guard<std::recursive_mutex> g(mu);
    ++writes;
    auto it = open_.find(key);
    if (it == open_.end() || it->second.access != Access::Write || !keys.count(it->second.path) ||
        fail_writes.count(name))
        return false;
    keys[it->second.path].dwords[name] = value;
    Changed(it->second.path);
    return true;
}

bool MemorySettings::Close(Key key) {
    std::lock_guard<std::recursive_mutex> g(mu);
    ++closes;
    return open_.erase(key) == 1;
}

std::unique_ptr<KeyWatch> MemorySettings::Watch(const char* path) {
    return std::make_unique<MemoryWatch>(*this, path);
}

void MemorySettings::Changed(const std::string& path) {
    for (MemoryWatch* w : watches_) w->Touch(path);
}

void MemorySettings::SetDword(const std::string& path, const std::string& name, uint32_t v) {
    std::lock_guard<std::recursive_mutex> g(mu);
    keys[path].dwords[name] = v;
    Changed(path);
}

void MemorySettings::SetString(const std::string& path, const std::string& name, const std::string& v) {
    std::lock_guard<std::recursive_mutex> g(mu);
    keys[path].strings[name] = v;
    Changed(path);
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
    Changed(path);
}

void MemorySettings::RemoveValue(const std::string& path, const std::string& name) {
    std::lock_guard<std::recursive_mutex> g(mu);
    auto k = keys.find(path);
    if (k == keys.end()) return;
    k->second.dwords.erase(name);
    k->second.strings.erase(name);
    Changed(path);
}

void MemorySettings::PutKey(const std::string& path, const Values& values) {
    std::lock_guard<std::recursive_mutex> g(mu);
    keys[path] = values;
    Changed(path);
}

MemoryWatch::MemoryWatch(MemorySettings& owner, std::string p) : path(std::move(p)), owner_(owner) {
    std::lock_guard<std::recursive_mutex> g(owner_.mu);
    owner_.watches_.insert(this);
    Rearm();
}

MemoryWatch::~MemoryWatch() {
    std::lock_guard<std::recursive_mutex> g(owner_.mu);
    owner_.watches_.erase(this);
}

bool MemoryWatch::MayHaveChanged() { return !armed_.load() || signalled_.load(); }

bool MemoryWatch::Rearm() {
    std::lock_guard<std::recursive_mutex> g(owner_.mu);
    ++owner_.arms;
    signalled_ = false;
    if (owner_.arm_failures > 0) {
        --owner_.arm_failures;
        armed_ = false;
        return false;
    }
    // The key, or its nearest parent that exists (the settings hold only some keys:
    // a parent of any held key counts as existing, and the root always does).
    on_ = path;
    auto exists = [&](const std::string& k) {
        if (owner_.keys.count(k)) return true;
        for (const auto& held : owner_.keys)
            if (held.first.compare(0, k.size() + 1, k + "\\") == 0) return true;
        return false;
    };
    while (!on_.empty() && !exists(on_)) {
        const size_t cut = on_.rfind('\\');
        on_ = cut == std::string::npos ? std::string() : on_.substr(0, cut);
    }
    armed_ = true;
    return true;
}

void MemoryWatch::Touch(const std::string& changed) {
    // On the key itself: its own changes. On a parent: anything below it.
    const bool below = on_.empty() || changed.compare(0, on_.size() + 1, on_ + "\\") == 0;
    if (changed == on_ || (on_ != path && below)) signalled_ = true;
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
    fake::Record rec{ioctl, b, b, clock ? clock->now.load() : int64_t{0}};
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
