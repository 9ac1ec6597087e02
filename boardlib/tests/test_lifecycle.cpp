// InitDll, BdOpen, BdClose, Config, IdGet and VerGet against the scripted driver.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>

#include "board.h"
#include "fakes.h"
#include "settings_layout.h"

using namespace qrl;

namespace {

// Types for a mixed network: axis 1, I/O 2 (0x61), axis 3 (0x41), axis 5.
void MixedTypes(int32_t* t) {
    for (int i = 0; i < 15; ++i) t[i] = 0;
    t[0] = 0x01;
    t[1] = 0x61;
    t[2] = 0x41;
    t[4] = 0x02;
}

struct Opened : fake::Scope {
    int32_t types[15];
    int32_t open_result;
    explicit Opened(int32_t rate = 10, int32_t cycle = 0) {
        MixedTypes(types);
        InitDll(1);
        open_result = BdOpen(0, rate, cycle, types);
    }
};

std::string EntryText(const CommandBuffer& b, int k) {
    char s[96];
    std::snprintf(s, sizeof s, "sel %d off %d size %d", b.Field(k, kSelectCode), b.Field(k, kOffset),
                  b.Field(k, kSize));
    return std::string(s) + " data " + fake::Hex(b.Data(k), static_cast<size_t>(b.Field(k, kSize)));
}

}  // namespace

TEST(InitDll, AcceptsOnlyFamiliesOneAndTwo) {
    fake::Scope s;
    EXPECT_EQ(InitDll(0), QRL_E_ARG);
    EXPECT_EQ(InitDll(3), QRL_E_ARG);
    EXPECT_EQ(Board().family, 0);
    EXPECT_EQ(InitDll(2), QRL_OK);
    EXPECT_EQ(InitDll(-1), QRL_E_ARG);
    EXPECT_EQ(Board().family, 2) << "a refused family leaves the earlier one";
}

TEST(BdOpen, ChecksArgumentsInOrderBeforeTheFamily) {
    fake::Scope s;
    int32_t t[15] = {};
    EXPECT_EQ(BdOpen(2, 10, 0, t), QRL_E_ARG);
    EXPECT_EQ(BdOpen(0, 15, 0, t), QRL_E_ARG);
    EXPECT_EQ(BdOpen(0, 10, 16, t), QRL_E_ARG);
    EXPECT_EQ(BdOpen(0, 10, 0, nullptr), QRL_E_ARG);
    t[4] = -1;
    EXPECT_EQ(BdOpen(0, 10, 0, t), QRL_E_ARG) << "a bad argument still gives -2 before InitDll";
    t[4] = 0;
    EXPECT_EQ(BdOpen(0, 10, 0, t), QRL_E_NOFAMILY);
    EXPECT_EQ(s.platform.device_opens, 0);
    EXPECT_TRUE(s.driver().log.empty());
    EXPECT_EQ(Board().stations[0], 0) << "argument errors change no state";
}

TEST(BdOpen, NoDeviceGivesMinus4AfterResettingTables) {
    fake::Scope s;
    s.platform.device_present = false;
    InitDll(1);
    Board().mcode[3].Set(0, 9);
    int32_t t[15] = {1};
    EXPECT_EQ(BdOpen(1, 20, 0, t), QRL_E_NODEVICE);
    EXPECT_EQ(Board().mcode[3][0], 1);
    EXPECT_EQ(Board().mcode[3][1], 8);
    EXPECT_EQ(Board().stations[0], 255);
    EXPECT_EQ(Board().stations[1], 1);
    EXPECT_EQ(Board().open, 0);
}

