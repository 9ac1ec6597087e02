// Corners of the core that the family tests leave open: when the exported waits
// take their start time, which ReturnCodes the monitor reads deliberately ignore,
// what BdOpen does before it looks for the board, the unsigned compare of RspWait,
// and what the out-pointers receive on the paths that still store.
#include <functional>

#include "command_fixture.h"

using namespace qrl;
using namespace cmdtest;

namespace {

class Review : public CommandTest {
protected:
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

TEST_F(Review, ExportedWaitsTakeTheirStartTimeBeforeTheStationCheck) {
    OpenDefault();
    clock().tick_ms = 1;  // every look at the clock is seen
    const int64_t before = clock().now;
    EXPECT_EQ(RdyWait(0), QRL_E_ARG);
    EXPECT_EQ(clock().now - before, 1) << "one look at the clock, before the -2";
    EXPECT_EQ(RspWait(16, 0x36), QRL_E_ARG);
    EXPECT_EQ(clock().now - before, 2);
    EXPECT_EQ(Exchanges(), 0u);
}

TEST_F(Review, MonGetDoesNotJudgeTheReturnCodeOfItsLastRead) {
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

TEST_F(Review, IodtGetDoesNotJudgeTheReturnCodeOfItsSecondRead) {
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

TEST_F(Review, IodtGetJudgesTheReturnCodeOfItsFirstRead) {
    OpenDefault();
    Respond(3, 0x36);
    ReadsOfStationAnswer(3, 1, 5);
    Guarded<int32_t> v;
    EXPECT_EQ(IodtGet(3, v.ptr()), 5);
    EXPECT_TRUE(v.untouched());
    EXPECT_EQ(Exchanges(), 1u) << "no monitor request after a failed first read";
}

TEST_F(Review, StdtGetPassesOnAPositiveReturnCodeWithTheBitOfTheWordRead) {
    OpenDefault();
    Respond(1, 0x36, 0x0024);
    ReadsOfStationAnswer(1, 1, 9);
    int32_t state = -1;
    EXPECT_EQ(StdtGet(1, 5, &state), 9);
    EXPECT_EQ(state, 1) << "the word was read; only its ReturnCode is non-zero";
    EXPECT_EQ(StdtGet(1, 4, &state), 9);
    EXPECT_EQ(state, 0);
}

TEST_F(Review, RspWaitComparesTheLowByteUnsigned) {
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

TEST_F(Review, IpNumGetStoresNothingWhenAReadyWaitFails) {
    OpenDefault();
    Respond(2, 0x36, 0x0000);  // station 2 never ready
    Guarded<int32_t> count;
    EXPECT_EQ(IpNumGet(count.ptr()), QRL_E_TIMEOUT);
    EXPECT_TRUE(count.untouched()) << "the count is stored after the exchange only";
    EXPECT_TRUE(WithSelect(kSelIpNumGet).empty());
}

TEST(ReviewBdOpen, StartsLoggingAndResetsEveryRowBeforeLookingForTheBoard) {
    fake::Scope s;
    ASSERT_EQ(InitDll(2), 0);
    for (int n = 0; n < kStations; ++n) {
        Board().mcode[n].SetBoth(7, 7);
        Board().ocode[n].SetBoth(2, 2);
    }
    int settings_opens_at_device_open = -1;
    int32_t mcode_row0_at_device_open = -1, ocode_row15_at_device_open = -1, station0_at_device_open = -1;
    s.platform.open_device = [&]() -> std::unique_ptr<DeviceChannel> {
        settings_opens_at_device_open = s.platform.settings.opens;
        mcode_row0_at_device_open = Board().mcode[0][0];
        ocode_row15_at_device_open = Board().ocode[15][1];
        station0_at_device_open = Board().stations[0];
        return nullptr;  // no board
    };
    int32_t t[15] = {0x01, 0x61};
    EXPECT_EQ(BdOpen(0, 5, 15, t), QRL_E_NODEVICE);
    EXPECT_GT(settings_opens_at_device_open, 0) << "the log settings are read before the device is looked for";
    EXPECT_EQ(mcode_row0_at_device_open, 1);
    EXPECT_EQ(ocode_row15_at_device_open, 0);
    EXPECT_EQ(station0_at_device_open, 255);
    for (int n = 0; n < kStations; ++n) {
        EXPECT_EQ(Board().mcode[n][0], 1) << n;
        EXPECT_EQ(Board().mcode[n][1], 8) << n;
        EXPECT_EQ(Board().ocode[n][0], 0) << n;
        EXPECT_EQ(Board().ocode[n][1], 0) << n;
    }
    EXPECT_EQ(t[0], 0x01) << "types untouched when the board is not found";
    EXPECT_EQ(t[1], 0x61);
}

TEST(ReviewIdGet, AfterBdCloseFailsWithoutTouchingTheClosedChannel) {
    fake::Scope s;
    ASSERT_EQ(InitDll(1), 0);
    int32_t t[15] = {0x01};
    ASSERT_EQ(BdOpen(0, 10, 0, t), 0);
    ASSERT_EQ(BdClose(0), 0);
    s.driver().Clear();
    char text[17];
    std::memset(text, '#', sizeof text);
    EXPECT_EQ(IdGet(1, 0, text), QRL_E_IO);
    EXPECT_TRUE(s.driver().log.empty());
    EXPECT_EQ(text[0], '#');
    EXPECT_EQ(RdyWait(1), QRL_E_NOTOPEN);
    EXPECT_EQ(RspWait(1, 0x36), QRL_E_NOTOPEN);
    EXPECT_TRUE(s.driver().log.empty());
}

TEST(ReviewBdOpen, TheSetUpEchoWaitsSixHundredMilliseconds) {
    fake::Scope s;
    ASSERT_EQ(InitDll(1), 0);
    int32_t t[15] = {};
    t[4] = 1;
    // Station 5 answers its set-up with the right code but never echoes the bytes.
    s.driver().script = [](uint32_t, CommandBuffer& b, fake::ScriptedDriver& d) {
        if (b.Field(0, kSelectCode) == kSelWrite && b.Field(0, kOffset) == 5 * 64 && b.Data(0)[1] == 0x0E) {
            d.response[5][kRspCode] = 0x0E;
            b.SetField(0, kReturnCode, 0);
            return true;
        }
        return false;
    };
    EXPECT_EQ(BdOpen(0, 10, 7, t), QRL_OK);
    EXPECT_EQ(t[4], QRL_E_ECHO);
    size_t echo_reads = 0;
    for (auto& e : s.driver().Of(kIoctlCommand))
        if (e.sent.Field(0, kSelectCode) == kSelRead && e.sent.Field(0, kOffset) == 5 * 64 + 1024) ++echo_reads;
    EXPECT_EQ(echo_reads, 601u) << "one read per millisecond 0..600, none after the drop";
}

TEST(ReviewIdGet, AFailingSecondHalfKeepsTheFirstHalf) {
    fake::Scope s;
    ASSERT_EQ(InitDll(1), 0);
    int32_t t[15] = {0x01};
    ASSERT_EQ(BdOpen(0, 10, 0, t), 0);
    s.driver().Clear();
    // The station answers the first half only; the second request is never answered.
    s.driver().script = [](uint32_t, CommandBuffer& b, fake::ScriptedDriver& d) {
        if (b.Field(0, kSelectCode) == kSelWrite && b.Data(0)[1] == 0x03) {
            if (b.Data(0)[6] == 0) {
                d.response[1][kRspCode] = 0x03;
                std::memcpy(d.response[1] + 8, "ABCDEFGH", 8);
            } else {
                d.response[1][kRspCode] = 0x00;
            }
            b.SetField(0, kReturnCode, 0);
            return true;
        }
        return false;
    };
    char text[17];
    std::memset(text, '#', sizeof text);
    EXPECT_EQ(IdGet(1, 2, text), QRL_E_RESPONSE);
    EXPECT_EQ(std::string(text, 8), "ABCDEFGH");
    EXPECT_EQ(std::string(text + 8, 9), "#########") << "no second half and no terminator";
}

}  // namespace
