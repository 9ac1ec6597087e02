// Bad input over the whole exported API, from one generated table: every export is
// called with each argument in turn out of range (or a null pointer, or a station
// of the wrong kind) while the others are valid, with the board closed and open.
// Each such call must return -2, make no exchange, and write nothing through any
// pointer; valid calls on a closed board return -5 (or their documented result)
// and also write nothing.
#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <functional>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

#include "board.h"
#include "fakes.h"

using namespace qrl;

namespace {

enum class Kind {
    Axis,      // one axis station, 1..15
    AxisAll,   // one axis station, or -1 for all
    Plain,     // 1..15, no kind check (IdGet, RdyWait, RspWait)
    Io,        // 0..15, an I/O station or the board
    Range,     // lo..hi
    Rate,      // 5, 10 or 20
    Any,       // no check
    MCode,     // one of the station's two M-codes (1 or 8 after BdOpen)
    Out,       // out-pointer of `bytes`
    Flags,     // 16 in-bytes, each 0 or 1
    InArray,   // 15 int32 in-values, unchecked
    Types,     // 15 int32 station types, each >= 0
    Record,    // QRL_RESPONSE with an axis station
    Timeout,   // ms: 0 and above, or -1 (no limit)
};

struct Arg {
    Kind kind;
    int32_t lo = 0, hi = 0;
    size_t bytes = 0;
};
Arg A(Kind k) { return Arg{k}; }
Arg R(int32_t lo, int32_t hi) { return Arg{Kind::Range, lo, hi}; }
Arg Out(size_t n) { return Arg{Kind::Out, 0, 0, n}; }

// Storage behind every pointer argument, sentinel-filled before each call.
constexpr uint8_t kSentinel = 0xA5;
struct Slot {
    alignas(8) uint8_t bytes[80];
};

template <typename T>
T Conv(intptr_t v) {
    if constexpr (std::is_pointer_v<T>)
        return reinterpret_cast<T>(v);
    else
        return static_cast<T>(v);
}

using Invoker = std::function<int32_t(const intptr_t*)>;

template <typename... P, size_t... I>
int32_t InvokeImpl(int32_t(QRL_CALL* f)(P...), const intptr_t* a, std::index_sequence<I...>) {
    return f(Conv<P>(a[I])...);
}
template <typename... P>
Invoker Bind(int32_t(QRL_CALL* f)(P...)) {
    return [f](const intptr_t* a) { return InvokeImpl(f, a, std::index_sequence_for<P...>{}); };
}

struct Export {
    const char* name;
    Invoker call;
    std::vector<Arg> args;
    int32_t closed = QRL_E_NOTOPEN;  // result of a valid call on a closed board
};

#define X(fn, ...) Export{#fn, Bind(fn), {__VA_ARGS__}}
#define XC(fn, closed, ...) Export{#fn, Bind(fn), {__VA_ARGS__}, closed}

const Arg kAxis = A(Kind::Axis), kAll = A(Kind::AxisAll), kIo = A(Kind::Io), kAny = A(Kind::Any);
const Arg k01 = R(0, 1), kOc0 = R(0, 2), kOc1 = R(0, 1), kMode = R(0, 3);

std::vector<Export> Table() {
    return {
        XC(InitDll, QRL_OK, R(1, 2)),
        X(BdClose, R(0, 1)),
        X(Config, kAll),
        XC(IdGet, QRL_E_IO, A(Kind::Plain), kAny, Out(17)),
        X(AxHome, kAxis, kAny, kMode),
        X(AxHomeOp, kAxis, kAny, kOc0, kOc1, kMode),
        X(AxFeed, kAxis, kAny),
        X(AxFeedOp, kAxis, kAny, kOc0, kOc1),
        X(AxNc, kAxis, kAny, kAny),
        X(AxNcOp, kAxis, kAny, kAny, kOc0, kOc1),
        X(AxNcEx, kAxis, kAny, kAny, kMode),
        X(AxNcExOp, kAxis, kAny, kAny, kOc0, kOc1, kMode),
        X(AxDown, kAll),
        X(AxDownOp, kAll, kOc0, kOc1),
        X(AxEmg, kAll),
        X(AxEmgOff, kAll),
        XC(McodePut, QRL_OK, kAll, R(0, 15), R(0, 15)),
        XC(OcodePut, QRL_OK, kAll, R(0, 1), R(0, 2)),
        X(SvOn, kAll),
        X(SvOff, kAll),
        X(EncdrOn, kAll),
        X(EncdrOff, kAll),
        X(MlockOn, kAll),
        X(MlockOff, kAll),
        X(AlmClr, kAll),
        X(AlmGet, kAxis, Out(1)),
        X(AbsIni, kAll),
        X(PosiPut, kAll, R(0, 15), kAny),
        X(StdtStGet, kAxis, Out(2)),
        X(StdtGet, kAxis, R(0, 15), Out(4)),
        X(MonGet, kAxis, A(Kind::MCode), Out(4)),
        X(IodtGet, kAxis, Out(4)),
        X(McRspGet, A(Kind::Record)),
        X(MnRspGet, A(Kind::Record)),
        X(RdyWait, A(Kind::Plain)),
        X(RspWait, A(Kind::Plain), kAny),
        X(QrlRdyWait, A(Kind::Plain), A(Kind::Timeout)),
        X(QrlRspWait, A(Kind::Plain), kAny, A(Kind::Timeout)),
        X(D8in, kIo, R(1, 16), k01, k01, Out(1)),
        X(D8in_0, kIo, R(1, 16), k01, k01, Out(1)),
        X(D16in, kIo, R(1, 8), k01, k01, Out(2)),
        X(D16in_0, kIo, R(1, 8), k01, k01, Out(2)),
        X(D32in, kIo, R(1, 4), k01, k01, Out(4)),
        X(D32in_0, kIo, R(1, 4), k01, k01, Out(4)),
        X(Din, kIo, R(1, 8), Out(16)),
        X(Din_0, kIo, R(1, 8), Out(16)),
        X(D8out, kIo, R(1, 16), kAny, k01, k01),
        X(D8out_0, kIo, R(1, 16), kAny, k01, k01),
        X(D16out, kIo, R(1, 8), kAny, k01, k01),
        X(D16out_0, kIo, R(1, 8), kAny, k01, k01),
        X(D32out, kIo, R(1, 4), kAny, k01, k01),
        X(D32out_0, kIo, R(1, 4), kAny, k01, k01),
        X(Dout, kIo, R(1, 8), A(Kind::Flags)),
        X(Dout_0, kIo, R(1, 8), A(Kind::Flags)),
        X(PrmGet, kAxis, R(0, 2073), Out(4), Out(4)),
        X(PrmPut, kAxis, R(0, 2073), kAny, kAny),
        X(PprmGet, kAxis, R(0, 2073), Out(4), Out(4)),
        X(PprmPut, kAxis, R(0, 2073), kAny, kAny),
        X(IpdtSet, A(Kind::InArray), A(Kind::InArray)),
        X(IpdtClr, kAny, kAny),
        X(IpNumGet, Out(4)),
        X(IpNumMax, kAny),
        X(IpStrt, kAny, kAny),
        X(IpStrtRp, kAny, kAny),
        X(IpStop, kAny, kAny),
        X(AxdtSt, kAxis, kAny, kAny),
        X(AxdtStOp, kAxis, kAny, kAny, kOc0, kOc1),
        X(LkStart, kAny, kAny),
        X(AxdtClr, kAny, kAny),
    };
}

// Values that must be refused, per argument kind; `open` adds stations of the
// wrong kind, which only an open board can tell.
std::vector<int32_t> BadValues(const Arg& a, bool open) {
    switch (a.kind) {
    case Kind::Axis: {
        std::vector<int32_t> v = {0, 16, -1, -2, INT_MIN, INT_MAX};
        if (open) v.insert(v.end(), {2, 4});  // I/O station, no station
        return v;
    }
    case Kind::AxisAll: {
        std::vector<int32_t> v = {0, 16, -2, INT_MIN, INT_MAX};
        if (open) v.insert(v.end(), {2, 4});
        return v;
    }
    case Kind::Plain: return {0, 16, -1, INT_MIN, INT_MAX};
    case Kind::Io: {
        std::vector<int32_t> v = {-1, 16, INT_MIN, INT_MAX};
        if (open) v.insert(v.end(), {1, 4});  // axis station, no station
        return v;
    }
    case Kind::Range: return {a.lo - 1, a.hi + 1, INT_MIN, INT_MAX};
    case Kind::Rate: return {0, 4, 6, 15, 21, -10};
    case Kind::MCode: return {16, -1, 0x101, INT_MIN};  // never one of the table's codes (0..15)
    case Kind::Timeout: return {-2, -1000, INT_MIN};
    default: return {};
}
}

int32_t Valid(const Arg& a) {
    switch (a.kind) {
    case Kind::Axis: case Kind::AxisAll: case Kind::Plain: return 1;
    case Kind::Io: return 2;
    case Kind::Range: return a.lo;
    case Kind::Rate: return 10;
    case Kind::MCode: return Board().mcode[1][0];  // as McodePut last left it
    case Kind::Timeout: return 0;                // one read
    default: return 7;
    }
}

struct Harness {
    fake::Scope scope;
    Slot slots[8];
    QRL_RESPONSE record;
    int calls = 0;

