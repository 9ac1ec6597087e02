// The virtual VX-7105 board: the driver's side of the exchange and the firmware
// of the stations on its network, in portable C++.
//
// It stands in for the kernel driver and the hardware wherever they are absent:
// in process (QRLINK00_DEVICE=sim), behind the driver stand-in's named pipe, and
// in the tests. Thread-safe: every public member may be called from any thread.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>

namespace vboard {

// Milliseconds of a monotonic clock; tests pass a fake one.
using NowFn = std::function<int64_t()>;

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

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace vboard
