// Station parameters: the width table, request bytes, echo waits, read-back
// positions of the two values, and nothing stored on any failure.
#include <functional>

#include "command_fixture.h"
#include "params.h"

using namespace qrl;
using namespace cmdtest;

namespace {

class Params : public CommandTest {
protected:
    // A station that echoes bytes 5..7 and reports data2 and data1 in 8..15 when
    // asked for a parameter, and echoes everything for a write.
    void ParameterStation(int32_t data1, int32_t data2) {
        drv().station_echo = false;
        drv().script = [data1, data2](uint32_t, CommandBuffer& b, fake::ScriptedDriver& d) {
            if (b.Field(0, kSelectCode) != kSelWrite) return false;
            const int n = b.Field(0, kOffset) / kStationStride;
            const uint8_t* s = b.Data(0);
            uint8_t* r = d.response[n];
            r[kRspCode] = s[1];
            std::memcpy(r + 5, s + 5, 3);
            PutI32(r + 8, data2);
            PutI32(r + 12, data1);
            b.SetField(0, kReturnCode, 0);
            return true;
        };
    }
};

TEST(ParamWidthTable, FourByteParametersAndEverythingElse) {
    const struct {
        int32_t prm;
        int width;
    } cases[] = {
        {0x804, 4}, {0x806, 4}, {0x808, 4}, {0x814, 4}, {0x819, 4},
        {0x800, 2}, {0x805, 2}, {0x807, 2}, {0x803, 2}, {0x815, 2}, {0x818, 2},
        {0x000, 2}, {0x004, 2}, {0x104, 2}, {0x704, 2}, {0x023, 2},
        {0x024, 2}, {0x0FF, 2}, {0x7FF, 2}, {0x8FF, 2}, {0x1A0, 2},  // low byte above 35
    };
    for (auto& c : cases) EXPECT_EQ(ParamWidth(c.prm), c.width) << std::hex << c.prm;
    int fours = 0;
    for (int32_t prm = 0; prm <= 2073; ++prm) {
        const int w = ParamWidth(prm);
        EXPECT_TRUE(w == 2 || w == 4) << prm;
        fours += w == 4;
    }
    EXPECT_EQ(fours, 5);
}

TEST_F(Params, ReadSendsNumberAndWidthAndReadsBackBothValues) {
    OpenDefault();
    ParameterStation(0x01020304, -7);
    Guarded<int32_t> d1, d2;
    ASSERT_EQ(PrmGet(2, 0x804, d1.ptr(), d2.ptr()), 0);
    EXPECT_EQ(d1.value(), 0x01020304) << "data1 from bytes 12..15";
    EXPECT_EQ(d2.value(), -7) << "data2 from bytes 8..11";
    EXPECT_TRUE(d1.guards_intact() && d2.guards_intact());

    auto& log = drv().log;
    ASSERT_EQ(log.size(), 3u) << "request, echo read, read-back";
    const CommandBuffer& req = log[0].sent;
    EXPECT_EQ(req.Count(), 1);
    EXPECT_EQ(req.Field(0, kSelectCode), kSelWrite);
    EXPECT_EQ(req.Field(0, kOffset), 128);
    EXPECT_EQ(req.Field(0, kSize), 16);
    EXPECT_EQ(DataHex(req, 0, 16), "03 01 00 00 00 04 08 04 00 00 00 00 00 00 00 00");
    for (int i : {1, 2}) {
        EXPECT_EQ(log[i].sent.Field(0, kSelectCode), kSelRead);
        EXPECT_EQ(log[i].sent.Field(0, kOffset), 1152);
        EXPECT_EQ(log[i].sent.Field(0, kSize), 17);
    }

    drv().Clear();
    ASSERT_EQ(PprmGet(2, 0x805, d1.ptr(), d2.ptr()), 0);
    EXPECT_EQ(DataHex(drv().log.at(0).sent, 0, 16), "03 1B 00 00 00 05 08 02 00 00 00 00 00 00 00 00");
}

TEST_F(Params, WidthsTravelInByteSeven) {
    OpenDefault();
    const struct {
        int32_t prm;
        const char* bytes5to7;
    } cases[] = {
        {2073, "19 08 04"}, {0x806, "06 08 04"}, {0x808, "08 08 04"}, {0x814, "14 08 04"},
        {0x800, "00 08 02"}, {0x807, "07 08 02"}, {0, "00 00 02"},     {0x0FF, "FF 00 02"},
        {0x524, "24 05 02"},
    };
    for (auto& c : cases) {
        drv().Clear();
        ASSERT_EQ(PrmPut(1, c.prm, 1, 1), 0) << c.prm;
        EXPECT_EQ(fake::Hex(drv().log.at(0).sent.Data(0) + 5, 3), c.bytes5to7) << c.prm;
        int32_t a, b;
        drv().Clear();
        ASSERT_EQ(PprmGet(1, c.prm, &a, &b), 0) << c.prm;
        EXPECT_EQ(fake::Hex(drv().log.at(0).sent.Data(0) + 5, 3), c.bytes5to7) << c.prm;
    }
}

TEST_F(Params, WriteSendsBothValuesWholeAndWaitsForTheFullEcho) {
    OpenDefault();
    ASSERT_EQ(PrmPut(3, 0x805, 0x01020304, -1), 0);
    auto& log = drv().log;
    ASSERT_EQ(log.size(), 2u) << "request, echo read";
    EXPECT_EQ(log[0].sent.Field(0, kOffset), 192);
    EXPECT_EQ(DataHex(log[0].sent, 0, 16), "03 02 00 00 00 05 08 02 FF FF FF FF 04 03 02 01");
    EXPECT_EQ(log[1].sent.Field(0, kOffset), 1216);

    drv().Clear();
    ASSERT_EQ(PprmPut(3, 0x819, 5, 6), 0);
    EXPECT_EQ(DataHex(drv().log.at(0).sent, 0, 16), "03 1C 00 00 00 19 08 04 06 00 00 00 05 00 00 00");
}

TEST_F(Params, WriteNeverEchoedEndsWithMinusNine) {
    OpenDefault();
    drv().station_echo = false;
    EXPECT_EQ(PrmPut(1, 0x805, 0x11223344, 0x55667788), QRL_E_ECHO);
    EXPECT_EQ(Reads().size(), 2001u);

    // Everything but byte 15 echoed: still not an echo.
    drv().Clear();
    drv().script = [](uint32_t, CommandBuffer& b, fake::ScriptedDriver& d) {
        if (b.Field(0, kSelectCode) != kSelWrite) return false;
        uint8_t* r = d.response[1];
        r[kRspCode] = b.Data(0)[1];
        std::memcpy(r + 5, b.Data(0) + 5, 11);
        r[15] ^= 0x01;
        return false;
    };
    EXPECT_EQ(PprmPut(1, 0x805, 0x11223344, 0x55667788), QRL_E_ECHO);

    // A read whose number is never echoed: nothing stored.
    drv().Clear();
    drv().script = nullptr;
    Guarded<int32_t> d1, d2;
    EXPECT_EQ(PrmGet(1, 0x806, d1.ptr(), d2.ptr()), QRL_E_ECHO);
    EXPECT_TRUE(d1.untouched() && d2.untouched());
    EXPECT_EQ(Reads().size(), 2001u) << "no read-back after a failed echo";
}

TEST_F(Params, NothingIsStoredOnAnyFailure) {
    OpenDefault();
    struct Case {
        const char* name;
        std::function<void(fake::ScriptedDriver&)> arrange;
        int32_t want;
    };
    const Case cases[] = {
        {"request refused",
         [](fake::ScriptedDriver& d) {
             d.script = [](uint32_t, CommandBuffer& b, fake::ScriptedDriver&) {
                 b.SetField(0, kReturnCode, -40000);
                 return true;
             };
         },
         -40000},
        {"request exchange fails", [](fake::ScriptedDriver& d) { d.fail_all = true; }, QRL_E_IO},
        {"read-back exchange fails", [](fake::ScriptedDriver& d) { d.fail_after = 2; }, QRL_E_IO},
        {"read-back ReturnCode",
         [](fake::ScriptedDriver& d) {
             auto reads = std::make_shared<int>(0);
             d.script = [reads](uint32_t, CommandBuffer& b, fake::ScriptedDriver& dd) {
                 if (b.Field(0, kSelectCode) != kSelRead || ++*reads < 2) return false;
                 std::memcpy(b.Data(0), dd.response[1], 17);
                 b.SetField(0, kReturnCode, 6);
                 return true;
             };
         },
         6},
    };
    for (auto& c : cases) {
        SCOPED_TRACE(c.name);
        drv().Clear();
        drv().script = nullptr;
        drv().fail_all = false;
        drv().fail_after = -1;
        c.arrange(drv());
        Guarded<int32_t> d1, d2;
        EXPECT_EQ(PrmGet(1, 0x804, d1.ptr(), d2.ptr()), c.want);
        EXPECT_TRUE(d1.untouched() && d2.untouched());
    }
}

TEST_F(Params, CheckOrder) {
    int32_t a = 0x5A5A, b = 0x5A5A;
    const struct {
        const char* name;
        std::function<int32_t()> call;
        int32_t want;
    } cases[] = {
        {"PrmGet 2073 closed", [&] { return PrmGet(1, 2073, &a, &b); }, QRL_E_NOTOPEN},
        {"PrmGet 2074", [&] { return PrmGet(1, 2074, &a, &b); }, QRL_E_ARG},
        {"PrmGet -1", [&] { return PrmGet(1, -1, &a, &b); }, QRL_E_ARG},
        {"PrmGet station 0", [&] { return PrmGet(0, 0, &a, &b); }, QRL_E_ARG},
        {"PrmGet station 16", [&] { return PrmGet(16, 0, &a, &b); }, QRL_E_ARG},
        {"PrmGet station -1", [&] { return PrmGet(-1, 0, &a, &b); }, QRL_E_ARG},
        {"PrmGet null data1", [&] { return PrmGet(1, 0, nullptr, &b); }, QRL_E_ARG},
        {"PrmGet null data2", [&] { return PrmGet(1, 0, &a, nullptr); }, QRL_E_ARG},
        {"PprmGet 2074", [&] { return PprmGet(1, 2074, &a, &b); }, QRL_E_ARG},
        {"PprmGet null", [&] { return PprmGet(1, 5, nullptr, nullptr); }, QRL_E_ARG},
        {"PprmGet closed", [&] { return PprmGet(15, 0, &a, &b); }, QRL_E_NOTOPEN},
        {"PrmPut 2074", [] { return PrmPut(1, 2074, 0, 0); }, QRL_E_ARG},
        {"PrmPut 2073 closed", [] { return PrmPut(1, 2073, 0, 0); }, QRL_E_NOTOPEN},
        {"PprmPut station -2", [] { return PprmPut(-2, 0, 0, 0); }, QRL_E_ARG},
        {"PprmPut -5", [] { return PprmPut(1, -5, 0, 0); }, QRL_E_ARG},
        {"PprmPut closed", [] { return PprmPut(1, 0, 0, 0); }, QRL_E_NOTOPEN},
    };
    for (auto& c : cases) EXPECT_EQ(c.call(), c.want) << c.name;

    OpenDefault();  // 4 I/O, 5 absent
    for (int32_t n : {4, 5}) {
        EXPECT_EQ(PrmGet(n, 0, &a, &b), QRL_E_ARG);
        EXPECT_EQ(PprmGet(n, 0, &a, &b), QRL_E_ARG);
        EXPECT_EQ(PrmPut(n, 0, 0, 0), QRL_E_ARG);
        EXPECT_EQ(PprmPut(n, 0, 0, 0), QRL_E_ARG);
    }
    EXPECT_EQ(PrmGet(1, 2074, &a, &b), QRL_E_ARG);
    EXPECT_EQ(Exchanges(), 0u);
    EXPECT_EQ(a, 0x5A5A);
    EXPECT_EQ(b, 0x5A5A);
}

}  // namespace
