// The library's global board state, station kinds, transfers and waits.
//
// One open board per process. InitDll, BdOpen and BdClose change this state while
// no other thread uses the library; command calls only read it.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>

#include "cmdbuf.h"
#include "platform.h"
#include "qrlink00.h"

namespace qrl {

constexpr int kStations = 16;  // 0 = the board itself, 1..15 on the network
constexpr int32_t kBoardStationType = 255;

enum StationKind : int { kNoStation = 0, kAxisStation = 1, kIoStation = 2 };

// A station's two option codes (M-code low and high, or O-code 0 and 1) in one
// atomic word: command calls read them while another thread may run McodePut or
// OcodePut, and a command must see the pair before or after that call, never one
// code of each. Each code is kept in 16 bits (the setters allow 0..15).
class OptionPair {
public:
    int32_t operator[](int i) const { return Half(bits_.load(std::memory_order_acquire), i); }
    // Both codes as one reading.
    void Load(int32_t& first, int32_t& second) const {
        const uint32_t b = bits_.load(std::memory_order_acquire);
        first = Half(b, 0);
        second = Half(b, 1);
    }
    void Set(int i, int32_t v) {
        uint32_t b = bits_.load(std::memory_order_relaxed);
        while (!bits_.compare_exchange_weak(b, With(b, i, v), std::memory_order_acq_rel)) {
        }
    }
    void SetBoth(int32_t first, int32_t second) { bits_.store(With(With(0, 0, first), 1, second)); }

private:
    static int32_t Half(uint32_t b, int i) { return static_cast<int16_t>(b >> (16 * i)); }
    static uint32_t With(uint32_t b, int i, int32_t v) {
        const uint32_t shift = 16u * static_cast<uint32_t>(i);
        return (b & ~(0xFFFFu << shift)) | ((static_cast<uint32_t>(v) & 0xFFFFu) << shift);
    }
    std::atomic<uint32_t> bits_{0};
};

struct BoardState {
    int32_t family = 0;  // 0 until InitDll; 1 vx710s10, 2 vx880s10
    int32_t open = 0;    // 1 after a BdOpen that ran to the end
    std::unique_ptr<DeviceChannel> device;
    int32_t stations[kStations] = {};  // application type codes; 0 = none or dropped
    OptionPair mcode[kStations];  // M-code low, high
    OptionPair ocode[kStations];  // O-code 0, 1
};

BoardState& Board();
#ifdef VX_TEST_HOOKS
// Returns every global to its load-time state (tests only; closes no handle).
void ResetBoardForTests();
#endif

// Kind of station n (0..15) from the station table.
StationKind KindOf(int station);
inline bool IsAxis(int station) { return KindOf(station) == kAxisStation; }

// Exchanges. All return 0 or a negative status.
//   TransferCommands: ioctl 0x222004 with the call-log hooks around it; -1 on failure.
//   TransferDirect:   ioctl 0x222000, never logged; -1 on failure.
//   SendCommand:      TransferCommands until entry 0 reports 0: 0, -1, -7 after
//                     2000 ms, or a final ReturnCode below -32770 at once.
int32_t TransferCommands(CommandBuffer& b);
int32_t TransferDirect(CommandBuffer& b);
int32_t SendCommand(CommandBuffer& b);

// Polling waits on one station's response area (entry 0 only). Each yields once per
// pass, never sleeps, and ends strictly after its limit; a failed exchange (-1) or a
// ReturnCode below -32769 is returned at once.
int32_t WaitReady(int station);                                        // -7 at 2000 ms
int32_t WaitResponse(int station, int32_t expected, int32_t limit_ms); // -8
int32_t WaitEcho(int entry, int station, const CommandBuffer& sent, int first, int last,
                 int32_t limit_ms);                                    // -9
int32_t WaitServoOn(int station);                                      // -10 at 2000 ms
int32_t WaitServoOff(int station);                                     // -11 at 2000 ms

// Reads the station's 17-byte response area into entry 0 of b (template `tpl`) with
// one TransferCommands. Returns its result (0 or -1).
int32_t ReadResponse(CommandBuffer& b, int station, int tpl = kTplZero);

// One deadline for every polling loop: the limit is exceeded when strictly more
// than limit_ms have passed since construction. A negative limit (kNoLimit) is
// never exceeded.
class Deadline {
public:
    explicit Deadline(int32_t limit_ms);
    bool Expired() const;
    int32_t limit() const { return limit_; }
    // Milliseconds since construction.
    int64_t ElapsedMs() const;

private:
    int64_t start_;
    int32_t limit_;
};
constexpr int32_t kNoLimit = -1;

// The pause between two reads of a wait that may last long (QrlRdyWait,
// QrlRspWait). For the first kPollSpinMs of the wait it yields the processor, as
// the 2000 ms waits do on every pass: an answer that is there at once, or within a
// millisecond or two, is seen without a sleep's delay. From then on it sleeps, 1 ms
// at first and longer as the wait grows old: elapsed/16 ms, at most
// kPollSleepMaxMs. A read costs tens of microseconds in process and about a
// hundred through a pipe under Wine; sleeping 1 ms throughout would still spend
// near a tenth of a processor on a long move through the pipe, while 4 ms brings it
// to a few per cent. The later sleeps delay the end of the wait by at most a
// sixteenth of the time already waited and never by more than 4 ms, nothing beside
// a move of that length (on Windows a sleep lasts until the next timer tick, 15.6 ms
// by default, which then bounds the delay from the first sleep on). A sleep never
// passes the deadline: the last read falls exactly on the limit, so a limit of N ms
// still ends the wait when more than N ms have passed, and not later.
void PauseBetweenPolls(const Deadline& deadline, int32_t limit_ms);

// How a polling wait spends the time between two reads.
enum class Pace {
    kYieldFirst,  // a processor yield before each read (WaitReady)
    kYieldAfter,  // a yield after each read, before judging it (the other waits, RdyWait, RspWait)
    kSleep,       // PauseBetweenPolls after each read that does not end the wait (the Qrl waits)
};
// The one polling loop of every wait: reads station's response area with template
// `tpl` until `done(data)` holds with ReturnCode 0 (0), `deadline` passes its limit
// (timeout_code, noted for the failure detail; a limit of 0 allows exactly one
// read), an exchange fails (-1) or a ReturnCode is final (below -32769, passed
// through). Blocks for at most the deadline's limit and one exchange.
int32_t PollResponse(int station, const Deadline& deadline, int32_t timeout_code, Pace pace, int tpl,
                     const std::function<bool(const uint8_t*)>& done);
constexpr int64_t kPollSpinMs = 2;
constexpr int64_t kPollSleepGrowth = 16;  // sleep = elapsed / 16 ms ...
constexpr int64_t kPollSleepMaxMs = 4;    // ... between 1 and 4

// Milliseconds to wait in BdClose between the close commands and the final write.
constexpr uint32_t kCloseSettleMs = 100;
constexpr int32_t kStandardLimitMs = 2000;
constexpr int32_t kConfigLimitMs = 6000;
constexpr int32_t kSetupEchoLimitMs = 600;

}  // namespace qrl