TEST(BdOpen, DirectWritesInTheirExactOrderAndBytes) {
    for (auto rate : {std::pair<int, const char*>{5, "0C"}, {10, "04"}, {20, "00"}}) {
        Opened o(rate.first, 3);
        ASSERT_EQ(o.open_result, QRL_OK);
        auto direct = o.driver().Of(0x222000);
        std::vector<std::string> got;
        for (auto& e : direct) got.push_back(EntryText(e.sent, 0));

        std::vector<std::string> want;
        for (int off : {2048, 2304, 2560, 2816, 3072, 3200, 3328, 3584, 3648, 3712, 3776, 3840, 3904, 3968, 4032, 4096})
            want.push_back("sel 2 off " + std::to_string(off) + " size 1 data 00");
        const bool present[16] = {true, true, true, true, false, true};
        for (int n = 0; n < 16; ++n) {
            std::string area = present[n] ? "03 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00"
                                          : "00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00";
            want.push_back("sel 2 off " + std::to_string(n * 64) + " size 17 data " + area);
            want.push_back("sel 2 off " + std::to_string(n * 64 + 32) + " size 17 data " + area);
        }
        const std::string types = "FF 01 61 41 00 02 00 00 00 00 00 00 00 00 00 00";
        want.push_back("sel 2 off 1024 size 16 data " + types);
        want.push_back("sel 2 off 1056 size 16 data " + types);
        want.push_back(std::string("sel 2 off 3072 size 1 data ") + rate.second);
        want.push_back("sel 2 off 4096 size 1 data 80");
        want.push_back("sel 2 off 3328 size 1 data 00");
        want.push_back("sel 2 off 3584 size 1 data 00");
        want.push_back("sel 2 off 3840 size 1 data 5B");
        want.push_back("sel 2 off 2816 size 1 data 09");
        EXPECT_EQ(got, want) << "rate " << rate.first;
    }
}

TEST(BdOpen, StationPassesInOrderWithSetupBytes) {
    Opened o(10, 3);
    ASSERT_EQ(o.open_result, QRL_OK);
    std::vector<std::string> writes;
    for (auto& e : o.driver().Of(0x222004)) {
        const CommandBuffer& b = e.sent;
        if (b.Field(0, kSelectCode) == kSelRead) continue;
        writes.push_back(EntryText(b, 0));
    }
    const std::string setup = " size 16 data 03 0E 00 00 00 10 02 08 00 00 00 00 00 00 00 00";  // 2*3+2 = 8
    const std::vector<std::string> want = {
        "sel 2 off 64" + setup,
        "sel 18 off 128 size 16 data 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00",
        "sel 2 off 192" + setup,
        "sel 2 off 320" + setup,
        "sel 2 off 64 size 16 data 03 06 00 00 00 00 00 00 00 00 00 00 00 00 00 00",
        "sel 2 off 192 size 16 data 03 06 00 00 00 00 00 00 00 00 00 00 00 00 00 00",
        "sel 2 off 320 size 16 data 03 06 00 00 00 00 00 00 00 00 00 00 00 00 00 00",
        "sel 2 off 64 size 16 data 03 0D 00 00 00 00 00 00 00 00 00 00 00 00 00 00",
        "sel 2 off 192 size 16 data 03 0D 00 00 00 00 00 00 00 00 00 00 00 00 00 00",
        "sel 2 off 320 size 16 data 03 0D 00 00 00 00 00 00 00 00 00 00 00 00 00 00",
    };
    EXPECT_EQ(writes, want);
    EXPECT_EQ(Board().open, 1);
    EXPECT_EQ(o.types[0], 0x01) << "types of healthy stations stay as given";
}

TEST(BdOpen, StationFailingItsSetupEchoIsDroppedWithItsCode) {
    fake::Scope s;
    InitDll(1);
    int32_t t[15] = {};
    t[0] = 1;
    t[4] = 1;
    // Station 5 never echoes its set-up bytes.
    s.driver().script = [](uint32_t, CommandBuffer& b, fake::ScriptedDriver& d) {
        if (b.Field(0, kSelectCode) == kSelWrite && b.Field(0, kOffset) == 5 * 64 && b.Data(0)[1] == 0x0E) {
            b.SetField(0, kReturnCode, 0);
            d.response[5][kRspCode] = 0x0E;  // code without the echo
            return true;
        }
        return false;
    };
    EXPECT_EQ(BdOpen(0, 10, 0, t), QRL_OK);
    EXPECT_EQ(t[4], QRL_E_ECHO);
    EXPECT_EQ(t[0], 1);
    EXPECT_EQ(Board().stations[5], 0);
    EXPECT_EQ(Config(5), QRL_E_ARG) << "a dropped station answers -2";
    EXPECT_EQ(Config(1), QRL_OK);
    // The dropped station is left out of the alarm-clear and final passes.
    for (auto& e : s.driver().Of(0x222004)) {
        if (e.sent.Field(0, kSelectCode) == kSelWrite && e.sent.Field(0, kOffset) == 320) {
            EXPECT_EQ(e.sent.Data(0)[1], 0x0E);
        }
    }
}

