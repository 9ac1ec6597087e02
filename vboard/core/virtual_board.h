// The virtual VX-7105 board: the driver's side of the exchange and the firmware
// of the stations on its network, in portable C++.
//
// It stands in for the kernel driver and the hardware wherever they are absent:
// in process (QRLINK00_DEVICE=sim), behind the driver stand-in's named pipe, and
// in the tests. Thread-safe: every public member may be called from any thread.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "vboard_codes.h"

namespace vboard {

// Milliseconds of a monotonic clock; tests pass a fake one.
using NowFn = std::function<int64_t()>;

enum class Kind { None = 0, Axis = 1, Io = 2 };

// What an axis reports, at the board's current time.
struct AxisReport {
    Kind kind = Kind::None;
    int64_t command = 0;
    int64_t feedback = 0;
    uint16_t status = 0;
    uint8_t alarm = 0;
    uint8_t code = 0;       // response code of the last command answered
    uint16_t iodata = 0;
    bool moving = false;
    int32_t ip_queued = 0;  // interpolation points waiting
    int32_t axis_data = 0;  // axis data records waiting for LkStart
};

class VirtualBoard {
public:
    explicit VirtualBoard(NowFn now = nullptr);  // nullptr: steady clock
    ~VirtualBoard();
    VirtualBoard(const VirtualBoard&) = delete;
    VirtualBoard& operator=(const VirtualBoard&) = delete;

    // One driver exchange: ioctl 0x222004 (commands) or 0x222000 (direct writes)
    // with the 1264-byte command buffer, processed in place as the driver would.
    // Returns false when the exchange fails (unknown code or an injected fault).
    bool Exchange(uint32_t ioctl, uint8_t* buffer);

    // A control request block (layout in vboard_codes.h, 1264 bytes), answered in
    // place. False for an unknown op or bad arguments.
    bool Control(uint8_t* block);

    // ---- Observation --------------------------------------------------------
    Kind KindOf(int station) const;                   // from the type bytes at 1024
    AxisReport Axis(int station) const;
    std::array<uint8_t, 16> Outputs(int station) const;  // station 0..15
    std::array<uint8_t, 16> Inputs(int station) const;
    std::vector<uint8_t> Memory(int32_t offset, int32_t length) const;  // clipped to the memory
    int32_t IpCapacity() const;

    // ---- Driving inputs -----------------------------------------------------
    // Forces input byte `index` (0..15) of station 0..15: bits in `mask` read as
    // in `value`, the others follow the loopback.
    void SetInputOverride(int station, int index, uint8_t mask, uint8_t value);
    void ClearInputOverrides(int station);  // -1: every station
    void SetLoopback(bool on);              // off: unforced inputs read 0
    // Forces bits of an axis station's I/O data word (mask 0 releases them).
    void SetIoDataOverride(int station, uint16_t mask, uint16_t value);

    // ---- Fault injection ------------------------------------------------------
    void SetSilent(int station, bool silent);  // no response updates, ready cleared
    void FailExchanges(int count);             // the next `count` exchanges fail
    // Entries addressed to `station` (-1: any entry; 0: the board's own requests,
    // SelectCode 3..12 and station 0 I/O) answer `code` without being performed,
    // during the next `exchanges` exchanges.
    void InjectReturnCode(int station, int32_t code, int exchanges);
    void RaiseAlarm(int station, uint8_t code);
    void Reset();  // as after power-on (the clock keeps running)

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace vboard
