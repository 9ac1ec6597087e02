// Servo and axis state commands: batch buffers, per-station confirmation in
// ascending order, the waits' limits, AbsIni's three steps and AlmGet.
#include <functional>
#include <map>

#include "command_fixture.h"

using namespace qrl;
using namespace cmdtest;

namespace {

class Servo : public CommandTest {};

std::vector<int32_t> Offsets(const std::vector<fake::Record>& log) {
    std::vector<int32_t> out;
    for (auto& r : log) out.push_back(r.sent.Field(0, kOffset));
    return out;
}

TEST_F(Servo, SvOnForAllAxesSendsOnceThenWaitsInStationOrder) {
    Open({{1, kAxis}, {2, kIo}, {3, kAxis}});
    ASSERT_EQ(OcodePut(3, 0, 1), 0);
    // Station 1 reaches servo on only at its third look, so its reads all come
    // before the first read of station 3.
    int looks1 = 0;
    drv().station_echo = false;
    drv().script = [&](uint32_t, CommandBuffer& b, fake::ScriptedDriver&) {
        if (b.Field(0, kSelectCode) != kSelRead) return false;
        const int n = (b.Field(0, kOffset) - kResponseBase) / kStationStride;
        uint8_t* d = b.Data(0);
        std::memset(d, 0, 17);
        d[kRspCode] = 0x31;
        PutU16(d + kRspStatus, (n == 1 && ++looks1 < 3) ? 0x0004 : 0x000C);
        b.SetField(0, kReturnCode, 0);
        return true;
    };
    ASSERT_EQ(SvOn(-1), 0);
    auto writes = Writes();
    ASSERT_EQ(writes.size(), 1u);
    const CommandBuffer& b = writes[0].sent;
    EXPECT_EQ(b.Count(), 2);
    EXPECT_EQ(b.Field(0, kOffset), 64);
    EXPECT_EQ(b.Field(1, kOffset), 192);
    EXPECT_EQ(DataHex(b, 0, 16), "03 31 00 00 00 00 00 00 00 00 00 00 00 81 00 00");
    EXPECT_EQ(DataHex(b, 1, 16), "03 31 00 08 00 00 00 00 00 00 00 00 00 81 00 00");
    EXPECT_EQ(Offsets(Reads()), (std::vector<int32_t>{1088, 1088, 1088, 1216}));
    EXPECT_EQ(drv().log.front().sent.Field(0, kSelectCode), kSelWrite) << "the command goes out first";
}

TEST_F(Servo, SvOffCarriesOnlyTheMcode) {
    OpenDefault();
    ASSERT_EQ(OcodePut(1, 0, 2), 0);
    ASSERT_EQ(OcodePut(1, 1, 1), 0);
    ASSERT_EQ(SvOff(1), 0);
    auto w = Writes();
    ASSERT_EQ(w.size(), 1u);
    EXPECT_EQ(DataHex(w[0].sent, 0, 16), "03 32 00 00 00 00 00 00 00 00 00 00 00 81 00 00");
    ASSERT_EQ(McodePut(1, 0xF, 0x3), 0);
    ASSERT_EQ(SvOff(1), 0);
    EXPECT_EQ(Writes().at(1).sent.Data(0)[13], 0x3F);
}

TEST_F(Servo, TemplateOnlyCommandsAndTheirConfirmation) {
    OpenDefault();
    const struct {
        const char* name;
        int32_t(QRL_CALL* call)(int32_t);
        uint8_t code;
        size_t reads;  // confirmation reads with the default station echo
    } cases[] = {
        {"EncdrOn", EncdrOn, 0x23, 1}, {"EncdrOff", EncdrOff, 0x24, 1}, {"AlmClr", AlmClr, 0x06, 1},
        {"MlockOn", MlockOn, 0x26, 0}, {"MlockOff", MlockOff, 0x27, 0},
    };
    for (auto& c : cases) {
        SCOPED_TRACE(c.name);
        drv().Clear();
        ASSERT_EQ(c.call(2), 0);
        auto w = Writes();
        ASSERT_EQ(w.size(), 1u);
        EXPECT_EQ(w[0].sent.Field(0, kOffset), 128);
        EXPECT_EQ(w[0].sent.Field(0, kSize), 16);
        EXPECT_EQ(w[0].sent.Data(0)[1], c.code);
        EXPECT_EQ(DataHex(w[0].sent, 0, 16).substr(6), "00 00 00 00 00 00 00 00 00 00 00 00 00 00");
        EXPECT_EQ(Reads().size(), c.reads);
        EXPECT_EQ(Exchanges(), 1 + c.reads);
    }
}

// A wait that the station satisfies only from `after_ms` into the wait on: at
// 2000 ms the wait still looks once more and succeeds; one millisecond later is
// too late. Every write restarts the station's clock, so AbsIni's three waits are
// each measured from their own start.
struct LateStation {
    int64_t t0 = -1;
    int64_t after_ms;
    uint16_t good_status, bad_status;
    bool break_code, break_echo;
    uint8_t last[17] = {};