TEST(BdOpen, FailedIoInitAndFailedAlarmClearDropStations) {
    fake::Scope s;
    InitDll(1);
    int32_t t[15] = {};
    t[0] = 1;
    t[1] = 0x60;
    s.driver().script = [](uint32_t, CommandBuffer& b, fake::ScriptedDriver&) {
        if (b.Field(0, kSelectCode) == kSelIoInit) {
            b.SetField(0, kReturnCode, -40000);  // TransferCommands itself succeeds
            return true;
        }
        if (b.Field(0, kSelectCode) == kSelWrite && b.Data(0)[1] == 0x06) {
            b.SetField(0, kReturnCode, -50000);
            return true;
        }
        return false;
    };
    EXPECT_EQ(BdOpen(0, 10, 0, t), QRL_OK);
    EXPECT_EQ(t[1], 0x60) << "the I/O initialisation's result is TransferCommands' (0)";
    EXPECT_EQ(t[0], -50000);
    EXPECT_EQ(KindOf(1), kNoStation);
    EXPECT_EQ(KindOf(2), kIoStation);
}

TEST(BdOpen, FailingDirectWriteReturnsMinus1AndLeavesTheBoardClosed) {
    fake::Scope s;
    InitDll(1);
    int32_t t[15] = {1};
    s.driver().fail_after = 20;  // fails inside the area set-up
    EXPECT_EQ(BdOpen(0, 10, 0, t), QRL_E_IO);
    EXPECT_EQ(Board().open, 0);
    EXPECT_EQ(s.driver().log.size(), 21u) << "the first failing write ends the bring-up";
    // A new open releases the device the failed one left open.
    s.driver().fail_after = -1;
    EXPECT_EQ(BdOpen(0, 10, 0, t), QRL_OK);
    EXPECT_EQ(s.driver().closes, 1);
}

// Every way out of BdOpen and BdClose after the log start ends the log: the file
// and the watch on the switch are released, whatever the result.
TEST(BdOpenBdClose, EveryFailureEndsTheLogItStarted) {
    fake::Scope s;
    auto& reg = s.platform.settings;
    const std::string dll = vxreg::kDllKey;
    reg.SetDword(dll, "Logging", 1);
    reg.SetString(dll, "LoggingPath", std::string(vxreg::kPathPrefix) + "C:\\vx.log");
    reg.SetDword(dll, "LogSize", 100);
    reg.SetDword(dll, "LogFileMax", 3);
    InitDll(1);
    int32_t t[15] = {1};
    struct Case {
        const char* name;
        std::function<void()> arrange;
        int32_t expected;
    };
    const Case cases[] = {
        {"no device", [&] { s.platform.device_present = false; }, QRL_E_NODEVICE},
        {"direct write fails", [&] { s.driver().fail_after = 0; }, QRL_E_IO},
    };
    for (const Case& c : cases) {
        s.platform.device_present = true;
        s.driver().fail_after = -1;
        c.arrange();
        const size_t opened = s.platform.files.opened.size();
        EXPECT_EQ(BdOpen(0, 10, 0, t), c.expected) << c.name;
        EXPECT_EQ(s.platform.files.opened.size(), opened + 1) << c.name << ": the log started first";
        EXPECT_EQ(s.platform.files.open_now, 0) << c.name;
        const int reads = reg.reads;
        s.driver().fail_after = -1;
        reg.SetDword(dll, "Logging", 1);
        EXPECT_EQ(reg.reads, reads) << c.name;
    }
    // BdClose whose final write fails: log and device released, -1.
    s.platform.device_present = true;
    s.driver().fail_after = -1;
    ASSERT_EQ(BdOpen(0, 10, 0, t), QRL_OK);
    ASSERT_EQ(s.platform.files.open_now, 1);
    s.driver().script = [](uint32_t ioctl, CommandBuffer&, fake::ScriptedDriver&) { return ioctl == 0x222000; };
    s.driver().Clear();
    s.driver().fail_after = 1;  // the close commands go, the final write fails
    const int closes = s.driver().closes;
    EXPECT_EQ(BdClose(0), QRL_E_IO);
    EXPECT_EQ(s.platform.files.open_now, 0);
    EXPECT_EQ(s.driver().closes, closes + 1);
    EXPECT_EQ(BdClose(0), QRL_E_IO) << "closed: nothing left to release, no crash";
}

