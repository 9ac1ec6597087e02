// Shared fixture of the command-family tests: a board opened through the real
// BdOpen on the scripted driver, and short ways to look at what was exchanged.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

#include "board.h"
#include "cmdbuf.h"
#include "fakes.h"
#include "qrlink00.h"

namespace cmdtest {

constexpr int32_t kAxis = 0x01;
constexpr int32_t kIo = 0x61;

class CommandTest : public ::testing::Test {
protected:
    fake::Scope scope;

    fake::ScriptedDriver& drv() { return scope.driver(); }
    fake::FakeClock& clock() { return scope.platform.clock; }

    // InitDll(1) and BdOpen with the given (station, type) pairs, then a clean log.
    void Open(std::initializer_list<std::pair<int, int32_t>> stations) {
        int32_t types[15] = {};
        for (auto& s : stations) types[s.first - 1] = s.second;
        ASSERT_EQ(InitDll(1), 0);
        ASSERT_EQ(BdOpen(0, 10, 0, types), 0);
        for (auto& s : stations) ASSERT_EQ(types[s.first - 1], s.second) << "station " << s.first << " dropped";
        drv().Clear();
    }
    // An open board with axis stations 1..3 and I/O station 4.
    void OpenDefault() { Open({{1, kAxis}, {2, kAxis}, {3, kAxis}, {4, kIo}}); }

    std::vector<fake::Record> Commands() { return drv().Of(qrl::kIoctlCommand); }
    size_t Exchanges() { return drv().log.size(); }

    // Exchanges whose entry 0 has the given SelectCode.
    std::vector<fake::Record> WithSelect(int32_t select) {
        std::vector<fake::Record> out;
        for (auto& r : drv().log)
            if (r.sent.Field(0, qrl::kSelectCode) == select) out.push_back(r);
        return out;
    }
    std::vector<fake::Record> Writes() { return WithSelect(qrl::kSelWrite); }
    std::vector<fake::Record> Reads() { return WithSelect(qrl::kSelRead); }

    // Sets station n's response area: code, alarm, status; other bytes kept.
    void Respond(int n, uint8_t code, uint16_t status = qrl::kStatusReady, uint8_t alarm = 0) {
        drv().response[n][qrl::kRspCode] = code;
        drv().response[n][qrl::kRspAlarm] = alarm;
        qrl::PutU16(drv().response[n] + qrl::kRspStatus, status);
    }
};

inline std::string DataHex(const qrl::CommandBuffer& b, int k, size_t n) { return fake::Hex(b.Data(k), n); }

// A typed out-value in the middle of sentinel bytes, to see exactly what a call
// wrote: nothing outside the value, and the value only where documented.
template <typename T>
struct Guarded {
    static constexpr uint8_t kFill = 0xA5;
    alignas(8) uint8_t bytes[sizeof(T) * 3];
    Guarded() { std::memset(bytes, kFill, sizeof bytes); }
    T* ptr() { return reinterpret_cast<T*>(bytes + sizeof(T)); }
    T value() const {
        T v;
        std::memcpy(&v, bytes + sizeof(T), sizeof(T));
        return v;
    }
    bool untouched() const {
        for (uint8_t b : bytes)
            if (b != kFill) return false;
        return true;
    }
    bool guards_intact() const {
        for (size_t i = 0; i < sizeof(T); ++i)
            if (bytes[i] != kFill || bytes[2 * sizeof(T) + i] != kFill) return false;
        return true;
    }
};

}  // namespace cmdtest
