// The virtual board in process. One board per process, kept across BdClose and
// BdOpen as a real board keeps its state while the driver runs.
#include "channels.h"
#include "virtual_board.h"

namespace qrl::win32 {

namespace {

vboard::VirtualBoard& Board() {
    static vboard::VirtualBoard board;
    return board;
}

class SimChannel : public DeviceChannel {
public:
    bool Exchange(uint32_t ioctl, uint8_t* buffer) override { return Board().Exchange(ioctl, buffer); }
    bool Close() override { return true; }
};

}  // namespace

std::unique_ptr<DeviceChannel> OpenSimDevice() { return std::make_unique<SimChannel>(); }

}  // namespace qrl::win32