TEST(StationKind, FromTheTypeCode) {
    fake::Scope s;
    InitDll(1);
    int32_t t[15] = {0x61, 0x41, 0x60, 0x20, 0x7FFFFFFF, 0};
    ASSERT_EQ(BdOpen(0, 20, 0, t), QRL_OK);
    EXPECT_EQ(KindOf(0), kIoStation) << "the board itself";
    EXPECT_EQ(KindOf(1), kIoStation);
    EXPECT_EQ(KindOf(2), kAxisStation);
    EXPECT_EQ(KindOf(3), kIoStation);
    EXPECT_EQ(KindOf(4), kAxisStation);
    EXPECT_EQ(KindOf(5), kIoStation);
    EXPECT_EQ(KindOf(6), kNoStation);
    EXPECT_EQ(KindOf(16), kNoStation);
    EXPECT_EQ(KindOf(-1), kNoStation);
}

TEST(BdClose, SendsCloseToAxisStationsThenTheFinalWrite) {
    Opened o;
    o.driver().Clear();
    EXPECT_EQ(BdClose(1), QRL_OK);
    ASSERT_EQ(o.driver().log.size(), 2u);
    const CommandBuffer& close = o.driver().log[0].sent;
    EXPECT_EQ(o.driver().log[0].ioctl, 0x222004u);
    ASSERT_EQ(close.Count(), 3);
    EXPECT_EQ(EntryText(close, 0), "sel 2 off 64 size 16 data 03 0F 00 00 00 00 00 00 00 00 00 00 00 00 00 00");
    EXPECT_EQ(close.Field(1, kOffset), 192);
    EXPECT_EQ(close.Field(2, kOffset), 320);
    EXPECT_EQ(o.driver().log[1].ioctl, 0x222000u);
    EXPECT_EQ(EntryText(o.driver().log[1].sent, 0), "sel 2 off 2816 size 1 data 09");
    EXPECT_EQ(o.platform.clock.sleeps, std::vector<uint32_t>{100});
    EXPECT_EQ(Board().open, 0);
    EXPECT_EQ(o.driver().closes, 1);
    EXPECT_EQ(Config(1), QRL_E_NOTOPEN);
    EXPECT_EQ(BdClose(0), QRL_E_IO) << "a second close has no device left";
}

TEST(BdClose, CasesOfItsResult) {
    {
        fake::Scope s;
        EXPECT_EQ(BdClose(2), QRL_E_ARG);
        EXPECT_EQ(BdClose(-1), QRL_E_ARG);
    }
    {
        Opened o;
        o.driver().close_ok = false;
        EXPECT_EQ(BdClose(0), QRL_E_CLOSE);
    }
    {
        Opened o;
        o.driver().Clear();
        o.driver().script = [](uint32_t ioctl, CommandBuffer&, fake::ScriptedDriver&) { return ioctl == 0x222000; };
        o.driver().fail_after = 1;  // the close commands go, the final write fails
        EXPECT_EQ(BdClose(0), QRL_E_IO);
        EXPECT_EQ(o.driver().closes, 1) << "the device is released even though the board did not hear";
        EXPECT_EQ(Board().device, nullptr);
        EXPECT_EQ(Board().open, 0);
    }
    {
        fake::Scope s;
        InitDll(1);
        int32_t t[15] = {0x61};
        ASSERT_EQ(BdOpen(0, 10, 0, t), QRL_OK);
        s.driver().Clear();
        EXPECT_EQ(BdClose(0), QRL_OK);
        ASSERT_FALSE(s.driver().log.empty());
        EXPECT_EQ(s.driver().log[0].sent.Count(), 0) << "no axis station: one exchange with CommandCount 0";
    }
}

TEST(Config, AllStationsOneBufferThenOneWaitEachAscending) {
    Opened o;
    o.driver().Clear();
    EXPECT_EQ(Config(-1), QRL_OK);
    auto& log = o.driver().log;
    ASSERT_EQ(log.size(), 4u);
    ASSERT_EQ(log[0].sent.Count(), 3);
    for (int k = 0; k < 3; ++k) EXPECT_EQ(log[0].sent.Data(k)[1], 0x04);
    EXPECT_EQ(log[1].sent.Field(0, kOffset), 64 + 1024);
    EXPECT_EQ(log[2].sent.Field(0, kOffset), 192 + 1024);
    EXPECT_EQ(log[3].sent.Field(0, kOffset), 320 + 1024);
}

