// Interpolation queues and axis data (SelectCode 3..12), and the driver's side
// of the buffer: several entries, hostile buffers, injected faults.
#include <cstring>
#include <random>
#include <thread>

#include "board_fixture.h"

namespace vbt {
namespace {

using namespace vboard;

// Axes at 1, 3, 4; I/O at 2.
constexpr std::array<int32_t, 15> kThreeAxes = {0x41, 0x61, 0x01, 0x02};

class Interp : public BoardTest {
protected:
    void SetUp() override {
        BringUp(kThreeAxes);
        for (int n : {1, 3, 4}) ServoOn(n);
    }
    // One IpdtSet-style buffer: one entry per (station, delta).
    int32_t Points(std::initializer_list<std::pair<int, int32_t>> pts, int32_t* rc1 = nullptr) {
        CommandBuffer b;
        int k = 0;
        for (auto& p : pts) {
            qrl::SetTemplateEntryBits(b, k, qrl::kSelIpData, qrl::CommandArea(p.first), qrl::kTplIpData, 16, 1);
            qrl::PutI32(b.Data(k) + 5, p.second);
            b.Data(k)[13] = 0x81;
            ++k;
        }
        b.SetCount(k);
        EXPECT_TRUE(Send(b));
        if (rc1) *rc1 = k > 1 ? b.ReturnCode(1) : 0;
        return b.ReturnCode(0);
    }
    int32_t Count() { return Request(qrl::kSelIpNumGet); }
};

TEST_F(Interp, QueueCountsAcrossStationsAndRejectsNonAxes) {
    EXPECT_EQ(Count(), 0);
    EXPECT_EQ(Points({{1, 10}, {3, 20}}), 0);
    EXPECT_EQ(Points({{1, 10}, {3, 20}}), 0);
    EXPECT_EQ(Count(), 4);
    EXPECT_EQ(board_.Axis(1).ip_queued, 2);
    EXPECT_EQ(Points({{2, 5}}), rc::kBadStation);
    EXPECT_EQ(Points({{5, 5}}), rc::kBadStation);
    EXPECT_EQ(Count(), 4);
}

TEST_F(Interp, CapacityRefusesWholeBufferWithAFinalCode) {
    EXPECT_EQ(Request(qrl::kSelIpNumMax, 2), 0);
    EXPECT_EQ(board_.IpCapacity(), 2);
    EXPECT_EQ(Points({{1, 1}, {3, 1}}), 0);
    EXPECT_EQ(Points({{1, 1}, {3, 1}}), 0);
    int32_t second = 0;
    // Station 4 has room, station 1 has not: nothing of this buffer is taken.
    EXPECT_EQ(Points({{4, 1}, {1, 1}}, &second), rc::kQueueFull);
    EXPECT_EQ(second, rc::kQueueFull);
    EXPECT_LT(rc::kQueueFull, -32770) << "final for the library: no retry loop";
    EXPECT_EQ(Count(), 4);
    EXPECT_EQ(Points({{4, 1}}), 0);
    EXPECT_EQ(Points({{3, 1}}), rc::kQueueFull);
    EXPECT_EQ(Count(), 5);
    for (int32_t bad : {0, -1, kMaxIpCapacity + 1})
        EXPECT_EQ(Request(qrl::kSelIpNumMax, bad), rc::kBadCapacity) << bad;
    EXPECT_EQ(board_.IpCapacity(), 2);
}

TEST_F(Interp, StartRunsPointsOverTimeAndCountsDown) {
    EXPECT_EQ(Points({{1, 100}, {3, -50}}), 0);
    EXPECT_EQ(Points({{1, 100}, {3, -50}}), 0);
    EXPECT_EQ(Points({{1, 100}, {3, -50}}), 0);
    EXPECT_EQ(Request(qrl::kSelIpStrt, 64, 20, 0b101), 0);  // stations 1 and 3, 20 ms per point
    EXPECT_EQ(Count(), 4) << "the first point of each axis is running";
    Response r = Read(1);
    EXPECT_EQ(r.code(), 0x34);
    EXPECT_FALSE(r.ready());
    EXPECT_TRUE(r.status() & status::kInterpolating);
    Advance(10);
    EXPECT_EQ(board_.Axis(1).command, 50);
    EXPECT_EQ(board_.Axis(3).command, -25);
    Advance(10);
    EXPECT_EQ(Count(), 2);
    Advance(20);
    EXPECT_EQ(Count(), 0);
    Advance(20);
    EXPECT_EQ(board_.Axis(1).command, 300);
    EXPECT_FALSE(Read(1).ready()) << "feedback still arriving";
    Advance(kFollowLagMs);
    r = Read(1);
    EXPECT_TRUE(r.ready());
    EXPECT_FALSE(r.status() & status::kInterpolating);
    EXPECT_EQ(board_.Axis(1).feedback, 300);
    EXPECT_EQ(board_.Axis(3).feedback, -150);
    EXPECT_EQ(board_.Axis(4).feedback, 0) << "not in the mask";
}

TEST_F(Interp, RepeatCyclesUntilStopAndKeepsThePoints) {
    EXPECT_EQ(Points({{1, 10}}), 0);
    EXPECT_EQ(Points({{1, 20}}), 0);
    EXPECT_EQ(Request(qrl::kSelIpStrtRp, 64, 10, 1), 0);
    Advance(60);  // six periods: 10 20 10 20 10 20
    EXPECT_EQ(board_.Axis(1).command, 90);
    EXPECT_TRUE(board_.Axis(1).moving);
    EXPECT_EQ(Request(qrl::kSelIpStop, 64, 0, 1), 0);
    Response r = Read(1);
    EXPECT_TRUE(r.ready());
    EXPECT_FALSE(r.status() & status::kInterpolating);
    EXPECT_EQ(board_.Axis(1).ip_queued, 2) << "repeat leaves the path queued";
    Advance(100);
    EXPECT_FALSE(board_.Axis(1).moving);
}

TEST_F(Interp, StopKeepsRemainingPointsClearEmptiesAll) {
    for (int i = 0; i < 5; ++i) EXPECT_EQ(Points({{1, 10}, {3, 10}}), 0);
    EXPECT_EQ(Request(qrl::kSelIpStrt, 64, 10, 0b101), 0);
    Advance(15);
    EXPECT_EQ(Request(qrl::kSelIpStop, 64, 0, 0b001), 0);
    EXPECT_FALSE(board_.Axis(1).moving);
    EXPECT_TRUE(board_.Axis(3).moving) << "only the masked station stops";
    EXPECT_EQ(board_.Axis(1).ip_queued, 3);
    EXPECT_EQ(Request(qrl::kSelIpdtClr, 64), 0);
    EXPECT_EQ(Count(), 0);
    EXPECT_FALSE(board_.Axis(3).moving);
    EXPECT_EQ(Request(qrl::kSelIpStrt, 64, 10, 0b101), rc::kNothingToStart);
}

TEST_F(Interp, StartCodes) {
    EXPECT_EQ(Request(qrl::kSelIpStrt, 64, 0, 0), 0) << "mask 0: nothing selected, nothing to do";
    EXPECT_EQ(Request(qrl::kSelIpStrt, 64, 0, 1), rc::kNothingToStart);
    EXPECT_EQ(Points({{1, 10}, {3, 10}}), 0);
    ASSERT_EQ(Cmd(3, qrl::kTplSvOff, {{13, 0x81}}), 0);
    Advance(kServoSettleMs);
    EXPECT_EQ(Request(qrl::kSelIpStrt, 64, 0, 0b101), rc::kRefused);
    EXPECT_EQ(Read(3).alarm(), alarm::kServoOff);
    EXPECT_FALSE(board_.Axis(1).moving) << "all or none";
    EXPECT_EQ(Count(), 2);
    EXPECT_EQ(Request(qrl::kSelIpStrt, 64, 0, 0b001), 0);
    EXPECT_TRUE(board_.Axis(1).moving);
    EXPECT_EQ(WaitReady(1), kIpDefaultPeriodMs + kFollowLagMs);
}

class AxisData : public Interp {
protected:
    int32_t Record(int station, int32_t speed, int32_t target) {
        CommandBuffer b;
        qrl::SetTemplateEntryBits(b, 0, qrl::kSelAxisData, qrl::CommandArea(station), qrl::kTplNc, 16,
                                  1 << (station - 1));
        qrl::PutI32(b.Data(0) + 5, speed);
        qrl::PutI32(b.Data(0) + 9, target);
        b.Data(0)[13] = 0x81;
        EXPECT_TRUE(Send(b));
        return b.ReturnCode();
    }
};

TEST_F(AxisData, QueuedPerStationStartedTogetherByLkStart) {
    EXPECT_EQ(Record(1, 0, 1000), 0);  // 60 ms alone
    EXPECT_EQ(Record(3, 0, 5000), 0);  // 260 ms alone
    EXPECT_EQ(board_.Axis(1).axis_data, 1);
    EXPECT_FALSE(board_.Axis(1).moving) << "nothing moves before the start";
    EXPECT_EQ(Request(qrl::kSelLkStart, 64, 0, 0), 0);
    EXPECT_EQ(Read(1).code(), 0x35);
    Advance(130);  // halfway for both: they share the longer duration
    EXPECT_EQ(board_.Axis(1).command, 500);
    EXPECT_EQ(board_.Axis(3).command, 2500);
    Advance(130 + kFollowLagMs);
    EXPECT_TRUE(Read(1).ready());
    EXPECT_TRUE(Read(3).ready());
    EXPECT_EQ(board_.Axis(1).feedback, 1000);
    EXPECT_EQ(board_.Axis(3).feedback, 5000);
    EXPECT_EQ(board_.Axis(1).axis_data, 0);
    EXPECT_EQ(Request(qrl::kSelLkStart, 64), rc::kNothingToStart);
}

TEST_F(AxisData, MaskSelectsClearEmptiesAndBadRecordsAreRefused) {
    EXPECT_EQ(Record(1, 0, 100), 0);
    EXPECT_EQ(Record(3, 0, 100), 0);
    EXPECT_EQ(Request(qrl::kSelLkStart, 64, 0, 0b100), 0);  // station 3 only
    EXPECT_FALSE(board_.Axis(1).moving);
    EXPECT_TRUE(board_.Axis(3).moving);
    EXPECT_EQ(Request(qrl::kSelAxdtClr, 64, 0, 0), 0);
    EXPECT_EQ(board_.Axis(1).axis_data, 0);
    EXPECT_EQ(Record(2, 0, 1), rc::kBadStation);
    CommandBuffer b;
    qrl::SetTemplateEntryBits(b, 0, qrl::kSelAxisData, 64, qrl::kTplFeed, 16, 1);
    ASSERT_TRUE(Send(b));
    EXPECT_EQ(b.ReturnCode(), rc::kBadRecord);
    for (int i = 0; i < kAxisDataCapacity; ++i) ASSERT_EQ(Record(4, 0, i), 0);
    EXPECT_EQ(Record(4, 0, 0), rc::kQueueFull);
}

// ---- Hostile buffers ----------------------------------------------------------

class Hostile : public BoardTest {};

TEST_F(Hostile, CountIsClampedAndEntriesBeyondItUntouched) {
    for (int32_t count : {-1, INT32_MIN, 0, 22, 1000, INT32_MAX}) {
        CommandBuffer b;
        for (int k = 0; k < 21; ++k) {
            qrl::SetByteEntry(b, k, qrl::kSelWrite, 2048 + k, 1);
            b.SetField(k, qrl::kReturnCode, 77);
        }
        b.SetCount(count);
        ASSERT_TRUE(Send(b)) << count;
        int done = count < 0 ? 0 : std::min(count, 21);
        for (int k = 0; k < 21; ++k) EXPECT_EQ(b.ReturnCode(k), k < done ? 0 : 77) << count << "/" << k;
    }
}

TEST_F(Hostile, SizesAndOffsetsOutsideMemoryAreRefused) {
    struct Case { int32_t select, size, offset, want; } cases[] = {
        {1, 37, 1088, rc::kBadSize}, {1, -1, 1088, rc::kBadSize}, {2, INT32_MAX, 0, rc::kBadSize},
        {1, 17, -1, rc::kBadOffset}, {1, 17, kMemorySize - 16, rc::kBadOffset}, {2, 1, kMemorySize, rc::kBadOffset},
        {2, 36, INT32_MAX, rc::kBadOffset}, {2, 36, INT32_MIN, rc::kBadOffset}, {1, 36, kMemorySize - 36, 0},
        {2, 0, kMemorySize, 0}, {15, 40, 0, rc::kBadSize}, {15, 16, -64, rc::kBadStation},
        {18, 16, INT32_MAX, rc::kBadStation}, {3, 16, 8192, rc::kBadStation}, {3, 4, 64, rc::kBadSize},
        {6, 16, -64, rc::kBadStation}, {0, 16, 0, rc::kUnknownSelect}, {13, 16, 64, rc::kUnknownSelect},
        {-5, 16, 64, rc::kUnknownSelect}, {19, 16, 64, rc::kUnknownSelect},
    };
    for (const Case& c : cases) {
        CommandBuffer b;
        b.SetCount(1);
        b.SetField(0, qrl::kSelectCode, c.select);
        b.SetField(0, qrl::kSize, c.size);
        b.SetField(0, qrl::kOffset, c.offset);
        ASSERT_TRUE(Send(b));
        EXPECT_EQ(b.ReturnCode(), c.want) << c.select << " " << c.size << " " << c.offset;
    }
}

TEST_F(Hostile, RandomBuffersNeverCrash) {
    BringUp(kThreeAxes);
    std::mt19937 rng(7105);
    for (int i = 0; i < 3000; ++i) {
        CommandBuffer b;
        for (auto& byte : b.raw) byte = static_cast<uint8_t>(rng());
        // Half of them with plausible fields, so the station code paths are reached too.
        if (i % 2) {
            b.SetCount(static_cast<int32_t>(rng() % 23) - 1);
            for (int k = 0; k < 21; ++k) {
                b.SetField(k, qrl::kSelectCode, static_cast<int32_t>(rng() % 20));
                b.SetField(k, qrl::kSize, static_cast<int32_t>(rng() % 40));
                b.SetField(k, qrl::kOffset, static_cast<int32_t>(rng() % 16) * 64 + (rng() % 4 ? 0 : 1024));
                b.Data(k)[0] = 0x03;
            }
        }
        ASSERT_TRUE(Send(b, i % 3 ? qrl::kIoctlCommand : qrl::kIoctlDirect));
        Advance(static_cast<int64_t>(rng() % 50));
    }
    // The board still answers sensibly afterwards.
    board_.Reset();
    BringUp(kThreeAxes);
    EXPECT_EQ(Read(1).code(), 0x0D);
}

TEST_F(Hostile, ClockSteppingBackNeverRewindsAMove) {
    BringUp(kThreeAxes);
    ServoOn(1);
    ASSERT_EQ(CmdWord(1, qrl::kTplFeed, 9, 1000), 0);
    Advance(30);
    int32_t at30 = Read(1).mon1();
    now_ -= 1000;
    EXPECT_GE(Read(1).mon1(), at30);
}

// ---- Injected faults -------------------------------------------------------------

class Faults : public BoardTest {
protected:
    void SetUp() override { BringUp(kMixed); }
};

TEST_F(Faults, FailedExchangesLeaveTheBufferAlone) {
    board_.FailExchanges(2);
    CommandBuffer b;
    qrl::SetTemplateEntry(b, 0, qrl::kSelRead, qrl::ResponseArea(1), qrl::kTplZero, 17);
    b.SetField(0, qrl::kReturnCode, 55);
    EXPECT_FALSE(Send(b));
    EXPECT_FALSE(Send(b));
    EXPECT_EQ(b.ReturnCode(), 55);
    EXPECT_EQ(b.Data(0)[1], 0);
    EXPECT_TRUE(Send(b));
    EXPECT_EQ(b.Data(0)[1], 0x0D);
}

TEST_F(Faults, InjectedBusyForNExchangesOnOneStation) {
    board_.InjectReturnCode(1, kBusyCode, 2);
    ServoOn(3);  // other stations are not affected and do not use up the count
    for (int pass = 0; pass < 2; ++pass) {
        CommandBuffer b;
        qrl::SetTemplateEntry(b, 0, qrl::kSelWrite, 64, qrl::kTplSvOn, 16);
        ASSERT_TRUE(Send(b));
        EXPECT_EQ(b.ReturnCode(), kBusyCode) << pass;
        EXPECT_EQ(board_.Axis(1).code, 0x0D) << "a busy answer performs nothing";
    }
    EXPECT_EQ(Cmd(1, qrl::kTplSvOn), 0);
    EXPECT_EQ(board_.Axis(1).code, 0x31);
}

TEST_F(Faults, InjectedFinalCodeOnTheBoardsOwnRequests) {
    board_.InjectReturnCode(0, -40000, 1);
    EXPECT_EQ(Request(qrl::kSelIpNumGet), -40000);
    EXPECT_EQ(Request(qrl::kSelIpNumGet), 0);
}

TEST_F(Faults, SilentStationNeverReadiesAndIgnoresCommands) {
    board_.SetSilent(1, true);
    Response r = Read(1);
    EXPECT_FALSE(r.ready());
    EXPECT_EQ(r.code(), 0x0D) << "the last answer stays";
    ASSERT_EQ(Cmd(1, qrl::kTplAlarmClear), 0);
    Advance(3000);
    r = Read(1);
    EXPECT_EQ(r.code(), 0x0D);
    EXPECT_FALSE(r.ready());
    EXPECT_TRUE(Read(3).ready()) << "the others answer";
    board_.SetSilent(1, false);
    EXPECT_TRUE(Read(1).ready());
    ASSERT_EQ(Cmd(1, qrl::kTplAlarmClear), 0);
    EXPECT_EQ(Read(1).code(), 0x06);
}

TEST_F(Faults, SilentIoStation) {
    board_.SetSilent(2, true);
    CommandBuffer b;
    qrl::SetTemplateEntry(b, 0, qrl::kSelInput, qrl::CommandArea(2), qrl::kTplZero, 16);
    ASSERT_TRUE(Send(b));
    EXPECT_EQ(b.ReturnCode(), rc::kNoAnswer);
    qrl::SetTemplateEntry(b, 0, qrl::kSelIoInit, qrl::CommandArea(2), qrl::kTplZero, 16);
    ASSERT_TRUE(Send(b));
    EXPECT_EQ(b.ReturnCode(), rc::kNoAnswer);
}

TEST_F(Faults, RaisedAlarmAndReset) {
    board_.RaiseAlarm(3, 0x55);
    EXPECT_EQ(Read(3).alarm(), 0x55);
    board_.Reset();
    EXPECT_EQ(board_.KindOf(3), Kind::None);
    for (uint8_t v : board_.Memory(1024, 64)) EXPECT_EQ(v, 0);
}

TEST_F(Faults, ControlBlockOps) {
    uint8_t b[1264] = {};
    auto op = [&](uint32_t o, int32_t st, int32_t a1, int32_t a2) {
        std::memset(b, 0, sizeof b);
        qrl::PutU32(b, o), qrl::PutI32(b + 4, st), qrl::PutI32(b + 8, a1), qrl::PutI32(b + 12, a2);
    };
    op(ctl::kSetInputs, 2, 14, 2);
    b[16] = 0xAB, b[17] = 0xCD;
    ASSERT_TRUE(board_.Control(b));
    EXPECT_EQ(board_.Inputs(2)[14], 0xAB);
    EXPECT_EQ(board_.Inputs(2)[15], 0xCD);
    op(ctl::kSetInputs, 2, 15, 2);
    EXPECT_FALSE(board_.Control(b)) << "past the 16th byte";
    // Offsets and counts come from the pipe: their sum must not overflow into a
    // small number that passes the bounds check.
    for (int32_t big : {0x7FFFFFFF, 0x40000000}) {
        op(ctl::kSetInputs, 2, big, big);
        EXPECT_FALSE(board_.Control(b)) << big;
        op(ctl::kSetInputs, 2, 1, big);
        EXPECT_FALSE(board_.Control(b)) << big;
    }
    op(ctl::kSetInputs, 16, 0, 1);
    EXPECT_FALSE(board_.Control(b));
    op(ctl::kQuery, 2, 0, 0);
    ASSERT_TRUE(board_.Control(b));
    EXPECT_EQ(b[ctl::kQueryInputs + 14], 0xAB);
    EXPECT_EQ(qrl::GetI32(b + ctl::kQueryKind), 2);
    op(ctl::kReleaseInputs, -1, 0, 0);
    ASSERT_TRUE(board_.Control(b));
    EXPECT_EQ(board_.Inputs(2)[14], 0);
    op(ctl::kIoData, 1, 0x0300, 0x0200);
    ASSERT_TRUE(board_.Control(b));
    EXPECT_EQ(board_.Axis(1).iodata & 0x0300, 0x0200);
    op(ctl::kIoData, 2, 1, 1);
    EXPECT_FALSE(board_.Control(b)) << "an I/O station has no I/O data word";
    op(ctl::kSilence, 3, 1, 0);
    ASSERT_TRUE(board_.Control(b));
    EXPECT_FALSE(Read(3).ready());
    op(ctl::kRaiseAlarm, 1, 0x21, 0);
    ASSERT_TRUE(board_.Control(b));
    EXPECT_EQ(Read(1).alarm(), 0x21);
    op(ctl::kQuery, 1, 0, 0);
    ASSERT_TRUE(board_.Control(b));
    EXPECT_EQ(qrl::GetI32(b + ctl::kQueryAlarm), 0x21);
    op(ctl::kStop, 0, 0, 0);
    EXPECT_FALSE(board_.Control(b)) << "stop belongs to the stand-in";
    EXPECT_FALSE(board_.Control(nullptr));
}

TEST(Threads, ConcurrentExchangesAreSerialised) {
    VirtualBoard board;  // real clock
    std::vector<std::thread> ts;
    for (int c = 0; c < 4; ++c)
        ts.emplace_back([&board, c] {
            for (int i = 0; i < 500; ++i) {
                CommandBuffer b;
                qrl::SetByteEntry(b, 0, qrl::kSelWrite, 1 + c, static_cast<uint8_t>(i));
                board.Exchange(qrl::kIoctlCommand, b.raw);
                board.Inputs(0);
            }
        });
    for (auto& t : ts) t.join();
    for (int c = 0; c < 4; ++c) EXPECT_EQ(board.Outputs(0)[c], static_cast<uint8_t>(499));
}

}  // namespace
}  // namespace vbt
