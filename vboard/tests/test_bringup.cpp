// Bring-up answers: set-up echo, alarm clear, final set-up, Config, IdGet, I/O
// station initialisation, the ready bit and absent stations.
#include <cstring>
#include <string>

#include "board_fixture.h"

namespace vbt {
namespace {

class BringUpTest : public BoardTest {};

TEST_F(BringUpTest, TypeBytesDecideStationKinds) {
    WriteTypes({0x41, 0x61, 0x01, 0, 0x60, 0x20, 0x100});
    EXPECT_EQ(board_.KindOf(0), vboard::Kind::Io);  // the board itself
    EXPECT_EQ(board_.KindOf(1), vboard::Kind::Axis);
    EXPECT_EQ(board_.KindOf(2), vboard::Kind::Io);
    EXPECT_EQ(board_.KindOf(3), vboard::Kind::Axis);
    EXPECT_EQ(board_.KindOf(4), vboard::Kind::None);
    EXPECT_EQ(board_.KindOf(5), vboard::Kind::Io);
    EXPECT_EQ(board_.KindOf(6), vboard::Kind::Axis);
    // Only the low byte reaches the board: 0x100 is no station to it.
    EXPECT_EQ(board_.KindOf(7), vboard::Kind::None);
    EXPECT_EQ(board_.KindOf(16), vboard::Kind::None);
}

TEST_F(BringUpTest, SetUpEchoesBytes5To9WithReady) {
    WriteTypes(kMixed);
    ASSERT_EQ(Cmd(3, qrl::kTplStationSetup, {{5, 0x10}, {6, 0x02}, {7, 6}, {8, 0xAB}, {9, 0xCD}}), 0);
    Response r = Read(3);
    EXPECT_EQ(r.code(), 0x0E);
    EXPECT_TRUE(r.ready());
    const uint8_t echo[5] = {0x10, 0x02, 6, 0xAB, 0xCD};
    EXPECT_EQ(0, std::memcmp(r.raw + 5, echo, 5));
    EXPECT_TRUE(r.status() & vboard::status::kSetUp);
    EXPECT_EQ(r.alarm(), 0);
}

TEST_F(BringUpTest, ResponseCodeFollowsEachStepInTurn) {
    WriteTypes(kMixed);
    struct Step { int tpl; uint8_t code; } steps[] = {
        {qrl::kTplStationSetup, 0x0E}, {qrl::kTplAlarmClear, 0x06}, {qrl::kTplFinalSetup, 0x0D},
        {qrl::kTplEncdrOn, 0x23}, {qrl::kTplEncdrOff, 0x24}, {qrl::kTplMlockOn, 0x26},
        {qrl::kTplMlockOff, 0x27}, {qrl::kTplEmg, 0x21}, {qrl::kTplEmgOff, 0x22}, {qrl::kTplMonitor, 0x30},
    };
    uint8_t counter = Read(1).raw[16];
    for (const Step& s : steps) {
        SCOPED_TRACE(s.code);
        ASSERT_EQ(Cmd(1, s.tpl), 0);
        Response r = Read(1);
        EXPECT_EQ(r.code(), s.code);
        EXPECT_TRUE(r.ready());
        EXPECT_EQ(r.raw[16], ++counter) << "byte 16 counts the answers";
    }
}

TEST_F(BringUpTest, WholeSequenceLeavesStationsReadyWithMonitorData) {
    BringUp(kMixed);
    for (int n : {1, 3}) {
        Response r = Read(n);
        EXPECT_EQ(r.code(), 0x0D);
        EXPECT_TRUE(r.ready());
        EXPECT_FALSE(r.servo());
        EXPECT_EQ(r.mcode(), 0x81);  // command position and feedback position
        EXPECT_EQ(r.alarm(), 0);
    }
    Response io = Read(2);
    EXPECT_TRUE(io.status() & vboard::status::kSetUp);
    EXPECT_TRUE(io.ready());
}

TEST_F(BringUpTest, AbsentStationNeverAnswers) {
    WriteTypes(kMixed);
    ASSERT_EQ(Cmd(4, qrl::kTplStationSetup, {{5, 0x10}}), 0);  // the write itself is accepted
    Response r = Read(4);
    for (uint8_t b : r.raw) EXPECT_EQ(b, 0);
}

TEST_F(BringUpTest, AreaSetUpWriteIsNotACommand) {
    WriteTypes(kMixed);
    ASSERT_EQ(Cmd(1, qrl::kTplStationSetup, {{5, 0x10}}), 0);
    WriteTypes(kMixed);  // rewrites 03 00 .. into the command area
    EXPECT_EQ(Read(1).code(), 0x0E);
    EXPECT_EQ(board_.Axis(1).alarm, 0);
}

TEST_F(BringUpTest, ConfigAnswersAfterAShortScan) {
    BringUp(kMixed);
    ASSERT_EQ(Cmd(1, qrl::kTplConfig), 0);
    Response r = Read(1);
    EXPECT_EQ(r.code(), 0x04);
    EXPECT_FALSE(r.ready());
    Advance(vboard::kConfigMs - 1);
    EXPECT_FALSE(Read(1).ready());
    Advance(1);
    r = Read(1);
    EXPECT_TRUE(r.ready());
    EXPECT_EQ(r.raw[5], 0x41);  // the station's type byte
    EXPECT_EQ(r.raw[6], 1);     // axis
}

TEST_F(BringUpTest, ConfigForSeveralStationsInOneBuffer) {
    BringUp(kMixed);
    CommandBuffer b;
    qrl::SetTemplateEntry(b, 0, qrl::kSelWrite, 64, qrl::kTplConfig, 16);
    qrl::SetTemplateEntry(b, 1, qrl::kSelWrite, 192, qrl::kTplConfig, 16);
    b.SetCount(2);
    ASSERT_TRUE(Send(b));
    EXPECT_EQ(b.ReturnCode(0), 0);
    EXPECT_EQ(b.ReturnCode(1), 0);
    EXPECT_EQ(Read(1).code(), 0x04);
    EXPECT_EQ(Read(3).code(), 0x04);
}


class IdGetTest : public BoardTest {
public:
    std::string Id(int station, int item) {
        std::string text;
        for (int k : {0, 8}) {
            EXPECT_EQ(Cmd(station, qrl::kTplIdGet, {{5, uint8_t((item & 0x0F) * 0x11)}, {6, uint8_t(k)}}), 0);
            Response r = Read(station);
            EXPECT_EQ(r.code(), 0x03);
            EXPECT_TRUE(r.ready());
            EXPECT_EQ(r.raw[5], (item & 0x0F) * 0x11);
            EXPECT_EQ(r.raw[6], k);
            EXPECT_EQ(r.raw[7], 0x08);
            text.append(reinterpret_cast<const char*>(r.raw + 8), 8);
        }
        return text;
    }
};

TEST_F(IdGetTest, SixteenCharactersPerItemInTwoHalves) {
    BringUp(kMixed);
    EXPECT_EQ(Id(1, 0), "VXA-200 SERVO   ");
    EXPECT_EQ(Id(1, 1), "FW 2.10 VBOARD  ");
    EXPECT_EQ(Id(3, 2), "SN 7105-0000-03 ");
    EXPECT_EQ(Id(3, 3), "TYPE 01 ST 03   ");
    EXPECT_EQ(Id(1, 0x13), Id(1, 3)) << "only the low nibble selects the item";
    EXPECT_EQ(Id(1, 9), "ITEM 09 ST 01   ");
}

TEST_F(IdGetTest, OddHalfOffsetStaysInsideTheText) {
    BringUp(kMixed);
    ASSERT_EQ(Cmd(1, qrl::kTplIdGet, {{5, 0}, {6, 200}}), 0);
    Response r = Read(1);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(r.raw + 8), 8), "SERVO   ");
}

