// QrlRdyWait and QrlRspWait on the fake clock: the caller's limit to the
// millisecond (a limit of N ms gives the timeout status exactly when more than N
// ms have passed), 0 as a single read, no limit at all, the sleeping between
// reads, and the same results as RdyWait and RspWait otherwise.
#include <algorithm>
#include <functional>
#include <string>

#include "command_fixture.h"

using namespace qrl;
using namespace cmdtest;

namespace {

// Station `station`'s response area as the wait reads it: the code and status of
// `after` from `ready_after_ms` into the first read on, `before` until then. Keeps
// only the last exchanges, so that waits of many simulated seconds stay small.
struct ReadyAfter {
    int station;
    int64_t ready_after_ms;
    uint8_t code;
    uint16_t status_before, status_after;
    int64_t t0 = -1;
    bool operator()(uint32_t, CommandBuffer& b, fake::ScriptedDriver& d) {
        if (d.log.size() > 64) d.log.erase(d.log.begin(), d.log.end() - 16);
        if (b.Field(0, kSelectCode) != kSelRead || b.Field(0, kOffset) != ResponseArea(station)) return false;
        const int64_t now = d.clock->NowMs();
        if (t0 < 0) t0 = now;
        const bool late = now - t0 >= ready_after_ms;
        uint8_t* r = b.Data(0);
        std::memset(r, 0, 17);
        r[0] = 0x03;
        r[kRspCode] = code;
        PutU16(r + kRspStatus, late ? status_after : status_before);
        b.SetField(0, kReturnCode, 0);
        return true;
    }
};

class LongWaits : public CommandTest {
protected:
    void SetUp() override { OpenDefault(); }

