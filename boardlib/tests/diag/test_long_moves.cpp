// A move of five seconds through the DLL, against the in-process virtual board and
// against the stand-in vx710sim.exe on a pipe of the test's own: RdyWait still gives
// up after about 2 s, QrlRdyWait with a 1 s limit gives up after about 1 s, and with
// a 10 s limit it returns 0 once the move is done, while this process uses under a
// tenth of the wall time in processor time (GetProcessTimes).
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>

#include "fault_support.h"
#include "qrlink00.h"

using namespace flt;

namespace {

// 100 000 units at the virtual board's default 20 000 units/s: 5 s, plus its 10 ms
// acceleration time and the 8 ms the feedback trails.
constexpr int32_t kDistance = 100000;
constexpr double kMoveMs = 5010;
// Under Wine a wait may overrun its limit by the scheduling of its loop, never by
// a second and a half (as the fault tests allow); it never ends early.
constexpr double kOverrunMs = 1500;
constexpr double kMaxCpuShare = 0.10;

// This process's processor time (user + kernel), in ms.
double ProcessCpuMs() {
    FILETIME created, exited, kernel, user;
    if (!GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user)) return -1;
    auto ms = [](const FILETIME& t) {
        return static_cast<double>((static_cast<uint64_t>(t.dwHighDateTime) << 32) | t.dwLowDateTime) / 10000.0;
    };
    return ms(kernel) + ms(user);
}

struct Measured {
    int32_t result;
    double wall_ms, cpu_ms;
    double share() const { return wall_ms > 0 ? cpu_ms / wall_ms : 1; }
};

template <typename Fn>
Measured Measure(Fn fn) {
    const double c0 = ProcessCpuMs(), t0 = NowMs();
    const int32_t r = fn();
    return {r, NowMs() - t0, ProcessCpuMs() - c0};
}

// The device the test runs against: "sim", or a stand-in started for the test.
class LongMove : public ::testing::TestWithParam<const char*> {
protected:
    void SetUp() override {
        std::string device = GetParam();
        if (device == "pipe") {
            device = UniquePipeName("long");
            server_ = std::make_unique<SimProcess>(device);
            ASSERT_TRUE(server_->Start()) << SimExePath();
        }
        env_ = std::make_unique<DeviceEnv>(device);
        ASSERT_EQ(InitDll(1), QRL_OK);
        int32_t types[15] = {0x01};
        ASSERT_EQ(BdOpen(0, 10, 0, types), QRL_OK);
        ASSERT_EQ(types[0], 0x01);
        ASSERT_EQ(SvOn(1), QRL_OK);
    }
    void TearDown() override {
        SvOff(1);
        BdClose(0);
        env_.reset();
        server_.reset();
    }
    int32_t Position() {
        int32_t pos = 0;
        EXPECT_EQ(MonGet(1, 1, &pos), QRL_OK);
        return pos;
    }

    std::unique_ptr<SimProcess> server_;
    std::unique_ptr<DeviceEnv> env_;
};

TEST_P(LongMove, RdyWaitGivesUpQrlRdyWaitWaitsItOutAsleep) {
    const int32_t start = Position();

    // The first move: RdyWait's 2 s, then a 1 s limit, then a 10 s one.
    const double moved = NowMs();
    ASSERT_EQ(AxFeed(1, kDistance), QRL_OK);
    const Measured old_wait = Measure([] { return RdyWait(1); });
    EXPECT_EQ(old_wait.result, QRL_E_RDYWAIT);
    EXPECT_GE(old_wait.wall_ms, 2000.0);
    EXPECT_LE(old_wait.wall_ms, 2000.0 + kOverrunMs);
    const Measured short_wait = Measure([] { return QrlRdyWait(1, 1000); });
    EXPECT_EQ(short_wait.result, QRL_E_RDYWAIT) << "a 1 s limit on a 5 s move";
    EXPECT_GE(short_wait.wall_ms, 1000.0);
    EXPECT_LE(short_wait.wall_ms, 1000.0 + kOverrunMs);
    QRL_FAILURE f;
    ASSERT_EQ(QrlGetLastFailure(&f), QRL_OK);
    EXPECT_STREQ(f.function, "QrlRdyWait");
    EXPECT_EQ(f.origin, QRL_ORIGIN_TIMEOUT);
    EXPECT_EQ(f.station, 1);
    const Measured rest = Measure([] { return QrlRdyWait(1, 10000); });
    const double first_move_ms = NowMs() - moved;
    EXPECT_EQ(rest.result, QRL_OK);
    EXPECT_GE(first_move_ms, kMoveMs - 50) << "returned before the move was over";
    EXPECT_LE(first_move_ms, kMoveMs + kOverrunMs);
    EXPECT_EQ(Position(), start + kDistance);

    // The second move, waited for whole with a 10 s limit: processor time is
    // measured over all of it.
    const double moved2 = NowMs();
    ASSERT_EQ(AxFeed(1, -kDistance), QRL_OK);
    const Measured wait = Measure([] { return QrlRdyWait(1, 10000); });
    const double second_move_ms = NowMs() - moved2;
    EXPECT_EQ(wait.result, QRL_OK);
    EXPECT_GE(second_move_ms, kMoveMs - 50);
    EXPECT_LE(second_move_ms, kMoveMs + kOverrunMs);
    EXPECT_EQ(Position(), start);
    EXPECT_LT(wait.share(), kMaxCpuShare) << wait.cpu_ms << " ms of processor time in " << wait.wall_ms << " ms";
    // The measure sees processor time: RdyWait's 2 s of yielding polls used much of
    // a processor (more than the sleeping wait by far, even on a loaded machine).
    EXPECT_GT(old_wait.share(), 3 * wait.share()) << "RdyWait " << old_wait.cpu_ms << " ms in " << old_wait.wall_ms;
    std::printf("[ cpu ] %s: RdyWait %.0f ms of processor time in %.0f ms (%.1f %%); QrlRdyWait(1, 10000) %.0f ms "
                "in %.0f ms (%.2f %%); move seen done %.0f ms after it began\n",
                GetParam(), old_wait.cpu_ms, old_wait.wall_ms, 100 * old_wait.share(), wait.cpu_ms, wait.wall_ms,
                100 * wait.share(), second_move_ms);
}

// QrlRspWait waits for a response code as long as asked, the same way: the feed's
// code 0x36 is there at once; a code that never comes ends the wait at its limit.
TEST_P(LongMove, RspWaitFormHonoursItsLimit) {
    ASSERT_EQ(AxFeed(1, 2000), QRL_OK);
    EXPECT_EQ(QrlRspWait(1, 0x36, QRL_WAIT_FOREVER), QRL_OK);
    const Measured never = Measure([] { return QrlRspWait(1, 0x35, 700); });
    EXPECT_EQ(never.result, QRL_E_RSPWAIT);
    EXPECT_GE(never.wall_ms, 700.0);
    EXPECT_LE(never.wall_ms, 700.0 + kOverrunMs);
    EXPECT_LT(never.share(), kMaxCpuShare);
    EXPECT_EQ(QrlRdyWait(1, QRL_WAIT_FOREVER), QRL_OK);
    EXPECT_EQ(AxFeed(1, -2000), QRL_OK);
    EXPECT_EQ(QrlRdyWait(1, QRL_WAIT_FOREVER), QRL_OK);
}

INSTANTIATE_TEST_SUITE_P(Devices, LongMove, ::testing::Values("sim", "pipe"),
                         [](const ::testing::TestParamInfo<const char*>& i) { return std::string(i.param); });

}  // namespace
