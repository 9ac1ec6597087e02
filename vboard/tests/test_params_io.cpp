// Station parameters (both command pairs) and digital I/O: loopback, the
// override, Dout_0's 17-byte write and the input read sizes.
#include <cstring>

#include "board_fixture.h"

namespace vbt {
namespace {

using namespace vboard;

class Params : public BoardTest {
protected:
    void SetUp() override { BringUp(kMixed); }
    CommandBuffer Put(int tpl, uint16_t number, uint8_t width, int32_t data1, int32_t data2) {
        CommandBuffer b;
        qrl::SetTemplateEntry(b, 0, qrl::kSelWrite, 64, tpl, 16);
        qrl::PutU16(b.Data(0) + 5, number);
        b.Data(0)[7] = width;
        qrl::PutI32(b.Data(0) + 8, data2);
        qrl::PutI32(b.Data(0) + 12, data1);
        EXPECT_TRUE(Send(b));
        EXPECT_EQ(b.ReturnCode(), 0);
        return b;
    }
    Response Get(int tpl, uint16_t number, uint8_t width) {
        CommandBuffer b;
        qrl::SetTemplateEntry(b, 0, qrl::kSelWrite, 64, tpl, 16);
        qrl::PutU16(b.Data(0) + 5, number);
        b.Data(0)[7] = width;
        EXPECT_TRUE(Send(b));
        Response r = Read(1);
        EXPECT_EQ(r.code(), b.Data(0)[1]);
        EXPECT_TRUE(r.ready());
        EXPECT_EQ(0, std::memcmp(r.raw + 5, b.Data(0) + 5, 3)) << "number and width echoed";
        return r;
    }
};

TEST_F(Params, WriteEchoesBytes5To15) {
    CommandBuffer b = Put(qrl::kTplPrmPut, 0x804, 4, -7, 0x12345678);
    Response r = Read(1);
    EXPECT_EQ(r.code(), 0x02);
    EXPECT_TRUE(r.ready());
    EXPECT_EQ(0, std::memcmp(r.raw + 5, b.Data(0) + 5, 11));
}

TEST_F(Params, ReadReturnsData2InBytes8To11AndData1In12To15) {
    Put(qrl::kTplPrmPut, 0x804, 4, -7, 0x12345678);
    Response r = Get(qrl::kTplPrmGet, 0x804, 4);
    EXPECT_EQ(qrl::GetI32(r.raw + 8), 0x12345678);
    EXPECT_EQ(qrl::GetI32(r.raw + 12), -7);
}

TEST_F(Params, StoresAreSeparatePerCommandPairNumberWidthAndStation) {
    Put(qrl::kTplPrmPut, 5, 2, 11, 12);
    Put(qrl::kTplPprmPut, 5, 2, 21, 22);
    Put(qrl::kTplPrmPut, 6, 2, 31, 32);
    struct Case { int tpl; uint16_t number; uint8_t width; int32_t d1, d2; } cases[] = {
        {qrl::kTplPrmGet, 5, 2, 11, 12}, {qrl::kTplPprmGet, 5, 2, 21, 22}, {qrl::kTplPrmGet, 6, 2, 31, 32},
        {qrl::kTplPprmGet, 6, 2, 0, 0}, {qrl::kTplPrmGet, 5, 4, 0, 0}, {qrl::kTplPrmGet, 2073, 4, 0, 0},
    };
    for (const Case& c : cases) {
        Response r = Get(c.tpl, c.number, c.width);
        EXPECT_EQ(qrl::GetI32(r.raw + 12), c.d1) << c.number;
        EXPECT_EQ(qrl::GetI32(r.raw + 8), c.d2) << c.number;
    }
    // Station 3 has a store of its own.
    CommandBuffer b;
    qrl::SetTemplateEntry(b, 0, qrl::kSelWrite, 192, qrl::kTplPrmGet, 16);
    qrl::PutU16(b.Data(0) + 5, 5);
    b.Data(0)[7] = 2;
    ASSERT_TRUE(Send(b));
    EXPECT_EQ(qrl::GetI32(Read(3).raw + 12), 0);
}

TEST_F(Params, OverwriteKeepsTheLastValue) {
    Put(qrl::kTplPprmPut, 0x819, 4, 1, 2);
    Put(qrl::kTplPprmPut, 0x819, 4, 3, 4);
    Response r = Get(qrl::kTplPprmGet, 0x819, 4);
    EXPECT_EQ(qrl::GetI32(r.raw + 12), 3);
    EXPECT_EQ(qrl::GetI32(r.raw + 8), 4);
}

class DigitalIo : public BoardTest {
protected:
    void SetUp() override { BringUp(kMixed); }
    std::vector<uint8_t> In(int station, int size = 16, int32_t* rc = nullptr) {
        CommandBuffer b;
        qrl::SetTemplateEntry(b, 0, qrl::kSelInput, qrl::CommandArea(station), qrl::kTplZero, size);
        std::memset(b.Data(0), 0xEE, qrl::kDataSize);
        EXPECT_TRUE(Send(b));
        if (rc) *rc = b.ReturnCode();
        return std::vector<uint8_t>(b.Data(0), b.Data(0) + 18);
    }
    int32_t Out(int station, int32_t at, std::vector<uint8_t> bytes) {
        CommandBuffer b;
        qrl::SetDataEntry(b, 0, qrl::kSelWrite, qrl::CommandArea(station) + at, bytes.data(),
                          static_cast<int>(bytes.size()));
        EXPECT_TRUE(Send(b));
        return b.ReturnCode();
    }
};

TEST_F(DigitalIo, OutputsLoopBackToInputsOnBoardAndIoStation) {
    for (int st : {0, 2}) {
        SCOPED_TRACE(st);
        ASSERT_EQ(Out(st, 1, {0x11}), 0);           // 8-bit port 1
        ASSERT_EQ(Out(st, 3, {0x34, 0x12}), 0);     // 16-bit port 2
        ASSERT_EQ(Out(st, 13, {1, 2, 3, 4}), 0);    // 32-bit port 4
        ASSERT_EQ(Out(st, 16, {0x80}), 0);          // 8-bit port 16
        auto in = In(st);
        const uint8_t want[16] = {0x11, 0, 0x34, 0x12, 0, 0, 0, 0, 0, 0, 0, 0, 1, 2, 3, 0x80};
        EXPECT_EQ(0, std::memcmp(in.data(), want, 16));
        EXPECT_EQ(in[16], 0xEE) << "a 16-byte read leaves byte 16 alone";
        EXPECT_EQ(board_.Outputs(st)[2], 0x34);
    }
}

TEST_F(DigitalIo, SeventeenByteReadAndDoutZeroWrite) {
    // Dout_0 port 1: byte 0 = 0x03, the word at Data 15..16, zeros elsewhere.
    uint8_t d[17] = {0x03};
    d[15] = 0x01, d[16] = 0x80;
    CommandBuffer b;
    qrl::SetDataEntry(b, 0, qrl::kSelWrite, qrl::CommandArea(2), d, 17);
    ASSERT_TRUE(Send(b));
    ASSERT_EQ(b.ReturnCode(), 0);
    auto in = In(2, 17);
    EXPECT_EQ(in[14], 0x01);
    EXPECT_EQ(in[15], 0x80);
    EXPECT_EQ(in[0], 0x00) << "byte 0 of the write is not an output";
    EXPECT_EQ(in[16], 0x00) << "the 17th byte reads as 0";
    EXPECT_EQ(board_.Axis(2).kind, Kind::Io);
    EXPECT_EQ(Read(2).code(), 0) << "an I/O station takes no command from it";
}

TEST_F(DigitalIo, OverrideDrivesInputsIndependently) {
    ASSERT_EQ(Out(2, 1, {0xF0}), 0);
    board_.SetInputOverride(2, 0, 0x0F, 0x05);  // low nibble forced, high follows the output
    board_.SetInputOverride(2, 5, 0xFF, 0xA5);
    auto in = In(2);
    EXPECT_EQ(in[0], 0xF5);
    EXPECT_EQ(in[5], 0xA5);
    board_.SetLoopback(false);
    EXPECT_EQ(In(2)[0], 0x05);
    board_.SetLoopback(true);
    board_.ClearInputOverrides(2);
    in = In(2);
    EXPECT_EQ(in[0], 0xF0);
    EXPECT_EQ(in[5], 0x00);
    // Overrides of one station leave the others alone.
    board_.SetInputOverride(0, 3, 0xFF, 0x77);
    EXPECT_EQ(In(0)[3], 0x77);
    EXPECT_EQ(In(2)[3], 0x00);
    board_.ClearInputOverrides(-1);
    EXPECT_EQ(In(0)[3], 0x00);
}

TEST_F(DigitalIo, InputReadOfAnAxisOrAbsentStationFails) {
    for (int st : {1, 4}) {
        int32_t rc = 0;
        auto in = In(st, 16, &rc);
        EXPECT_EQ(rc, rc::kBadStation) << st;
        EXPECT_EQ(in[0], 0) << "data zeroed, not left as sent";
    }
    int32_t rc = 0;
    CommandBuffer b;
    qrl::SetTemplateEntry(b, 0, qrl::kSelInput, qrl::CommandArea(2) + 1, qrl::kTplZero, 16);
    ASSERT_TRUE(Send(b));
    EXPECT_EQ(b.ReturnCode(), rc::kBadStation) << "not a station's area";
    (void)rc;
}

TEST_F(DigitalIo, IoInitClearsOutputs) {
    ASSERT_EQ(Out(2, 1, {1, 2, 3}), 0);
    CommandBuffer b;
    qrl::SetTemplateEntry(b, 0, qrl::kSelIoInit, qrl::CommandArea(2), qrl::kTplZero, 16);
    ASSERT_TRUE(Send(b));
    for (uint8_t v : board_.Outputs(2)) EXPECT_EQ(v, 0);
}

}  // namespace
}  // namespace vbt
