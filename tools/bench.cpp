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
#include "scratch_registry.h"
#include "settings_layout.h"

using namespace qrl;

namespace {

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
        qrltest::ScratchRegistry reg;
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
