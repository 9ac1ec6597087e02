// A board stand-in on a message-type named pipe: one TransactNamedPipe per
// exchange, framed as pipe_framing.h says.
#include <windows.h>

#include <mutex>

#include "channels.h"
#include "pipe_framing.h"
#include "win32_error.h"

namespace qrl::win32 {

namespace {

class PipeChannel : public DeviceChannel {
public:
    explicit PipeChannel(HANDLE h) : h_(h) {}
    ~PipeChannel() override { Close(); }

    bool Exchange(uint32_t ioctl, uint8_t* buffer) override {
        // The reply buffer is a little larger than a message, so a longer one is
        // seen as such rather than cut to size.
        uint8_t request[kPipeMessageSize], reply[kPipeMessageSize + 4];
        PutPipeRequest(request, ioctl, buffer);
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
            ok = TransactNamedPipe(h_, request, kPipeMessageSize, reply, sizeof reply, &got, nullptr);
            // 109 (broken pipe): the stand-in went away; 234 (more data): its reply
            // was longer than a message may be.
            if (!ok && NoteFailedCall("TransactNamedPipe") == ERROR_MORE_DATA) Drain();
        }
        if (!ok) return false;
        uint32_t result = 0;
        if (!GetPipeReply(reply, got, &result, buffer)) {
            NoteDeviceRefusal("short reply");
            return false;
        }
        if (result != 0) return true;
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