    void Open() {
        InitDll(1);
        int32_t types[15] = {0x01, 0x61, 0x41};
        ASSERT_EQ(BdOpen(0, 10, 0, types), QRL_OK);
    }
    void Close() { ASSERT_EQ(BdClose(0), QRL_OK); }

    // Builds the argument list with argument `bad` (or none) set to `value`; pointer
    // arguments point into the sentinel-filled slots unless `null_at` names them.
    std::vector<intptr_t> Args(const Export& e, int bad, int32_t value, int null_at) {
        std::vector<intptr_t> a;
        for (auto& s : slots) std::memset(s.bytes, kSentinel, sizeof s.bytes);
        std::memset(&record, kSentinel, sizeof record);
        for (size_t i = 0; i < e.args.size(); ++i) {
            const Arg& arg = e.args[i];
            const bool is_null = static_cast<int>(i) == null_at;
            switch (arg.kind) {
            case Kind::Out: case Kind::InArray: a.push_back(is_null ? 0 : reinterpret_cast<intptr_t>(slots[i].bytes)); break;
            case Kind::Flags:
                std::memset(slots[i].bytes, 0, 16);
                if (static_cast<int>(i) == bad) slots[i].bytes[value & 15] = 2;  // one element out of 0..1
                a.push_back(is_null ? 0 : reinterpret_cast<intptr_t>(slots[i].bytes));
                break;
            case Kind::Record:
                std::memset(&record, kSentinel, sizeof record);
                record.station = static_cast<int>(i) == bad ? value : 1;
                a.push_back(is_null ? 0 : reinterpret_cast<intptr_t>(&record));
                break;
            default: a.push_back(static_cast<int>(i) == bad ? value : Valid(arg));
            }
        }
        return a;
    }

