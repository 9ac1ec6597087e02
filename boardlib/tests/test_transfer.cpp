// SendCommand's retry rule and the five polling waits: thresholds, limits, entry 0.
#include <gtest/gtest.h>

#include "board.h"
#include "fakes.h"

using namespace qrl;

namespace {

// A scope with an open device (no bring-up) and a script answering every entry 0
// with `rc` on every pass.
struct Wired : fake::Scope {
    Wired() { Board().device = platform.OpenDevice(); }
    void AnswerAlways(int32_t rc) {
        driver().script = [rc](uint32_t, CommandBuffer& b, fake::ScriptedDriver&) {
            b.SetField(0, kReturnCode, rc);
            return true;
        };
    }
    size_t Exchanges() { return driver().log.size(); }
};

CommandBuffer Feed(int station) {
    CommandBuffer b;
    SetTemplateEntry(b, 0, kSelWrite, CommandArea(station), kTplFeed, 16);
    return b;
}

}  // namespace

TEST(SendCommand, BusyCodesRetryUntilStrictlyMoreThan2000ms) {
    // -32770 is still "busy" for SendCommand; so are -1 and positive codes.
    for (int32_t busy : {-32770, -1, 1, 0x7FFFFFFF}) {
        Wired w;
        w.AnswerAlways(busy);
        CommandBuffer b = Feed(1);
        EXPECT_EQ(SendCommand(b), QRL_E_TIMEOUT) << busy;
        // One pass per elapsed millisecond 0..2000: exactly 2000 ms still sends once more.
        EXPECT_EQ(w.Exchanges(), 2001u) << busy;
    }
}

TEST(SendCommand, CodesBelowMinus32770AreFinalAtOnce) {
    for (int32_t final_rc : {-32771, -40000, INT32_MIN}) {
        Wired w;
        w.AnswerAlways(final_rc);
        CommandBuffer b = Feed(1);
        EXPECT_EQ(SendCommand(b), final_rc);
        EXPECT_EQ(w.Exchanges(), 1u);
    }
}

TEST(SendCommand, BusyThenDoneReturnsZeroResendingTheWholeBuffer) {
    Wired w;
    int passes = 0;
    w.driver().script = [&](uint32_t, CommandBuffer& b, fake::ScriptedDriver&) {
        b.SetField(0, kReturnCode, ++passes < 3 ? 5 : 0);
        return true;
    };
    CommandBuffer b = Feed(1);
    SetTemplateEntry(b, 1, kSelWrite, CommandArea(2), kTplFeed, 16);
    b.SetCount(2);
    EXPECT_EQ(SendCommand(b), QRL_OK);
    ASSERT_EQ(w.Exchanges(), 3u);
    for (auto& e : w.driver().log) EXPECT_EQ(e.sent.Count(), 2) << "all entries go again on every pass";
}

TEST(SendCommand, OnlyEntryZeroDecides) {
    Wired w;
    w.driver().script = [](uint32_t, CommandBuffer& b, fake::ScriptedDriver&) {
        b.SetField(0, kReturnCode, 0);
        b.SetField(2, kReturnCode, -40000);
        return true;
    };
    CommandBuffer b = Feed(1);
    b.SetCount(3);
    EXPECT_EQ(SendCommand(b), QRL_OK);
    EXPECT_EQ(w.Exchanges(), 1u);
}

TEST(SendCommand, FailedExchangeReturnsMinusOneWithoutWaiting) {
    Wired w;
    w.driver().fail_all = true;
    CommandBuffer b = Feed(1);
    EXPECT_EQ(SendCommand(b), QRL_E_IO);
    EXPECT_EQ(w.Exchanges(), 1u);
    EXPECT_LT(w.platform.clock.now, 5);
}

TEST(SendCommand, NoDeviceIsAFailedExchange) {
    fake::Scope s;
    CommandBuffer b = Feed(1);
    EXPECT_EQ(SendCommand(b), QRL_E_IO);
    EXPECT_EQ(TransferDirect(b), QRL_E_IO);
}

