// Faults on the pipe to the driver stand-in: the server killed in the middle of a
// batch, a station that stops answering, failed exchanges and busy answers
// injected by the stand-in. Every test starts its own vx710sim.exe on a pipe of its
// own and kills it at the end.
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <thread>
#include <vector>

#include "fault_support.h"
#include "qrlink00.h"

using namespace flt;

namespace {

constexpr uint16_t kReady = 0x0004, kServo = 0x0008;
// Every confirmation wait gives up after 2000 ms; under Wine a call may overrun
// that by the scheduling of the polling loop, never by a second and a half.
constexpr double kLimitMs = 2000, kLimitBoundMs = 3500;
// A failed exchange is reported at once: no wait, no retry.
constexpr double kPromptMs = 500;

struct Timed {
    int32_t result;
    double ms;
};

template <typename Fn>
Timed Time(Fn fn) {
    const double t0 = NowMs();
    const int32_t r = fn();
    return {r, NowMs() - t0};
}

// Polls the status word of a station until (status & mask) == want, at most limit_ms.
bool StatusBecomes(int32_t station, uint16_t mask, uint16_t want, double limit_ms) {
    const double end = NowMs() + limit_ms;
    do {
        uint16_t st = 0;
        if (StdtStGet(station, &st) == QRL_OK && (st & mask) == want) return true;
        Sleep(5);
    } while (NowMs() < end);
    return false;
}

// Wine keeps a few handles of its own from the first failed open of a missing pipe
// on, for the rest of the process; one such open before the counting starts keeps
// them out of the comparison.
void WarmUpMissingPipe() {
    HANDLE h = CreateFileA(UniquePipeName("none").c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                           OPEN_EXISTING, 0, nullptr);
    if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
}

struct Call {
    double start, end;
    int32_t result;
    const char* what;
};

}  // namespace