TEST_F(BringUpTest, IoInitOnlyForIoStations) {
    WriteTypes(kMixed);
    for (auto [station, expect] : std::initializer_list<std::pair<int, int32_t>>{
             {2, 0}, {1, vboard::rc::kBadStation}, {4, vboard::rc::kBadStation}, {0, vboard::rc::kBadStation}}) {
        CommandBuffer b;
        qrl::SetTemplateEntry(b, 0, qrl::kSelIoInit, qrl::CommandArea(station), qrl::kTplZero, 16);
        ASSERT_TRUE(Send(b));
        EXPECT_EQ(b.ReturnCode(), expect) << "station " << station;
    }
}

TEST_F(BringUpTest, SetUpClearsServoAlarmAndModes) {
    BringUp(kMixed);
    ServoOn(1);
    ASSERT_EQ(Cmd(1, qrl::kTplMlockOn), 0);
    board_.RaiseAlarm(1, 0x42);
    ASSERT_EQ(Cmd(1, qrl::kTplStationSetup, {{5, 0x10}}), 0);
    Response r = Read(1);
    EXPECT_EQ(r.alarm(), 0);
    EXPECT_FALSE(r.servo());
    EXPECT_FALSE(r.status() & vboard::status::kMachineLock);
}

TEST_F(BringUpTest, DirectAndCommandCodesBothServed) {
    CommandBuffer b;
    qrl::SetByteEntry(b, 0, qrl::kSelWrite, 3072, 0x0C);
    EXPECT_TRUE(board_.Exchange(qrl::kIoctlDirect, b.raw));
    EXPECT_TRUE(board_.Exchange(qrl::kIoctlCommand, b.raw));
    EXPECT_FALSE(board_.Exchange(0x222008, b.raw));
    EXPECT_FALSE(board_.Exchange(qrl::kIoctlCommand, nullptr));
    EXPECT_EQ(board_.Memory(3072, 1), std::vector<uint8_t>{0x0C});
}

}  // namespace
}  // namespace vbt