TEST(TransferDirect, UsesTheDirectCodeAndTransferCommandsTheCommandCode) {
    Wired w;
    CommandBuffer b = Feed(1);
    EXPECT_EQ(TransferDirect(b), QRL_OK);
    EXPECT_EQ(TransferCommands(b), QRL_OK);
    ASSERT_EQ(w.Exchanges(), 2u);
    EXPECT_EQ(w.driver().log[0].ioctl, 0x222000u);
    EXPECT_EQ(w.driver().log[1].ioctl, 0x222004u);
}

// Each wait: the code it gives at its limit, and the response that satisfies it.
struct WaitCase {
    const char* name;
    int32_t timeout;
    int32_t limit;
    std::function<int32_t()> call;
};

TEST(Waits, ReadEntryZeroOfTheResponseArea) {
    Wired w;
    w.driver().response[3][kRspCode] = 0x06;
    EXPECT_EQ(WaitResponse(3, 6, 2000), QRL_OK);
    ASSERT_EQ(w.Exchanges(), 1u);
    const CommandBuffer& sent = w.driver().log[0].sent;
    EXPECT_EQ(sent.Count(), 1);
    EXPECT_EQ(sent.Field(0, kSelectCode), 1);
    EXPECT_EQ(sent.Field(0, kOffset), 3 * 64 + 1024);
    EXPECT_EQ(sent.Field(0, kSize), 17);
}

TEST(Waits, TimeOutStrictlyAfterTheirLimitsWithTheirOwnCodes) {
    // Responses that never satisfy: not ready, wrong code, servo never on/off.
    const WaitCase cases[] = {
        {"WaitReady", QRL_E_TIMEOUT, 2000, [] { return WaitReady(1); }},
        {"WaitResponse", QRL_E_RESPONSE, 2000, [] { return WaitResponse(1, 0x23, 2000); }},
        {"WaitResponse6000", QRL_E_RESPONSE, 6000, [] { return WaitResponse(1, 0x04, 6000); }},
        {"WaitServoOn", QRL_E_SERVOON, 2000, [] { return WaitServoOn(1); }},
    };
    for (const WaitCase& c : cases) {
        Wired w;
        w.driver().response[1][kRspStatus] = 0;  // never ready
        EXPECT_EQ(c.call(), c.timeout) << c.name;
        EXPECT_EQ(w.Exchanges(), static_cast<size_t>(c.limit + 1)) << c.name;
    }
    Wired w;
    w.driver().response[1][kRspStatus] = kStatusReady | kStatusServo;  // servo stays on
    EXPECT_EQ(WaitServoOff(1), QRL_E_SERVOOFF);
    EXPECT_EQ(w.Exchanges(), 2001u);
}

TEST(Waits, EchoAt600msPollsOnceMoreAtExactly600) {
    Wired w;
    CommandBuffer sent;
    SetTemplateEntry(sent, 0, kSelWrite, CommandArea(2), kTplStationSetup, 16);
    sent.Data(0)[5] = 0x10;
    w.driver().response[2][kRspCode] = 0x0E;  // right code, no echo of 10 in byte 5
    EXPECT_EQ(WaitEcho(0, 2, sent, 5, 9, 600), QRL_E_ECHO);
    EXPECT_EQ(w.Exchanges(), 601u);
}

TEST(Waits, ThresholdIsMinus32769) {
    {
        Wired w;
        w.AnswerAlways(-32770);
        EXPECT_EQ(WaitReady(1), -32770);
        EXPECT_EQ(w.Exchanges(), 1u);
    }
    {
        Wired w;
        w.AnswerAlways(-32769);  // still "keep polling" for the waits
        EXPECT_EQ(WaitResponse(1, 6, 2000), QRL_E_RESPONSE);
        EXPECT_EQ(w.Exchanges(), 2001u);
    }
    {
        Wired w;
        w.driver().fail_all = true;
        EXPECT_EQ(WaitServoOn(1), QRL_E_IO);
        EXPECT_EQ(w.Exchanges(), 1u);
    }
}

