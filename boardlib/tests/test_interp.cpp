// Interpolation and axis data requests: the ready waits before them, the exact
// entries, and the single exchange whose entry-0 ReturnCode is the result.
#include <functional>

#include "command_fixture.h"

using namespace qrl;
using namespace cmdtest;

namespace {

class Interp : public CommandTest {
protected:
    // Offsets of the ready-wait reads, in order.
    std::vector<int32_t> ReadyWaits() {
        std::vector<int32_t> out;
        for (auto& r : Reads()) out.push_back((r.sent.Field(0, kOffset) - kResponseBase) / kStationStride);
        return out;
    }
    // The one driver request (the only exchange that is not a read).
    CommandBuffer Request() {
        std::vector<fake::Record> req;
        for (auto& r : drv().log)
            if (r.sent.Field(0, kSelectCode) != kSelRead) req.push_back(r);
        EXPECT_EQ(req.size(), 1u);
        return req.empty() ? CommandBuffer() : req[0].sent;
    }
    // Every request answered with ReturnCode rc in entry 0 (reads answered as usual).
    void RequestsAnswer(int32_t rc) {
        drv().script = [rc](uint32_t, CommandBuffer& b, fake::ScriptedDriver&) {
            if (b.Field(0, kSelectCode) == kSelRead) return false;
            b.SetField(0, kReturnCode, rc);
            return true;
        };
    }
};

void ExpectControl(const CommandBuffer& b, int32_t select, int32_t offset, const char* data) {
    EXPECT_EQ(b.Count(), 1);
    EXPECT_EQ(b.Field(0, kDeviceNumber), 1);
    EXPECT_EQ(b.Field(0, kSelectCode), select);
    EXPECT_EQ(b.Field(0, kOffset), offset);
    EXPECT_EQ(b.Field(0, kSize), 16);
    EXPECT_EQ(b.Field(0, kAxisBitNumber), 0);
    EXPECT_EQ(DataHex(b, 0, 16), data);
}

const char* kZeros = "00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00";

TEST_F(Interp, IpdtSetWithNoBitsWaitsForEveryAxisAndSendsNothing) {
    Open({{1, kAxis}, {2, kAxis}, {4, kIo}, {7, kAxis}});
    int32_t bits[15] = {}, values[15] = {};
    bits[3] = 1;  // the I/O station's bit selects nothing
    bits[5] = 1;  // nor does an absent station's
    EXPECT_EQ(IpdtSet(bits, values), QRL_E_ARG);
    EXPECT_EQ(ReadyWaits(), (std::vector<int32_t>{1, 2, 7}));
    EXPECT_EQ(Exchanges(), 3u);
}

TEST_F(Interp, IpdtSetOneEntryPerSelectedAxisInStationOrder) {
    Open({{2, kAxis}, {4, kIo}, {5, kAxis}, {9, kAxis}, {11, kAxis}});
    ASSERT_EQ(OcodePut(5, 0, 1), 0);
    ASSERT_EQ(OcodePut(9, 1, 1), 0);
    ASSERT_EQ(McodePut(9, 4, 2), 0);
    int32_t bits[15] = {}, values[15] = {};
    bits[1] = 0x12345678;  // station 2
    bits[3] = 3;           // station 4 (I/O): skipped
    bits[4] = -1;          // station 5
    bits[8] = 7;           // station 9
    bits[11] = 9;          // station 12 (absent): skipped
    values[1] = 1000;
    values[4] = -1000;
    values[8] = 0x0A0B0C0D;
    values[10] = 55;  // station 11 is not selected
    ASSERT_EQ(IpdtSet(bits, values), 0);
    EXPECT_EQ(ReadyWaits(), (std::vector<int32_t>{2, 5, 9, 11})) << "every axis station, selected or not";
    const CommandBuffer b = Request();
    ASSERT_EQ(b.Count(), 3);
    const struct {
        int32_t offset, bits;
        const char* data;
    } want[] = {
        {128, 0x12345678, "03 34 00 00 00 E8 03 00 00 00 00 00 00 81 00 00"},
        {320, -1, "03 34 00 08 00 18 FC FF FF 00 00 00 00 81 00 00"},
        {576, 7, "03 34 00 00 10 0D 0C 0B 0A 00 00 00 00 24 00 00"},
    };
    for (int k = 0; k < 3; ++k) {
        SCOPED_TRACE(k);
        EXPECT_EQ(b.Field(k, kSelectCode), kSelIpData);
        EXPECT_EQ(b.Field(k, kDeviceNumber), 1);
        EXPECT_EQ(b.Field(k, kOffset), want[k].offset);
        EXPECT_EQ(b.Field(k, kSize), 16);
        EXPECT_EQ(b.Field(k, kAxisBitNumber), want[k].bits);
        EXPECT_EQ(DataHex(b, k, 16), want[k].data);
    }
    EXPECT_EQ(b.Field(3, kDeviceNumber), 0);
}

TEST_F(Interp, IpdtSetJudgesEntryZeroOnly) {
    Open({{1, kAxis}, {2, kAxis}});
    int32_t bits[15] = {1, 2}, values[15] = {};
    drv().script = [](uint32_t, CommandBuffer& b, fake::ScriptedDriver&) {
        if (b.Field(0, kSelectCode) == kSelRead) return false;
        b.SetField(0, kReturnCode, 0);
        b.SetField(1, kReturnCode, -40000);
        return true;
    };
    EXPECT_EQ(IpdtSet(bits, values), 0);
    RequestsAnswer(5);
    EXPECT_EQ(IpdtSet(bits, values), 5) << "no retry: the driver's code comes back";
    drv().script = nullptr;
    drv().Clear();
    drv().fail_after = 2;  // both ready waits pass, the request fails
    EXPECT_EQ(IpdtSet(bits, values), QRL_E_IO);
    EXPECT_EQ(Exchanges(), 3u);
}

TEST_F(Interp, AReadyWaitThatFailsStopsBeforeTheRequest) {
    Open({{1, kAxis}, {2, kAxis}});
    Respond(2, 0x36, 0x0000);  // station 2 never ready
    int32_t bits[15] = {1, 0}, values[15] = {};
    EXPECT_EQ(IpdtSet(bits, values), QRL_E_TIMEOUT) << "station 2 is awaited although not selected";
    EXPECT_EQ(Writes().size() + WithSelect(kSelIpData).size(), 0u);
    drv().Clear();
    int32_t count = 99;
    EXPECT_EQ(IpNumGet(&count), QRL_E_TIMEOUT);
    EXPECT_EQ(count, 99) << "not stored when the request was never made";
    EXPECT_EQ(IpNumMax(10), QRL_E_TIMEOUT);
    EXPECT_EQ(IpStrt(0, 2), QRL_E_TIMEOUT);
    EXPECT_EQ(AxdtSt(2, 0, 0), QRL_E_TIMEOUT);
    drv().Clear();
    EXPECT_EQ(IpStrt(0, 1), 0) << "station 2 is not in the mask";
    EXPECT_EQ(IpStop(0, 0x7FFD), 0);
    EXPECT_EQ(IpdtClr(0, 1), 0);
    EXPECT_EQ(AxdtSt(1, 0, 0), 0);
}

TEST_F(Interp, IpNumGetStoresTheReturnCodeAlways) {
    OpenDefault();
    RequestsAnswer(42);
    Guarded<int32_t> count;
    ASSERT_EQ(IpNumGet(count.ptr()), 0) << "the count is not the result";
    EXPECT_EQ(count.value(), 42);
    EXPECT_TRUE(count.guards_intact());
    ExpectControl(Request(), kSelIpNumGet, 64, kZeros);
    EXPECT_EQ(ReadyWaits(), (std::vector<int32_t>{1, 2, 3}));

    drv().Clear();
    drv().script = nullptr;
    drv().fail_after = 3;  // the three ready waits pass, the request fails
    Guarded<int32_t> failed;
    EXPECT_EQ(IpNumGet(failed.ptr()), QRL_E_IO);
    EXPECT_EQ(failed.value(), 0) << "the ReturnCode the builder left";
    EXPECT_TRUE(failed.guards_intact());
}

TEST_F(Interp, ControlRequests) {
    Open({{1, kAxis}, {3, kAxis}, {4, kIo}});
    const struct {
        const char* name;
        std::function<int32_t()> call;
        int32_t select, offset;
        const char* data;
        std::vector<int32_t> waits;
    } cases[] = {
        {"IpNumMax", [] { return IpNumMax(500); }, kSelIpNumMax, 500, kZeros, {1, 3}},
        {"IpStrt mask 0", [] { return IpStrt(0x01020304, 0); }, kSelIpStrt, 64,
         "00 00 00 00 00 00 00 00 04 03 02 01 00 00 00 00", {}},
        {"IpStrt mask 1,3,4", [] { return IpStrt(-1, 0xD); }, kSelIpStrt, 64,
         "00 00 00 00 00 00 00 00 FF FF FF FF 0D 00 00 00", {1, 3}},
        {"IpStrt high bits", [] { return IpStrt(0, int32_t(0x80008000)); }, kSelIpStrt, 64,
         "00 00 00 00 00 00 00 00 00 00 00 00 00 80 00 80", {}},
        {"IpStrtRp", [] { return IpStrtRp(7, 4); }, kSelIpStrtRp, 64,
         "00 00 00 00 00 00 00 00 07 00 00 00 04 00 00 00", {3}},
        {"IpStop", [] { return IpStop(7, 1); }, kSelIpStop, 64, "00 00 00 00 00 00 00 00 07 00 00 00 01 00 00 00",
         {1}},
        {"IpdtClr", [] { return IpdtClr(0x7777, 5); }, kSelIpdtClr, 64, kZeros, {1, 3}},
        {"IpdtClr other param1", [] { return IpdtClr(-9, 5); }, kSelIpdtClr, 64, kZeros, {1, 3}},
        {"LkStart", [] { return LkStart(0x11, -2); }, kSelLkStart, 64,
         "00 00 00 00 00 00 00 00 11 00 00 00 FE FF FF FF", {}},
        {"AxdtClr", [] { return AxdtClr(3, 0x7FFF); }, kSelAxdtClr, 64,
         "00 00 00 00 00 00 00 00 03 00 00 00 FF 7F 00 00", {}},
    };
    for (auto& c : cases) {
        SCOPED_TRACE(c.name);
        for (int32_t rc : {0, 1, -40000}) {
            drv().Clear();
            RequestsAnswer(rc);
            EXPECT_EQ(c.call(), rc) << "one exchange, its ReturnCode returned";
            EXPECT_EQ(ReadyWaits(), c.waits);
            ExpectControl(Request(), c.select, c.offset, c.data);
            EXPECT_EQ(drv().log.back().sent.Field(0, kSelectCode), c.select) << "the request comes last";
        }
        drv().Clear();
        drv().script = nullptr;
        drv().fail_after = static_cast<int>(c.waits.size());
        EXPECT_EQ(c.call(), QRL_E_IO);
        drv().fail_after = -1;
    }
}

TEST_F(Interp, LkStartAndAxdtClrNeverWait) {
    OpenDefault();
    for (int n : {1, 2, 3}) Respond(n, 0x36, 0x0000);  // nobody ready
    EXPECT_EQ(LkStart(1, 2), 0);
    EXPECT_EQ(AxdtClr(1, 2), 0);
    EXPECT_EQ(Exchanges(), 2u);
    EXPECT_EQ(Reads().size(), 0u);
}

TEST_F(Interp, AxisDataRecords) {
    OpenDefault();
    ASSERT_EQ(AxdtSt(3, 0x01020304, -2), 0);
    EXPECT_EQ(ReadyWaits(), (std::vector<int32_t>{3}));
    CommandBuffer b = Request();
    EXPECT_EQ(b.Count(), 1);
    EXPECT_EQ(b.Field(0, kSelectCode), kSelAxisData);
    EXPECT_EQ(b.Field(0, kOffset), 192);
    EXPECT_EQ(b.Field(0, kSize), 16);
    EXPECT_EQ(b.Field(0, kAxisBitNumber), 4);
    EXPECT_EQ(DataHex(b, 0, 16), "03 35 00 00 00 04 03 02 01 FE FF FF FF 81 00 00");

    drv().Clear();
    ASSERT_EQ(AxdtStOp(1, 5, 6, 2, 1), 0);
    b = Request();
    EXPECT_EQ(b.Field(0, kAxisBitNumber), 1);
    EXPECT_EQ(DataHex(b, 0, 16), "03 35 00 10 10 05 00 00 00 06 00 00 00 81 00 00");

    // The plain form follows the tables, the Op form only their M-codes.
    ASSERT_EQ(OcodePut(2, 0, 1), 0);
    ASSERT_EQ(McodePut(2, 5, 9), 0);
    drv().Clear();
    ASSERT_EQ(AxdtSt(2, 0, 0), 0);
    EXPECT_EQ(DataHex(Request(), 0, 16), "03 35 00 08 00 00 00 00 00 00 00 00 00 95 00 00");
    drv().Clear();
    ASSERT_EQ(AxdtStOp(2, 0, 0, 0, 1), 0);
    EXPECT_EQ(DataHex(Request(), 0, 16), "03 35 00 00 10 00 00 00 00 00 00 00 00 95 00 00");

    drv().Clear();
    RequestsAnswer(-33333);
    EXPECT_EQ(AxdtSt(1, 0, 0), -33333);
    EXPECT_EQ(WithSelect(kSelAxisData).size(), 1u) << "no retry";
}

TEST_F(Interp, CheckOrder) {
    int32_t bits[15] = {1}, values[15] = {};
    int32_t count = 31;
    const struct {
        const char* name;
        std::function<int32_t()> call;
        int32_t want;
    } closed[] = {
        {"IpdtSet null bits", [&] { return IpdtSet(nullptr, values); }, QRL_E_ARG},
        {"IpdtSet null values", [&] { return IpdtSet(bits, nullptr); }, QRL_E_ARG},
        {"IpdtSet", [&] { return IpdtSet(bits, values); }, QRL_E_NOTOPEN},
        {"IpNumGet null", [&] { return IpNumGet(nullptr); }, QRL_E_ARG},
        {"IpNumGet", [&] { return IpNumGet(&count); }, QRL_E_NOTOPEN},
        {"IpNumMax", [] { return IpNumMax(1); }, QRL_E_NOTOPEN},
        {"IpdtClr", [] { return IpdtClr(0, 1); }, QRL_E_NOTOPEN},
        {"IpStrt", [] { return IpStrt(0, 1); }, QRL_E_NOTOPEN},
        {"IpStrtRp", [] { return IpStrtRp(0, 1); }, QRL_E_NOTOPEN},
        {"IpStop", [] { return IpStop(0, 1); }, QRL_E_NOTOPEN},
        {"LkStart", [] { return LkStart(0, 0); }, QRL_E_NOTOPEN},
        {"AxdtClr", [] { return AxdtClr(0, 0); }, QRL_E_NOTOPEN},
        {"AxdtSt station 0", [] { return AxdtSt(0, 0, 0); }, QRL_E_ARG},
        {"AxdtSt station 16", [] { return AxdtSt(16, 0, 0); }, QRL_E_ARG},
        {"AxdtSt station -1", [] { return AxdtSt(-1, 0, 0); }, QRL_E_ARG},
        {"AxdtSt", [] { return AxdtSt(1, 0, 0); }, QRL_E_NOTOPEN},
        {"AxdtStOp ocode0 3", [] { return AxdtStOp(1, 0, 0, 3, 0); }, QRL_E_ARG},
        {"AxdtStOp ocode0 -1", [] { return AxdtStOp(1, 0, 0, -1, 0); }, QRL_E_ARG},
        {"AxdtStOp ocode1 2", [] { return AxdtStOp(1, 0, 0, 0, 2); }, QRL_E_ARG},
        {"AxdtStOp", [] { return AxdtStOp(1, 0, 0, 2, 1); }, QRL_E_NOTOPEN},
    };
    for (auto& c : closed) EXPECT_EQ(c.call(), c.want) << c.name;
    EXPECT_EQ(count, 31);

    OpenDefault();
    ASSERT_EQ(BdClose(0), 0);
    drv().Clear();
    for (auto& c : closed) EXPECT_EQ(c.call(), c.want) << c.name << " after BdClose";
    EXPECT_EQ(Exchanges(), 0u);

    OpenDefault();  // 4 I/O, 5 absent
    EXPECT_EQ(AxdtSt(4, 0, 0), QRL_E_ARG);
    EXPECT_EQ(AxdtStOp(5, 0, 0, 0, 0), QRL_E_ARG);
    EXPECT_EQ(Exchanges(), 0u);
}

TEST_F(Interp, IpNumGetStoresNothingWhenAReadyWaitFails) {
    OpenDefault();
    Respond(2, 0x36, 0x0000);  // station 2 never ready
    Guarded<int32_t> count;
    EXPECT_EQ(IpNumGet(count.ptr()), QRL_E_TIMEOUT);
    EXPECT_TRUE(count.untouched()) << "the count is stored after the exchange only";
    EXPECT_TRUE(WithSelect(kSelIpNumGet).empty());
}

}  // namespace