TEST(Config, ChecksAndTheSixSecondLimit) {
    {
        fake::Scope s;
        EXPECT_EQ(Config(0), QRL_E_ARG);
        EXPECT_EQ(Config(16), QRL_E_ARG);
        EXPECT_EQ(Config(-2), QRL_E_ARG);
        EXPECT_EQ(Config(1), QRL_E_NOTOPEN);
        EXPECT_EQ(Config(-1), QRL_E_NOTOPEN);
    }
    {
        Opened o;
        EXPECT_EQ(Config(2), QRL_E_ARG) << "an I/O station";
        EXPECT_EQ(Config(4), QRL_E_ARG) << "no station";
        o.driver().station_echo = false;
        o.driver().response[3][kRspCode] = 0x0D;
        o.driver().Clear();
        EXPECT_EQ(Config(3), QRL_E_RESPONSE);
        EXPECT_EQ(o.driver().log.size(), 1u + 6001u);
    }
    {
        fake::Scope s;
        InitDll(1);
        int32_t t[15] = {0x61};
        ASSERT_EQ(BdOpen(0, 10, 0, t), QRL_OK);
        s.driver().Clear();
        EXPECT_EQ(Config(-1), QRL_OK) << "no axis station: nothing to configure";
        EXPECT_TRUE(s.driver().log.empty());
    }
}

TEST(IdGet, TwoHalvesWithTheItemInBothNibbles) {
    Opened o;
    o.driver().Clear();
    // The station answers the half that Data[6] asks for in response bytes 8..15.
    o.driver().script = [](uint32_t, CommandBuffer& b, fake::ScriptedDriver& d) {
        if (b.Field(0, kSelectCode) == kSelWrite && b.Data(0)[1] == 0x03) {
            d.response[1][kRspCode] = 0x03;
            std::memcpy(d.response[1] + 8, b.Data(0)[6] == 8 ? "-AXIS-01" : "VX7105SV", 8);
            b.SetField(0, kReturnCode, 0);
            return true;
        }
        return false;
    };
    char text[18];
    std::memset(text, '#', sizeof text);
    EXPECT_EQ(IdGet(1, 0x13, text), QRL_OK);
    EXPECT_STREQ(text, "VX7105SV-AXIS-01");
    EXPECT_EQ(text[17], '#') << "nothing beyond the 17 bytes";
    std::vector<const CommandBuffer*> writes;
    for (auto& e : o.driver().log)
        if (e.sent.Field(0, kSelectCode) == kSelWrite) writes.push_back(&e.sent);
    ASSERT_EQ(writes.size(), 2u);
    EXPECT_EQ(fake::Hex(writes[0]->Data(0), 16), "03 03 00 00 00 33 00 08 00 00 00 00 00 00 00 00");
    EXPECT_EQ(fake::Hex(writes[1]->Data(0), 16), "03 03 00 00 00 33 08 08 00 00 00 00 00 00 00 00");
}

TEST(IdGet, NeedsNoOpenBoardButAnExchange) {
    fake::Scope s;
    char text[17];
    EXPECT_EQ(IdGet(0, 1, text), QRL_E_ARG);
    EXPECT_EQ(IdGet(16, 1, text), QRL_E_ARG);
    EXPECT_EQ(IdGet(1, 1, nullptr), QRL_E_ARG);
    EXPECT_EQ(IdGet(1, 1, text), QRL_E_IO) << "without an open board the first exchange fails";
}

TEST(VerGet, ThirdAndFourthNumbers) {
    const struct {
        const char* text;
        int32_t want;
    } cases[] = {
        {"6, 5, 1, 0", 65536}, {"6, 5, 3, 12", 3 * 65536 + 12}, {"1,2,70000,3", (70000 & 0xFFFF) * 65536 + 3},
        {"6, 5", 0},           {"", 0},
    };
    for (auto& c : cases) {
        fake::Scope s;
        s.platform.file_version = c.text;
        EXPECT_EQ(VerGet(), c.want) << c.text;
    }
    fake::Scope s;
    s.platform.has_version = false;
    EXPECT_EQ(VerGet(), 0);
}

TEST(BdOpen, StartsLoggingAndResetsEveryRowBeforeLookingForTheBoard) {
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

TEST(IdGet, AfterBdCloseFailsWithoutTouchingTheClosedChannel) {
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

TEST(BdOpen, TheSetUpEchoWaitsSixHundredMilliseconds) {
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

TEST(IdGet, AFailingSecondHalfKeepsTheFirstHalf) {
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

