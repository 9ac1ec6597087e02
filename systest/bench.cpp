// qrl_bench: what the call log costs per exchange, the way it is done now (a
// change notification on the Dll key says when Logging must be read again) beside
// the reference way it was done before (Logging read on every logged exchange: key
// open, value read, key close), measured in the same run.
//
//   qrl_bench [SECONDS]
//
// Each way of calling runs for SECONDS (default 1):
//   in process (the virtual board in this process, one-entry station commands, the
//   kind every command export sends):
//     no hooks: the device channel alone, as TransferDirect would;
//     logging off and logging on (every item), each the reference way and the
//     watched way, alternating in five short runs each (best kept); a record's own
//     cost is "on" minus "off";
//     8 threads with logging off, against one thread (watched way);
//   named pipe (the virtual board behind a pipe server in this process, as the
//   driver stand-in serves it):
//     a bare exchange of AxFeed's buffer, and AxFeed itself with the Dll key present
//     and Logging 0, and with the Dll key absent, each way.
//
// The registry keys it needs are created for the run and removed afterwards;
// values that existed before are put back. The log file lives in the temporary
// directory and is deleted at the end.
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "board.h"
#include "calllog.h"
#include "pipe_server.h"
#include "platform.h"
#include "qrlink00.h"
#include "scratch_registry.h"
#include "settings_layout.h"
#include "stopwatch.h"
#include "virtual_board.h"

using namespace qrl;