    bool operator()(uint32_t, CommandBuffer& b, fake::ScriptedDriver& d) {
        if (b.Field(0, kSelectCode) == kSelWrite) {
            std::memcpy(last, b.Data(0), 17);
            t0 = -1;
            return false;
        }
        if (t0 < 0) t0 = d.clock->now;
        const bool good = d.clock->now - t0 >= after_ms;
        uint8_t* r = b.Data(0);
        std::memset(r, 0, 17);
        std::memcpy(r + 5, last + 5, 11);
        r[kRspCode] = (!good && break_code) ? 0x7F : last[1];
        if (!good && break_echo) r[5] ^= 0xFF;
        PutU16(r + kRspStatus, good ? good_status : bad_status);
        b.SetField(0, kReturnCode, 0);
        return true;
    }
};

TEST(ServoLimits, EveryConfirmationEndsStrictlyAfterTwoSeconds) {
    const struct {
        const char* name;
        std::function<int32_t()> call;
        uint16_t good_status, bad_status;
        bool break_code, break_echo;
        int32_t timeout;
        size_t waits;
    } cases[] = {
        {"SvOn", [] { return SvOn(1); }, 0x000C, 0x0004, false, false, QRL_E_SERVOON, 1},
        {"SvOff", [] { return SvOff(1); }, 0x0004, 0x000C, false, false, QRL_E_SERVOOFF, 1},
        {"SvOn not ready", [] { return SvOn(1); }, 0x000C, 0x0008, false, false, QRL_E_SERVOON, 1},
        {"EncdrOn", [] { return EncdrOn(1); }, 0x0004, 0x0004, true, false, QRL_E_RESPONSE, 1},
        {"EncdrOff", [] { return EncdrOff(1); }, 0x0004, 0x0004, true, false, QRL_E_RESPONSE, 1},
        {"AlmClr", [] { return AlmClr(1); }, 0x0004, 0x0004, true, false, QRL_E_RESPONSE, 1},
        {"AlmClr not ready", [] { return AlmClr(1); }, 0x0004, 0x0000, false, false, QRL_E_RESPONSE, 1},
        {"PosiPut", [] { return PosiPut(1, 2, 258); }, 0x0004, 0x0004, false, true, QRL_E_ECHO, 1},
        {"AbsIni", [] { return AbsIni(1); }, 0x0004, 0x0004, false, true, QRL_E_ECHO, 3},
    };
    for (auto& c : cases) {
        for (int64_t after : {int64_t{2000}, int64_t{2001}}) {
            SCOPED_TRACE(std::string(c.name) + " satisfied after " + std::to_string(after) + " ms");
            fake::Scope fresh;  // a new board for every run
            int32_t types[15] = {kAxis};
            ASSERT_EQ(InitDll(1), 0);
            ASSERT_EQ(BdOpen(0, 10, 0, types), 0);
            fresh.driver().Clear();
            fresh.driver().station_echo = false;
            fresh.driver().script = LateStation{-1, after, c.good_status, c.bad_status, c.break_code, c.break_echo};
            const int32_t r = c.call();
            size_t reads = 0, writes = 0;
            for (auto& rec : fresh.driver().log)
                (rec.sent.Field(0, kSelectCode) == kSelRead ? reads : writes)++;
            if (after == 2000) {
                EXPECT_EQ(r, 0);
                EXPECT_EQ(writes, c.waits);
                EXPECT_EQ(reads, 2001 * c.waits) << "one look per millisecond, 0..2000 inclusive";
            } else {
                EXPECT_EQ(r, c.timeout);
                EXPECT_EQ(writes, 1u) << "a failed confirmation ends the call";
                EXPECT_EQ(reads, 2001u);
            }
        }
    }
}

TEST_F(Servo, FirstFailingStationEndsTheBatch) {
    Open({{1, kAxis}, {3, kAxis}});
    drv().station_echo = false;  // servo never comes on
    EXPECT_EQ(SvOn(-1), QRL_E_SERVOON);
    for (auto& r : Reads()) EXPECT_EQ(r.sent.Field(0, kOffset), 1088) << "station 3 is never awaited";

    // A refused command awaits nobody.
    drv().Clear();
    drv().script = [](uint32_t, CommandBuffer& b, fake::ScriptedDriver&) {
        b.SetField(0, kReturnCode, -40000);
        return true;
    };
    EXPECT_EQ(SvOff(-1), -40000);
    EXPECT_EQ(EncdrOn(3), -40000);
    EXPECT_EQ(Exchanges(), 2u);
}

TEST_F(Servo, WaitsPassOnFinalCodesAndFailedReads) {
    OpenDefault();
    int calls = 0;
    drv().script = [&](uint32_t, CommandBuffer& b, fake::ScriptedDriver&) {
        if (b.Field(0, kSelectCode) != kSelRead) return false;
        ++calls;
        b.SetField(0, kReturnCode, calls == 1 ? -32769 : -32770);  // -32769 polls on, -32770 is final
        return true;
    };
    EXPECT_EQ(SvOn(2), -32770);
    EXPECT_EQ(calls, 2);
    drv().script = nullptr;
    drv().fail_after = 1;  // the command goes out, the first read fails
    EXPECT_EQ(AlmClr(2), QRL_E_IO);
}

TEST_F(Servo, PosiPutBytesAndEchoWait) {
    OpenDefault();
    ASSERT_EQ(PosiPut(1, 2, 258), 0);
    auto w = Writes();
    ASSERT_EQ(w.size(), 1u);
    EXPECT_EQ(w[0].sent.Field(0, kOffset), 64);
    EXPECT_EQ(DataHex(w[0].sent, 0, 16), "03 20 00 00 00 02 02 01 00 00 00 00 00 00 00 00");
    EXPECT_EQ(Reads().size(), 1u);

    drv().Clear();
    ASSERT_EQ(PosiPut(3, 15, -2), 0);
    EXPECT_EQ(DataHex(Writes().at(0).sent, 0, 10), "03 20 00 00 00 0F FE FF FF FF");
}

TEST_F(Servo, PosiPutItemZeroConfirmsOnCodeAndReadyAlone) {
    OpenDefault();
    drv().station_echo = false;
    Respond(1, 0x20);
    const uint8_t junk[11] = {0x00, 0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77, 0x88, 0x99, 0xAA};
    std::memcpy(drv().response[1] + 5, junk, sizeof junk);
    EXPECT_EQ(PosiPut(1, 0, 0x12345678), 0) << "the comparison ends at the zero item byte";
    EXPECT_EQ(Reads().size(), 1u);

    drv().Clear();
    EXPECT_EQ(PosiPut(1, 1, 0), QRL_E_ECHO) << "item 1 is compared and differs";
    EXPECT_EQ(Reads().size(), 2001u);

    drv().Clear();
    Respond(1, 0x20, 0x0000);
    EXPECT_EQ(PosiPut(1, 0, 0), QRL_E_ECHO) << "the ready bit is still needed";
}

TEST_F(Servo, PosiPutForAllAxesAwaitsEachEntryInOrder) {
    Open({{1, kAxis}, {2, kIo}, {3, kAxis}});
    ASSERT_EQ(PosiPut(-1, 4, 1000), 0);
    auto w = Writes();
    ASSERT_EQ(w.size(), 1u);
    EXPECT_EQ(w[0].sent.Count(), 2);
    EXPECT_EQ(DataHex(w[0].sent, 1, 10), "03 20 00 00 00 04 E8 03 00 00");
    EXPECT_EQ(Offsets(Reads()), (std::vector<int32_t>{1088, 1216}));
}

TEST_F(Servo, AbsIniRunsThreeEchoedStepsPerStation) {
    Open({{1, kAxis}, {2, kIo}, {3, kAxis}});
    ASSERT_EQ(AbsIni(1), 0);
    const char* steps[3] = {
        "03 3E 00 00 00 01 00 20 08 10 00 00 00 00 00 00",
        "03 3E 00 00 00 01 01 20 02 00 00 00 00 00 00 00",
        "03 3E 00 00 00 01 01 20 01 00 00 00 00 00 00 00",
    };
    auto& log = drv().log;
    ASSERT_EQ(log.size(), 6u) << "write, echo read; three times";
    for (int i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        const CommandBuffer& wr = log[2 * i].sent;
        EXPECT_EQ(wr.Field(0, kSelectCode), kSelWrite);
        EXPECT_EQ(wr.Count(), 1);
        EXPECT_EQ(wr.Field(0, kOffset), 64);
        EXPECT_EQ(DataHex(wr, 0, 16), steps[i]);
        EXPECT_EQ(log[2 * i + 1].sent.Field(0, kSelectCode), kSelRead);
        EXPECT_EQ(log[2 * i + 1].sent.Field(0, kOffset), 1088);
    }

    drv().Clear();
    ASSERT_EQ(AbsIni(-1), 0);
    std::vector<int32_t> wr;
    for (auto& r : Writes()) wr.push_back(r.sent.Field(0, kOffset));
    EXPECT_EQ(wr, (std::vector<int32_t>{64, 64, 64, 192, 192, 192})) << "one station finishes before the next";
}

TEST_F(Servo, AbsIniStopsAtTheFirstFailingStep) {
    Open({{1, kAxis}, {3, kAxis}});
    int writes = 0;
    drv().script = [&](uint32_t, CommandBuffer& b, fake::ScriptedDriver&) {
        if (b.Field(0, kSelectCode) == kSelWrite && ++writes == 2) {
            b.SetField(0, kReturnCode, -32800);
            return true;
        }
        return false;
    };
    EXPECT_EQ(AbsIni(-1), -32800);
    EXPECT_EQ(Writes().size(), 2u);
    EXPECT_EQ(Reads().size(), 1u);
    for (auto& r : Writes()) EXPECT_EQ(r.sent.Field(0, kOffset), 64);
}

TEST_F(Servo, BatchCommandsWithoutAxisStationsSendNothing) {
    Open({{4, kIo}});
    for (auto call : {SvOn, SvOff, EncdrOn, EncdrOff, MlockOn, MlockOff, AlmClr, AbsIni}) EXPECT_EQ(call(-1), 0);
    EXPECT_EQ(PosiPut(-1, 1, 1), 0);
    EXPECT_EQ(Exchanges(), 0u);
}

TEST_F(Servo, CheckOrder) {
    int32_t(QRL_CALL* const batch[])(int32_t) = {SvOn, SvOff, EncdrOn, EncdrOff, MlockOn, MlockOff, AlmClr, AbsIni};
    for (auto call : batch) {
        EXPECT_EQ(call(0), QRL_E_ARG);
        EXPECT_EQ(call(-2), QRL_E_ARG);
        EXPECT_EQ(call(16), QRL_E_ARG);
        EXPECT_EQ(call(-1), QRL_E_NOTOPEN);
        EXPECT_EQ(call(1), QRL_E_NOTOPEN);
    }
    EXPECT_EQ(PosiPut(1, 16, 0), QRL_E_ARG) << "item before the open check";
    EXPECT_EQ(PosiPut(-1, -1, 0), QRL_E_ARG);
    EXPECT_EQ(PosiPut(17, 0, 0), QRL_E_ARG);
    EXPECT_EQ(PosiPut(-1, 15, 0), QRL_E_NOTOPEN);
    uint8_t alarm = 0x5A;
    EXPECT_EQ(AlmGet(-1, &alarm), QRL_E_ARG);
    EXPECT_EQ(AlmGet(1, nullptr), QRL_E_ARG) << "a missing out-pointer is an argument error";
    EXPECT_EQ(AlmGet(1, &alarm), QRL_E_NOTOPEN);

    OpenDefault();  // 4 is an I/O station, 5 absent
    for (auto call : batch) {
        EXPECT_EQ(call(4), QRL_E_ARG);
        EXPECT_EQ(call(5), QRL_E_ARG);
    }
    EXPECT_EQ(PosiPut(4, 0, 0), QRL_E_ARG);
    EXPECT_EQ(AlmGet(4, &alarm), QRL_E_ARG);
    EXPECT_EQ(AlmGet(0, &alarm), QRL_E_ARG);
    EXPECT_EQ(AlmGet(2, nullptr), QRL_E_ARG);
    EXPECT_EQ(alarm, 0x5A);
    EXPECT_EQ(Exchanges(), 0u);
}

TEST_F(Servo, AlmGetStoresByteTwoWhateverTheReturnCode) {
    OpenDefault();
    Respond(2, 0x36, 0x0004, 0x15);
    for (int32_t rc : {0, 7, -5, -40000}) {
        SCOPED_TRACE(rc);
        drv().Clear();
        drv().script = [rc](uint32_t, CommandBuffer& b, fake::ScriptedDriver& d) {
            std::memcpy(b.Data(0), d.response[2], 17);
            b.SetField(0, kReturnCode, rc);
            return true;
        };
        Guarded<uint8_t> alarm;
        ASSERT_EQ(AlmGet(2, alarm.ptr()), 0);
        EXPECT_EQ(alarm.value(), 0x15);
        EXPECT_TRUE(alarm.guards_intact());
        ASSERT_EQ(Exchanges(), 1u);
        const CommandBuffer& b = drv().log[0].sent;
        EXPECT_EQ(b.Field(0, kSelectCode), kSelRead);
        EXPECT_EQ(b.Field(0, kOffset), 1152);
        EXPECT_EQ(b.Field(0, kSize), 17);
    }
    drv().script = nullptr;
    drv().fail_all = true;
    Guarded<uint8_t> alarm;
    EXPECT_EQ(AlmGet(2, alarm.ptr()), QRL_E_IO);
    EXPECT_TRUE(alarm.untouched());
}

}  // namespace
