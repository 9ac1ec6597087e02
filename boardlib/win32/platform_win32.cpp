// The Win32 platform of qrlink00.dll: device selection, registry settings,
// clock, the library's own version resource and the call-log files.
#include <windows.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "channels.h"
#include "platform.h"

namespace qrl::win32 {

namespace {

// A change notification on a registry key: an event that the system sets when a
// value of the key is written, a subkey is added or removed, or the key is deleted.
// While the key does not exist the watch sits on its nearest existing parent,
// subkeys included, so that the key's creation is seen.
class RegistryWatch : public KeyWatch {
public:
    explicit RegistryWatch(const char* path)
        : path_(path), event_(CreateEventA(nullptr, TRUE, FALSE, nullptr)) {
        Rearm();
    }
    ~RegistryWatch() override {
        if (key_) RegCloseKey(key_);  // ends the notification
        if (event_) CloseHandle(event_);
    }
    RegistryWatch(const RegistryWatch&) = delete;
    RegistryWatch& operator=(const RegistryWatch&) = delete;

    bool MayHaveChanged() override {
        // Not armed: every look says "read again", as without a watch. Armed: one
        // zero-timeout wait. The event is manual-reset, so every thread that looks
        // before the next Rearm sees the signal.
        return !armed_.load(std::memory_order_acquire) || WaitForSingleObject(event_, 0) != WAIT_TIMEOUT;
    }

    bool Rearm() override {
        armed_.store(false, std::memory_order_release);
        if (!event_) return false;
        if (key_) {
            RegCloseKey(key_);
            key_ = nullptr;
        }
        ResetEvent(event_);
        // The key itself, or the nearest parent that exists (then with its subkeys).
        std::string at = path_;
        BOOL subtree = FALSE;
        while (RegOpenKeyExA(HKEY_LOCAL_MACHINE, at.c_str(), 0, KEY_NOTIFY, &key_) != ERROR_SUCCESS) {
            key_ = nullptr;
            const size_t cut = at.rfind('\\');
            if (cut == std::string::npos) return false;
            at.resize(cut);
            subtree = TRUE;
        }
        const DWORD what = REG_NOTIFY_CHANGE_NAME | REG_NOTIFY_CHANGE_LAST_SET;
        // From Windows 8 the notification can outlive the thread that armed it; on
        // older systems it ends with that thread and sets the event, which reads as
        // a change: the next look re-reads and re-arms on its own thread.
        LONG r = RegNotifyChangeKeyValue(key_, subtree, what | kThreadAgnostic, event_, TRUE);
        if (r != ERROR_SUCCESS) r = RegNotifyChangeKeyValue(key_, subtree, what, event_, TRUE);
        if (r != ERROR_SUCCESS) return false;
        armed_.store(true, std::memory_order_release);
        return true;
    }

private:
    static constexpr DWORD kThreadAgnostic = 0x10000000L;  // REG_NOTIFY_THREAD_AGNOSTIC
    const std::string path_;
    const HANDLE event_;
    HKEY key_ = nullptr;
    std::atomic<bool> armed_{false};
};

// Registry values are read and written as the library has always stored them:
// REG_DWORD as 4 bytes, LoggingPath as REG_SZ. Keys are never created, and each
// open asks for no more than its use needs, so that an application running as a
// standard user (who may read the driver's settings but not write them) still logs.
class RegistrySettings : public SettingsStore {
public:
    static REGSAM Rights(Access access) { return access == Access::Write ? KEY_SET_VALUE : KEY_QUERY_VALUE; }

    Key Open(const char* path, Access access) override {
        HKEY h = nullptr;
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path, 0, Rights(access), &h) != ERROR_SUCCESS) return 0;
        return reinterpret_cast<Key>(h);
    }
    bool ReadDword(Key key, const char* name, uint32_t& value) override {
        DWORD v = 0, size = sizeof v, type = 0;
        if (RegQueryValueExA(reinterpret_cast<HKEY>(key), name, nullptr, &type, reinterpret_cast<BYTE*>(&v),
                             &size) != ERROR_SUCCESS)
            return false;
        value = v;
        return true;
    }
    bool ReadString(Key key, const char* name, std::string& value, size_t max_chars) override {
        std::string buf(max_chars + 2, '\0');
        DWORD size = static_cast<DWORD>(max_chars + 1), type = 0;
        if (RegQueryValueExA(reinterpret_cast<HKEY>(key), name, nullptr, &type, reinterpret_cast<BYTE*>(&buf[0]),
                             &size) != ERROR_SUCCESS)
            return false;
        if (type != REG_SZ && type != REG_EXPAND_SZ) return false;
        // A value stored without its terminating zero still ends inside the buffer,
        // and one that fills the buffer without a zero is longer than allowed
        // (some systems return it without complaint).
        buf.resize(size < buf.size() ? size : buf.size() - 1);
        std::string text(buf.c_str());
        if (text.size() > max_chars) return false;
        value = text;
        return true;
    }
    bool WriteDword(Key key, const char* name, uint32_t value) override {
        DWORD v = value;
        return RegSetValueExA(reinterpret_cast<HKEY>(key), name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&v),
                              sizeof v) == ERROR_SUCCESS;
    }
    bool Close(Key key) override { return RegCloseKey(reinterpret_cast<HKEY>(key)) == ERROR_SUCCESS; }
    std::unique_ptr<KeyWatch> Watch(const char* path) override { return std::make_unique<RegistryWatch>(path); }
};