    // The slots and the record hold nothing but the sentinel (the record's station aside).
    ::testing::AssertionResult Untouched(const Export& e) {
        for (size_t i = 0; i < e.args.size(); ++i) {
            Kind k = e.args[i].kind;
            if (k != Kind::Out && k != Kind::InArray) continue;
            for (uint8_t b : slots[i].bytes)
                if (b != kSentinel) return ::testing::AssertionFailure() << "argument " << i << " written";
        }
        const uint8_t* r = reinterpret_cast<const uint8_t*>(&record) + 4;
        for (size_t i = 0; i < sizeof record - 4; ++i)
            if (r[i] != kSentinel) return ::testing::AssertionFailure() << "record written at " << i + 4;
        return ::testing::AssertionSuccess();
    }

    int32_t Call(const Export& e, std::vector<intptr_t> a) {
        ++calls;
        a.resize(8, 0);
        return e.call(a.data());
    }

    // The refused call is the thread's last failure: this export, -2, refused by
    // the argument checks, one failure newer than before the call.
    void ExpectRefusalRecorded(const Export& e, const QRL_FAILURE& before) {
        QRL_FAILURE f;
        ASSERT_EQ(QrlGetLastFailure(&f), QRL_OK);
        EXPECT_STREQ(f.function, e.name);
        EXPECT_EQ(f.status, QRL_E_ARG) << e.name;
        EXPECT_EQ(f.origin, QRL_ORIGIN_ARGUMENT) << e.name;
        EXPECT_EQ(f.sequence, before.sequence + 1) << e.name;
    }