// The server process dies while a thread runs a batch of commands over four axis
// stations: every call in flight or made afterwards returns -1 at once; BdClose then
// returns -1 (its final direct write fails) and still releases the dead pipe's
// handle and the log; a BdOpen with no server returns -4 and holds nothing; a
// restarted server brings the board back.
TEST(ServerKilled, CallsFailPromptlyAndTheNextOpenAfterARestartWorks) {
    const std::string pipe = UniquePipeName("kill");
    WarmUpMissingPipe();
    SimProcess server(pipe);
    ASSERT_TRUE(server.Start()) << SimExePath();
    DeviceEnv dev(pipe);
    ASSERT_EQ(InitDll(1), QRL_OK);
    // The test's own handles, without the two it holds on the server process.
    auto own = [&] { return HandleCount() - server.handles_held(); };
    const DWORD handles0 = own();

    int32_t types[15] = {1, 1, 1, 1, 0x61};
    ASSERT_EQ(BdOpen(0, 10, 0, types), QRL_OK);
    for (int i = 0; i < 4; ++i) ASSERT_EQ(types[i], 1) << "station " << i + 1;
    ASSERT_EQ(types[4], 0x61);

    std::vector<Call> calls;
    calls.reserve(200000);
    std::atomic<int> completed{0};
    std::atomic<bool> stop{false}, finished{false};
    std::thread worker([&] {
        int failures = 0;
        auto run = [&](const char* what, auto fn) {
            const double s = NowMs();
            const int32_t r = fn();
            calls.push_back({s, NowMs(), r, what});
            ++completed;
            if (r == QRL_E_IO) ++failures;
        };
        for (int loop = 0; !stop && failures < 60; ++loop) {
            const int32_t step = loop % 2 ? -1000 : 1000;
            run("SvOn(-1)", [] { return SvOn(-1); });
            for (int n = 1; n <= 4; ++n) run("AxFeed", [n, step] { return AxFeed(n, step); });
            for (int n = 1; n <= 4; ++n) run("RdyWait", [n] { return RdyWait(n); });
            for (int n = 1; n <= 4; ++n) {
                uint16_t st;
                run("StdtStGet", [n, &st] { return StdtStGet(n, &st); });
            }
        }
        finished = true;
    });

    // Let the batch run for a while, then kill the server in the middle of it.
    const double run_until = NowMs() + 5000;
    while (completed < 60 && NowMs() < run_until) Sleep(5);
    Sleep(37);  // somewhere inside a loop, not at its start
    const double t_kill = NowMs();
    ASSERT_TRUE(server.Kill());
    const double t_gone = NowMs();

    const double end_wait = NowMs() + 10000;
    while (!finished && NowMs() < end_wait) Sleep(5);
    stop = true;
    const bool ended_in_time = finished.load();
    worker.join();
    const double t_ended = NowMs();
    ASSERT_TRUE(ended_in_time) << "the batch thread did not end within 10 s of the kill";
    ASSERT_GE(completed.load(), 60);

    double first_failure = -1, max_ms = 0, max_after_ms = 0;
    // after: calls made once the server was gone; after_kill also counts those made
    // while Kill was still waiting for the process to end, which under load can be
    // many (each fails within microseconds once the pipe has broken).
    int before = 0, after = 0, after_kill = 0;
    for (const Call& c : calls) {
        const double ms = c.end - c.start;
        if (ms > max_ms) max_ms = ms;
        EXPECT_TRUE(c.result == QRL_OK || c.result == QRL_E_IO) << c.what << " returned " << c.result;
        if (c.end < t_kill) {
            ++before;
            EXPECT_EQ(c.result, QRL_OK) << c.what << " before the kill";
        } else {
            // In flight at the kill or made afterwards: ends promptly.
            EXPECT_LE(c.end - t_gone, kPromptMs) << c.what << " ended late after the kill";
        }
        if (c.start > t_kill) ++after_kill;
        if (c.start > t_gone) {
            ++after;
            if (ms > max_after_ms) max_after_ms = ms;
            EXPECT_EQ(c.result, QRL_E_IO) << c.what << " after the server was gone";
        }
        if (c.result == QRL_E_IO && first_failure < 0) first_failure = c.end;
    }
    ASSERT_GT(before, 0);
    ASSERT_GE(after_kill, 50) << "the thread kept calling after the kill";
    ASSERT_GE(first_failure, 0);
    EXPECT_LE(first_failure - t_kill, kPromptMs);
    EXPECT_LE(max_ms, kLimitMs) << "no call of the batch may take longer than its limit";
    EXPECT_LE(max_after_ms, 100.0) << "a call on a dead pipe fails without waiting";
    std::printf("[ timing ] kill: %d calls before, %d after (%d once the process was gone, %.1f ms later); "
                "first -1 %.1f ms after the kill; longest call %.1f ms, longest after the kill %.2f ms; "
                "thread ended %.1f ms after\n",
                before, after_kill, after, t_gone - t_kill, first_failure - t_kill, max_ms, max_after_ms,
                t_ended - t_kill);

    // BdClose on the dead pipe: the final direct write fails, so -1, the board is
    // closed for commands, and the device handle released all the same.
    const Timed close = Time([] { return BdClose(0); });
    EXPECT_EQ(close.result, QRL_E_IO);
    EXPECT_LT(close.ms, 1000.0);
    uint16_t st = 0;
    EXPECT_EQ(StdtStGet(1, &st), QRL_E_NOTOPEN);
    EXPECT_EQ(own(), handles0) << "the dead pipe's handle is released";

    // No server: -4, and nothing held afterwards.
    int32_t again[15] = {1, 1, 1, 1, 0x61};
    const Timed none = Time([&] { return BdOpen(0, 10, 0, again); });
    EXPECT_EQ(none.result, QRL_E_NODEVICE);
    EXPECT_LT(none.ms, 1000.0);
    EXPECT_EQ(own(), handles0);

    // A restarted server on the same pipe: the board comes back.
    ASSERT_TRUE(server.Start());
    int32_t fresh[15] = {1, 1, 1, 1, 0x61};
    ASSERT_EQ(BdOpen(0, 10, 0, fresh), QRL_OK);
    for (int i = 0; i < 4; ++i) EXPECT_EQ(fresh[i], 1);
    EXPECT_EQ(SvOn(-1), QRL_OK);
    for (int n = 1; n <= 4; ++n) EXPECT_EQ(AxFeed(n, 1000), QRL_OK);
    for (int n = 1; n <= 4; ++n) EXPECT_EQ(RdyWait(n), QRL_OK);
    for (int n = 1; n <= 4; ++n) {
        ASSERT_EQ(StdtStGet(n, &st), QRL_OK);
        EXPECT_EQ(st & (kReady | kServo), kReady | kServo) << "station " << n;
    }
    EXPECT_EQ(SvOff(-1), QRL_OK);
    EXPECT_EQ(BdClose(0), QRL_OK);
    EXPECT_EQ(own(), handles0);
    EXPECT_TRUE(server.Kill());
}

