// libFuzzer target over what reaches the core from outside: the bytes and return
// codes a driver (or a pipe peer) writes back, and the registry values the call
// log reads. The input script is:
//   [0..47]  call-log settings (Logging, sizes, trigger values, switches, path)
//   then     a sequence of calls, each an opcode byte and argument bytes; every
//            exchange the library makes takes the next 64 bytes of the input as
//            the driver's answer (scattered over the returned buffer and the
//            ReturnCodes of its entries).
// Each call must return a documented status and never touch memory it does not own.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "board.h"
#include "calllog.h"
#include "fakes.h"
#include "settings_layout.h"

using namespace qrl;

namespace {

struct Input {
    const uint8_t* p;
    size_t n;
    uint8_t Byte() {
        if (n == 0) return 0;
        --n;
        return *p++;
    }
    uint32_t U32() {
        uint32_t v = 0;
        for (int i = 0; i < 4; ++i) v |= static_cast<uint32_t>(Byte()) << (8 * i);
        return v;
    }
    int32_t Small(int lo, int hi) { return lo + Byte() % (hi - lo + 1); }
};

// The statuses a call may return when it passes on no ReturnCode of a single read:
// 0, the library's own codes, or a final driver code. Calls that hand a driver's
// ReturnCode through (status reads, parameter reads, driver requests) may return
// anything the driver wrote and are not checked here.
void CheckStatus(int32_t rc, const char* what) {
    if ((rc <= 0 && rc >= -13) || rc == -15 || rc < -32769) return;
    std::fprintf(stderr, "%s returned undocumented status %d\n", what, rc);
    std::abort();
}
void PassedThrough(int32_t) {}

void SetUpSettings(fake::FakePlatform& p, Input& in) {
    auto& s = p.settings;
    const char* dll = vxreg::kDllKey;
    s.SetDword(dll, "Logging", in.Byte() & 1);
    const char* names[] = {"TrigChk", "TrigData", "TargetOffset", "TargetSize", "TargetCH",
                           "TrigLogic", "TargetType", "LogFileCnt", "LogFileMax", "LogSize", "AfterTrigDataSize"};
    for (const char* n : names) {
        uint8_t mode = in.Byte();
        if (mode % 5 == 0) continue;                              // missing
        uint32_t v = mode % 5 == 1 ? in.U32() : in.Byte() % 20;  // wild or small
        s.SetDword(dll, n, v);
    }
    static const char* paths[] = {"\\??\\C:\\fz.log", "C:", "", "\\??\\", "nocolon", "\\??\\C:\\a:b.log"};
    s.SetString(dll, "LoggingPath", paths[in.Byte() % 6]);
    for (const char* n : vxreg::kItemSwitches) s.SetDword(vxreg::kDllLogItemsKey, n, in.Byte() & 1);
    for (const char* n : vxreg::kCommandSwitches) s.SetDword(vxreg::kDllLogItemsKey, n, in.Byte() & 1);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fake::Scope scope;
    Input in{data, size};
    SetUpSettings(scope.platform, in);
    scope.platform.clock.yield_ms = 50;  // keep the 2000 ms loops short

    // The driver answers with input bytes: entry ReturnCodes and response data.
    scope.driver().script = [&in](uint32_t, CommandBuffer& b, fake::ScriptedDriver&) {
        uint8_t mode = in.Byte();
        if (mode < 16) return false;  // the well-behaved station
        int count = b.Count();
        if (count < 0 || count > kEntryCount) count = 1;
        for (int k = 0; k < count; ++k) {
            b.SetField(k, kReturnCode, (mode & 1) ? static_cast<int32_t>(in.U32()) : 0);
            for (int i = 0; i < 17; ++i) b.Data(k)[i] = in.Byte();
        }
        if (mode > 250) b.SetCount(static_cast<int32_t>(in.U32()));  // a driver rewriting the count
        return true;
    };
    scope.driver().fail_after = in.Byte() == 0xEE ? static_cast<int>(in.Byte()) : -1;

    InitDll(1 + (in.Byte() & 1));
    int32_t types[15];
    for (int i = 0; i < 15; ++i) types[i] = in.Byte() % 4 == 0 ? 0 : (in.Byte() & 1 ? 0x61 : 0x01);
    CheckStatus(BdOpen(0, 10, in.Small(0, 15), types), "BdOpen");

    for (int step = 0; step < 24 && in.n > 0; ++step) {
        const int32_t st = in.Small(-2, 16);
        int32_t out32 = 0x5A5A5A5A, out32b = 0x5A5A5A5A;
        uint16_t out16 = 0x5A5A;
        uint8_t out8 = 0x5A, flags[16];
        std::memset(flags, in.Byte() & 1, sizeof flags);
        char id[17];
        QRL_RESPONSE r{};
        r.station = st;
        int32_t bits[15], values[15];
        for (int i = 0; i < 15; ++i) {
            bits[i] = in.Byte() & 1;
            values[i] = static_cast<int32_t>(in.U32());
        }
        switch (in.Byte() % 24) {
        case 0: CheckStatus(AxFeed(st, static_cast<int32_t>(in.U32())), "AxFeed"); break;
        case 1: CheckStatus(SvOn(st), "SvOn"); break;
        case 2: PassedThrough(MonGet(st, in.Small(0, 15), &out32)); break;
        case 3: PassedThrough(StdtGet(st, in.Small(-1, 16), &out32)); break;
        case 4: PassedThrough(McRspGet(&r)); break;
        case 5: PassedThrough(MnRspGet(&r)); break;
        case 6: CheckStatus(RdyWait(st), "RdyWait"); break;
        case 7: CheckStatus(RspWait(st, static_cast<int32_t>(in.U32())), "RspWait"); break;
        case 8: PassedThrough(IodtGet(st, &out32)); break;
        case 9: CheckStatus(D16in_0(in.Small(-1, 16), in.Small(0, 9), 1, 1, &out16), "D16in_0"); break;
        case 10: CheckStatus(Din(in.Small(-1, 16), in.Small(0, 9), flags), "Din"); break;
        case 11: CheckStatus(Dout_0(in.Small(-1, 16), in.Small(0, 9), flags), "Dout_0"); break;
        case 12: PassedThrough(PrmGet(st, static_cast<int32_t>(in.U32() % 4000) - 100, &out32, &out32b)); break;
        case 13: CheckStatus(PprmPut(st, in.Small(0, 255) * 9, 1, 2), "PprmPut"); break;
        case 14: PassedThrough(IpdtSet(bits, values)); break;
        case 15: PassedThrough(IpNumGet(&out32)); break;
        case 16: PassedThrough(IpStrt(0, static_cast<int32_t>(in.U32()))); break;
        case 17: PassedThrough(AxdtStOp(st, 1, 2, in.Small(-1, 3), in.Small(-1, 2))); break;
        case 18: CheckStatus(AbsIni(st), "AbsIni"); break;
        case 19: CheckStatus(PosiPut(st, in.Small(-1, 16), 7), "PosiPut"); break;
        case 20: CheckStatus(AlmGet(st, &out8), "AlmGet"); break;
        case 21: CheckStatus(IdGet(st, in.Byte(), id), "IdGet"); break;
        case 22: CheckStatus(Config(st), "Config"); break;
        case 23: CheckStatus(AxDownOp(st, in.Small(-1, 3), in.Small(-1, 2)), "AxDownOp"); break;
        }
    }
    CheckStatus(BdClose(0), "BdClose");
    return 0;
}
