// qrl_bench: what the call log costs per exchange.
//
//   qrl_bench [SECONDS]
//
// Brings the in-process virtual board up through BdOpen and then, for SECONDS
// (default 1) each, exchanges a one-entry station command (SelectCode 2, the
// kind every command export sends):
//   1. no hooks: the device channel alone, as TransferDirect would;
//   2. logging off: TransferCommands with Logging = 0 in the registry, which costs
//      one registry read per exchange (key open, value read, key close);
//   3. logging on: TransferCommands with Logging = 1 and every item switched on,
//      one 63-character record per exchange written to a log file.
// It prints the exchange rates and their ratios.
//
// The registry keys it needs are created for the run and removed afterwards;
// values that existed before are put back. The log file lives in the temporary
// directory and is deleted at the end.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "board.h"
#include "calllog.h"
#include "qrlink00.h"
#include "settings_layout.h"

using namespace qrl;

namespace {

// ---- scratch registry ----

// A registry value as it was before the bench touched it.
struct SavedValue {
    std::string key, name;
    bool existed = false;
    DWORD type = 0;
    std::vector<BYTE> data;
};

class ScratchRegistry {
public:
    ~ScratchRegistry() { Restore(); }

    // Creates the key and every missing key above it, remembering which it created.
    bool Ensure(const std::string& path) {
        size_t at = 0;
        while (at != std::string::npos) {
            at = path.find('\\', at + 1);
            const std::string part = path.substr(0, at);
            HKEY h = nullptr;
            if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, part.c_str(), 0, KEY_READ, &h) == ERROR_SUCCESS) {
                RegCloseKey(h);
                continue;
            }
            DWORD disposition = 0;
            if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, part.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &h,
                                &disposition) != ERROR_SUCCESS)
                return false;
            RegCloseKey(h);
            created_.push_back(part);
        }
        return true;
    }

    bool Dword(const std::string& key, const char* name, DWORD v) {
        Save(key, name);
        return Set(key, name, REG_DWORD, reinterpret_cast<const BYTE*>(&v), sizeof v);
    }
    bool String(const std::string& key, const char* name, const std::string& v) {
        Save(key, name);
        return Set(key, name, REG_SZ, reinterpret_cast<const BYTE*>(v.c_str()), static_cast<DWORD>(v.size() + 1));
    }

    void Restore() {
        for (auto it = saved_.rbegin(); it != saved_.rend(); ++it) {
            HKEY h = nullptr;
            if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, it->key.c_str(), 0, KEY_ALL_ACCESS, &h) != ERROR_SUCCESS) continue;
            if (it->existed) {
                RegSetValueExA(h, it->name.c_str(), 0, it->type, it->data.data(), static_cast<DWORD>(it->data.size()));
            } else {
                RegDeleteValueA(h, it->name.c_str());
            }
            RegCloseKey(h);
        }
        saved_.clear();
        for (auto it = created_.rbegin(); it != created_.rend(); ++it) RegDeleteKeyA(HKEY_LOCAL_MACHINE, it->c_str());
        created_.clear();
    }

private:
    void Save(const std::string& key, const char* name) {
        for (auto& s : saved_)
            if (s.key == key && s.name == name) return;
        SavedValue s;
        s.key = key;
        s.name = name;
        HKEY h = nullptr;
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, key.c_str(), 0, KEY_READ, &h) == ERROR_SUCCESS) {
            DWORD size = 0;
            if (RegQueryValueExA(h, name, nullptr, &s.type, nullptr, &size) == ERROR_SUCCESS) {
                s.data.resize(size);
                s.existed = RegQueryValueExA(h, name, nullptr, &s.type, s.data.data(), &size) == ERROR_SUCCESS;
            }
            RegCloseKey(h);
        }
        saved_.push_back(s);
    }
    static bool Set(const std::string& key, const char* name, DWORD type, const BYTE* data, DWORD size) {
        HKEY h = nullptr;
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, key.c_str(), 0, KEY_ALL_ACCESS, &h) != ERROR_SUCCESS) return false;
        const bool ok = RegSetValueExA(h, name, 0, type, data, size) == ERROR_SUCCESS;
        RegCloseKey(h);
        return ok;
    }

    std::vector<std::string> created_;
    std::vector<SavedValue> saved_;
};

// ---- timing ----

double Seconds() {
    static LARGE_INTEGER freq = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return f;
    }();
    LARGE_INTEGER c;
    QueryPerformanceCounter(&c);
    return static_cast<double>(c.QuadPart) / static_cast<double>(freq.QuadPart);
}

// Runs `one` for about `seconds` and returns exchanges per second.
template <typename F>
double Rate(double seconds, F one) {
    for (int i = 0; i < 200; ++i) one();  // warm up
    long n = 0;
    const double start = Seconds();
    double now = start;
    do {
        for (int i = 0; i < 100; ++i) one();
        n += 100;
        now = Seconds();
    } while (now - start < seconds);
    return static_cast<double>(n) / (now - start);
}

