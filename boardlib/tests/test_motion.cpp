// Axis motion commands and the option tables: exact command bytes, batch
// buffers, check order and the results passed through from SendCommand.
#include <functional>

#include "command_fixture.h"

using namespace qrl;
using namespace cmdtest;

namespace {

class Motion : public CommandTest {};

// Asserts that exactly one command exchange went out, to `offset`, with one
// motion entry, and returns its 16 Data bytes as hex.
std::string OnlyEntry(Motion& t, std::vector<fake::Record> log, int32_t offset) {
    EXPECT_EQ(log.size(), 1u);
    if (log.empty()) return "";
    const CommandBuffer& b = log[0].sent;
    EXPECT_EQ(log[0].ioctl, kIoctlCommand);
    EXPECT_EQ(b.Count(), 1);
    EXPECT_EQ(b.Field(0, kDeviceNumber), 1);
    EXPECT_EQ(b.Field(0, kSelectCode), kSelWrite);
    EXPECT_EQ(b.Field(0, kOffset), offset);
    EXPECT_EQ(b.Field(0, kSize), 16);
    EXPECT_EQ(b.Field(0, kAxisBitNumber), 0);
    EXPECT_EQ(b.Field(0, kReturnCode), 0);
    (void)t;
    return DataHex(b, 0, 16);
}

TEST_F(Motion, FeedOfStation1WithDefaultTables) {
    OpenDefault();
    ASSERT_EQ(AxFeed(1, 1000), 0);
    EXPECT_EQ(OnlyEntry(*this, drv().log, 64), "03 36 00 00 00 00 00 00 00 E8 03 00 00 81 00 00");
}

TEST_F(Motion, EveryCommandPutsItsArgumentsInTheirBytes) {
    OpenDefault();
    const struct {
        const char* name;
        std::function<int32_t()> call;
        const char* data;
    } cases[] = {
        {"AxHome", [] { return AxHome(2, 0x01020304, 3); }, "03 3A 03 00 00 00 00 00 00 04 03 02 01 81 00 00"},
        {"AxHomeOp", [] { return AxHomeOp(2, 0x11223344, 2, 1, 1); },
         "03 3A 01 10 10 00 00 00 00 44 33 22 11 81 00 00"},
        {"AxFeedOp", [] { return AxFeedOp(2, -1, 1, 0); }, "03 36 00 08 00 00 00 00 00 FF FF FF FF 81 00 00"},
        {"AxNc", [] { return AxNc(2, 0x0A0B0C0D, -2); }, "03 35 00 00 00 0D 0C 0B 0A FE FF FF FF 81 00 00"},
        {"AxNcOp", [] { return AxNcOp(2, 1, 2, 2, 0); }, "03 35 00 10 00 01 00 00 00 02 00 00 00 81 00 00"},
        {"AxNcEx", [] { return AxNcEx(2, 5, 6, 2); }, "03 39 02 00 00 05 00 00 00 06 00 00 00 81 00 00"},
        {"AxNcExOp", [] { return AxNcExOp(2, 5, 6, 1, 1, 3); }, "03 39 03 08 10 05 00 00 00 06 00 00 00 81 00 00"},
        {"AxDown", [] { return AxDown(2); }, "03 25 00 00 00 00 00 00 00 00 00 00 00 81 00 00"},
        {"AxDownOp", [] { return AxDownOp(2, 2, 1); }, "03 25 00 10 10 00 00 00 00 00 00 00 00 81 00 00"},
        {"AxEmg", [] { return AxEmg(2); }, "03 21 00 00 00 00 00 00 00 00 00 00 00 00 00 00"},
        {"AxEmgOff", [] { return AxEmgOff(2); }, "03 22 00 00 00 00 00 00 00 00 00 00 00 00 00 00"},
    };
    for (auto& c : cases) {
        SCOPED_TRACE(c.name);
        drv().Clear();
        ASSERT_EQ(c.call(), 0);
        EXPECT_EQ(OnlyEntry(*this, drv().log, 128), c.data);
    }
}

TEST_F(Motion, PlainFormsReadTheTablesAndOpFormsOnlyTheMcode) {
    OpenDefault();
    ASSERT_EQ(OcodePut(2, 0, 2), 0);
    ASSERT_EQ(OcodePut(2, 1, 1), 0);
    ASSERT_EQ(McodePut(2, 3, 12), 0);
    const struct {
        const char* name;
        std::function<int32_t()> call;
        const char* data;
    } cases[] = {
        {"AxFeed", [] { return AxFeed(2, 7); }, "03 36 00 10 10 00 00 00 00 07 00 00 00 C3 00 00"},
        {"AxHome", [] { return AxHome(2, 0, 1); }, "03 3A 01 10 10 00 00 00 00 00 00 00 00 C3 00 00"},
        {"AxNcEx", [] { return AxNcEx(2, 1, 1, 0); }, "03 39 00 10 10 01 00 00 00 01 00 00 00 C3 00 00"},
        {"AxDown", [] { return AxDown(2); }, "03 25 00 10 10 00 00 00 00 00 00 00 00 C3 00 00"},
        {"AxFeedOp", [] { return AxFeedOp(2, 7, 0, 0); }, "03 36 00 00 00 00 00 00 00 07 00 00 00 C3 00 00"},
        {"AxDownOp", [] { return AxDownOp(2, 1, 0); }, "03 25 00 08 00 00 00 00 00 00 00 00 00 C3 00 00"},
        {"AxEmg", [] { return AxEmg(2); }, "03 21 00 00 00 00 00 00 00 00 00 00 00 00 00 00"},
    };
    for (auto& c : cases) {
        SCOPED_TRACE(c.name);
        drv().Clear();
        ASSERT_EQ(c.call(), 0);
        EXPECT_EQ(OnlyEntry(*this, drv().log, 128), c.data);
    }
    // The other stations keep their defaults.
    drv().Clear();
    ASSERT_EQ(AxFeed(3, 7), 0);
    EXPECT_EQ(OnlyEntry(*this, drv().log, 192), "03 36 00 00 00 00 00 00 00 07 00 00 00 81 00 00");
}

TEST_F(Motion, McodeFifteenFifteenGivesFF) {
    OpenDefault();
    ASSERT_EQ(McodePut(1, 15, 15), 0);
    ASSERT_EQ(AxFeed(1, 0), 0);
    EXPECT_EQ(Commands().at(0).sent.Data(0)[13], 0xFF);
}

TEST_F(Motion, OcodeOneOfTwoTravelsAsZero) {
    OpenDefault();
    ASSERT_EQ(OcodePut(1, 1, 2), 0);
    EXPECT_EQ(Board().ocode[1][1], 2) << "the table keeps the value";
    ASSERT_EQ(AxFeed(1, 0), 0);
    EXPECT_EQ(Commands().at(0).sent.Data(0)[4], 0x00);
    ASSERT_EQ(OcodePut(1, 0, 2), 0);
    ASSERT_EQ(AxNc(1, 0, 0), 0);
    EXPECT_EQ(Commands().at(1).sent.Data(0)[3], 0x10);
}

TEST_F(Motion, SettersWithMinusOneReachOnlyAxisStations) {
    Open({{1, kAxis}, {4, kIo}, {9, kAxis}});
    ASSERT_EQ(McodePut(-1, 2, 5), 0);
    ASSERT_EQ(OcodePut(-1, 0, 1), 0);
    for (int n : {1, 9}) {
        EXPECT_EQ(Board().mcode[n][0], 2);
        EXPECT_EQ(Board().mcode[n][1], 5);
        EXPECT_EQ(Board().ocode[n][0], 1);
    }
    for (int n : {0, 2, 4, 15}) {
        EXPECT_EQ(Board().mcode[n][0], 1) << n;
        EXPECT_EQ(Board().mcode[n][1], 8) << n;
        EXPECT_EQ(Board().ocode[n][0], 0) << n;
    }
    EXPECT_EQ(Exchanges(), 0u) << "the setters never talk to the board";
}

TEST_F(Motion, SettersCheckTheirArgumentsButNotTheOpenFlag) {
    // Before any BdOpen: -1 changes nothing, as nothing is an axis station yet.
    EXPECT_EQ(McodePut(-1, 15, 15), 0);
    EXPECT_EQ(OcodePut(-1, 1, 2), 0);
    for (int n = 0; n < kStations; ++n) {
        EXPECT_EQ(Board().mcode[n][0], 0);
        EXPECT_EQ(Board().ocode[n][1], 0);
    }
    EXPECT_EQ(McodePut(1, 1, 8), QRL_E_ARG) << "station 1 is not an axis station yet";

    OpenDefault();
    ASSERT_EQ(BdClose(0), 0);
    EXPECT_EQ(McodePut(1, 4, 4), 0) << "no open check";
    EXPECT_EQ(Board().mcode[1][0], 4);
    EXPECT_EQ(OcodePut(2, 1, 1), 0);

    const struct {
        const char* name;
        int32_t got;
    } bad[] = {
        {"McodePut station 0", McodePut(0, 1, 1)},    {"McodePut station -2", McodePut(-2, 1, 1)},
        {"McodePut station 16", McodePut(16, 1, 1)},  {"McodePut low 16", McodePut(1, 16, 1)},
        {"McodePut low -1", McodePut(1, -1, 1)},      {"McodePut high 16", McodePut(1, 1, 16)},
        {"McodePut I/O station", McodePut(4, 1, 1)},  {"McodePut absent", McodePut(5, 1, 1)},
        {"OcodePut index 2", OcodePut(1, 2, 0)},      {"OcodePut index -1", OcodePut(1, -1, 0)},
        {"OcodePut value 3", OcodePut(1, 0, 3)},      {"OcodePut value -1", OcodePut(1, 0, -1)},
        {"OcodePut I/O station", OcodePut(4, 0, 0)},  {"OcodePut station 0", OcodePut(0, 0, 0)},
    };
    for (auto& b : bad) EXPECT_EQ(b.got, QRL_E_ARG) << b.name;
    EXPECT_EQ(Board().mcode[1][0], 4) << "a rejected call changes nothing";
    EXPECT_EQ(Board().mcode[1][1], 4);
}

// Argument ranges in argument order, then the open flag, then the station kind;
// nothing is exchanged on any of these paths.
TEST_F(Motion, CheckOrderWithoutAnOpenBoard) {
    const struct {
        const char* name;
        std::function<int32_t()> call;
        int32_t want;
    } cases[] = {
        {"AxFeed -1", [] { return AxFeed(-1, 0); }, QRL_E_ARG},
        {"AxFeed 0", [] { return AxFeed(0, 0); }, QRL_E_ARG},
        {"AxFeed 16", [] { return AxFeed(16, 0); }, QRL_E_ARG},
        {"AxHome -1", [] { return AxHome(-1, 0, 0); }, QRL_E_ARG},
        {"AxNcEx -1", [] { return AxNcEx(-1, 0, 0, 0); }, QRL_E_ARG},
        {"AxHome mode 4", [] { return AxHome(1, 0, 4); }, QRL_E_ARG},
        {"AxHome mode -1", [] { return AxHome(1, 0, -1); }, QRL_E_ARG},
        {"AxHomeOp ocode0 3", [] { return AxHomeOp(1, 0, 3, 0, 0); }, QRL_E_ARG},
        {"AxHomeOp ocode1 2", [] { return AxHomeOp(1, 0, 0, 2, 0); }, QRL_E_ARG},
        {"AxHomeOp mode 4", [] { return AxHomeOp(1, 0, 0, 0, 4); }, QRL_E_ARG},
        {"AxFeedOp ocode0 -1", [] { return AxFeedOp(1, 0, -1, 0); }, QRL_E_ARG},
        {"AxNcOp ocode1 2", [] { return AxNcOp(1, 0, 0, 0, 2); }, QRL_E_ARG},
        {"AxNcExOp mode 4", [] { return AxNcExOp(1, 0, 0, 0, 0, 4); }, QRL_E_ARG},
        {"AxNcExOp station 0 first", [] { return AxNcExOp(0, 0, 0, 9, 9, 9); }, QRL_E_ARG},
        {"AxDown -2", [] { return AxDown(-2); }, QRL_E_ARG},
        {"AxDown 16", [] { return AxDown(16); }, QRL_E_ARG},
        {"AxDownOp ocode0 3", [] { return AxDownOp(-1, 3, 0); }, QRL_E_ARG},
        {"AxDownOp ocode1 2", [] { return AxDownOp(-1, 0, 2); }, QRL_E_ARG},
        {"AxEmg 0", [] { return AxEmg(0); }, QRL_E_ARG},
        {"AxEmgOff -2", [] { return AxEmgOff(-2); }, QRL_E_ARG},
        {"AxFeed closed", [] { return AxFeed(1, 0); }, QRL_E_NOTOPEN},
        {"AxHomeOp closed", [] { return AxHomeOp(1, 0, 2, 1, 3); }, QRL_E_NOTOPEN},
        {"AxNcExOp closed", [] { return AxNcExOp(15, 0, 0, 2, 1, 3); }, QRL_E_NOTOPEN},
        {"AxDown -1 closed", [] { return AxDown(-1); }, QRL_E_NOTOPEN},
        {"AxDownOp -1 closed", [] { return AxDownOp(-1, 2, 1); }, QRL_E_NOTOPEN},
        {"AxEmg -1 closed", [] { return AxEmg(-1); }, QRL_E_NOTOPEN},
        {"AxEmgOff 3 closed", [] { return AxEmgOff(3); }, QRL_E_NOTOPEN},
    };
    for (auto& c : cases) EXPECT_EQ(c.call(), c.want) << c.name;

    OpenDefault();  // stations 1..3 axis, 4 I/O
    ASSERT_EQ(BdClose(0), 0);
    drv().Clear();
    for (auto& c : cases) EXPECT_EQ(c.call(), c.want) << c.name << " after BdClose";
    EXPECT_EQ(Exchanges(), 0u);
}

TEST_F(Motion, StationKindIsCheckedLast) {
    OpenDefault();  // stations 1..3 axis, 4 I/O, 5 absent
    const struct {
        const char* name;
        std::function<int32_t()> call;
    } cases[] = {
        {"AxNc on I/O", [] { return AxNc(4, 1, 2); }},
        {"AxFeed absent", [] { return AxFeed(5, 1); }},
        {"AxHomeOp on I/O", [] { return AxHomeOp(4, 0, 0, 0, 0); }},
        {"AxDown on I/O", [] { return AxDown(4); }},
        {"AxDownOp absent", [] { return AxDownOp(5, 0, 0); }},
        {"AxEmg on I/O", [] { return AxEmg(4); }},
        {"AxEmgOff absent", [] { return AxEmgOff(5); }},
    };
    for (auto& c : cases) EXPECT_EQ(c.call(), QRL_E_ARG) << c.name;
    EXPECT_EQ(Exchanges(), 0u);
}

TEST_F(Motion, DownForAllAxesIsOneBufferInStationOrder) {
    Open({{2, kAxis}, {3, kIo}, {5, kAxis}});
    ASSERT_EQ(McodePut(5, 2, 3), 0);
    ASSERT_EQ(AxDown(-1), 0);
    auto log = Commands();
    ASSERT_EQ(log.size(), 1u);
    const CommandBuffer& b = log[0].sent;
    EXPECT_EQ(b.Count(), 2);
    EXPECT_EQ(b.Field(0, kOffset), 128);
    EXPECT_EQ(b.Field(1, kOffset), 320);
    for (int k = 0; k < 2; ++k) {
        EXPECT_EQ(b.Field(k, kSelectCode), kSelWrite);
        EXPECT_EQ(b.Field(k, kSize), 16);
        EXPECT_EQ(b.Field(k, kDeviceNumber), 1);
        EXPECT_EQ(b.Data(k)[1], 0x25);
    }
    EXPECT_EQ(b.Data(0)[13], 0x81);
    EXPECT_EQ(b.Data(1)[13], 0x32) << "each entry carries its own station's M-codes";
    EXPECT_EQ(b.Field(2, kDeviceNumber), 0) << "no third entry";
}

TEST_F(Motion, DownOpForAllAxesPutsTheSameOcodesInEveryEntry) {
    Open({{2, kAxis}, {5, kAxis}, {7, kAxis}});
    ASSERT_EQ(AxDownOp(-1, 2, 1), 0);
    auto log = Commands();
    ASSERT_EQ(log.size(), 1u);
    const CommandBuffer& b = log[0].sent;
    ASSERT_EQ(b.Count(), 3);
    for (int k = 0; k < 3; ++k) {
        EXPECT_EQ(b.Data(k)[3], 0x10) << k;
        EXPECT_EQ(b.Data(k)[4], 0x10) << k;
    }
    EXPECT_EQ(b.Field(2, kOffset), 448);
}

TEST_F(Motion, EmergencyStopForAllAxesAndTheEmptyBatch) {
    Open({{1, kAxis}, {15, kAxis}});
    ASSERT_EQ(AxEmg(-1), 0);
    ASSERT_EQ(AxEmgOff(-1), 0);
    auto log = Commands();
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(log[0].sent.Count(), 2);
    EXPECT_EQ(log[0].sent.Field(1, kOffset), 960);
    EXPECT_EQ(DataHex(log[1].sent, 1, 16), "03 22 00 00 00 00 00 00 00 00 00 00 00 00 00 00");

    // No axis station at all: nothing to send, success.
    Open({{4, kIo}});
    for (auto call : {+[] { return AxDown(-1); }, +[] { return AxDownOp(-1, 1, 1); },
                      +[] { return AxEmg(-1); }, +[] { return AxEmgOff(-1); }})
        EXPECT_EQ(call(), 0);
    EXPECT_EQ(Exchanges(), 0u);
}

TEST_F(Motion, SendCommandResultsPassThrough) {
    OpenDefault();
    // A final driver code comes back at once.
    drv().script = [](uint32_t, CommandBuffer& b, fake::ScriptedDriver&) {
        b.SetField(0, kReturnCode, -32771);
        return true;
    };
    EXPECT_EQ(AxFeed(1, 1), -32771);
    EXPECT_EQ(AxDown(-1), -32771);
    EXPECT_EQ(Exchanges(), 2u);

    // Busy answers are retried until 2000 ms have passed.
    drv().Clear();
    drv().script = [](uint32_t, CommandBuffer& b, fake::ScriptedDriver&) {
        b.SetField(0, kReturnCode, -32770);
        return true;
    };
    EXPECT_EQ(AxEmg(2), QRL_E_TIMEOUT);
    EXPECT_EQ(Exchanges(), 2001u);

    // A failed exchange ends the call at once.
    drv().Clear();
    drv().script = nullptr;
    drv().fail_all = true;
    EXPECT_EQ(AxNcExOp(3, 1, 2, 0, 0, 0), QRL_E_IO);
    EXPECT_EQ(Exchanges(), 1u);
}

TEST_F(Motion, BdOpenResetsTheTablesAndBdCloseKeepsThem) {
    OpenDefault();
    ASSERT_EQ(McodePut(1, 9, 9), 0);
    ASSERT_EQ(OcodePut(1, 0, 2), 0);
    ASSERT_EQ(BdClose(0), 0);
    EXPECT_EQ(Board().mcode[1][0], 9);
    EXPECT_EQ(Board().ocode[1][0], 2);
    OpenDefault();
    ASSERT_EQ(AxFeed(1, 0), 0);
    EXPECT_EQ(DataHex(Commands().at(0).sent, 0, 16), "03 36 00 00 00 00 00 00 00 00 00 00 00 81 00 00");
}

}  // namespace
