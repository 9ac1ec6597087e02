// Soak: several threads issue a mix of commands through qrlink00.dll against the
// in-process virtual board, with the call log on and rotating through small files.
// Afterwards: every call returned a documented status, every log line decodes,
// and the process's handle count and memory are back where they started.
//
//   qrl_soak [--threads N] [--calls N] [--dir FOLDER]
#include <windows.h>
#include <psapi.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "handle_count.h"
#include "logformat.h"
#include "scratch_registry.h"
#include "qrlink00.h"
#include "settings_layout.h"

namespace {

// The soak uses the second board family's keys, so it never meets the keys other
// tests make for the first.
const char* const kDll = vxreg::kDllKey880;
const char* const kItems = vxreg::kDllLogItemsKey880;
constexpr int kLogFileMax = 3;

bool SetUpLogging(qrltest::ScratchRegistry& reg, const std::string& path) {
    bool ok = reg.Ensure(kDll) && reg.Ensure(kItems);
    ok = ok && reg.Dword(kDll, "Logging", 1) && reg.String(kDll, "LoggingPath", "\\??\\" + path) &&
         reg.Dword(kDll, "LogSize", 16) && reg.Dword(kDll, "LogFileMax", kLogFileMax) &&
         reg.Dword(kDll, "LogFileCnt", 0) && reg.Dword(kDll, "TrigChk", 0);
    for (const char* n : vxreg::kItemSwitches) ok = ok && reg.Dword(kItems, n, 1);
    for (const char* n : vxreg::kCommandSwitches) ok = ok && reg.Dword(kItems, n, 1);
    return ok;
}

// Statuses the library documents. Status reads may also pass on a driver's
// positive ReturnCode.
bool Documented(int32_t rc, bool read) {
    return (rc <= 0 && rc >= -13) || rc == -15 || rc < -32769 || (read && rc > 0);
}

struct Counters {
    std::atomic<long> calls{0}, undocumented{0};
    std::atomic<long> by_code[17] = {};
};

void Note(Counters& c, int32_t rc, bool read, const char* what) {
    ++c.calls;
    if (rc <= 0 && rc >= -16) ++c.by_code[-rc];
    if (!Documented(rc, read)) {
        ++c.undocumented;
        std::printf("soak: %s returned undocumented %ld\n", what, static_cast<long>(rc));
    }
}

void Worker(int index, int calls, Counters& c) {
    const int32_t axis = (index % 3) * 2 + 1;  // 1, 3, 5
    const int32_t io = index % 2 ? 4 : 2;
    const int32_t prm = 0x100 + index;
    for (int i = 0; i < calls; ++i) {
        uint16_t w = 0;
        int32_t v = 0, v2 = 0;
        uint8_t b = 0, flags[16] = {};
        QRL_RESPONSE r{};
        r.station = axis;
        switch (i % 16) {
        case 0: Note(c, StdtStGet(axis, &w), true, "StdtStGet"); break;
        case 1: Note(c, StdtGet(axis, 2, &v), true, "StdtGet"); break;
        case 2: Note(c, MonGet(axis, 1, &v), true, "MonGet"); break;
        case 3: Note(c, AxFeed(axis, (i % 7) - 3), false, "AxFeed"); break;
        case 4: Note(c, RdyWait(axis), false, "RdyWait"); break;
        case 5: Note(c, McRspGet(&r), true, "McRspGet"); break;
        case 6: Note(c, MnRspGet(&r), true, "MnRspGet"); break;
        case 7: Note(c, IodtGet(axis, &v), true, "IodtGet"); break;
        case 8: Note(c, D16out(io, 1 + index % 8, i & 0xFFFF, 0, 0), false, "D16out"); break;
        case 9: Note(c, D16in(io, 1 + index % 8, 0, 1, &w), false, "D16in"); break;
        case 10: Note(c, D8in_0(0, 1 + i % 16, 1, 0, &b), false, "D8in_0"); break;
        case 11:
            flags[i % 16] = 1;
            Note(c, Dout_0(io, 1 + i % 8, flags), false, "Dout_0");
            break;
        case 12: Note(c, Din(io, 1 + i % 8, flags), false, "Din"); break;
        case 13: Note(c, PrmPut(axis, prm, i, -i), false, "PrmPut"); break;
        case 14: Note(c, PrmGet(axis, prm, &v, &v2), true, "PrmGet"); break;
        case 15: Note(c, IpNumGet(&v), false, "IpNumGet"); break;
        }
    }
}

void RunRound(int threads, int calls, Counters& c) {
    std::vector<std::thread> pool;
    for (int t = 0; t < threads; ++t) pool.emplace_back(Worker, t, calls, std::ref(c));
    for (auto& t : pool) t.join();
}

struct Usage {
    DWORD handles = 0;
    SIZE_T private_bytes = 0;
};
Usage Measure() {
    Usage u;
    u.handles = qrltest::ProcessHandleCount();
    PROCESS_MEMORY_COUNTERS pmc = {};
    pmc.cb = sizeof pmc;
    if (GetProcessMemoryInfo(GetCurrentProcess(), &pmc, sizeof pmc)) u.private_bytes = pmc.PagefileUsage;
    return u;
}

}  // namespace