// A monotonic millisecond clock: the limits of the polling loops must not stretch
// or shrink when someone sets the system time while a wait runs.
class Win32Clock : public Clock {
public:
    Win32Clock() { QueryPerformanceFrequency(&freq_); }
    int64_t NowMs() override {
        LARGE_INTEGER c;
        QueryPerformanceCounter(&c);
        return static_cast<int64_t>(c.QuadPart / (freq_.QuadPart / 1000 ? freq_.QuadPart / 1000 : 1));
    }
    void YieldProcessorTime() override { SwitchToThread(); }
    void SleepMs(uint32_t ms) override { Sleep(ms); }

private:
    LARGE_INTEGER freq_;
};

// A log file written with one WriteFile per record and no buffering of its own: a
// record is in the file when the exchange returns, whatever happens to the process
// afterwards. Lines end in CR LF, as a text-mode file's always have.
class Win32LogFile : public LogFile {
public:
    explicit Win32LogFile(HANDLE h) : h_(h) {}
    ~Win32LogFile() override { Close(); }
    bool Write(const char* text, size_t len) override {
        if (h_ == INVALID_HANDLE_VALUE) return false;
        // Records are at most a line and a bit; anything longer goes in pieces.
        char buf[2048];
        size_t used = 0;
        bool ok = true;
        for (size_t i = 0; i < len; ++i) {
            if (text[i] == '\n') buf[used++] = '\r';
            buf[used++] = text[i];
            if (used >= sizeof buf - 2 || i + 1 == len) {
                DWORD put = 0;
                ok = WriteFile(h_, buf, static_cast<DWORD>(used), &put, nullptr) && put == used && ok;
                used = 0;
            }
        }
        return ok;
    }
    void Close() override {
        if (h_ != INVALID_HANDLE_VALUE) CloseHandle(h_);
        h_ = INVALID_HANDLE_VALUE;
    }

private:
    HANDLE h_;
};

class Win32Platform : public Platform {
public:
    std::unique_ptr<DeviceChannel> OpenDevice() override {
        char dev[MAX_PATH] = "";
        DWORD n = GetEnvironmentVariableA("QRLINK00_DEVICE", dev, sizeof dev);
        if (n == 0 || n >= sizeof dev) return OpenKernelDevice();
        if (lstrcmpiA(dev, "sim") == 0) return OpenSimDevice();
        return OpenPipeDevice(dev);
    }
    SettingsStore& Settings() override { return settings_; }
    Clock& Time() override { return clock_; }

    bool LibraryFileVersion(std::string& text) override {
        DWORD ignored = 0;
        DWORD size = GetFileVersionInfoSizeA("qrlink00.dll", &ignored);
        if (size == 0) return false;
        void* block = HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, size);
        if (!block) return false;
        bool ok = false;
        char* value = nullptr;
        UINT len = 0;
        if (GetFileVersionInfoA("qrlink00.dll", 0, size, block) &&
            VerQueryValueA(block, "\\StringFileInfo\\041104b0\\FileVersion", reinterpret_cast<void**>(&value),
                           &len) &&
            value) {
            text.assign(value, strnlen(value, len));
            ok = true;
        }
        HeapFree(GetProcessHeap(), 0, block);
        return ok;
    }

    std::unique_ptr<LogFile> OpenLogFile(const std::string& path) override {
        // Truncated like fopen's "w", and readable by others while it is written
        // (qrlogdump, an editor) as before.
        HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                               CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (h == INVALID_HANDLE_VALUE) return nullptr;
        return std::make_unique<Win32LogFile>(h);
    }

private:
    RegistrySettings settings_;
    Win32Clock clock_;
};

}  // namespace

}  // namespace qrl::win32

qrl::Platform& qrl::HostPlatform() {
    static qrl::win32::Win32Platform platform;
    return platform;
}