namespace {

// ---- timing ----

double Seconds() { return qrltest::NowMs() / 1000.0; }

// Runs `one` for about `seconds` and returns calls per second.
template <typename F>
double Rate(double seconds, F one) {
    for (int i = 0; i < 200; ++i) one();  // warm up
    long n = 0;
    const double start = Seconds();
    double now = start;
    do {
        for (int i = 0; i < 50; ++i) one();
        n += 50;
        now = Seconds();
    } while (now - start < seconds);
    return static_cast<double>(n) / (now - start);
}

// `threads` threads running `one` for about `seconds`; returns their calls per second
// together.
template <typename F>
double ThreadsRate(int threads, double seconds, F one) {
    std::atomic<bool> go{false}, stop{false};
    std::atomic<long> total{0};
    std::vector<std::thread> pool;
    for (int t = 0; t < threads; ++t)
        pool.emplace_back([&] {
            while (!go) SwitchToThread();
            long n = 0;
            while (!stop) {
                for (int i = 0; i < 20; ++i) one();
                n += 20;
            }
            total += n;
        });
    const double start = Seconds();
    go = true;
    Sleep(static_cast<DWORD>(seconds * 1000));
    stop = true;
    for (auto& th : pool) th.join();
    return static_cast<double>(total) / (Seconds() - start);
}

// The exchange of the in-process runs: the command area of station 1, template 4
// (03 00), as RdyWait and BdOpen's area set-up send it.
CommandBuffer StationCommand() {
    CommandBuffer b;
    SetTemplateEntry(b, 0, kSelWrite, CommandArea(1), kTplArea, 16);
    return b;
}

// ---- the reference way ----

// A watch that never arms: the call log then reads Logging on every logged exchange,
// exactly as it did before watches.
class NeverArmed : public KeyWatch {
public:
    bool MayHaveChanged() override { return true; }
    bool Rearm() override { return false; }
};

class ReferenceSettings : public SettingsStore {
public:
    explicit ReferenceSettings(SettingsStore& real) : real_(real) {}
    Key Open(const char* path, Access access) override { return real_.Open(path, access); }
    bool ReadDword(Key k, const char* name, uint32_t& v) override { return real_.ReadDword(k, name, v); }
    bool ReadString(Key k, const char* name, std::string& v, size_t max) override {
        return real_.ReadString(k, name, v, max);
    }
    bool WriteDword(Key k, const char* name, uint32_t v) override { return real_.WriteDword(k, name, v); }
    bool Close(Key k) override { return real_.Close(k); }
    std::unique_ptr<KeyWatch> Watch(const char*) override { return std::make_unique<NeverArmed>(); }

private:
    SettingsStore& real_;
};

// The host platform with the reference settings.
class ReferencePlatform : public Platform {
public:
    ReferencePlatform() : host_(HostPlatform()), settings_(host_.Settings()) {}
    std::unique_ptr<DeviceChannel> OpenDevice() override { return host_.OpenDevice(); }
    SettingsStore& Settings() override { return settings_; }
    Clock& Time() override { return host_.Time(); }
    bool LibraryFileVersion(std::string& text) override { return host_.LibraryFileVersion(text); }
    std::unique_ptr<LogFile> OpenLogFile(const std::string& path) override { return host_.OpenLogFile(path); }

private:
    Platform& host_;
    ReferenceSettings settings_;
};

ReferencePlatform* g_reference = nullptr;

// Chooses the way of calling; the log start arms (or not) the watch of that way.
void Way(bool reference) {
    UsePlatform(reference ? g_reference : nullptr);
    LogStart();
}

const char* Name(bool reference) { return reference ? "reference (read per exchange)" : "watched (notification)"; }

bool OpenBoard(const char* device, int32_t* types) {
    SetEnvironmentVariableA("QRLINK00_DEVICE", device);
    return InitDll(1) == 0 && BdOpen(0, 10, 0, types) == 0 && types[0] == 1;
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
    ReferencePlatform reference;
    g_reference = &reference;

    int status = 0;
    {
        qrltest::ScratchRegistry reg;
        const std::string dll = vxreg::kDllKey, items = vxreg::kDllLogItemsKey;
        auto make_keys = [&] {
            bool ok = reg.Ensure(dll) && reg.Ensure(items);
            ok = ok && reg.Dword(dll, vxreg::kLogging, 0) &&
                 reg.String(dll, vxreg::kLoggingPath, vxreg::kPathPrefix + log_path);
            ok = ok && reg.Dword(dll, vxreg::kLogSize, 1000000) && reg.Dword(dll, vxreg::kLogFileMax, 0) &&
                 reg.Dword(dll, vxreg::kLogFileCnt, 0) && reg.Dword(dll, "TrigChk", 0);
            for (const char* name : vxreg::kItemSwitches) ok = ok && reg.Dword(items, name, 1);
            for (const char* name : vxreg::kCommandSwitches) ok = ok && reg.Dword(items, name, 0);
            return ok;
        };
        if (!make_keys()) {
            std::fprintf(stderr, "qrl_bench: cannot set up the scratch registry keys (administrator rights?)\n");
            return 1;
        }

        // ---- in process ----
        int32_t types[15] = {1};
        if (!OpenBoard("sim", types)) {
            std::fprintf(stderr, "qrl_bench: the virtual board did not come up (BdOpen, station 1 %d)\n",
                         static_cast<int>(types[0]));
            return 1;
        }
        DeviceChannel* channel = Board().device.get();
        std::printf("qrl_bench: %.1f s per way of calling\n"
                    "in process: one-entry station commands (SelectCode 2) to the virtual board\n",
                    seconds);
        auto exchange = [] {
            CommandBuffer b = StationCommand();
            TransferCommands(b);
        };
        const double direct = Rate(seconds, [&] {
            CommandBuffer b = StationCommand();
            channel->Exchange(kIoctlCommand, b.raw);
        });
        std::printf("  %-44s %10.0f /s  %8.2f us each\n", "no hooks (device channel only)", direct, 1e6 / direct);
        double off[2] = {}, on[2] = {};
        long records = 0;
        // A record costs a few microseconds against tens for the rest under Wine, so
        // "on" and "off" alternate in short runs and each keeps its best: the
        // difference of two single runs would be mostly noise.
        for (int round = 0; round < 5; ++round) {
            for (int ref = 1; ref >= 0; --ref) {
                reg.Dword(dll, vxreg::kLogging, 0);
                Way(ref != 0);
                off[ref] = std::max(off[ref], Rate(seconds / 5, exchange));
                reg.Dword(dll, vxreg::kLogging, 1);  // the next exchange starts the log
                on[ref] = std::max(on[ref], Rate(seconds / 5, [&] {
                                       exchange();
                                       ++records;
                                   }));
                reg.Dword(dll, vxreg::kLogging, 0);
                exchange();  // sees Logging = 0 and closes the file
            }
        }
        for (int ref = 1; ref >= 0; --ref) {
            std::printf("  logging off, %-31s %10.0f /s  %8.2f us each  %6.4f x no hooks\n", Name(ref != 0), off[ref],
                        1e6 / off[ref], off[ref] / direct);
            std::printf("  logging on,  %-31s %10.0f /s  %8.2f us each  a record costs %.2f us\n", Name(ref != 0),
                        on[ref], 1e6 / on[ref], 1e6 / on[ref] - 1e6 / off[ref]);
        }
        std::printf("  logging off: watched %.2f x the reference rate; logging on: %.2f x\n", off[0] / off[1],
                    on[0] / on[1]);

        Way(false);
        const double one_thread = ThreadsRate(1, seconds, exchange);
        const double eight = ThreadsRate(8, seconds, exchange);
        std::printf("  8 threads, logging off (watched): %.0f /s together, %.2f x one thread's %.0f /s\n", eight,
                    eight / one_thread, one_thread);
        Way(true);
        const double eight_ref = ThreadsRate(8, seconds, exchange);
        std::printf("  8 threads, logging off (reference): %.0f /s together\n", eight_ref);
        Way(false);
        BdClose(0);

        WIN32_FILE_ATTRIBUTE_DATA info;
        const bool have_file = GetFileAttributesExA(log_path.c_str(), GetFileExInfoStandard, &info) != 0;
        if (!have_file || info.nFileSizeLow == 0 || records == 0) {
            std::fprintf(stderr, "qrl_bench: logging on wrote no log file\n");
            status = 1;
        }

        // ---- named pipe ----
        vboard::VirtualBoard board;
        const std::string pipe = "\\\\.\\pipe\\qrl_bench_" + std::to_string(GetCurrentProcessId());
        vxsim::PipeServer server(pipe, board, false);
        if (!server.Start() || !OpenBoard(pipe.c_str(), types)) {
            std::fprintf(stderr, "qrl_bench: the pipe server did not come up\n");
            return 1;
        }
        std::printf("named pipe: AxFeed (one command exchange) against a bare exchange of its buffer\n");
        if (SvOn(1) != 0) status = 1;
        channel = Board().device.get();
        CommandBuffer feed;
        SetTemplateEntry(feed, 0, kSelWrite, CommandArea(1), kTplFeed, 16);
        const double bare = Rate(seconds, [&] {
            CommandBuffer b = feed;
            channel->Exchange(kIoctlCommand, b.raw);
        });
        std::printf("  %-44s %10.0f /s  %8.2f us each\n", "bare exchange", bare, 1e6 / bare);
        int32_t step = 1;
        auto axfeed = [&] {
            if (AxFeed(1, step) != 0) status = 1;
            step = -step;
        };
        for (int absent = 0; absent <= 1; ++absent) {
            if (absent) {
                reg.Restore();  // the Dll keys go (they were made for the run)
                HKEY still;
                if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, dll.c_str(), 0, KEY_READ, &still) == ERROR_SUCCESS) {
                    RegCloseKey(still);
                    std::printf("  (the Dll key existed before the run; the key-absent case is skipped)\n");
                    break;
                }
            }
            for (int ref = 1; ref >= 0; --ref) {
                Way(ref != 0);
                const double rate = Rate(seconds, axfeed);
                std::printf("  AxFeed, Dll key %-7s Logging 0, %-29s %8.2f us  %5.3f x bare\n",
                            absent ? "absent," : "present,", Name(ref != 0), 1e6 / rate, bare / rate);
            }
        }
        Way(false);
        UsePlatform(nullptr);
        SvOff(1);
        BdClose(0);
        server.Stop();
    }
    DeleteFileA(log_path.c_str());
    if (status) std::fprintf(stderr, "qrl_bench: a call failed during the run\n");
    return status;
}
