// The virtual board in process. One board per process, kept across BdClose and
// BdOpen as a real board keeps its state while the driver runs.
#include "channels.h"
#include "failure.h"
#include "virtual_board.h"

namespace qrl::win32 {

namespace {

vboard::VirtualBoard& Board() {
    static vboard::VirtualBoard board;
    return board;
}

class SimChannel : public DeviceChannel {
public:
    bool Exchange(uint32_t ioctl, uint8_t* buffer) override {
        if (Board().Exchange(ioctl, buffer)) return true;
        NoteDeviceRefusal("refused by the virtual board");
        return false;
    }
    bool Close() override { return true; }
};

}  // namespace

std::unique_ptr<DeviceChannel> OpenSimDevice() { return std::make_unique<SimChannel>(); }

}  // namespace qrl::win32