TEST(Waits, ConditionNeedsReturnCodeZeroAndReady) {
    Wired w;
    int pass = 0;
    w.driver().script = [&](uint32_t, CommandBuffer& b, fake::ScriptedDriver&) {
        ++pass;
        uint8_t* d = b.Data(0);
        d[kRspCode] = 0x06;
        PutU16(d + kRspStatus, pass >= 3 ? kStatusReady : 0);
        b.SetField(0, kReturnCode, pass == 3 ? 7 : 0);  // pass 3 ready but busy
        return true;
    };
    EXPECT_EQ(WaitResponse(1, 6, 2000), QRL_OK);
    EXPECT_EQ(pass, 4);
}

TEST(Waits, ResponseCodeComparesAsSignedExpectedByte) {
    Wired w;
    w.driver().response[1][kRspCode] = 0x80;
    EXPECT_EQ(WaitResponse(1, 0x80, 10), QRL_E_RESPONSE) << "codes above 127 can never match";
    w.driver().response[1][kRspCode] = 0x36;
    EXPECT_EQ(WaitResponse(1, 0x136, 10), QRL_OK) << "only the low byte of the expected code counts";
}

TEST(Waits, EchoComparesUpToTheFirstZero) {
    Wired w;
    CommandBuffer sent;
    SetTemplateEntry(sent, 0, kSelWrite, CommandArea(1), kTplPosiPut, 16);
    sent.Data(0)[5] = 0;     // item 0: the text ends at once
    sent.Data(0)[6] = 0x55;  // differs from the response below, but is never compared
    w.driver().response[1][kRspCode] = 0x20;
    w.driver().response[1][6] = 0x99;
    EXPECT_EQ(WaitEcho(0, 1, sent, 5, 9, 2000), QRL_OK);

    sent.Data(0)[5] = 2;
    w.driver().response[1][5] = 2;
    sent.Data(0)[6] = 0x02;
    sent.Data(0)[7] = 0x01;
    w.driver().response[1][6] = 0x02;
    w.driver().response[1][7] = 0x01;
    w.driver().response[1][8] = 0x00;
    w.driver().response[1][9] = 0x77;  // after the shared zero at byte 8: not compared
    EXPECT_EQ(WaitEcho(0, 1, sent, 5, 9, 2000), QRL_OK);
    w.driver().response[1][7] = 0x03;
    EXPECT_EQ(WaitEcho(0, 1, sent, 5, 9, 5), QRL_E_ECHO);
}

TEST(Waits, WaitReadyYieldsBeforeEachReadOthersAfter) {
    Wired w;
    std::vector<int64_t> yields_at_read;
    w.driver().script = [&](uint32_t, CommandBuffer& b, fake::ScriptedDriver&) {
        yields_at_read.push_back(w.platform.clock.yields);
        PutU16(b.Data(0) + kRspStatus, kStatusReady);
        b.SetField(0, kReturnCode, 0);
        return true;
    };
    EXPECT_EQ(WaitReady(1), QRL_OK);
    ASSERT_EQ(yields_at_read.size(), 1u);
    EXPECT_EQ(yields_at_read[0], 1) << "WaitReady yields before its read";
    yields_at_read.clear();
    w.platform.clock.yields = 0;
    EXPECT_EQ(WaitServoOff(1), QRL_OK);
    EXPECT_EQ(yields_at_read[0], 0) << "the other waits read first";
    EXPECT_EQ(w.platform.clock.yields, 1);
}

TEST(StationOfEntry, MapsOffsetsByRequestKind) {
    EXPECT_EQ(StationOfEntry(kSelWrite, 3 * 64), 3);
    EXPECT_EQ(StationOfEntry(kSelRead, 3 * 64 + 1024), 3);
    EXPECT_EQ(StationOfEntry(kSelRead, 3 * 64), -1);
    EXPECT_EQ(StationOfEntry(kSelInput, 15 * 64), 15);
    EXPECT_EQ(StationOfEntry(kSelIoInit, 7 * 64), 7);
    EXPECT_EQ(StationOfEntry(kSelIpStrt, 64), -1);
    EXPECT_EQ(StationOfEntry(kSelIpNumMax, 64), -1);
    EXPECT_EQ(StationOfEntry(kSelWrite, 0), -1) << "station 0 is the board, not a network station";
    EXPECT_EQ(StationOfEntry(kSelWrite, -64), -1);
    EXPECT_EQ(StationOfEntry(kSelWrite, 16 * 64), -1);
}
