// Digital I/O: port ranges, byte order and offsets of the plain and mirrored
// forms, invert and mirror, the flag arrays, and failed reads.
#include <functional>

#include "command_fixture.h"

using namespace qrl;
using namespace cmdtest;

namespace {

class Dio : public CommandTest {
protected:
    // Axis station 1, I/O station 4 (command area 256).
    void OpenIo() { Open({{1, kAxis}, {4, kIo}}); }
    void Inputs(int n, std::initializer_list<uint8_t> bytes) {
        std::memset(drv().inputs[n], 0, 17);
        size_t i = 0;
        for (uint8_t b : bytes) drv().inputs[n][i++] = b;
    }
};

// 16 flags amid sentinel bytes.
struct GuardedFlags {
    uint8_t bytes[48];
    GuardedFlags() { std::memset(bytes, 0xA5, sizeof bytes); }
    uint8_t* ptr() { return bytes + 16; }
    std::string flags() const { return fake::Hex(bytes + 16, 16); }
    bool guards_intact() const {
        for (int i = 0; i < 16; ++i)
            if (bytes[i] != 0xA5 || bytes[32 + i] != 0xA5) return false;
        return true;
    }
    bool untouched() const {
        for (uint8_t b : bytes)
            if (b != 0xA5) return false;
        return true;
    }
};

TEST_F(Dio, StationZeroIsTheBoardItself) {
    Open({{1, kAxis}});
    Inputs(0, {0x5A, 0x00, 0x34, 0x12});
    Guarded<uint8_t> v;
    ASSERT_EQ(D8in(0, 1, 0, 0, v.ptr()), 0);
    EXPECT_EQ(v.value(), 0x5A);
    EXPECT_TRUE(v.guards_intact());
    ASSERT_EQ(Exchanges(), 1u);
    const CommandBuffer& b = drv().log[0].sent;
    EXPECT_EQ(b.Field(0, kSelectCode), kSelInput);
    EXPECT_EQ(b.Field(0, kOffset), 0);
    EXPECT_EQ(b.Field(0, kSize), 16);
    EXPECT_EQ(drv().log[0].ioctl, kIoctlCommand);
    ASSERT_EQ(D16out(0, 1, 0xABCD, 0, 0), 0);
    EXPECT_EQ(drv().log[1].sent.Field(0, kOffset), 1);
}

TEST_F(Dio, PortTwoWithInputBytes3412) {
    OpenIo();
    Inputs(4, {0x00, 0x00, 0x34, 0x12});
    const struct {
        const char* name;
        int32_t(QRL_CALL* call)(int32_t, int32_t, int32_t, int32_t, uint16_t*);
        int32_t mirror, invert;
        uint16_t want;
    } cases[] = {
        {"D16in", D16in, 0, 0, 0x1234},          {"D16in_0", D16in_0, 0, 0, 0x3412},
        {"D16in mirror", D16in, 1, 0, 0x2C48},   {"D16in invert", D16in, 0, 1, 0xEDCB},
        {"D16in both", D16in, 1, 1, 0xD3B7},     {"D16in_0 mirror", D16in_0, 1, 0, 0x482C},
        {"D16in_0 invert", D16in_0, 0, 1, 0xCBED},
    };
    for (auto& c : cases) {
        Guarded<uint16_t> v;
        ASSERT_EQ(c.call(4, 2, c.mirror, c.invert, v.ptr()), 0) << c.name;
        EXPECT_EQ(v.value(), c.want) << c.name;
        EXPECT_TRUE(v.guards_intact()) << c.name;
    }
    for (auto& r : drv().log) {
        EXPECT_EQ(r.sent.Field(0, kSelectCode), kSelInput);
        EXPECT_EQ(r.sent.Field(0, kOffset), 256);
        EXPECT_EQ(r.sent.Field(0, kSize), 16);
    }
}

TEST_F(Dio, EightAndThirtyTwoBitInputs) {
    OpenIo();
    Inputs(4, {0x01, 0x02, 0x34, 0x04, 0, 0, 0, 0, 0, 0, 0, 0, 0x78, 0x56, 0x34, 0x12});
    Guarded<uint8_t> b8;
    ASSERT_EQ(D8in(4, 3, 0, 0, b8.ptr()), 0);
    EXPECT_EQ(b8.value(), 0x34);
    ASSERT_EQ(D8in(4, 3, 1, 0, b8.ptr()), 0);
    EXPECT_EQ(b8.value(), 0x2C);
    ASSERT_EQ(D8in_0(4, 16, 0, 1, b8.ptr()), 0);
    EXPECT_EQ(b8.value(), 0xED) << "port 16 is byte 15, the same byte as D8in";
    EXPECT_TRUE(b8.guards_intact());

    const struct {
        const char* name;
        int32_t(QRL_CALL* call)(int32_t, int32_t, int32_t, int32_t, uint32_t*);
        int32_t port, mirror, invert;
        uint32_t want;
    } cases[] = {
        {"D32in 1", D32in, 1, 0, 0, 0x04340201},     {"D32in_0 1", D32in_0, 1, 0, 0, 0x01023404},
        {"D32in 4", D32in, 4, 0, 0, 0x12345678},     {"D32in_0 4", D32in_0, 4, 0, 0, 0x78563412},
        {"D32in 4 mirror", D32in, 4, 1, 0, 0x1E6A2C48}, {"D32in 4 invert", D32in, 4, 0, 1, 0xEDCBA987},
        {"D32in 2 invert", D32in, 2, 0, 1, 0xFFFFFFFF},
    };
    for (auto& c : cases) {
        Guarded<uint32_t> v;
        ASSERT_EQ(c.call(4, c.port, c.mirror, c.invert, v.ptr()), 0) << c.name;
        EXPECT_EQ(v.value(), c.want) << c.name;
        EXPECT_TRUE(v.guards_intact()) << c.name;
    }
}

TEST_F(Dio, ArgumentChecksPrecedeTheOpenCheck) {
    uint8_t b8 = 0;
    uint16_t b16 = 0;
    uint32_t b32 = 0;
    uint8_t flags[16] = {};
    const struct {
        const char* name;
        std::function<int32_t()> call;
    } bad[] = {
        {"D8in port 0", [&] { return D8in(0, 0, 0, 0, &b8); }},
        {"D8in port 17", [&] { return D8in(0, 17, 0, 0, &b8); }},
        {"D8in_0 port 17", [&] { return D8in_0(0, 17, 0, 0, &b8); }},
        {"D16in port 0", [&] { return D16in(0, 0, 0, 0, &b16); }},
        {"D16in port 9", [&] { return D16in(0, 9, 0, 0, &b16); }},
        {"D16in_0 port 9", [&] { return D16in_0(0, 9, 0, 0, &b16); }},
        {"D32in port 5", [&] { return D32in(0, 5, 0, 0, &b32); }},
        {"D32in_0 port 0", [&] { return D32in_0(0, 0, 0, 0, &b32); }},
        {"Din port 9", [&] { return Din(0, 9, flags); }},
        {"Din_0 port 0", [&] { return Din_0(0, 0, flags); }},
        {"D8out port 17", [&] { return D8out(0, 17, 0, 0, 0); }},
        {"D8out_0 port 0", [&] { return D8out_0(0, 0, 0, 0, 0); }},
        {"D16out port 9", [&] { return D16out(0, 9, 0, 0, 0); }},
        {"D16out_0 port 9", [&] { return D16out_0(0, 9, 0, 0, 0); }},
        {"D32out port 5", [&] { return D32out(0, 5, 0, 0, 0); }},
        {"D32out_0 port 5", [&] { return D32out_0(0, 5, 0, 0, 0); }},
        {"Dout port 9", [&] { return Dout(0, 9, flags); }},
        {"Dout_0 port 0", [&] { return Dout_0(0, 0, flags); }},
        {"D8in station -1", [&] { return D8in(-1, 1, 0, 0, &b8); }},
        {"D16out station 16", [&] { return D16out(16, 1, 0, 0, 0); }},
        {"Din station -1", [&] { return Din(-1, 1, flags); }},
        {"D16in mirror 2", [&] { return D16in(0, 1, 2, 0, &b16); }},
        {"D16in invert -1", [&] { return D16in(0, 1, 0, -1, &b16); }},
        {"D32out mirror -1", [&] { return D32out(0, 1, 0, -1, 0); }},
        {"D8out_0 invert 2", [&] { return D8out_0(0, 1, 0, 0, 2); }},
        {"D8in null", [&] { return D8in(0, 1, 0, 0, nullptr); }},
        {"D16in_0 null", [&] { return D16in_0(0, 1, 0, 0, nullptr); }},
        {"D32in null", [&] { return D32in(0, 1, 0, 0, nullptr); }},
        {"Din null", [&] { return Din(0, 1, nullptr); }},
        {"Dout null", [&] { return Dout(0, 1, nullptr); }},
        {"Dout_0 null", [&] { return Dout_0(0, 1, nullptr); }},
    };
    const struct {
        const char* name;
        std::function<int32_t()> call;
    } good[] = {
        {"D8in port 16", [&] { return D8in(15, 16, 1, 1, &b8); }},
        {"D16in port 8", [&] { return D16in(0, 8, 0, 0, &b16); }},
        {"D32in_0 port 4", [&] { return D32in_0(0, 4, 0, 0, &b32); }},
        {"Din port 8", [&] { return Din(0, 8, flags); }},
        {"D8out_0 port 16", [&] { return D8out_0(0, 16, -1, 1, 1); }},
        {"D32out port 4", [&] { return D32out(0, 4, 0, 0, 0); }},
        {"Dout_0 port 8", [&] { return Dout_0(0, 8, flags); }},
    };
    for (auto& c : bad) EXPECT_EQ(c.call(), QRL_E_ARG) << c.name;
    for (auto& c : good) EXPECT_EQ(c.call(), QRL_E_NOTOPEN) << c.name;

    uint8_t two[16] = {};
    two[3] = 2;
    EXPECT_EQ(Dout(0, 1, two), QRL_E_ARG) << "flag 2, before the open check";
    EXPECT_EQ(Dout_0(0, 1, two), QRL_E_ARG);
    uint8_t minus[16] = {};
    minus[15] = 0xFF;  // -1 as a signed byte
    EXPECT_EQ(Dout(0, 1, minus), QRL_E_ARG);

    OpenIo();
    for (auto& c : bad) EXPECT_EQ(c.call(), QRL_E_ARG) << c.name << " (open)";
    EXPECT_EQ(Dout(4, 8, two), QRL_E_ARG);
    EXPECT_EQ(Exchanges(), 0u);
    EXPECT_EQ(b8, 0);
    EXPECT_EQ(b16, 0);
}

TEST_F(Dio, OnlyIoStationsAndTheBoard) {
    OpenIo();  // 1 axis, 4 I/O, 5 absent
    uint8_t b8 = 0x77;
    uint8_t flags[16] = {};
    for (int32_t n : {1, 5}) {
        EXPECT_EQ(D8out(n, 1, 0, 0, 0), QRL_E_ARG) << n;
        EXPECT_EQ(D8in(n, 1, 0, 0, &b8), QRL_E_ARG) << n;
        EXPECT_EQ(D32out_0(n, 1, 0, 0, 0), QRL_E_ARG) << n;
        EXPECT_EQ(Din_0(n, 1, flags), QRL_E_ARG) << n;
        EXPECT_EQ(Dout(n, 1, flags), QRL_E_ARG) << n;
    }
    EXPECT_EQ(b8, 0x77);
    EXPECT_EQ(Exchanges(), 0u);
}

TEST_F(Dio, OutputOffsetsSizesAndBytes) {
    OpenIo();
    const struct {
        const char* name;
        int32_t(QRL_CALL* call)(int32_t, int32_t, int32_t, int32_t, int32_t);
        int32_t port, value, mirror, invert;
        int32_t offset;
        const char* data;
    } cases[] = {
        {"D8out 1", D8out, 1, 0x1FF, 0, 0, 257, "FF"},
        {"D8out_0 1", D8out_0, 1, 0x12, 0, 0, 272, "12"},
        {"D8out 16", D8out, 16, 0x12, 0, 0, 272, "12"},
        {"D8out_0 16", D8out_0, 16, 0x12, 0, 0, 257, "12"},
        {"D8out mirror", D8out, 2, 0x01, 1, 0, 258, "80"},
        {"D8out invert", D8out, 2, 0x0F, 0, 1, 258, "F0"},
        {"D16out 1", D16out, 1, 0x1234, 0, 0, 257, "34 12"},
        {"D16out 8", D16out, 8, 0x51234, 0, 0, 271, "34 12"},
        {"D16out_0 1", D16out_0, 1, 0x1234, 0, 0, 271, "34 12"},
        {"D16out_0 8", D16out_0, 8, 0x1234, 0, 0, 257, "34 12"},
        {"D16out mirror", D16out, 2, 0x1234, 1, 0, 259, "48 2C"},
        {"D16out invert", D16out, 2, 0x1234, 0, 1, 259, "CB ED"},
        {"D32out 1", D32out, 1, 0x12345678, 0, 0, 257, "78 56 34 12"},
        {"D32out 4", D32out, 4, 0x12345678, 0, 0, 269, "78 56 34 12"},
        {"D32out_0 4", D32out_0, 4, 0x12345678, 0, 0, 257, "78 56 34 12"},
        {"D32out_0 1", D32out_0, 1, 1, 1, 0, 269, "00 00 00 80"},
        {"D32out both", D32out, 2, 0x12345678, 1, 1, 261, "B7 D3 95 E1"},
    };
    for (auto& c : cases) {
        SCOPED_TRACE(c.name);
        drv().Clear();
        ASSERT_EQ(c.call(4, c.port, c.value, c.mirror, c.invert), 0);
        ASSERT_EQ(Exchanges(), 1u);
        const CommandBuffer& b = drv().log[0].sent;
        const int size = static_cast<int>(std::string(c.data).size() + 1) / 3;
        EXPECT_EQ(b.Count(), 1);
        EXPECT_EQ(b.Field(0, kSelectCode), kSelWrite);
        EXPECT_EQ(b.Field(0, kOffset), c.offset);
        EXPECT_EQ(b.Field(0, kSize), size);
        EXPECT_EQ(DataHex(b, 0, static_cast<size_t>(size)), c.data);
    }
}

TEST_F(Dio, DoutSendsThePortWordAndFifteenZeros) {
    OpenIo();
    uint8_t flags[16] = {};
    flags[0] = 1;
    ASSERT_EQ(Dout(4, 1, flags), 0);
    const CommandBuffer& b = drv().log.at(0).sent;
    EXPECT_EQ(b.Field(0, kOffset), 257);
    EXPECT_EQ(b.Field(0, kSize), 17);
    EXPECT_EQ(b.Field(0, kSelectCode), kSelWrite);
    EXPECT_EQ(DataHex(b, 0, 17), "00 80 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00");

    uint8_t mixed[16] = {1, 0, 0, 0, 0, 0, 0, 1, 1, 0, 0, 0, 0, 0, 1, 1};
    drv().Clear();
    ASSERT_EQ(Dout(4, 5, mixed), 0);
    EXPECT_EQ(drv().log.at(0).sent.Field(0, kOffset), 265);
    EXPECT_EQ(DataHex(drv().log.at(0).sent, 0, 4), "83 81 00 00");
}

TEST_F(Dio, DoutZeroCoversByteZeroAndAllSixteenOutputs) {
    OpenIo();
    uint8_t flags[16] = {};
    flags[0] = 1;
    flags[15] = 1;
    ASSERT_EQ(Dout_0(4, 3, flags), 0);
    const CommandBuffer& b = drv().log.at(0).sent;
    EXPECT_EQ(b.Field(0, kOffset), 256);
    EXPECT_EQ(b.Field(0, kSize), 17);
    EXPECT_EQ(DataHex(b, 0, 17), "03 00 00 00 00 00 00 00 00 00 00 01 80 00 00 00 00");
    drv().Clear();
    ASSERT_EQ(Dout_0(4, 1, flags), 0);
    EXPECT_EQ(DataHex(drv().log.at(0).sent, 0, 17), "03 00 00 00 00 00 00 00 00 00 00 00 00 00 00 01 80");
    drv().Clear();
    ASSERT_EQ(Dout_0(4, 8, flags), 0);
    EXPECT_EQ(DataHex(drv().log.at(0).sent, 0, 17), "03 01 80 00 00 00 00 00 00 00 00 00 00 00 00 00 00");
}

TEST_F(Dio, DinSpreadsThePortWordOverTheFlags) {
    OpenIo();
    Inputs(4, {0, 0, 0x01, 0x80});
    GuardedFlags f;
    ASSERT_EQ(Din(4, 2, f.ptr()), 0);
    EXPECT_EQ(f.flags(), "01 00 00 00 00 00 00 00 00 00 00 00 00 00 00 01");
    EXPECT_TRUE(f.guards_intact());
    EXPECT_EQ(drv().log.at(0).sent.Field(0, kSize), 17);
    EXPECT_EQ(drv().log.at(0).sent.Field(0, kSelectCode), kSelInput);

    GuardedFlags g;
    ASSERT_EQ(Din_0(4, 2, g.ptr()), 0);
    EXPECT_EQ(g.flags(), "00 00 00 00 00 00 00 01 01 00 00 00 00 00 00 00") << "word 0x0180";
}

TEST_F(Dio, FailedReadsPlainFormsStoreNothingZeroFormsStoreAnyway) {
    OpenIo();
    Inputs(4, {0x11, 0x22, 0x33, 0x44});
    drv().fail_all = true;

    Guarded<uint16_t> plain16;
    EXPECT_EQ(D16in(4, 1, 0, 1, plain16.ptr()), QRL_E_IO);
    EXPECT_TRUE(plain16.untouched());
    Guarded<uint16_t> zero16;
    EXPECT_EQ(D16in_0(4, 1, 0, 1, zero16.ptr()), QRL_E_IO);
    EXPECT_EQ(zero16.value(), 0xFFFF) << "the buffer's zeros, inverted";
    EXPECT_TRUE(zero16.guards_intact());

    Guarded<uint8_t> plain8, zero8;
    EXPECT_EQ(D8in(4, 1, 0, 1, plain8.ptr()), QRL_E_IO);
    EXPECT_TRUE(plain8.untouched());
    EXPECT_EQ(D8in_0(4, 1, 0, 0, zero8.ptr()), QRL_E_IO);
    EXPECT_EQ(zero8.value(), 0x00);

    Guarded<uint32_t> plain32, zero32;
    EXPECT_EQ(D32in(4, 1, 1, 1, plain32.ptr()), QRL_E_IO);
    EXPECT_TRUE(plain32.untouched());
    EXPECT_EQ(D32in_0(4, 1, 1, 1, zero32.ptr()), QRL_E_IO);
    EXPECT_EQ(zero32.value(), 0xFFFFFFFFu);

    GuardedFlags fp, fz;
    EXPECT_EQ(Din(4, 1, fp.ptr()), QRL_E_IO);
    EXPECT_TRUE(fp.untouched());
    EXPECT_EQ(Din_0(4, 1, fz.ptr()), QRL_E_IO);
    EXPECT_EQ(fz.flags(), "00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00");
    EXPECT_TRUE(fz.guards_intact());
    EXPECT_EQ(Exchanges(), 8u) << "one attempt each, no retry";
}

TEST_F(Dio, InputsIgnoreTheReturnCodeOutputsRetryBusyAnswers) {
    OpenIo();
    Inputs(4, {0x34, 0x12});
    drv().script = [](uint32_t, CommandBuffer& b, fake::ScriptedDriver& d) {
        std::memcpy(b.Data(0), d.inputs[4], 17);
        b.SetField(0, kReturnCode, -40000);
        return true;
    };
    uint16_t v = 0;
    EXPECT_EQ(D16in(4, 1, 0, 0, &v), 0);
    EXPECT_EQ(v, 0x1234);
    EXPECT_EQ(D8out(4, 1, 0, 0, 0), -40000) << "outputs go through SendCommand";

    int busy = 2;
    drv().Clear();
    drv().script = [&busy](uint32_t, CommandBuffer& b, fake::ScriptedDriver&) {
        b.SetField(0, kReturnCode, busy-- > 0 ? 1 : 0);
        return true;
    };
    uint8_t flags[16] = {};
    EXPECT_EQ(Dout(4, 1, flags), 0);
    EXPECT_EQ(Exchanges(), 3u);
}

}  // namespace
