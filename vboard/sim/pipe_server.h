// Serves one VirtualBoard on a message-type named pipe: any number of instances,
// one thread per connected client, the board shared between them. A client's
// thread is joined soon after its client goes, so a long-running service holds
// only the threads of the clients connected now.
#pragma once

#include <windows.h>

#include <atomic>
#include <list>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "virtual_board.h"

namespace vxsim {

constexpr const char* kDefaultPipe = "\\\\.\\pipe\\vx710s10";

class PipeServer {
public:
    PipeServer(std::string name, vboard::VirtualBoard& board, bool allow_stop);
    ~PipeServer();
    PipeServer(const PipeServer&) = delete;
    PipeServer& operator=(const PipeServer&) = delete;

    // Creates the first listening instance (so a client may connect as soon as
    // this returns) and the accepting thread. False when the pipe cannot be made.
    bool Start();
    // Closes every instance; clients' later exchanges fail. Joins all threads.
    void Stop();
    // Signalled when a client sent the stop control request (allow_stop only).
    HANDLE stop_requested() const { return stop_requested_; }

private:
    // A client's thread; `done` is set as its last act, so that the accepting
    // thread can join it and release its handle while the server goes on running.
    struct Client {
        std::thread thread;
        std::atomic<bool> done{false};
    };
    HANDLE NewInstance();
    void AcceptLoop(HANDLE first);
    void Serve(HANDLE pipe, Client* self);
    void ReapFinished();
    bool WaitIo(HANDLE pipe, OVERLAPPED& ov, DWORD* n, bool* more_data);

    std::string name_;
    vboard::VirtualBoard& board_;
    bool allow_stop_;
    HANDLE stop_ = nullptr;            // manual-reset: the server is stopping
    HANDLE stop_requested_ = nullptr;  // manual-reset: a client asked to stop
    std::thread accept_;
    std::mutex mu_;
    std::list<Client> clients_;
    bool started_ = false;
};

// Client side, for the small control commands and the tests: one transaction.
// False when the pipe cannot be opened or the transaction fails or is short.
bool Transact(const std::string& pipe, uint32_t code, uint8_t* buffer1264, uint32_t* result);

}  // namespace vxsim