// Station 2 of three axis stations stops answering: its response area keeps the
// last answer without "ready". Each confirmation wait runs to its limit and returns
// its own code; a batch over all three stops at station 2 after station 1 has
// confirmed (station 3 got the command but is not awaited). Answering again, the
// station works at once.
TEST(SilentStation, WaitsEndWithTheirTimeoutCodesWithinTheLimit) {
    const std::string pipe = UniquePipeName("silent");
    WarmUpMissingPipe();
    SimProcess server(pipe);
    ASSERT_TRUE(server.Start()) << SimExePath();
    DeviceEnv dev(pipe);
    ASSERT_EQ(InitDll(1), QRL_OK);
    const DWORD handles0 = HandleCount();
    int32_t types[15] = {1, 1, 1};
    ASSERT_EQ(BdOpen(0, 10, 0, types), QRL_OK);
    ASSERT_EQ(types[1], 1);

    ASSERT_TRUE(Control(pipe, kOpSilence, 2, 1, 0));
    uint16_t st = 0xFFFF;
    ASSERT_EQ(StdtStGet(2, &st), QRL_OK) << "the response area can still be read";
    EXPECT_EQ(st & kReady, 0) << "but never shows ready";

    struct Case {
        const char* what;
        int32_t (*fn)();
        int32_t expect;
    };
    const Case cases[] = {
        {"SvOn(2)", [] { return SvOn(2); }, QRL_E_SERVOON},
        {"RdyWait(2)", [] { return RdyWait(2); }, QRL_E_RDYWAIT},
        {"AlmClr(2)", [] { return AlmClr(2); }, QRL_E_RESPONSE},
        {"PosiPut(2, 1, 1234)", [] { return PosiPut(2, 1, 1234); }, QRL_E_ECHO},
        {"SvOff(2)", [] { return SvOff(2); }, QRL_E_SERVOOFF},
    };
    for (const Case& c : cases) {
        const Timed t = Time(c.fn);
        EXPECT_EQ(t.result, c.expect) << c.what;
        EXPECT_GT(t.ms, kLimitMs) << c.what << " gave up before its limit";
        EXPECT_LT(t.ms, kLimitBoundMs) << c.what << " ran far past its limit";
        std::printf("[ timing ] silent station: %s = %d after %.1f ms\n", c.what, t.result, t.ms);
    }

    // The batch: station 1 confirms, station 2 times out, station 3 is not awaited.
    const Timed batch = Time([] { return SvOn(-1); });
    EXPECT_EQ(batch.result, QRL_E_SERVOON);
    EXPECT_GT(batch.ms, kLimitMs);
    EXPECT_LT(batch.ms, kLimitBoundMs);
    std::printf("[ timing ] silent station: SvOn(-1) = %d after %.1f ms\n", batch.result, batch.ms);
    ASSERT_EQ(StdtStGet(1, &st), QRL_OK);
    EXPECT_EQ(st & (kReady | kServo), kReady | kServo) << "station 1, before the silent one, confirmed";
    EXPECT_TRUE(StatusBecomes(3, kServo, kServo, 500)) << "station 3 got the command in the same buffer";
    ASSERT_EQ(StdtStGet(2, &st), QRL_OK);
    EXPECT_EQ(st & kServo, 0) << "the silent station ignored it";

    // Answering again.
    ASSERT_TRUE(Control(pipe, kOpSilence, 2, 0, 0));
    const Timed on = Time([] { return SvOn(2); });
    EXPECT_EQ(on.result, QRL_OK);
    EXPECT_LT(on.ms, 500.0);
    EXPECT_EQ(RdyWait(2), QRL_OK);
    EXPECT_EQ(AlmClr(2), QRL_OK);
    EXPECT_EQ(PosiPut(2, 1, 1234), QRL_OK);
    EXPECT_EQ(SvOn(-1), QRL_OK);
    EXPECT_EQ(SvOff(-1), QRL_OK);

    EXPECT_EQ(BdClose(0), QRL_OK);
    EXPECT_EQ(HandleCount(), handles0);
    EXPECT_TRUE(server.Kill());
}

