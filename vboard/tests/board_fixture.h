// Shared test scaffolding: a virtual board on a fake clock, and command buffers
// built with the library's own builders, as the library would send them.
#pragma once

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <initializer_list>
#include <vector>

#include "cmdbuf.h"
#include "virtual_board.h"

namespace vbt {

using qrl::CommandBuffer;

struct Response {
    uint8_t raw[17];
    uint8_t code() const { return raw[1]; }
    uint8_t alarm() const { return raw[2]; }
    uint16_t status() const { return qrl::GetU16(raw + 3); }
    int32_t mon1() const { return qrl::GetI32(raw + 5); }
    int32_t mon2() const { return qrl::GetI32(raw + 9); }
    uint8_t mcode() const { return raw[13]; }
    uint16_t iodata() const { return qrl::GetU16(raw + 14); }
    bool ready() const { return status() & qrl::kStatusReady; }
    bool servo() const { return status() & qrl::kStatusServo; }
};

class BoardTest : public ::testing::Test {
protected:
    int64_t now_ = 1000;
    vboard::VirtualBoard board_{[this] { return now_; }};

    void Advance(int64_t ms) { now_ += ms; }

    bool Send(CommandBuffer& b, uint32_t ioctl = qrl::kIoctlCommand) { return board_.Exchange(ioctl, b.raw); }

    // One entry (template row, Size 16) to the station's command area; returns the ReturnCode.
    int32_t Cmd(int station, int tpl, std::initializer_list<std::pair<int, uint8_t>> patch = {}) {
        CommandBuffer b;
        qrl::SetTemplateEntry(b, 0, qrl::kSelWrite, qrl::CommandArea(station), tpl, 16);
        for (auto& p : patch) b.Data(0)[p.first] = p.second;
        EXPECT_TRUE(Send(b));
        return b.ReturnCode();
    }
    // A command with a 32-bit word patched in at Data[at].
    int32_t CmdWord(int station, int tpl, int at, int32_t v, int at2 = -1, int32_t v2 = 0, uint8_t mcode = 0x81) {
        CommandBuffer b;
        qrl::SetTemplateEntry(b, 0, qrl::kSelWrite, qrl::CommandArea(station), tpl, 16);
        qrl::PutI32(b.Data(0) + at, v);
        if (at2 >= 0) qrl::PutI32(b.Data(0) + at2, v2);
        b.Data(0)[13] = mcode;
        EXPECT_TRUE(Send(b));
        return b.ReturnCode();
    }

    Response Read(int station) {
        CommandBuffer b;
        qrl::SetTemplateEntry(b, 0, qrl::kSelRead, qrl::ResponseArea(station), qrl::kTplZero, 17);
        EXPECT_TRUE(Send(b));
        EXPECT_EQ(b.ReturnCode(), 0);
        Response r;
        std::memcpy(r.raw, b.Data(0), 17);
        return r;
    }

    // A control request (driver SelectCode 3..12) as the library builds it.
    int32_t Request(int32_t select, int32_t offset = 64, int32_t param1 = 0, int32_t param2 = 0) {
        CommandBuffer b;
        qrl::SetTemplateEntry(b, 0, select, offset, qrl::kTplZero, 16);
        qrl::PutI32(b.Data(0) + 8, param1);
        qrl::PutI32(b.Data(0) + 12, param2);
        EXPECT_TRUE(Send(b));
        return b.ReturnCode();
    }

    // The direct writes of bring-up: area set-up and the station-type bytes.
    void WriteTypes(const std::array<int32_t, 15>& types) {
        for (int n = 0; n < 16; ++n) {
            bool present = n == 0 || types[n - 1] != 0;
            for (int32_t off : {qrl::CommandArea(n), qrl::CommandArea(n) + 32}) {
                CommandBuffer b;
                qrl::SetTemplateEntry(b, 0, qrl::kSelWrite, off, present ? qrl::kTplArea : qrl::kTplZero, 17);
                ASSERT_TRUE(Send(b, qrl::kIoctlDirect));
            }
        }
        uint8_t bytes[16] = {0xFF};
        for (int n = 1; n < 16; ++n) bytes[n] = static_cast<uint8_t>(types[n - 1]);
        for (int32_t off : {1024, 1056}) {
            CommandBuffer b;
            qrl::SetDataEntry(b, 0, qrl::kSelWrite, off, bytes, 16);
            ASSERT_TRUE(Send(b, qrl::kIoctlDirect));
        }
    }

    // The whole bring-up for axis stations (set-up, alarm clear, final set-up)
    // and I/O stations (SelectCode 18), as the library runs it.
    void BringUp(const std::array<int32_t, 15>& types, int cycle = 1) {
        WriteTypes(types);
        for (int n = 1; n <= 15; ++n) {
            int32_t t = types[n - 1];
            if (t == 0) continue;
            if ((t & 0x60) == 0x60) {
                CommandBuffer b;
                qrl::SetTemplateEntry(b, 0, qrl::kSelIoInit, qrl::CommandArea(n), qrl::kTplZero, 16);
                ASSERT_TRUE(Send(b));
                ASSERT_EQ(b.ReturnCode(), 0);
                continue;
            }
            ASSERT_EQ(Cmd(n, qrl::kTplStationSetup, {{5, 0x10}, {6, 0x02}, {7, uint8_t(2 * cycle + 2)}}), 0);
            ASSERT_EQ(Cmd(n, qrl::kTplAlarmClear), 0);
            ASSERT_EQ(Cmd(n, qrl::kTplFinalSetup), 0);
        }
    }

    // Servo on and wait for it to settle.
    void ServoOn(int station) {
        ASSERT_EQ(Cmd(station, qrl::kTplSvOn, {{13, 0x81}}), 0);
        Advance(vboard::kServoSettleMs);
        ASSERT_TRUE(Read(station).servo());
    }

    // Advances the fake clock in steps until the station reports ready; returns the ms waited.
    int64_t WaitReady(int station, int64_t limit = 5000, int64_t step = 1) {
        int64_t waited = 0;
        while (!Read(station).ready() && waited < limit) Advance(step), waited += step;
        return waited;
    }
};

// Stations 1 and 3 axes, 2 an I/O station, the rest absent.
constexpr std::array<int32_t, 15> kMixed = {0x41, 0x61, 0x01};

}  // namespace vbt
