// Status, monitor and response reads, and the exported waits RdyWait and RspWait.
#include <functional>

#include "command_fixture.h"

using namespace qrl;
using namespace cmdtest;

namespace {

class Status : public CommandTest {
protected:
    // Fills station n's response area with recognisable bytes.
    void FullResponse(int n, uint8_t code) {
        uint8_t* r = drv().response[n];
        r[kRspCode] = code;
        r[kRspAlarm] = 0x15;
        PutU16(r + kRspStatus, 0x8004);
        PutI32(r + kRspMonitor1, 0x01020304);
        PutI32(r + kRspMonitor2, -2);
        r[kRspMcode] = 0x81;
        PutU16(r + kRspIoData, 0xBEEF);
    }
    // Every answer: the default handling, then entry 0's ReturnCode forced to rc.
    void ReturnCodeOnReads(int32_t rc) {
        drv().script = [rc](uint32_t, CommandBuffer& b, fake::ScriptedDriver& d) {
            if (b.Field(0, kSelectCode) != kSelRead) return false;
            const int n = (b.Field(0, kOffset) - kResponseBase) / kStationStride;
            std::memcpy(b.Data(0), d.response[n], 17);
            b.SetField(0, kReturnCode, rc);
            return true;
        };
    }
    // Station n answers every write like the default station and sets its
    // response code; every read of n comes back with ReturnCode `read_rc` from the
    // `from_read`-th read of n on (1-based; earlier reads answer 0).
    void ReadsOfStationAnswer(int n, int from_read, int32_t read_rc) {
        auto reads = std::make_shared<int>(0);
        drv().script = [n, from_read, read_rc, reads](uint32_t, CommandBuffer& b, fake::ScriptedDriver& d) {
            if (b.Field(0, kSelectCode) != kSelRead || b.Field(0, kOffset) != n * 64 + 1024) return false;
            std::memcpy(b.Data(0), d.response[n], 17);
            b.SetField(0, kReturnCode, ++*reads >= from_read ? read_rc : 0);
            return true;
        };
    }

};

void ExpectResponseRead(const fake::Record& r, int station, const char* first_bytes = "00 00") {
    EXPECT_EQ(r.sent.Field(0, kSelectCode), kSelRead);
    EXPECT_EQ(r.sent.Field(0, kOffset), station * 64 + 1024);
    EXPECT_EQ(r.sent.Field(0, kSize), 17);
    EXPECT_EQ(r.sent.Count(), 1);
    EXPECT_EQ(DataHex(r.sent, 0, 2), first_bytes);
}

QRL_RESPONSE Sentinel(int32_t station) {
    QRL_RESPONSE rec;
    std::memset(&rec, 0xA5, sizeof rec);
    rec.station = station;
    return rec;
}

TEST_F(Status, StdtStGetStoresTheStatusWordAndReturnsTheReturnCode) {
    OpenDefault();
    Respond(2, 0x36, 0x1234);
    Guarded<uint16_t> st;
    ASSERT_EQ(StdtStGet(2, st.ptr()), 0);
    EXPECT_EQ(st.value(), 0x1234);
    EXPECT_TRUE(st.guards_intact());
    ASSERT_EQ(Exchanges(), 1u);
    ExpectResponseRead(drv().log[0], 2);

    ReturnCodeOnReads(9);
    Guarded<uint16_t> st2;
    EXPECT_EQ(StdtStGet(2, st2.ptr()), 9) << "stored, then the ReturnCode comes back";
    EXPECT_EQ(st2.value(), 0x1234);

    drv().script = nullptr;
    drv().fail_all = true;
    Guarded<uint16_t> st3;
    EXPECT_EQ(StdtStGet(2, st3.ptr()), QRL_E_IO);
    EXPECT_TRUE(st3.untouched());
}

TEST_F(Status, StdtGetBits) {
    OpenDefault();
    Respond(1, 0x36, 0x8000);
    const struct {
        int32_t bit;
        int32_t want;
    } bits[] = {{15, 1}, {14, 0}, {0, 0}, {2, 0}};
    for (auto& b : bits) {
        Guarded<int32_t> state;
        ASSERT_EQ(StdtGet(1, b.bit, state.ptr()), 0);
        EXPECT_EQ(state.value(), b.want) << "bit " << b.bit;
        EXPECT_TRUE(state.guards_intact());
    }
    Respond(1, 0x36, 0x0005);
    Guarded<int32_t> s0;
    ASSERT_EQ(StdtGet(1, 0, s0.ptr()), 0);
    EXPECT_EQ(s0.value(), 1);

    drv().Clear();
    for (int32_t bad : {16, -1}) {
        Guarded<int32_t> state;
        EXPECT_EQ(StdtGet(1, bad, state.ptr()), QRL_E_ARG);
        EXPECT_TRUE(state.untouched());
    }
    EXPECT_EQ(StdtGet(1, 3, nullptr), QRL_E_ARG);
    EXPECT_EQ(Exchanges(), 0u) << "checks come before any transfer";
}

TEST_F(Status, StdtGetStoresZeroAfterAFailedRead) {
    OpenDefault();
    Respond(1, 0x36, 0xFFFF);
    drv().fail_all = true;
    Guarded<int32_t> state;
    EXPECT_EQ(StdtGet(1, 2, state.ptr()), QRL_E_IO);
    EXPECT_EQ(state.value(), 0);
    EXPECT_TRUE(state.guards_intact());
}

TEST_F(Status, ChecksOfTheReadsComeBeforeTheOpenCheck) {
    Guarded<uint16_t> st;
    Guarded<int32_t> v;
    QRL_RESPONSE rec = Sentinel(1);
    const struct {
        const char* name;
        std::function<int32_t()> call;
        int32_t want;
    } cases[] = {
        {"StdtStGet 0", [&] { return StdtStGet(0, st.ptr()); }, QRL_E_ARG},
        {"StdtStGet -1", [&] { return StdtStGet(-1, st.ptr()); }, QRL_E_ARG},
        {"StdtStGet null", [&] { return StdtStGet(1, nullptr); }, QRL_E_ARG},
        {"StdtStGet closed", [&] { return StdtStGet(1, st.ptr()); }, QRL_E_NOTOPEN},
        {"StdtGet 16", [&] { return StdtGet(16, 0, v.ptr()); }, QRL_E_ARG},
        {"StdtGet bit 16", [&] { return StdtGet(1, 16, v.ptr()); }, QRL_E_ARG},
        {"StdtGet null", [&] { return StdtGet(1, 0, nullptr); }, QRL_E_ARG},
        {"StdtGet closed", [&] { return StdtGet(1, 15, v.ptr()); }, QRL_E_NOTOPEN},
        {"MonGet 0", [&] { return MonGet(0, 1, v.ptr()); }, QRL_E_ARG},
        {"MonGet code 2", [&] { return MonGet(1, 2, v.ptr()); }, QRL_E_ARG},
        {"MonGet null", [&] { return MonGet(1, 1, nullptr); }, QRL_E_ARG},
        {"MonGet closed", [&] { return MonGet(1, 8, v.ptr()); }, QRL_E_NOTOPEN},
        {"IodtGet -1", [&] { return IodtGet(-1, v.ptr()); }, QRL_E_ARG},
        {"IodtGet null", [&] { return IodtGet(1, nullptr); }, QRL_E_ARG},
        {"IodtGet closed", [&] { return IodtGet(1, v.ptr()); }, QRL_E_NOTOPEN},
        {"McRspGet null", [&] { return McRspGet(nullptr); }, QRL_E_ARG},
        {"MnRspGet null", [&] { return MnRspGet(nullptr); }, QRL_E_ARG},
        {"McRspGet closed", [&] { return McRspGet(&rec); }, QRL_E_NOTOPEN},
        {"MnRspGet closed", [&] { return MnRspGet(&rec); }, QRL_E_NOTOPEN},
        {"RdyWait 0", [&] { return RdyWait(0); }, QRL_E_ARG},
        {"RdyWait 16", [&] { return RdyWait(16); }, QRL_E_ARG},
        {"RdyWait closed", [&] { return RdyWait(1); }, QRL_E_NOTOPEN},
        {"RspWait -1", [&] { return RspWait(-1, 0x36); }, QRL_E_ARG},
        {"RspWait closed", [&] { return RspWait(15, 0x36); }, QRL_E_NOTOPEN},
    };
    // Before the first BdOpen, the M-code rows are zero: MonGet's code check
    // then accepts 0 only.
    EXPECT_EQ(MonGet(1, 0, v.ptr()), QRL_E_NOTOPEN);
    EXPECT_EQ(MonGet(1, 1, v.ptr()), QRL_E_ARG);

    OpenDefault();
    ASSERT_EQ(BdClose(0), 0);
    drv().Clear();
    for (auto& c : cases) EXPECT_EQ(c.call(), c.want) << c.name;
    EXPECT_EQ(Exchanges(), 0u) << "a closed board is never touched";
    EXPECT_TRUE(st.untouched());
    EXPECT_TRUE(v.untouched());

    // Record stations out of range, and stations of the wrong kind.
    OpenDefault();  // 4 is an I/O station, 5 absent
    for (int32_t n : {0, 16, -1, 4, 5}) {
        QRL_RESPONSE r = Sentinel(n);
        const QRL_RESPONSE before = r;
        EXPECT_EQ(McRspGet(&r), QRL_E_ARG) << n;
        EXPECT_EQ(MnRspGet(&r), QRL_E_ARG) << n;
        EXPECT_EQ(std::memcmp(&r, &before, sizeof r), 0);
    }
    for (int32_t n : {4, 5}) {
        EXPECT_EQ(StdtStGet(n, st.ptr()), QRL_E_ARG);
        EXPECT_EQ(StdtGet(n, 0, v.ptr()), QRL_E_ARG);
        EXPECT_EQ(MonGet(n, 1, v.ptr()), QRL_E_ARG);
        EXPECT_EQ(IodtGet(n, v.ptr()), QRL_E_ARG);
    }
    EXPECT_EQ(Exchanges(), 0u);
    EXPECT_TRUE(v.untouched());
}

TEST_F(Status, MonGetAcceptsOnlyTheStationsTwoMcodes) {
    OpenDefault();
    FullResponse(1, 0x36);
    for (int32_t code : {0, 2, 7, 9, 15, -1}) {
        Guarded<int32_t> v;
        EXPECT_EQ(MonGet(1, code, v.ptr()), QRL_E_ARG) << code;
        EXPECT_TRUE(v.untouched());
    }
    EXPECT_EQ(Exchanges(), 0u);

    Guarded<int32_t> low, high;
    ASSERT_EQ(MonGet(1, 1, low.ptr()), 0);
    ASSERT_EQ(MonGet(1, 8, high.ptr()), 0);
    EXPECT_EQ(low.value(), 0x01020304);
    EXPECT_EQ(high.value(), -2);
    EXPECT_TRUE(low.guards_intact() && high.guards_intact());

    ASSERT_EQ(McodePut(1, 3, 3), 0);
    EXPECT_EQ(MonGet(1, 1, low.ptr()), QRL_E_ARG);
    EXPECT_EQ(MonGet(1, 8, low.ptr()), QRL_E_ARG);
    Guarded<int32_t> same;
    ASSERT_EQ(MonGet(1, 3, same.ptr()), 0);
    EXPECT_EQ(same.value(), 0x01020304) << "equal M-codes give monitor value 1";
}

TEST_F(Status, MonGetAfterAFeedReadsWithoutARequest) {
    OpenDefault();
    ASSERT_EQ(AxFeed(2, 100), 0);  // response code 0x36
    PutI32(drv().response[2] + kRspMonitor2, 4321);
    drv().Clear();
    Guarded<int32_t> v;
    ASSERT_EQ(MonGet(2, 8, v.ptr()), 0);
    EXPECT_EQ(v.value(), 4321);
    ASSERT_EQ(Exchanges(), 2u) << "the ready wait, then the read";
    ExpectResponseRead(drv().log[0], 2);
    ExpectResponseRead(drv().log[1], 2);
}

TEST_F(Status, MonGetAfterAPresetAsksForMonitorDataOnce) {
    OpenDefault();
    ASSERT_EQ(McodePut(3, 2, 6), 0);
    ASSERT_EQ(PosiPut(3, 1, 5), 0);  // response code 0x20: no monitor data
    // The station answers the monitor request with fresh values.
    drv().script = [](uint32_t, CommandBuffer& b, fake::ScriptedDriver& d) {
        if (b.Field(0, kSelectCode) == kSelWrite) {
            d.response[3][kRspCode] = b.Data(0)[1];
            PutI32(d.response[3] + kRspMonitor1, 777);
            b.SetField(0, kReturnCode, 0);
            return true;
        }
        return false;
    };
    drv().Clear();
    Guarded<int32_t> v;
    ASSERT_EQ(MonGet(3, 2, v.ptr()), 0);
    EXPECT_EQ(v.value(), 777);
    auto& log = drv().log;
    ASSERT_EQ(log.size(), 6u) << "ready, read, ready, request, response wait, read";
    for (size_t i : {0u, 1u, 2u, 4u, 5u}) ExpectResponseRead(log[i], 3);
    const CommandBuffer& req = log[3].sent;
    EXPECT_EQ(req.Field(0, kSelectCode), kSelWrite);
    EXPECT_EQ(req.Field(0, kOffset), 192);
    EXPECT_EQ(req.Field(0, kSize), 16);
    EXPECT_EQ(DataHex(req, 0, 16), "03 30 00 00 00 00 00 00 00 00 00 00 00 62 00 00");
}

TEST_F(Status, EveryNoMonitorCodeTriggersTheRequest) {
    OpenDefault();
    const uint8_t no_monitor[] = {0x00, 0x01, 0x02, 0x04, 0x06, 0x1B, 0x1C, 0x20, 0x23, 0x24};
    const uint8_t monitor[] = {0x21, 0x22, 0x25, 0x26, 0x27, 0x30, 0x31, 0x32, 0x35, 0x36, 0x39, 0x3A, 0x3E};
    for (uint8_t code : no_monitor) {
        Respond(1, code);
        drv().Clear();
        int32_t v;
        ASSERT_EQ(MonGet(1, 1, &v), 0) << int(code);
        EXPECT_EQ(Writes().size(), 1u) << int(code);
        Respond(1, code);
        drv().Clear();
        ASSERT_EQ(IodtGet(1, &v), 0) << int(code);
        EXPECT_EQ(Writes().size(), 1u) << int(code);
    }
    for (uint8_t code : monitor) {
        Respond(1, code);
        drv().Clear();
        int32_t v;
        ASSERT_EQ(MonGet(1, 1, &v), 0) << int(code);
        ASSERT_EQ(IodtGet(1, &v), 0) << int(code);
        EXPECT_EQ(Writes().size(), 0u) << int(code);
    }
}

TEST_F(Status, MonGetRequestIsOneTransferAndItsWaitsEndAtTheirLimits) {
    OpenDefault();
    // The request answered busy: one exchange, no retry, the code comes back.
    Respond(1, 0x20);
    drv().script = [](uint32_t, CommandBuffer& b, fake::ScriptedDriver&) {
        if (b.Field(0, kSelectCode) != kSelWrite) return false;
        b.SetField(0, kReturnCode, 3);
        return true;
    };
    Guarded<int32_t> v;
    EXPECT_EQ(MonGet(1, 1, v.ptr()), 3);
    EXPECT_EQ(Writes().size(), 1u);
    EXPECT_TRUE(v.untouched());

    // The station never answers the request: -8 after the response wait's 2000 ms.
    drv().script = nullptr;
    drv().station_echo = false;
    drv().Clear();
    EXPECT_EQ(MonGet(1, 1, v.ptr()), QRL_E_RESPONSE);
    EXPECT_EQ(Reads().size(), 3u + 2001u);
    EXPECT_TRUE(v.untouched());

    // Never ready: the first ready wait gives -7 before anything else.
    drv().Clear();
    Respond(1, 0x36, 0x0000);
    EXPECT_EQ(MonGet(1, 8, v.ptr()), QRL_E_TIMEOUT);
    EXPECT_EQ(Writes().size(), 0u);
    EXPECT_TRUE(v.untouched());

    // A non-zero ReturnCode of the first read is returned.
    Respond(1, 0x36);
    int reads = 0;
    drv().script = [&reads](uint32_t, CommandBuffer& b, fake::ScriptedDriver& d) {
        std::memcpy(b.Data(0), d.response[1], 17);
        b.SetField(0, kReturnCode, ++reads == 2 ? 12 : 0);
        return true;
    };
    EXPECT_EQ(MonGet(1, 8, v.ptr()), 12);
    EXPECT_TRUE(v.untouched());
}

TEST_F(Status, IodtGetStoresTheWordZeroExtended) {
    OpenDefault();
    Respond(2, 0x36);
    drv().response[2][14] = 0x00;
    drv().response[2][15] = 0x01;
    Guarded<int32_t> v;
    ASSERT_EQ(IodtGet(2, v.ptr()), 0);
    EXPECT_EQ(v.value(), 256);
    EXPECT_TRUE(v.guards_intact());
    ASSERT_EQ(Exchanges(), 1u) << "no ready wait, one read";
    ExpectResponseRead(drv().log[0], 2);

    PutU16(drv().response[2] + 14, 0xFFFF);
    ASSERT_EQ(IodtGet(2, v.ptr()), 0);
    EXPECT_EQ(v.value(), 65535);

    ReturnCodeOnReads(-33000);
    Guarded<int32_t> w;
    EXPECT_EQ(IodtGet(2, w.ptr()), -33000);
    EXPECT_TRUE(w.untouched());
}

TEST_F(Status, IodtGetSendsItsRequestThroughSendCommand) {
    OpenDefault();
    Respond(2, 0x06);
    int busy = 3;
    drv().script = [&busy](uint32_t, CommandBuffer& b, fake::ScriptedDriver&) {
        if (b.Field(0, kSelectCode) != kSelWrite || busy == 0) return false;
        --busy;
        b.SetField(0, kReturnCode, 1);
        return true;
    };
    Guarded<int32_t> v;
    ASSERT_EQ(IodtGet(2, v.ptr()), 0);
    auto w = Writes();
    ASSERT_EQ(w.size(), 4u) << "three busy answers retried, then accepted";
    EXPECT_EQ(DataHex(w[0].sent, 0, 16), "03 30 00 00 00 00 00 00 00 00 00 00 00 81 00 00");
    EXPECT_EQ(drv().log.front().sent.Field(0, kSelectCode), kSelRead) << "no ready wait first";
    EXPECT_EQ(drv().log.size(), 1u + 4u + 1u + 1u) << "read, request x4, response wait, read";
}

TEST_F(Status, McRspGetFillsEveryField) {
    OpenDefault();
    ASSERT_EQ(AxEmg(1), 0);
    FullResponse(1, 0x21);
    drv().Clear();
    QRL_RESPONSE rec = Sentinel(1);
    ASSERT_EQ(McRspGet(&rec), 0);
    EXPECT_EQ(rec.station, 1);
    EXPECT_EQ(rec.alarm, 0x15);
    EXPECT_EQ(rec.status, 0x8004);
    EXPECT_EQ(rec.monitor1, 0x01020304);
    EXPECT_EQ(rec.monitor2, -2);
    EXPECT_EQ(rec.mcode, 0x81);
    EXPECT_EQ(rec.iodata, 0xBEEF);
    ASSERT_EQ(Exchanges(), 1u);
    ExpectResponseRead(drv().log[0], 1);

    for (int32_t rc : {5, -1, -40000}) {
        ReturnCodeOnReads(rc);
        QRL_RESPONSE r = Sentinel(1);
        const QRL_RESPONSE before = r;
        EXPECT_EQ(McRspGet(&r), rc);
        EXPECT_EQ(std::memcmp(&r, &before, sizeof r), 0) << "untouched on ReturnCode " << rc;
    }
    drv().script = nullptr;
    drv().fail_all = true;
    QRL_RESPONSE r = Sentinel(1);
    const QRL_RESPONSE before = r;
    EXPECT_EQ(McRspGet(&r), QRL_E_IO);
    EXPECT_EQ(std::memcmp(&r, &before, sizeof r), 0);
}

TEST_F(Status, MnRspGetJudgesTheResponse) {
    OpenDefault();
    FullResponse(1, 0x21);  // after AxEmg: no monitor data
    QRL_RESPONSE rec = Sentinel(1);
    EXPECT_EQ(MnRspGet(&rec), QRL_E_NOMONITOR);
    EXPECT_EQ(rec.alarm, 0x15);
    EXPECT_EQ(rec.status, 0x8004);
    const QRL_RESPONSE s = Sentinel(1);
    EXPECT_EQ(rec.monitor1, s.monitor1) << "only alarm and status";
    EXPECT_EQ(rec.monitor2, s.monitor2);
    EXPECT_EQ(rec.mcode, s.mcode);
    EXPECT_EQ(rec.iodata, s.iodata);

    // A positive ReturnCode: everything filled and the code returned.
    ReturnCodeOnReads(4);
    QRL_RESPONSE pos = Sentinel(1);
    EXPECT_EQ(MnRspGet(&pos), 4);
    EXPECT_EQ(pos.monitor1, 0x01020304);
    EXPECT_EQ(pos.iodata, 0xBEEF);

    // A negative one: untouched.
    for (int32_t rc : {-1, -40000}) {
        ReturnCodeOnReads(rc);
        QRL_RESPONSE neg = Sentinel(1);
        const QRL_RESPONSE before = neg;
        EXPECT_EQ(MnRspGet(&neg), rc);
        EXPECT_EQ(std::memcmp(&neg, &before, sizeof neg), 0);
    }
    drv().script = nullptr;

    const uint8_t full[] = {0x25, 0x30, 0x31, 0x32, 0x34, 0x35, 0x36, 0x38, 0x39, 0x3A, 0x3F};
    for (uint8_t code : full) {
        FullResponse(1, code);
        QRL_RESPONSE r = Sentinel(1);
        EXPECT_EQ(MnRspGet(&r), 0) << int(code);
        EXPECT_EQ(r.monitor2, -2) << int(code);
        EXPECT_EQ(r.mcode, 0x81) << int(code);
    }
    for (uint8_t code : {0x00, 0x06, 0x20, 0x22, 0x26, 0x33, 0x37, 0x3E}) {
        FullResponse(1, code);
        QRL_RESPONSE r = Sentinel(1);
        EXPECT_EQ(MnRspGet(&r), QRL_E_NOMONITOR) << int(code);
        EXPECT_EQ(r.iodata, Sentinel(1).iodata);
    }
}

// RdyWait and RspWait ready (or answering) from `after_ms` into the wait on.
struct LateReady {
    int64_t t0 = -1, after_ms;
    uint8_t code;
    uint16_t status_before, status_after;
    bool operator()(uint32_t, CommandBuffer& b, fake::ScriptedDriver& d) {
        if (t0 < 0) t0 = d.clock->now;
        const bool late = d.clock->now - t0 >= after_ms;
        uint8_t* r = b.Data(0);
        std::memset(r, 0, 17);
        r[kRspCode] = late ? code : 0x00;
        PutU16(r + kRspStatus, late ? status_after : status_before);
        b.SetField(0, kReturnCode, 0);
        return true;
    }
};

TEST_F(Status, RdyWaitAndRspWaitLimits) {
    OpenDefault();
    const struct {
        const char* name;
        std::function<int32_t()> call;
        uint8_t code;
        uint16_t before, after;
        int32_t timeout;
    } cases[] = {
        {"RdyWait", [] { return RdyWait(2); }, 0x00, 0x0000, 0x0004, QRL_E_RDYWAIT},
        {"RspWait", [] { return RspWait(2, 0x36); }, 0x36, 0x0000, 0x0000, QRL_E_RSPWAIT},
    };
    for (auto& c : cases) {
        for (int64_t after : {int64_t{0}, int64_t{2000}, int64_t{2001}}) {
            SCOPED_TRACE(std::string(c.name) + " after " + std::to_string(after));
            drv().Clear();
            drv().script = LateReady{-1, after, c.code, c.before, c.after};
            const int64_t start = clock().now;
            const int32_t r = c.call();
            if (after <= 2000) {
                EXPECT_EQ(r, 0);
                EXPECT_EQ(Exchanges(), static_cast<size_t>(after + 1));
            } else {
                EXPECT_EQ(r, c.timeout);
                EXPECT_EQ(Exchanges(), 2001u);
            }
            EXPECT_GE(clock().now - start, after);
            for (auto& rec : drv().log) ExpectResponseRead(rec, 2, "03 00");
        }
    }
}

TEST_F(Status, RspWaitUsesTheLowByteOfItsCodeAndIgnoresTheStatus) {
    OpenDefault();
    Respond(1, 0x36, 0x0000);
    EXPECT_EQ(RspWait(1, 0x136), 0);
    EXPECT_EQ(Exchanges(), 1u);
    drv().Clear();
    EXPECT_EQ(RspWait(1, 0x37), QRL_E_RSPWAIT);
    EXPECT_EQ(Exchanges(), 2001u);
    drv().Clear();
    EXPECT_EQ(RdyWait(1), QRL_E_RDYWAIT) << "not ready";
}

TEST_F(Status, StationZeroGivesMinusTwoAtOnce) {
    OpenDefault();
    const int64_t start = clock().now;
    EXPECT_EQ(RdyWait(0), QRL_E_ARG);
    EXPECT_EQ(RspWait(0, 0), QRL_E_ARG);
    EXPECT_EQ(clock().now, start);
    EXPECT_EQ(Exchanges(), 0u);
}

TEST_F(Status, ExportedWaitsPassOnFinalCodesAndFailures) {
    OpenDefault();
    int looks = 0;
    drv().script = [&looks](uint32_t, CommandBuffer& b, fake::ScriptedDriver&) {
        ++looks;
        PutU16(b.Data(0) + kRspStatus, kStatusReady);
        b.SetField(0, kReturnCode, looks < 3 ? (looks == 1 ? 1 : -32769) : -32770);
        return true;
    };
    EXPECT_EQ(RdyWait(1), -32770) << "positive and -32769 poll on, -32770 ends the wait";
    EXPECT_EQ(looks, 3);
    drv().script = nullptr;
    drv().Clear();
    drv().fail_all = true;
    EXPECT_EQ(RdyWait(1), QRL_E_IO);
    EXPECT_EQ(RspWait(1, 0), QRL_E_IO);
    EXPECT_EQ(Exchanges(), 2u);
}

TEST_F(Status, ExportedWaitsTakeTheirStartTimeBeforeTheStationCheck) {
    OpenDefault();
    clock().tick_ms = 1;  // every look at the clock is seen
    const int64_t before = clock().now;
    EXPECT_EQ(RdyWait(0), QRL_E_ARG);
    EXPECT_EQ(clock().now - before, 1) << "one look at the clock, before the -2";
    EXPECT_EQ(RspWait(16, 0x36), QRL_E_ARG);
    EXPECT_EQ(clock().now - before, 2);
    EXPECT_EQ(Exchanges(), 0u);
}

TEST_F(Status, MonGetDoesNotJudgeTheReturnCodeOfItsLastRead) {
    OpenDefault();
    Respond(2, 0x20);  // after a preset: no monitor data yet
    PutI32(drv().response[2] + kRspMonitor1, 0x0A0B0C0D);
    // Reads: ready wait, first read, ready wait, response wait, last read. Only
    // the last one reports a non-zero ReturnCode.
    auto reads = std::make_shared<int>(0);
    drv().script = [reads](uint32_t, CommandBuffer& b, fake::ScriptedDriver& d) {
        if (b.Field(0, kSelectCode) == kSelWrite) {
            d.response[2][kRspCode] = b.Data(0)[1];
            b.SetField(0, kReturnCode, 0);
            return true;
        }
        std::memcpy(b.Data(0), d.response[2], 17);
        b.SetField(0, kReturnCode, ++*reads == 5 ? 77 : 0);
        return true;
    };
    Guarded<int32_t> v;
    EXPECT_EQ(MonGet(2, 1, v.ptr()), 0);
    EXPECT_EQ(*reads, 5);
    EXPECT_EQ(v.value(), 0x0A0B0C0D);
    EXPECT_TRUE(v.guards_intact());
}

TEST_F(Status, IodtGetDoesNotJudgeTheReturnCodeOfItsSecondRead) {
    OpenDefault();
    Respond(3, 0x06);  // after an alarm clear: no monitor data
    PutU16(drv().response[3] + kRspIoData, 0x8001);
    // Reads of station 3: first read, response wait, second read (non-zero code).
    auto reads = std::make_shared<int>(0);
    drv().script = [reads](uint32_t, CommandBuffer& b, fake::ScriptedDriver& d) {
        if (b.Field(0, kSelectCode) == kSelWrite) {
            d.response[3][kRspCode] = b.Data(0)[1];
            b.SetField(0, kReturnCode, 0);
            return true;
        }
        std::memcpy(b.Data(0), d.response[3], 17);
        b.SetField(0, kReturnCode, ++*reads == 3 ? -40000 : 0);
        return true;
    };
    Guarded<int32_t> v;
    EXPECT_EQ(IodtGet(3, v.ptr()), 0);
    EXPECT_EQ(*reads, 3);
    EXPECT_EQ(v.value(), 0x8001) << "zero-extended, not sign-extended";
}

TEST_F(Status, IodtGetJudgesTheReturnCodeOfItsFirstRead) {
    OpenDefault();
    Respond(3, 0x36);
    ReadsOfStationAnswer(3, 1, 5);
    Guarded<int32_t> v;
    EXPECT_EQ(IodtGet(3, v.ptr()), 5);
    EXPECT_TRUE(v.untouched());
    EXPECT_EQ(Exchanges(), 1u) << "no monitor request after a failed first read";
}

TEST_F(Status, StdtGetPassesOnAPositiveReturnCodeWithTheBitOfTheWordRead) {
    OpenDefault();
    Respond(1, 0x36, 0x0024);
    ReadsOfStationAnswer(1, 1, 9);
    int32_t state = -1;
    EXPECT_EQ(StdtGet(1, 5, &state), 9);
    EXPECT_EQ(state, 1) << "the word was read; only its ReturnCode is non-zero";
    EXPECT_EQ(StdtGet(1, 4, &state), 9);
    EXPECT_EQ(state, 0);
}

TEST_F(Status, RspWaitComparesTheLowByteUnsigned) {
    OpenDefault();
    // Unlike the internal response wait (signed expected byte), RspWait matches
    // codes above 0x7F too.
    Respond(1, 0xB6, 0x0000);
    EXPECT_EQ(RspWait(1, 0xB6), 0);
    EXPECT_EQ(Exchanges(), 1u);
    drv().Clear();
    EXPECT_EQ(RspWait(1, -0x4A), 0) << "-0x4A has the low byte 0xB6";
    EXPECT_EQ(Exchanges(), 1u);
}

}  // namespace
