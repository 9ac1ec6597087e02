#include "pipe_server.h"

#include <cstring>

#include "cmdbuf.h"
#include "pipe_protocol.h"

namespace vxsim {

namespace {
constexpr DWORD kPipeBuffer = 8192;
}

PipeServer::PipeServer(std::string name, vboard::VirtualBoard& board, bool allow_stop)
    : name_(std::move(name)), board_(board), allow_stop_(allow_stop) {
    stop_ = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    stop_requested_ = CreateEventA(nullptr, TRUE, FALSE, nullptr);
}

PipeServer::~PipeServer() {
    Stop();
    CloseHandle(stop_);
    CloseHandle(stop_requested_);
}

HANDLE PipeServer::NewInstance() {
    return CreateNamedPipeA(name_.c_str(), PIPE_ACCESS_DUPLEX | FILE_FLAG_OVERLAPPED,
                            PIPE_TYPE_MESSAGE | PIPE_READMODE_MESSAGE | PIPE_WAIT, PIPE_UNLIMITED_INSTANCES,
                            kPipeBuffer, kPipeBuffer, 0, nullptr);
}

bool PipeServer::Start() {
    if (started_) return true;
    ResetEvent(stop_);
    HANDLE first = NewInstance();
    if (first == INVALID_HANDLE_VALUE) return false;
    started_ = true;
    accept_ = std::thread(&PipeServer::AcceptLoop, this, first);
    return true;
}

void PipeServer::Stop() {
    if (!started_) return;
    SetEvent(stop_);
    if (accept_.joinable()) accept_.join();
    std::list<Client> clients;
    {
        std::lock_guard<std::mutex> lock(mu_);
        clients.swap(clients_);
    }
    for (auto& c : clients) c.thread.join();
    started_ = false;
}

void PipeServer::ReapFinished() {
    std::list<Client> finished;
    {
        std::lock_guard<std::mutex> lock(mu_);
        for (auto it = clients_.begin(); it != clients_.end();) {
            auto next = std::next(it);
            if (it->done.load()) finished.splice(finished.end(), clients_, it);
            it = next;
        }
    }
    for (auto& c : finished) c.thread.join();
}

// Waits for an overlapped operation or the stop event. False on stop or failure.
bool PipeServer::WaitIo(HANDLE pipe, OVERLAPPED& ov, DWORD* n, bool* more_data) {
    HANDLE events[2] = {ov.hEvent, stop_};
    DWORD w = WaitForMultipleObjects(2, events, FALSE, INFINITE);
    if (w != WAIT_OBJECT_0) {
        CancelIo(pipe);
        DWORD ignored;
        GetOverlappedResult(pipe, &ov, &ignored, TRUE);
        return false;
    }
    if (GetOverlappedResult(pipe, &ov, n, FALSE)) return true;
    if (more_data && GetLastError() == ERROR_MORE_DATA) {
        *more_data = true;
        return true;
    }
    return false;
}

// Two instances listen at all times: while one is being handed to its client
// thread the other still accepts, so a client never finds the pipe missing
// (a missing pipe fails its open outright instead of waiting as "busy").
void PipeServer::AcceptLoop(HANDLE first) {
    constexpr int kListeners = 2;
    struct Slot {
        HANDLE pipe = INVALID_HANDLE_VALUE;
        OVERLAPPED ov{};
        bool connected = false;
    } slots[kListeners];
    auto listen = [&](Slot& s, HANDLE pipe) {
        s.pipe = pipe;
        s.connected = false;
        if (pipe == INVALID_HANDLE_VALUE) return;
        ResetEvent(s.ov.hEvent);
        if (ConnectNamedPipe(pipe, &s.ov)) {
            s.connected = true;
        } else {
            DWORD err = GetLastError();
            if (err == ERROR_PIPE_CONNECTED) s.connected = true;
            else if (err != ERROR_IO_PENDING) CloseHandle(pipe), s.pipe = INVALID_HANDLE_VALUE;
        }
        if (s.connected) SetEvent(s.ov.hEvent);
    };
    for (int i = 0; i < kListeners; ++i) {
        slots[i].ov.hEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
        listen(slots[i], i == 0 ? first : NewInstance());
    }
    for (;;) {
        HANDLE events[kListeners + 1];
        for (int i = 0; i < kListeners; ++i) events[i] = slots[i].ov.hEvent;
        events[kListeners] = stop_;
        // A slot without an instance (creation failed) is retried every 50 ms.
        DWORD w = WaitForMultipleObjects(kListeners + 1, events, FALSE, 50);
        if (w == WAIT_OBJECT_0 + kListeners) break;
        ReapFinished();
        for (int i = 0; i < kListeners; ++i) {
            Slot& s = slots[i];
            if (s.pipe == INVALID_HANDLE_VALUE) {
                listen(s, NewInstance());
                continue;
            }
            if (WaitForSingleObject(s.ov.hEvent, 0) != WAIT_OBJECT_0) continue;
            DWORD n;
            bool ok = s.connected || GetOverlappedResult(s.pipe, &s.ov, &n, FALSE);
            HANDLE pipe = s.pipe;
            listen(s, NewInstance());
            if (ok) {
                std::lock_guard<std::mutex> lock(mu_);
                Client& c = clients_.emplace_back();
                c.thread = std::thread(&PipeServer::Serve, this, pipe, &c);
            } else {
                CloseHandle(pipe);
            }
        }
    }
    for (Slot& s : slots) {
        if (s.pipe != INVALID_HANDLE_VALUE) {
            CancelIo(s.pipe);
            CloseHandle(s.pipe);
        }
        CloseHandle(s.ov.hEvent);
    }
}

void PipeServer::Serve(HANDLE pipe, Client* self) {
    OVERLAPPED ov{};
    ov.hEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    // One byte more than a request, so an oversized message is seen as such.
    uint8_t request[vboard::kPipeMessageSize + 1];
    uint8_t reply[vboard::kPipeMessageSize];
    for (;;) {
        size_t len = 0;
        bool more = true, ok = true, oversized = false;
        while (more && ok) {
            more = false;
            uint8_t* dst = len < sizeof request ? request + len : request;
            DWORD room = len < sizeof request ? static_cast<DWORD>(sizeof request - len) : sizeof request;
            DWORD n = 0;
            ResetEvent(ov.hEvent);
            if (ReadFile(pipe, dst, room, &n, &ov)) {
                ok = true;
            } else if (GetLastError() == ERROR_MORE_DATA) {
                more = true;
            } else if (GetLastError() == ERROR_IO_PENDING) {
                ok = WaitIo(pipe, ov, &n, &more);
            } else {
                ok = false;
            }
            len += n;  // beyond the buffer only the count matters: it is malformed anyway
            if (more) oversized = true;  // the message did not fit in one request
        }
        if (!ok) break;
        // The byte counts of the parts of an oversized message are not all
        // reliable; it is malformed whatever they add up to.
        if (oversized) len = sizeof request;
        vboard::PipeOutcome o = vboard::HandlePipeRequest(board_, request, len, reply, allow_stop_);
        DWORD n = 0;
        ResetEvent(ov.hEvent);
        if (!WriteFile(pipe, reply, sizeof reply, &n, &ov)) {
            if (GetLastError() != ERROR_IO_PENDING || !WaitIo(pipe, ov, &n, nullptr)) break;
        }
        if (o.stop) SetEvent(stop_requested_);
    }
    DisconnectNamedPipe(pipe);
    CloseHandle(pipe);
    CloseHandle(ov.hEvent);
    self->done = true;
}

bool Transact(const std::string& name, uint32_t code, uint8_t* buffer, uint32_t* result) {
    HANDLE h = INVALID_HANDLE_VALUE;
    for (int attempt = 0; attempt < 20 && h == INVALID_HANDLE_VALUE; ++attempt) {
        h = CreateFileA(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        if (h == INVALID_HANDLE_VALUE) {
            if (GetLastError() != ERROR_PIPE_BUSY) return false;
            WaitNamedPipeA(name.c_str(), 2000);
        }
    }
    if (h == INVALID_HANDLE_VALUE) return false;
    DWORD mode = PIPE_READMODE_MESSAGE;
    SetNamedPipeHandleState(h, &mode, nullptr, nullptr);
    uint8_t req[qrl::kPipeMessageSize], rep[qrl::kPipeMessageSize];
    qrl::PutPipeRequest(req, code, buffer);
    DWORD n = 0;
    const bool ok = TransactNamedPipe(h, req, sizeof req, rep, sizeof rep, &n, nullptr) != 0;
    CloseHandle(h);
    uint32_t got = 0;
    if (!ok || !qrl::GetPipeReply(rep, n, &got, buffer)) return false;
    if (result) *result = got;
    return true;
}

}  // namespace vxsim