    // Every single bad argument and every null pointer: -2, no exchange, nothing
    // written, and the failure recorded as the argument check's.
    void RefuseEach(const Export& e, bool open) {
        for (size_t i = 0; i < e.args.size(); ++i) {
            const Arg& arg = e.args[i];
            std::vector<int32_t> bad = BadValues(arg, open);
            if (arg.kind == Kind::Flags) bad = {0, 3, 15};
            if (arg.kind == Kind::Record) bad = BadValues(A(Kind::Axis), open);
            for (int32_t v : bad) {
                const size_t before = scope.driver().log.size();
                QRL_FAILURE before_call;
                QrlGetLastFailure(&before_call);
                int32_t rc = Call(e, Args(e, static_cast<int>(i), v, -1));
                EXPECT_EQ(rc, QRL_E_ARG) << e.name << " argument " << i << " = " << v << (open ? " (open)" : "");
                ExpectRefusalRecorded(e, before_call);
                EXPECT_EQ(scope.driver().log.size(), before) << e.name << " exchanged for argument " << i << " = " << v;
                EXPECT_TRUE(Untouched(e)) << e.name << " argument " << i << " = " << v;
            }
            if (arg.kind == Kind::Out || arg.kind == Kind::Flags || arg.kind == Kind::InArray ||
                arg.kind == Kind::Record) {
                const size_t before = scope.driver().log.size();
                QRL_FAILURE before_call;
                QrlGetLastFailure(&before_call);
                EXPECT_EQ(Call(e, Args(e, -1, 0, static_cast<int>(i))), QRL_E_ARG) << e.name << " null argument " << i;
                ExpectRefusalRecorded(e, before_call);
                EXPECT_EQ(scope.driver().log.size(), before) << e.name << " exchanged with a null argument " << i;
            }
        }
    }
};

}  // namespace

TEST(BadInput, EveryExportRefusesEachBadArgumentWithTheBoardClosed) {
    Harness h;
    h.Open();
    h.Close();  // closed, with the station table of the last open
    for (const Export& e : Table()) h.RefuseEach(e, false);
    std::printf("[ bad input ] %d calls with the board closed\n", h.calls);
}

TEST(BadInput, EveryExportRefusesEachBadArgumentWithTheBoardOpen) {
    Harness h;
    h.Open();
    for (const Export& e : Table()) h.RefuseEach(e, true);
    std::printf("[ bad input ] %d calls with the board open\n", h.calls);
}

TEST(BadInput, ValidCallsOnAClosedBoardWriteNothing) {
    Harness h;
    h.Open();
    h.Close();
    for (const Export& e : Table()) {
        if (std::string(e.name) == "InitDll" || std::string(e.name) == "BdClose") continue;
        const size_t before = h.scope.driver().log.size();
        EXPECT_EQ(h.Call(e, h.Args(e, -1, 0, -1)), e.closed) << e.name;
        EXPECT_TRUE(h.Untouched(e)) << e.name;
        EXPECT_EQ(h.scope.driver().log.size(), before) << e.name;
    }
}

TEST(BadInput, BdOpenRefusesEachBadArgumentBeforeTouchingAnything) {
    Harness h;
    InitDll(1);
    const std::vector<Arg> args = {R(0, 1), A(Kind::Rate), R(0, 15)};
    for (size_t i = 0; i < args.size(); ++i)
        for (int32_t v : BadValues(args[i], false)) {
            int32_t a[3] = {0, 10, 0};
            a[i] = v;
            int32_t types[15] = {1};
            EXPECT_EQ(BdOpen(a[0], a[1], a[2], types), QRL_E_ARG) << "argument " << i << " = " << v;
        }
    for (int bad = 0; bad < 15; ++bad) {
        int32_t types[15] = {1};
        types[bad] = bad % 2 ? -1 : INT_MIN;
        EXPECT_EQ(BdOpen(0, 10, 0, types), QRL_E_ARG) << "types[" << bad << "]";
        EXPECT_EQ(types[bad], bad % 2 ? -1 : INT_MIN) << "the array is left as given";
    }
    EXPECT_EQ(h.scope.platform.device_opens, 0);
    EXPECT_TRUE(h.scope.driver().log.empty());
}
