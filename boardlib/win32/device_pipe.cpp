// A board stand-in on a message-type named pipe. One TransactNamedPipe per
// exchange: request = uint32 LE control code + the 1264-byte buffer; reply =
// uint32 LE result (nonzero: processed) + the buffer as the driver left it.
#include <windows.h>

#include <cstring>
#include <mutex>

#include "channels.h"
#include "cmdbuf.h"
#include "win32_error.h"

namespace qrl::win32 {

namespace {

constexpr DWORD kMessageSize = 4 + kBufferSize;

class PipeChannel : public DeviceChannel {
public:
    explicit PipeChannel(HANDLE h) : h_(h) {}
    ~PipeChannel() override { Close(); }

    bool Exchange(uint32_t ioctl, uint8_t* buffer) override {
        uint8_t request[kMessageSize], reply[kMessageSize + 4];
        PutU32(request, ioctl);
        std::memcpy(request + 4, buffer, kBufferSize);
        DWORD got = 0;
        BOOL ok;
        {
            // One transaction at a time on the one handle, as the driver serialises
            // the requests of one device.
            std::lock_guard<std::mutex> g(mu_);
            if (h_ == INVALID_HANDLE_VALUE) {
                NoteDeviceRefusal("pipe closed");
                return false;
            }
            ok = TransactNamedPipe(h_, request, kMessageSize, reply, sizeof reply, &got, nullptr);
            // 109 (broken pipe): the stand-in went away; 234 (more data): its reply
            // was longer than a message may be.
            if (!ok && NoteFailedCall("TransactNamedPipe") == ERROR_MORE_DATA) Drain();
        }
        if (!ok) return false;
        if (got != kMessageSize) {
            NoteDeviceRefusal("short reply");
            return false;
        }
        std::memcpy(buffer, reply + 4, kBufferSize);
        if (GetU32(reply) != 0) return true;
        NoteDeviceRefusal("reply: not processed");
        return false;
    }

    bool Close() override {
        std::lock_guard<std::mutex> g(mu_);
        if (h_ == INVALID_HANDLE_VALUE) return true;
        BOOL ok = CloseHandle(h_);
        if (!ok) NoteFailedCall("CloseHandle");
        h_ = INVALID_HANDLE_VALUE;
        return ok != 0;
    }

private:
    // An oversized reply leaves the rest of its message in the pipe; read it away so
    // the next transaction starts on a message boundary.
    void Drain() {
        uint8_t scrap[512];
        DWORD n = 0;
        while (!ReadFile(h_, scrap, sizeof scrap, &n, nullptr) && GetLastError() == ERROR_MORE_DATA) {
        }
    }

    HANDLE h_;
    std::mutex mu_;
};

}  // namespace

std::unique_ptr<DeviceChannel> OpenPipeDevice(const std::string& path) {
    // 2 (file not found): no stand-in serves the pipe; 231 (all instances busy) and
    // then a failed WaitNamedPipe: it serves, but had no free instance in time.
    HANDLE h = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE && NoteFailedCall("CreateFile") == ERROR_PIPE_BUSY) {
        if (!WaitNamedPipeA(path.c_str(), kPipeBusyWaitMs)) {
            NoteFailedCall("WaitNamedPipe");
            return nullptr;
        }
        h = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        if (h == INVALID_HANDLE_VALUE) NoteFailedCall("CreateFile");
    }
    if (h == INVALID_HANDLE_VALUE) return nullptr;
    DWORD mode = PIPE_READMODE_MESSAGE;
    if (!SetNamedPipeHandleState(h, &mode, nullptr, nullptr)) {
        NoteFailedCall("SetNamedPipeHandleState");
        CloseHandle(h);
        return nullptr;
    }
    return std::make_unique<PipeChannel>(h);
}

}  // namespace qrl::win32