// The exchange of every run: the command area of station 1, template 4 (03 00),
// as RdyWait and BdOpen's area set-up send it.
CommandBuffer StationCommand() {
    CommandBuffer b;
    SetTemplateEntry(b, 0, kSelWrite, CommandArea(1), kTplArea, 16);
    return b;
}

}  // namespace

int main(int argc, char** argv) {
    const double seconds = argc > 1 ? std::atof(argv[1]) : 1.0;
    if (!(seconds > 0)) {
        std::fprintf(stderr, "usage: qrl_bench [SECONDS]\n");
        return 2;
    }

    char temp[MAX_PATH];
    DWORD n = GetTempPathA(sizeof temp, temp);
    if (n == 0 || n >= sizeof temp) {
        std::fprintf(stderr, "qrl_bench: no temporary directory\n");
        return 1;
    }
    const std::string log_path = std::string(temp) + "qrl_bench_" + std::to_string(GetCurrentProcessId()) + ".log";

    int status = 0;
    {
        ScratchRegistry reg;
        const std::string dll = vxreg::kDllKey, items = vxreg::kDllLogItemsKey;
        bool ok = reg.Ensure(dll) && reg.Ensure(items);
        ok = ok && reg.Dword(dll, vxreg::kLogging, 0) && reg.String(dll, vxreg::kLoggingPath, vxreg::kPathPrefix + log_path);
        ok = ok && reg.Dword(dll, vxreg::kLogSize, 1000000) && reg.Dword(dll, vxreg::kLogFileMax, 0) &&
             reg.Dword(dll, vxreg::kLogFileCnt, 0) && reg.Dword(dll, "TrigChk", 0);
        for (const char* name : vxreg::kItemSwitches) ok = ok && reg.Dword(items, name, 1);
        for (const char* name : vxreg::kCommandSwitches) ok = ok && reg.Dword(items, name, 0);
        if (!ok) {
            std::fprintf(stderr, "qrl_bench: cannot set up the scratch registry keys (administrator rights?)\n");
            return 1;
        }

        SetEnvironmentVariableA("QRLINK00_DEVICE", "sim");
        int32_t types[15] = {1};
        if (InitDll(1) != 0 || BdOpen(0, 10, 0, types) != 0 || types[0] != 1) {
            std::fprintf(stderr, "qrl_bench: the virtual board did not come up (BdOpen, station 1 %d)\n",
                         static_cast<int>(types[0]));
            return 1;
        }
        DeviceChannel* channel = Board().device.get();

        std::printf("qrl_bench: one-entry station commands (SelectCode 2) to the in-process virtual board,\n"
                    "           %.1f s per way of calling\n",
                    seconds);
        CommandBuffer b = StationCommand();
        const double direct = Rate(seconds, [&] {
            b = StationCommand();
            channel->Exchange(kIoctlCommand, b.raw);
        });
        const double off = Rate(seconds, [&] {
            b = StationCommand();
            TransferCommands(b);
        });
        reg.Dword(dll, vxreg::kLogging, 1);  // the next exchange starts the log
        long records = 0;
        const double on = Rate(seconds, [&] {
            b = StationCommand();
            TransferCommands(b);
            ++records;
        });
        reg.Dword(dll, vxreg::kLogging, 0);
        b = StationCommand();
        TransferCommands(b);  // sees Logging = 0 and closes the file

        WIN32_FILE_ATTRIBUTE_DATA info;
        const bool have_file = GetFileAttributesExA(log_path.c_str(), GetFileExInfoStandard, &info) != 0;
        const unsigned long bytes = have_file ? info.nFileSizeLow : 0;

        std::printf("  no hooks (device channel only)   %10.0f exchanges/s  %8.2f us each\n", direct, 1e6 / direct);
        std::printf("  logging off (registry switch)    %10.0f exchanges/s  %8.2f us each  %5.3f x no hooks\n", off,
                    1e6 / off, off / direct);
        std::printf("  logging on (every item)          %10.0f exchanges/s  %8.2f us each  %5.3f x no hooks, "
                    "%5.3f x off\n",
                    on, 1e6 / on, on / direct, on / off);
        std::printf("  the Logging switch costs %.2f us per exchange (one key open, one value read, one close);\n"
                    "  a record costs a further %.2f us (%ld records, %lu bytes of log)\n",
                    1e6 / off - 1e6 / direct, 1e6 / on - 1e6 / off, records, bytes);
        if (!have_file || bytes == 0) {
            std::fprintf(stderr, "qrl_bench: logging on wrote no log file\n");
            status = 1;
        }
        BdClose(0);
    }
    DeleteFileA(log_path.c_str());
    return status;
}
