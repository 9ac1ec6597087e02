// The Win32 platform of qrlink00.dll: device selection, registry settings,
// clock, the library's own version resource and the call-log files.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "channels.h"
#include "platform.h"

namespace qrl::win32 {

namespace {

// Registry values are read and written as the library has always stored them:
// REG_DWORD as 4 bytes, LoggingPath as REG_SZ. Keys open with full access and
// are never created.
class RegistrySettings : public SettingsStore {
public:
    Key Open(const char* path) override {
        HKEY h = nullptr;
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path, 0, KEY_ALL_ACCESS, &h) != ERROR_SUCCESS) return 0;
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

class StdioLogFile : public LogFile {
public:
    explicit StdioLogFile(FILE* f) : f_(f) {}
    ~StdioLogFile() override { Close(); }
    bool Write(const char* text, size_t len) override {
        if (!f_) return false;
        bool ok = std::fwrite(text, 1, len, f_) == len;
        std::fflush(f_);
        return ok;
    }
    void Close() override {
        if (f_) std::fclose(f_);
        f_ = nullptr;
    }

private:
    FILE* f_;
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
        FILE* f = std::fopen(path.c_str(), "w");
        if (!f) return nullptr;
        return std::make_unique<StdioLogFile>(f);
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