    struct Outcome {
        int32_t result;
        int64_t elapsed_ms;
        size_t reads;
    };
    // Runs `wait` with station 1 ready (status bit 2) from `ready_after_ms` on.
    Outcome Run(std::function<int32_t()> wait, int64_t ready_after_ms) {
        drv().Clear();
        drv().script = ReadyAfter{1, ready_after_ms, 0x36, 0x0000, kStatusReady};
        reads_ = 0;
        const int64_t start = clock().now;
        auto counting = drv().script;
        drv().script = [this, counting](uint32_t io, CommandBuffer& b, fake::ScriptedDriver& d) mutable {
            ++reads_;
            return counting(io, b, d);
        };
        const int32_t r = wait();
        drv().script = nullptr;
        return {r, clock().now - start, reads_};
    }
    size_t reads_ = 0;
};

// The limit to the millisecond: ready at exactly N ms is in time, at N + 1 ms it is
// not; never ready, the wait returns -12 when N + 1 ms have passed, not later.
TEST_F(LongWaits, ALimitOfNMillisecondsEndsWhenMoreThanNHavePassed) {
    for (int32_t limit : {1, 2, 3, 17, 50, 101, 5000}) {
        SCOPED_TRACE("limit " + std::to_string(limit));
        Outcome in_time = Run([limit] { return QrlRdyWait(1, limit); }, limit);
        EXPECT_EQ(in_time.result, QRL_OK);
        EXPECT_EQ(in_time.elapsed_ms, limit);
        Outcome late = Run([limit] { return QrlRdyWait(1, limit); }, limit + 1);
        EXPECT_EQ(late.result, QRL_E_RDYWAIT);
        EXPECT_EQ(late.elapsed_ms, limit + 1);
    }
}

// 0 is one read: the answer of that moment, without any pause.
TEST_F(LongWaits, ALimitOfZeroReadsOnce) {
    Outcome ready = Run([] { return QrlRdyWait(1, 0); }, 0);
    EXPECT_EQ(ready.result, QRL_OK);
    EXPECT_EQ(ready.reads, 1u);
    Outcome not_ready = Run([] { return QrlRdyWait(1, 0); }, 1);
    EXPECT_EQ(not_ready.result, QRL_E_RDYWAIT);
    EXPECT_EQ(not_ready.reads, 1u);
    EXPECT_EQ(not_ready.elapsed_ms, 0);
    EXPECT_TRUE(clock().sleeps.empty());
    Outcome rsp = Run([] { return QrlRspWait(1, 0x37, 0); }, 0);
    EXPECT_EQ(rsp.result, QRL_E_RSPWAIT);
    EXPECT_EQ(rsp.reads, 1u);
}

// QRL_WAIT_FOREVER: a station that answers after 100 simulated seconds (fifty
// times RdyWait's limit, and more than an int16 of milliseconds) is waited for.
TEST_F(LongWaits, NoLimitWaitsAsLongAsItTakes) {
    Outcome o = Run([] { return QrlRdyWait(1, QRL_WAIT_FOREVER); }, 100000);
    EXPECT_EQ(o.result, QRL_OK);
    EXPECT_GE(o.elapsed_ms, 100000);
    EXPECT_LT(o.elapsed_ms, 100000 + kPollSleepMaxMs);
    Outcome r = Run([] { return QrlRspWait(1, 0x36, QRL_WAIT_FOREVER); }, 0);
    EXPECT_EQ(r.result, QRL_OK);
    EXPECT_EQ(r.reads, 1u);
}

// After the first 2 ms the wait sleeps between reads instead of yielding: 1 ms at
// first, then elapsed/16 ms up to 4 ms. Over a 5-second wait it reads about 250
// times a second and spends the time asleep; RdyWait keeps its yield per pass and
// never sleeps.
TEST_F(LongWaits, AfterTwoMillisecondsTheWaitSleepsBetweenReads) {
    clock().sleeps.clear();
    const int64_t yields_before = clock().yields;
    Outcome o = Run([] { return QrlRdyWait(1, 10000); }, 5000);
    EXPECT_EQ(o.result, QRL_OK);
    EXPECT_GE(o.elapsed_ms, 5000);
    EXPECT_LT(o.elapsed_ms, 5000 + kPollSleepMaxMs);
    EXPECT_LE(o.reads, 5000u / kPollSleepMaxMs + 64) << "about one read per 4 ms";
    EXPECT_EQ(clock().yields - yields_before, kPollSpinMs) << "yields only in the first 2 ms";
    int64_t slept = 0;
    for (uint32_t ms : clock().sleeps) {
        EXPECT_GE(ms, 1u);
        EXPECT_LE(ms, static_cast<uint32_t>(kPollSleepMaxMs));
        slept += ms;
    }
    EXPECT_EQ(slept + kPollSpinMs, o.elapsed_ms) << "the rest of the time asleep";

    clock().sleeps.clear();
    Outcome old = Run([] { return RdyWait(1); }, 1500);
    EXPECT_EQ(old.result, QRL_OK);
    EXPECT_TRUE(clock().sleeps.empty()) << "RdyWait is as it was: it never sleeps";
}

// The end of the wait comes less than a sixteenth of the time waited (and less than
// 4 ms) after the answer, and within a millisecond in the first 32 ms.
TEST_F(LongWaits, TheAnswerIsSeenPromptly) {
    for (int64_t ready : {1, 2, 3, 10, 20, 31, 40, 70, 300, 4001}) {
        Outcome o = Run([] { return QrlRdyWait(1, QRL_WAIT_FOREVER); }, ready);
        const int64_t late = o.elapsed_ms - ready;
        EXPECT_GE(late, 0) << "ready at " << ready;
        EXPECT_LT(late, std::min<int64_t>(std::max<int64_t>(ready / 16, 1), kPollSleepMaxMs)) << "ready at " << ready;
    }
}

// No pause after the read that ends the wait: the answer is returned at once.
TEST_F(LongWaits, NoSleepAfterTheAnswer) {
    clock().sleeps.clear();
    Outcome o = Run([] { return QrlRdyWait(1, 1000); }, 10);
    EXPECT_EQ(o.result, QRL_OK);
    EXPECT_EQ(o.elapsed_ms, 10);
    EXPECT_EQ(clock().sleeps.size(), 10u - kPollSpinMs);
}

// QrlRspWait matches the low byte of its code, unsigned, and ignores the status
// word, as RspWait does; its limit works as QrlRdyWait's.
TEST_F(LongWaits, RspWaitFormMatchesTheLowByteAndHonoursItsLimit) {
    Respond(1, 0xB6, 0x0000);
    EXPECT_EQ(QrlRspWait(1, 0xB6, 0), QRL_OK);
    EXPECT_EQ(QrlRspWait(1, 0x1B6, 0), QRL_OK);
    EXPECT_EQ(QrlRspWait(1, -0x4A, 0), QRL_OK) << "-0x4A has the low byte 0xB6";
    drv().Clear();
    const int64_t start = clock().now;
    EXPECT_EQ(QrlRspWait(1, 0x36, 300), QRL_E_RSPWAIT);
    EXPECT_EQ(clock().now - start, 301);
    EXPECT_LE(Exchanges(), 301u / 4 + 32) << "asleep between reads";
}

// Results other than the timeout are RdyWait's: an exchange that fails and a final
// driver code end even an unlimited wait at once; busy codes poll on.
TEST_F(LongWaits, FailuresAndFinalCodesEndEvenAnUnlimitedWait) {
    int looks = 0;
    drv().script = [&looks](uint32_t, CommandBuffer& b, fake::ScriptedDriver&) {
        ++looks;
        PutU16(b.Data(0) + kRspStatus, 0);
        b.SetField(0, kReturnCode, looks < 5 ? (looks % 2 ? 1 : -32769) : -32801);
        return true;
    };
    EXPECT_EQ(QrlRdyWait(1, QRL_WAIT_FOREVER), -32801);
    EXPECT_EQ(looks, 5);
    drv().script = nullptr;
    drv().fail_all = true;
    EXPECT_EQ(QrlRdyWait(1, QRL_WAIT_FOREVER), QRL_E_IO);
    EXPECT_EQ(QrlRspWait(1, 0x36, QRL_WAIT_FOREVER), QRL_E_IO);
}

// Arguments before the open check: a bad station or a limit below -1 is -2 with no
// exchange, whether the board is open or not; a good call on a closed board is -5.
TEST_F(LongWaits, ArgumentsAreCheckedBeforeTheBoardIsOpen) {
    drv().Clear();
    for (int32_t bad : {-2, -1000, INT32_MIN}) {
        EXPECT_EQ(QrlRdyWait(1, bad), QRL_E_ARG) << bad;
        EXPECT_EQ(QrlRspWait(1, 0x36, bad), QRL_E_ARG) << bad;
    }
    EXPECT_EQ(QrlRdyWait(0, 10), QRL_E_ARG);
    EXPECT_EQ(QrlRspWait(16, 0x36, 10), QRL_E_ARG);
    EXPECT_EQ(Exchanges(), 0u);
    ASSERT_EQ(BdClose(0), QRL_OK);
    EXPECT_EQ(QrlRdyWait(1, -2), QRL_E_ARG);
    EXPECT_EQ(QrlRdyWait(1, QRL_WAIT_FOREVER), QRL_E_NOTOPEN);
    EXPECT_EQ(QrlRspWait(1, 0, 0), QRL_E_NOTOPEN);
}

}  // namespace