int main(int argc, char** argv) {
    int threads = 4, calls = 400;
    std::string dir;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (!std::strcmp(argv[i], "--threads")) threads = std::atoi(argv[i + 1]);
        if (!std::strcmp(argv[i], "--calls")) calls = std::atoi(argv[i + 1]);
        if (!std::strcmp(argv[i], "--dir")) dir = argv[i + 1];
    }
    if (dir.empty()) {
        char tmp[MAX_PATH];
        GetTempPathA(MAX_PATH, tmp);
        dir = std::string(tmp) + "qrl_soak";
    }
    CreateDirectoryA(dir.c_str(), nullptr);
    const std::string path = dir + "\\soak.log";
    for (int k = 0; k <= kLogFileMax; ++k)
        DeleteFileA((k ? path + "." + std::to_string(k) : path).c_str());

    SetEnvironmentVariableA("QRLINK00_DEVICE", "sim");
    qrltest::ScratchRegistry reg;
    if (!SetUpLogging(reg, path)) {
        std::printf("soak: cannot set up the registry keys\n");
        return 2;
    }
    int failures = 0;
    Counters warm, c;
    InitDll(2);
    int32_t types[15] = {0x01, 0x61, 0x01, 0x61, 0x01};
    auto open_board = [&] {
        if (BdOpen(0, 10, 0, types) != QRL_OK) return false;
        return SvOn(-1) == QRL_OK;
    };
    // A first round pays the lazy start-up costs (threads, CRT, lock objects, log
    // files); the baseline is then taken with the board closed, and compared with
    // the same state after the measured round.
    if (!open_board()) {
        std::printf("soak: BdOpen failed\n");
        return 2;
    }
    RunRound(threads, calls / 10 > 200 ? calls / 10 : 200, warm);
    BdClose(0);
    const Usage before = Measure();
    // Two measured halves, each opening and closing the board: a leak grows from
    // one half to the next, while lock objects the system creates on the first
    // contention appear once.
    DWORD elapsed = 0;
    Usage during, half, after;
    for (int h = 0; h < 2; ++h) {
        open_board();
        const DWORD t0 = GetTickCount();
        RunRound(threads, calls / 2, c);
        elapsed += GetTickCount() - t0;
        during = Measure();
        SvOff(-1);
        BdClose(0);
        (h == 0 ? half : after) = Measure();
    }

    // Every line of every file of the ring decodes.
    long records = 0, files = 0;
    for (int k = 0; k <= kLogFileMax; ++k) {
        std::string p = k ? path + "." + std::to_string(k) : path;
        std::ifstream f(p, std::ios::binary);
        if (!f) continue;
        std::stringstream ss;
        ss << f.rdbuf();
        qrlog::Log log = qrlog::ReadLog(ss.str());
        ++files;
        records += static_cast<long>(log.records.size());
        for (auto& pr : log.problems) {
            std::printf("soak: %s:%zu: %s\n", p.c_str(), pr.line, pr.what.c_str());
            ++failures;
        }
        f.close();
        DeleteFileA(p.c_str());
    }
    RemoveDirectoryA(dir.c_str());
    reg.Restore();

    std::printf("soak: %d threads x %d calls = %ld calls in %lu ms (%.0f calls/s)\n", threads, calls, c.calls.load(),
                elapsed, elapsed ? c.calls.load() * 1000.0 / elapsed : 0.0);
    std::printf("soak: statuses:");
    for (int i = 0; i <= 16; ++i)
        if (c.by_code[i]) std::printf(" %d x%ld", -i, c.by_code[i].load());
    std::printf("; undocumented %ld\n", c.undocumented.load());
    std::printf("soak: %ld log files, %ld records decoded, %d corrupted lines\n", files, records, failures);
    std::printf("soak: handles %lu before, %lu while running, %lu after the first half, %lu after the second; "
                "memory %lu KB before, %lu KB, %lu KB after\n",
                before.handles, during.handles, half.handles, after.handles,
                static_cast<unsigned long>(before.private_bytes / 1024),
                static_cast<unsigned long>(half.private_bytes / 1024),
                static_cast<unsigned long>(after.private_bytes / 1024));
    if (c.undocumented) ++failures;
    if (files < 2) {
        std::printf("soak: the log did not rotate\n");
        ++failures;
    }
    if (after.handles > half.handles || half.handles > before.handles + 2) {
        std::printf("soak: handles leaked\n");
        ++failures;
    }
    if (after.private_bytes > half.private_bytes + 512 * 1024 ||
        after.private_bytes > before.private_bytes + 2 * 1024 * 1024) {
        std::printf("soak: memory grew\n");
        ++failures;
    }
    std::printf("soak: %s\n", failures ? "FAILED" : "passed");
    return failures ? 1 : 0;
}
