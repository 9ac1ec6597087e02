// The real driver: the first present interface of the board's device class,
// exchanged with synchronous DeviceIoControl.
#include <windows.h>
#include <setupapi.h>

#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <shared_mutex>

#include "channels.h"
#include "cmdbuf.h"
#include "win32_error.h"

namespace qrl::win32 {

namespace {

const GUID kBoardInterface = {0x81014CF8, 0x8182, 0x45F7, {0x91, 0xD2, 0xC9, 0x00, 0x85, 0x5E, 0x8B, 0xD6}};

// Exchanges of several threads go to the driver side by side (it serialises the
// requests of its device itself); Close waits for those in flight and then makes
// every later exchange fail, so that no exchange ever uses a closed handle, or one
// the system has since given to something else.
class KernelChannel : public DeviceChannel {
public:
    explicit KernelChannel(HANDLE h) : h_(h) {}
    ~KernelChannel() override { Close(); }
    bool Exchange(uint32_t ioctl, uint8_t* buffer) override {
        std::shared_lock<std::shared_mutex> g(mu_);
        if (h_ == INVALID_HANDLE_VALUE) {
            NoteDeviceRefusal("device closed");
            return false;
        }
        DWORD got = 0;
        if (DeviceIoControl(h_, ioctl, buffer, kBufferSize, buffer, kBufferSize, &got, nullptr)) return true;
        NoteFailedCall("DeviceIoControl");  // the driver's failure, as Windows reports it
        return false;
    }
    bool Close() override {
        std::unique_lock<std::shared_mutex> g(mu_);
        if (h_ == INVALID_HANDLE_VALUE) return true;
        BOOL ok = CloseHandle(h_);
        if (!ok) NoteFailedCall("CloseHandle");
        h_ = INVALID_HANDLE_VALUE;
        return ok != 0;
    }

private:
    std::shared_mutex mu_;
    HANDLE h_;
};

}  // namespace

std::unique_ptr<DeviceChannel> OpenKernelDevice() {
    HDEVINFO list = SetupDiGetClassDevsA(&kBoardInterface, nullptr, nullptr, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
    if (list == INVALID_HANDLE_VALUE) {
        std::printf("SetupDiEnumDeviceInterfaces returns %lu\n", NoteFailedCall("SetupDiGetClassDevs"));
        return nullptr;
    }
    SP_DEVICE_INTERFACE_DATA iface = {};
    iface.cbSize = sizeof iface;
    if (!SetupDiEnumDeviceInterfaces(list, nullptr, &kBoardInterface, 0, &iface)) {
        // 259 (no more items): no board's interface is present, the driver is missing.
        std::printf("SetupDiEnumDeviceInterfaces returns %lu\n", NoteFailedCall("SetupDiEnumDeviceInterfaces"));
        SetupDiDestroyDeviceInfoList(list);
        return nullptr;
    }
    DWORD need = 0;
    SetupDiGetDeviceInterfaceDetailA(list, &iface, nullptr, 0, &need, nullptr);
    auto* detail = need >= sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A)
                       ? static_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_A*>(std::calloc(1, need))
                       : nullptr;
    if (detail) detail->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A);  // 5 on i686
    if (!detail || !SetupDiGetDeviceInterfaceDetailA(list, &iface, detail, need, nullptr, nullptr)) {
        std::printf("SetupDiGetInterfaceDeviceDetail returns %lu\n",
                    NoteFailedCall("SetupDiGetDeviceInterfaceDetail"));
        std::free(detail);
        SetupDiDestroyDeviceInfoList(list);
        return nullptr;
    }
    HANDLE h = CreateFileA(detail->DevicePath, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                           nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    // 5 (access denied) or 32 (in use): the board is there, but refused or busy.
    if (h == INVALID_HANDLE_VALUE) NoteFailedCall("CreateFile");
    std::free(detail);
    SetupDiDestroyDeviceInfoList(list);
    std::fflush(stdout);
    if (h == INVALID_HANDLE_VALUE) return nullptr;
    return std::make_unique<KernelChannel>(h);
}

}  // namespace qrl::win32
