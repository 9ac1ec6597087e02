// Axis motion on a fake clock: move timing and positions, servo settling, stops,
// machine lock, encoder, home, presets, alarms and the monitor items.
#include <algorithm>
#include <cstring>

#include "axis_station.h"
#include "board_fixture.h"

namespace vbt {
namespace {

using namespace vboard;

class Motion : public BoardTest {
protected:
    void SetUp() override { BringUp(kMixed); }
    int32_t Feed(int st, int32_t v, uint8_t mcode = 0x81) { return CmdWord(st, qrl::kTplFeed, 9, v, -1, 0, mcode); }
    int32_t Mon(int st, int item) {  // one monitor request choosing `item` as monitor 1
        EXPECT_EQ(CmdWord(st, qrl::kTplMonitor, 5, 0, -1, 0, static_cast<uint8_t>(item & 0x0F)), 0);
        return Read(st).mon1();
    }
};

// distance/speed + the 10 ms acceleration time, with no upper bound: 100 000 units
// at the default speed take five seconds, the longest int32 distance at 1 unit/s
// 68 years; only a distance no board could travel saturates.
TEST_F(Motion, DurationIsDistanceOverSpeedPlusTheRampWithoutCap) {
    struct Case { int64_t distance, speed, ms; } cases[] = {
        {0, 0, 10}, {1000, 0, 60}, {-1000, 0, 60}, {5000, 0, 260}, {20000, 0, 1010},
        {100000, 0, 5010}, {2000, 40000, 60}, {2000, -40000, 60}, {INT32_MAX, 1, 2147483647010},
        {int64_t{1} << 50, 0, 10 + (int64_t{1} << 50) / 20}, {INT64_MAX, 1, kLongestMoveMs},
        {INT64_MIN + 1, 1, kLongestMoveMs},
    };
    for (const Case& c : cases)
        EXPECT_EQ(AxisStation::DurationFor(c.distance, c.speed), c.ms) << c.distance << " @ " << c.speed;
}

TEST_F(Motion, FeedClearsReadyAdvancesPositionsAndSetsReadyWhenDone) {
    ServoOn(1);
    ASSERT_EQ(Feed(1, 1000), 0);  // 60 ms of command, feedback 8 ms behind
    Response r = Read(1);
    EXPECT_EQ(r.code(), 0x36);
    EXPECT_FALSE(r.ready());
    EXPECT_TRUE(r.status() & status::kMoving);

    // 10 ms rising to 20 000 units/s (20 per ms), 40 ms at it, 10 ms to rest.
    Advance(30);
    r = Read(1);
    EXPECT_EQ(r.mon1(), 500);                 // command position, half-way
    EXPECT_EQ(r.mon2(), 100 + 12 * 20);       // feedback: where the command was at 22 ms
    EXPECT_EQ(r.mcode(), 0x81);
    EXPECT_FALSE(r.ready());

    Advance(30);  // command done, feedback still arriving
    r = Read(1);
    EXPECT_EQ(r.mon1(), 1000);
    EXPECT_EQ(r.mon2(), 1000 - 8 * 8 * 20 / (2 * 10));  // 8 ms before the end of the fall
    EXPECT_FALSE(r.ready());

    Advance(kFollowLagMs - 1);
    EXPECT_FALSE(Read(1).ready());
    Advance(1);
    r = Read(1);
    EXPECT_TRUE(r.ready());
    EXPECT_EQ(r.mon1(), 1000);
    EXPECT_EQ(r.mon2(), 1000);
    EXPECT_FALSE(r.status() & status::kMoving);
    EXPECT_TRUE(r.status() & status::kInPosition);
    EXPECT_EQ(r.code(), 0x36) << "the answer stays that of the feed";
}

// A move of several seconds: 100 000 units at 20 000 units/s. The speed rises
// linearly for 10 ms, holds for 4990 ms and falls for 10 ms; ready comes with the
// feedback, 8 ms after the command position arrived.
TEST_F(Motion, AFiveSecondMoveAcceleratesCruisesAndDecelerates) {
    ServoOn(1);
    ASSERT_EQ(Feed(1, 100000, 0x41), 0);  // monitor 1 = command position, 2 = command speed
    struct Sample { int64_t at, position, speed; } samples[] = {
        {0, 0, 0},          {5, 25, 10000},         {10, 100, 20000},
        {2505, 50000, 20000}, {5000, 99900, 20000}, {5005, 99975, 10000},
    };
    int64_t t = 0;
    for (const Sample& s : samples) {
        Advance(s.at - t);
        t = s.at;
        Response r = Read(1);
        EXPECT_EQ(r.mon1(), s.position) << "at " << s.at << " ms";
        EXPECT_EQ(r.mon2(), s.speed) << "at " << s.at << " ms";
        EXPECT_FALSE(r.ready()) << "at " << s.at << " ms";
    }
    Advance(5010 + kFollowLagMs - 1 - t);
    EXPECT_FALSE(Read(1).ready()) << "1 ms before the feedback arrives";
    Advance(1);
    Response r = Read(1);
    EXPECT_TRUE(r.ready());
    EXPECT_EQ(r.mon1(), 100000);
    EXPECT_EQ(r.mon2(), 0);
    EXPECT_EQ(board_.Axis(1).feedback, 100000);
}

// A move shorter than speed x ramp never reaches its speed: 100 units take 15 ms,
// rising for 5 ms to 100 units per 10 ms (10 000 units/s), holding, falling for 5.
TEST_F(Motion, AShortMoveTopsOutBelowItsSpeed) {
    ServoOn(1);
    ASSERT_EQ(Feed(1, 100, 0x41), 0);
    int64_t top = 0;
    for (int ms = 0; ms < 15; ++ms, Advance(1)) top = std::max<int64_t>(top, Read(1).mon2());
    EXPECT_EQ(top, 10000);
    EXPECT_EQ(Read(1).mon1(), 100);
    EXPECT_EQ(WaitReady(1), kFollowLagMs);
}

// Positions of a move lasting years need the exact product of distance and time,
// which does not fit in 64 bits: with the machine position preset to 2 000 000 000,
// an NC move at 1 unit/s to a target beyond the + travel limit runs 1 999 000 000
// units back to that limit, for 63 years.
TEST_F(Motion, AMoveOfYearsKeepsExactPositions) {
    ServoOn(1);
    CommandBuffer b;
    qrl::SetTemplateEntry(b, 0, qrl::kSelWrite, 64, qrl::kTplPosiPut, 16);
    b.Data(0)[5] = item::kMachinePosition;
    qrl::PutI32(b.Data(0) + 6, 2000000000);
    ASSERT_TRUE(Send(b));
    ASSERT_EQ(b.ReturnCode(), 0);
    // Speed 1, target -1 000 000 000 (machine position 1 000 000 000: beyond the
    // limit); monitor 1 = command position, 2 = remaining distance.
    ASSERT_EQ(CmdWord(1, qrl::kTplNc, 5, 1, 9, -1000000000, 0x31), 0);
    const int64_t distance = -1999000000, dur = 1999000000000 + kAccelMs;
    Advance(dur / 2);
    Response r = Read(1);
    EXPECT_EQ(r.mon1(), distance / 2) << "command position half-way";
    EXPECT_EQ(r.mon2(), distance / 2) << "remaining distance half-way";
    EXPECT_FALSE(r.ready());
    Advance(dur - dur / 2 + kFollowLagMs);
    EXPECT_TRUE(Read(1).ready());
    EXPECT_EQ(board_.Axis(1).feedback, distance);
    EXPECT_EQ(board_.Axis(1).alarm, alarm::kOverPlus) << "stopped at the + travel limit";
}

// The exact product-quotient against the compiler's 128-bit arithmetic where it
// has one, and against values known by construction everywhere.
TEST(MulDiv, ExactWhereTheProductExceeds64Bits) {
    EXPECT_EQ(MulDivU64(uint64_t{1} << 40, uint64_t{1} << 40, uint64_t{1} << 20), uint64_t{1} << 60);
    EXPECT_EQ(MulDivU64(INT64_MAX, INT64_MAX, INT64_MAX), uint64_t(INT64_MAX));
    EXPECT_EQ(MulDivU64(1999000000, 1999000000000, 3998000000000), 999500000u);
    EXPECT_EQ(MulDivU64(7, 3, 2), 10u);
    EXPECT_EQ(MulDivS64(-7, 3, 2), -10) << "rounded toward zero";
    EXPECT_EQ(MulDivS64(-1999000000, 1999000000000, 3998000000000), -999500000);
#ifdef __SIZEOF_INT128__
    uint64_t x = 0x9E3779B97F4A7C15u;
    for (int i = 0; i < 20000; ++i) {
        x ^= x << 13, x ^= x >> 7, x ^= x << 17;
        const uint64_t a = x >> (i % 40), b = (x * 0x2545F4914F6CDD1Du) >> (i % 23), c = (x >> (i % 61)) | 1;
        const unsigned __int128 q = static_cast<unsigned __int128>(a) * b / c;
        if (q >> 63) continue;  // outside the documented range
        ASSERT_EQ(MulDivU64(a, b, c), static_cast<uint64_t>(q)) << a << " * " << b << " / " << c;
    }
#endif
}

TEST_F(Motion, NcIsAbsoluteNcExRelativeBothWithSpeed) {
    ServoOn(1);
    ASSERT_EQ(CmdWord(1, qrl::kTplNc, 5, 40000, 9, 2000), 0);
    EXPECT_EQ(WaitReady(1), 60 + kFollowLagMs);
    EXPECT_EQ(board_.Axis(1).command, 2000);
    ASSERT_EQ(CmdWord(1, qrl::kTplNc, 5, 0, 9, 500), 0);
    WaitReady(1);
    EXPECT_EQ(board_.Axis(1).feedback, 500);
    ASSERT_EQ(CmdWord(1, qrl::kTplNcEx, 5, 10000, 9, -300), 0);
    EXPECT_EQ(WaitReady(1), 10 + 30 + kFollowLagMs);
    EXPECT_EQ(board_.Axis(1).feedback, 200);
    EXPECT_EQ(Read(1).code(), 0x39);
}

TEST_F(Motion, ServoBitFollowsAfterSettling) {
    ASSERT_EQ(Cmd(1, qrl::kTplSvOn, {{13, 0x81}}), 0);
    Response r = Read(1);
    EXPECT_EQ(r.code(), 0x31);
    EXPECT_FALSE(r.servo());
    EXPECT_FALSE(r.ready());
    Advance(kServoSettleMs - 1);
    EXPECT_FALSE(Read(1).servo());
    Advance(1);
    r = Read(1);
    EXPECT_EQ(r.status() & 0x0C, 0x0C);
    ASSERT_EQ(Cmd(1, qrl::kTplSvOff, {{13, 0x81}}), 0);
    r = Read(1);
    EXPECT_TRUE(r.servo());
    EXPECT_FALSE(r.ready());
    Advance(kServoSettleMs);
    r = Read(1);
    EXPECT_EQ(r.status() & 0x0C, 0x04);
    EXPECT_EQ(r.code(), 0x32);
}

TEST_F(Motion, MoveWithoutServoRaisesAlarmThatAlarmClearClears) {
    ASSERT_EQ(Feed(1, 1000), 0);
    Response r = Read(1);
    EXPECT_EQ(r.alarm(), alarm::kServoOff);
    EXPECT_TRUE(r.status() & status::kAlarm);
    EXPECT_TRUE(r.ready()) << "nothing moves";
    Advance(100);
    EXPECT_EQ(board_.Axis(1).command, 0);
    // An alarm blocks servo on and every move until cleared.
    ASSERT_EQ(Cmd(1, qrl::kTplSvOn, {{13, 0x81}}), 0);
    Advance(kServoSettleMs);
    EXPECT_FALSE(Read(1).servo());
    ASSERT_EQ(Cmd(1, qrl::kTplAlarmClear), 0);
    r = Read(1);
    EXPECT_EQ(r.code(), 0x06);
    EXPECT_EQ(r.alarm(), 0);
    EXPECT_FALSE(r.status() & status::kAlarm);
    ServoOn(1);
    ASSERT_EQ(Feed(1, 1000), 0);
    EXPECT_EQ(Read(1).alarm(), 0);
}

TEST_F(Motion, SecondMoveWhileMovingIsRefused) {
    ServoOn(1);
    ASSERT_EQ(Feed(1, 1000), 0);
    Advance(10);
    ASSERT_EQ(Feed(1, 5000), 0);
    EXPECT_EQ(Read(1).alarm(), alarm::kBusy);
    WaitReady(1);
    EXPECT_EQ(board_.Axis(1).feedback, 1000);
}

TEST_F(Motion, EmergencyStopEndsMoveAndBlocksUntilReleased) {
    ServoOn(1);
    ASSERT_EQ(Feed(1, 1000), 0);
    Advance(30);
    ASSERT_EQ(Cmd(1, qrl::kTplEmg), 0);
    Response r = Read(1);
    EXPECT_EQ(r.code(), 0x21);
    EXPECT_TRUE(r.ready());
    EXPECT_TRUE(r.status() & status::kEmergency);
    int64_t stopped = board_.Axis(1).feedback;
    EXPECT_EQ(stopped, 340);
    EXPECT_EQ(board_.Axis(1).command, stopped) << "command resyncs to where the axis stopped";
    Advance(100);
    EXPECT_EQ(board_.Axis(1).feedback, stopped);
    ASSERT_EQ(Feed(1, 10), 0);
    EXPECT_EQ(Read(1).alarm(), alarm::kEmergency);
    ASSERT_EQ(Cmd(1, qrl::kTplEmgOff), 0);
    ASSERT_EQ(Cmd(1, qrl::kTplAlarmClear), 0);
    ASSERT_EQ(Feed(1, 10), 0);
    WaitReady(1);
    EXPECT_EQ(board_.Axis(1).feedback, stopped + 10);
}

TEST_F(Motion, DecelerationStopEndsEarlyWithAShortRamp) {
    ServoOn(1);
    ASSERT_EQ(Feed(1, 1000), 0);  // at 20 000 units/s from 10 ms to 50 ms
    Advance(30);
    ASSERT_EQ(Cmd(1, qrl::kTplDown, {{13, 0x64}}), 0);  // monitor 1 = command speed
    EXPECT_EQ(Read(1).code(), 0x25);
    EXPECT_FALSE(Read(1).ready());
    EXPECT_EQ(Read(1).mon1(), 20000) << "the stop starts from the present speed";
    Advance(kDecelMs / 2);
    EXPECT_EQ(Read(1).mon1(), 10000) << "and lowers it linearly";
    EXPECT_EQ(board_.Axis(1).command, 500 + 300) << "three quarters of the stopping distance in half its time";
    EXPECT_EQ(WaitReady(1), kDecelMs / 2 + kFollowLagMs);
    EXPECT_EQ(board_.Axis(1).feedback, 500 + 20000 * kDecelMs / 2000);
    // At rest it is just answered.
    ASSERT_EQ(Cmd(1, qrl::kTplDown, {{13, 0x81}}), 0);
    EXPECT_TRUE(Read(1).ready());
}

TEST_F(Motion, MachineLockMovesCommandNotFeedback) {
    ASSERT_EQ(Cmd(1, qrl::kTplMlockOn), 0);
    EXPECT_TRUE(Read(1).status() & status::kMachineLock);
    ASSERT_EQ(Feed(1, 1000), 0);  // allowed with the servo off: nothing turns
    EXPECT_EQ(Read(1).alarm(), 0);
    WaitReady(1);
    Response r = Read(1);
    EXPECT_EQ(r.mon1(), 1000);
    EXPECT_EQ(r.mon2(), 0);
    ASSERT_EQ(Cmd(1, qrl::kTplMlockOff), 0);
    r = Read(1);
    EXPECT_EQ(r.code(), 0x27);
    EXPECT_EQ(r.mon1(), 0) << "command position returns to the axis";
    EXPECT_FALSE(r.status() & status::kMachineLock);
}

TEST_F(Motion, EncoderOffFreezesFeedback) {
    ServoOn(1);
    ASSERT_EQ(Cmd(1, qrl::kTplEncdrOff), 0);
    Response r = Read(1);
    EXPECT_EQ(r.code(), 0x24);
    EXPECT_TRUE(r.ready());
    EXPECT_FALSE(r.status() & status::kEncoderOn);
    ASSERT_EQ(Feed(1, 1000), 0);
    WaitReady(1);
    EXPECT_EQ(board_.Axis(1).feedback, 0);
    EXPECT_EQ(board_.Axis(1).command, 1000);
    ASSERT_EQ(Cmd(1, qrl::kTplEncdrOn), 0);
    EXPECT_EQ(Read(1).code(), 0x23);
    EXPECT_EQ(board_.Axis(1).feedback, 1000);
}

TEST_F(Motion, HomeGoesToTheSensorAndPresetsThePosition) {
    ServoOn(1);
    ASSERT_EQ(Feed(1, 3000), 0);
    WaitReady(1);
    EXPECT_FALSE(board_.Axis(1).iodata & iodata::kHomeSensor);
    ASSERT_EQ(CmdWord(1, qrl::kTplHome, 9, 7), 0);
    EXPECT_EQ(Read(1).code(), 0x3A);
    EXPECT_EQ(WaitReady(1), 10 + 150 + kFollowLagMs);
    AxisReport a = board_.Axis(1);
    EXPECT_EQ(a.command, 7);
    EXPECT_EQ(a.feedback, 7);
    EXPECT_TRUE(a.status & status::kHomed);
    EXPECT_TRUE(a.iodata & iodata::kHomeSensor);
    EXPECT_EQ(Mon(1, item::kMachinePosition), 0);
}

TEST_F(Motion, PositionPresetEchoesAndMovesTheCoordinates) {
    struct Case { uint8_t item; int32_t value; int64_t command, feedback; } cases[] = {
        {1, 258, 258, 258}, {8, -5, -5, -5}, {2, 999, -5, -5}, {0, 0, -5, -5},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(int(c.item));
        CommandBuffer b;
        qrl::SetTemplateEntry(b, 0, qrl::kSelWrite, 64, qrl::kTplPosiPut, 16);
        b.Data(0)[5] = c.item;
        qrl::PutI32(b.Data(0) + 6, c.value);
        ASSERT_TRUE(Send(b));
        Response r = Read(1);
        EXPECT_EQ(r.code(), 0x20);
        EXPECT_TRUE(r.ready());
        EXPECT_EQ(0, std::memcmp(r.raw + 5, b.Data(0) + 5, 5));
        EXPECT_EQ(board_.Axis(1).command, c.command);
        EXPECT_EQ(board_.Axis(1).feedback, c.feedback);
    }
    // Item 2 value 258 is echoed as 02 02 01 00 00.
    CommandBuffer b;
    qrl::SetTemplateEntry(b, 0, qrl::kSelWrite, 64, qrl::kTplPosiPut, 16);
    b.Data(0)[5] = 2;
    qrl::PutI32(b.Data(0) + 6, 258);
    ASSERT_TRUE(Send(b));
    const uint8_t want[5] = {2, 2, 1, 0, 0};
    EXPECT_EQ(0, std::memcmp(Read(1).raw + 5, want, 5));
}

TEST_F(Motion, AbsoluteInitialisationEchoesEachStep) {
    for (int tpl : {qrl::kTplAbsIni1, qrl::kTplAbsIni2, qrl::kTplAbsIni3}) {
        EXPECT_FALSE(Read(1).status() & status::kAbsInitialised);
        ASSERT_EQ(Cmd(1, tpl), 0);
        Response r = Read(1);
        EXPECT_EQ(r.code(), 0x3E);
        EXPECT_TRUE(r.ready());
        EXPECT_EQ(0, std::memcmp(r.raw + 5, qrl::kTemplates[tpl] + 5, 5)) << tpl;
    }
    EXPECT_TRUE(Read(1).status() & status::kAbsInitialised);
}

TEST_F(Motion, MonitorItemsAtRest) {
    ServoOn(1);
    ASSERT_EQ(Feed(1, 1234), 0);
    WaitReady(1);
    Advance(5);
    AxisReport a = board_.Axis(1);
    struct Case { int item; int32_t want; } cases[] = {
        {item::kNone, 0}, {item::kCommandPosition, 1234}, {item::kTargetPosition, 1234},
        {item::kRemaining, 0}, {item::kCommandSpeed, 0}, {item::kFeedbackSpeed, 0},
        {item::kFollowingError, 0}, {item::kTorque, 0}, {item::kFeedbackPosition, 1234},
        {item::kMachinePosition, 1234}, {item::kAlarmCode, 0}, {item::kStatusWord, a.status},
        {item::kIoData, a.iodata}, {item::kIpQueued, 0}, {item::kMoveCount, 1},
    };
    for (const Case& c : cases) EXPECT_EQ(Mon(1, c.item), c.want) << "item " << c.item;
    EXPECT_GT(Mon(1, item::kStationClock), 0);
}

TEST_F(Motion, MonitorItemsDuringAMoveBothNibbles) {
    ServoOn(1);
    ASSERT_EQ(Feed(1, 1000, 0x64), 0);  // monitor 1 = speed, monitor 2 = following error
    Advance(30);
    Response r = Read(1);
    EXPECT_EQ(r.mcode(), 0x64);
    EXPECT_EQ(r.mon1(), 20000);
    EXPECT_EQ(r.mon2(), 500 - 340);
    EXPECT_EQ(Mon(1, item::kRemaining), 500);
    EXPECT_EQ(Mon(1, item::kTargetPosition), 1000);
}

TEST_F(Motion, MonitorRequestReplacesAnEchoAnswer) {
    ServoOn(1);
    ASSERT_EQ(Feed(1, 77), 0);
    WaitReady(1);
    ASSERT_EQ(Cmd(1, qrl::kTplPprmGet, {{5, 1}, {7, 2}}), 0);
    EXPECT_EQ(Read(1).mon1(), 0x00020001) << "bytes 5..8 hold the echo, not a monitor value";
    ASSERT_EQ(CmdWord(1, qrl::kTplMonitor, 5, 0, -1, 0, 0x81), 0);
    Response r = Read(1);
    EXPECT_EQ(r.code(), 0x30);
    EXPECT_TRUE(r.ready());
    EXPECT_EQ(r.mon1(), 77);
    EXPECT_EQ(r.mon2(), 77);
}

TEST_F(Motion, TravelLimitStopsTheMoveWithAnAlarm) {
    ServoOn(3);
    ASSERT_EQ(Feed(3, 2000000), 0);  // stopped at 1 000 000: 50 s
    WaitReady(3, 60000, 50);
    AxisReport a = board_.Axis(3);
    EXPECT_EQ(a.feedback, kTravelLimit);
    EXPECT_EQ(a.alarm, alarm::kOverPlus);
    EXPECT_TRUE(a.iodata & iodata::kLimitPlus);
    EXPECT_TRUE(a.status & status::kOvertravel);
    ASSERT_EQ(Cmd(3, qrl::kTplAlarmClear), 0);
    ASSERT_EQ(Feed(3, -3000000), 0);  // 2 000 000 to the other limit: 100 s
    WaitReady(3, 120000, 50);
    EXPECT_EQ(board_.Axis(3).feedback, -kTravelLimit);
    EXPECT_EQ(board_.Axis(3).alarm, alarm::kOverMinus);
    EXPECT_TRUE(board_.Axis(3).iodata & iodata::kLimitMinus);
}

TEST_F(Motion, IoDataWordFollowsTheAxisAndCanBeForced) {
    Response r = Read(1);
    EXPECT_EQ(r.iodata(), iodata::kHomeSensor | iodata::kInPosition);
    ServoOn(1);
    ASSERT_EQ(Feed(1, 1000), 0);
    Advance(10);  // the feedback 4 units out: still on the home sensor
    EXPECT_EQ(Read(1).iodata(), iodata::kMoving | iodata::kServoOn | iodata::kHomeSensor);
    board_.SetIoDataOverride(1, 0xFF00, 0x0100);
    EXPECT_EQ(Read(1).iodata() & 0xFF00, 0x0100);
    board_.SetIoDataOverride(1, iodata::kHomeSensor, 0);
    EXPECT_FALSE(Read(1).iodata() & iodata::kHomeSensor);
    EXPECT_EQ(Read(1).iodata() & 0xFF00, 0) << "a new override replaces the last";
}

TEST_F(Motion, UnknownCommandRaisesAlarm) {
    ASSERT_EQ(Cmd(1, qrl::kTplZero, {{0, 0x03}, {1, 0x3F}}), 0);
    Response r = Read(1);
    EXPECT_EQ(r.code(), 0x3F);
    EXPECT_EQ(r.alarm(), alarm::kUnknownCommand);
}

TEST_F(Motion, CloseDropsServoAtOnce) {
    ServoOn(1);
    ASSERT_EQ(Cmd(1, qrl::kTplClose), 0);
    Response r = Read(1);
    EXPECT_EQ(r.code(), 0x0F);
    EXPECT_FALSE(r.servo());
    EXPECT_TRUE(r.ready());
}

}  // namespace
}  // namespace vbt