// The stand-in fails the next N exchanges: exactly the calls made during them
// return -1, at once, and the next call works. A failed bring-up write makes BdOpen
// return -1; the next BdOpen works and the failed one's handle is not leaked.
// Busy answers (ReturnCode 1) keep a command retrying until -7 after 2000 ms.
TEST(FailedExchanges, CallsDuringThemReturnMinus1AndTheLibraryRecovers) {
    const std::string pipe = UniquePipeName("fail");
    WarmUpMissingPipe();
    SimProcess server(pipe);
    ASSERT_TRUE(server.Start()) << SimExePath();
    DeviceEnv dev(pipe);
    ASSERT_EQ(InitDll(1), QRL_OK);
    const DWORD handles0 = HandleCount();
    int32_t types[15] = {1, 1, 0x61};
    ASSERT_EQ(BdOpen(0, 10, 0, types), QRL_OK);
    ASSERT_EQ(types[0], 1);
    ASSERT_EQ(types[2], 0x61);

    uint16_t st = 0;
    ASSERT_TRUE(Control(pipe, kOpFailExchanges, 0, 1, 0));
    Timed t = Time([] { return SvOn(1); });
    EXPECT_EQ(t.result, QRL_E_IO);
    EXPECT_LT(t.ms, 100.0) << "a failed exchange is not retried";
    Sleep(100);  // the servo bit would follow within 30 ms had the command arrived
    ASSERT_EQ(StdtStGet(1, &st), QRL_OK);
    EXPECT_EQ(st & kServo, 0) << "the failed exchange never reached the station";

    // Three failures, three calls that each fail on their first exchange, then success.
    ASSERT_TRUE(Control(pipe, kOpFailExchanges, 0, 3, 0));
    int32_t pos = 0;
    uint16_t in = 0;
    const Timed f1 = Time([] { return RdyWait(1); });
    const Timed f2 = Time([&] { return MonGet(1, 1, &pos); });
    const Timed f3 = Time([&] { return D16in(3, 1, 0, 0, &in); });
    EXPECT_EQ(f1.result, QRL_E_IO);
    EXPECT_EQ(f2.result, QRL_E_IO);
    EXPECT_EQ(f3.result, QRL_E_IO);
    for (const Timed& f : {f1, f2, f3}) EXPECT_LT(f.ms, 100.0);
    EXPECT_EQ(StdtStGet(1, &st), QRL_OK) << "the fourth exchange is served again";
    EXPECT_EQ(SvOn(1), QRL_OK);
    EXPECT_EQ(StdtStGet(1, &st), QRL_OK);
    EXPECT_EQ(st & (kReady | kServo), kReady | kServo);
    std::printf("[ timing ] failed exchanges: SvOn %.2f ms, RdyWait %.2f ms, MonGet %.2f ms, D16in %.2f ms\n",
                t.ms, f1.ms, f2.ms, f3.ms);

    // Busy answers for station 1: SendCommand retries until its 2000 ms are up.
    ASSERT_TRUE(Control(pipe, kOpInjectCode, 1, 1, 1000000));
    t = Time([] { return AxFeed(1, 500); });
    EXPECT_EQ(t.result, QRL_E_TIMEOUT);
    EXPECT_GT(t.ms, kLimitMs);
    EXPECT_LT(t.ms, kLimitBoundMs);
    std::printf("[ timing ] busy answers: AxFeed = %d after %.1f ms\n", t.result, t.ms);
    ASSERT_TRUE(Control(pipe, kOpInjectCode, 1, 1, 0));
    EXPECT_EQ(AxFeed(1, 500), QRL_OK);
    EXPECT_EQ(RdyWait(1), QRL_OK);

    // The close batch failing alone does not fail BdClose; its final write does.
    ASSERT_TRUE(Control(pipe, kOpFailExchanges, 0, 1, 0));
    EXPECT_EQ(BdClose(0), QRL_OK) << "the close goes on whatever the close batch got";
    EXPECT_EQ(HandleCount(), handles0);

    // A bring-up write failing: -1, then the next open works.
    ASSERT_TRUE(Control(pipe, kOpFailExchanges, 0, 1, 0));
    int32_t again[15] = {1, 1, 0x61};
    EXPECT_EQ(BdOpen(0, 10, 0, again), QRL_E_IO);
    EXPECT_EQ(StdtStGet(1, &st), QRL_E_NOTOPEN);
    ASSERT_EQ(BdOpen(0, 10, 0, again), QRL_OK);
    EXPECT_EQ(again[0], 1);
    EXPECT_EQ(SvOn(-1), QRL_OK);
    EXPECT_EQ(AxFeed(2, 1000), QRL_OK);
    EXPECT_EQ(RdyWait(2), QRL_OK);
    EXPECT_EQ(SvOff(-1), QRL_OK);
    EXPECT_EQ(BdClose(0), QRL_OK);
    EXPECT_EQ(HandleCount(), handles0) << "the failed open's handle was released by the next open";
    EXPECT_TRUE(server.Kill());
}
