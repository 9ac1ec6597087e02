// Transfers and polling waits: the only road from the library to the driver.
#include <algorithm>
#include <cstring>

#include "board.h"
#include "calllog.h"
#include "failure.h"

namespace qrl {

namespace {

// SendCommand retries busy answers; only codes below this are final.
constexpr int32_t kSendFinalBelow = -32770;
// The polling reads treat -32770 itself as final too.
constexpr int32_t kWaitFinalBelow = -32769;

// One exchange with the open device; a failure is noted for the failure detail with
// the cause the channel reported (a Windows error or the device's refusal).
int32_t Exchange(uint32_t ioctl, CommandBuffer& b) {
    DeviceChannel* dev = Board().device.get();
    if (dev == nullptr) {
        NoteNoDevice(b);
        return QRL_E_IO;
    }
    BeginDeviceCall();
    if (dev->Exchange(ioctl, b.raw)) return QRL_OK;
    NoteDeviceFailure(QRL_E_IO, &b);
    return QRL_E_IO;
}

// What one pass of a wait saw in the response area.
struct Seen {
    uint8_t code;
    uint16_t status;
};

// The loop every wait shares. `pre_yield` puts the yield before the read (WaitReady)
// instead of after it (all others). `done` decides on what one read returned.
template <typename Done>
int32_t Poll(int station, int32_t limit_ms, int32_t timeout_code, bool pre_yield, Done done) {
    Clock& clock = CurrentPlatform().Time();
    Deadline deadline(limit_ms);
    for (;;) {
        if (deadline.Expired()) {
            NoteTimeout(timeout_code, station, nullptr);
            return timeout_code;
        }
        if (pre_yield) clock.YieldProcessorTime();
        CommandBuffer rb;
        int32_t r = ReadResponse(rb, station);
        if (r != QRL_OK) return r;
        int32_t rc = rb.ReturnCode(0);
        if (rc < kWaitFinalBelow) return rc;
        const uint8_t* d = rb.Data(0);
        Seen seen{d[kRspCode], GetU16(d + kRspStatus)};
        if (!pre_yield) clock.YieldProcessorTime();
        if (rc == 0 && done(seen, d)) return QRL_OK;
    }
}

}  // namespace

Deadline::Deadline(int32_t limit_ms) : start_(CurrentPlatform().Time().NowMs()), limit_(limit_ms) {}

bool Deadline::Expired() const { return limit_ >= 0 && ElapsedMs() > limit_; }

int64_t Deadline::ElapsedMs() const { return CurrentPlatform().Time().NowMs() - start_; }

void PauseBetweenPolls(const Deadline& deadline, int32_t limit_ms) {
    Clock& clock = CurrentPlatform().Time();
    const int64_t elapsed = deadline.ElapsedMs();
    if (elapsed < kPollSpinMs) {
        clock.YieldProcessorTime();
        return;
    }
    int64_t ms = std::min(std::max<int64_t>(elapsed / kPollSleepGrowth, 1), kPollSleepMaxMs);
    if (limit_ms >= 0) ms = std::min(ms, std::max<int64_t>(limit_ms - elapsed, 1));
    clock.SleepMs(static_cast<uint32_t>(ms));
}

int32_t TransferCommands(CommandBuffer& b) {
    const LogPass pass = LogBefore(b);
    int32_t r = Exchange(kIoctlCommand, b);
    LogAfter(b, pass);
    // Every answer that is not 0 is kept for the failure detail; the call that
    // returns it (a final code, a single read's code) finds it there.
    if (r == QRL_OK && b.ReturnCode(0) != 0) NoteDriverCode(b);
    return r;
}

int32_t TransferDirect(CommandBuffer& b) { return Exchange(kIoctlDirect, b); }

int32_t SendCommand(CommandBuffer& b) {
    Clock& clock = CurrentPlatform().Time();
    Deadline deadline(kStandardLimitMs);
    for (;;) {
        if (deadline.Expired()) {
            NoteTimeout(QRL_E_TIMEOUT, 0, &b);
            return QRL_E_TIMEOUT;
        }
        int32_t r = TransferCommands(b);
        if (r != QRL_OK) return r;
        int32_t rc = b.ReturnCode(0);
        if (rc < kSendFinalBelow) return rc;
        clock.YieldProcessorTime();
        if (rc == 0) return QRL_OK;
    }
}

int32_t ReadResponse(CommandBuffer& b, int station, int tpl) {
    SetTemplateEntry(b, 0, kSelRead, ResponseArea(station), tpl, static_cast<int>(kResponseSize));
    return TransferCommands(b);
}

int32_t WaitReady(int station) {
    return Poll(station, kStandardLimitMs, QRL_E_TIMEOUT, true,
                [](const Seen& s, const uint8_t*) { return (s.status & kStatusReady) != 0; });
}

int32_t WaitResponse(int station, int32_t expected, int32_t limit_ms) {
    // The expected code is taken as a signed byte, the response code as unsigned:
    // only 0..127 can ever match.
    const int expect = static_cast<int8_t>(static_cast<uint8_t>(expected));
    return Poll(station, limit_ms, QRL_E_RESPONSE, false, [expect](const Seen& s, const uint8_t*) {
        return static_cast<int>(s.code) == expect && (s.status & kStatusReady) != 0;
    });
}

int32_t WaitEcho(int entry, int station, const CommandBuffer& sent, int first, int last, int32_t limit_ms) {
    if (entry < 0 || entry >= kEntryCount || first < 0 || last < first ||
        last >= static_cast<int>(kResponseSize))
        return QRL_E_ECHO;
    const uint8_t* sd = sent.Data(entry);
    const uint8_t code = sd[1];
    const size_t n = static_cast<size_t>(last - first + 1);
    // The ranges compare as zero-terminated texts: equal up to and including the
    // first zero byte.
    uint8_t want[kResponseSize + 1] = {};
    std::memcpy(want, sd + first, n);
    return Poll(station, limit_ms, QRL_E_ECHO, false, [&](const Seen& s, const uint8_t* d) {
        uint8_t got[kResponseSize + 1] = {};
        std::memcpy(got, d + first, n);
        return s.code == code && (s.status & kStatusReady) != 0 &&
               std::strcmp(reinterpret_cast<const char*>(want), reinterpret_cast<const char*>(got)) == 0;
    });
}

int32_t WaitServoOn(int station) {
    return Poll(station, kStandardLimitMs, QRL_E_SERVOON, false, [](const Seen& s, const uint8_t*) {
        return (s.status & (kStatusReady | kStatusServo)) == (kStatusReady | kStatusServo);
    });
}

int32_t WaitServoOff(int station) {
    return Poll(station, kStandardLimitMs, QRL_E_SERVOOFF, false, [](const Seen& s, const uint8_t*) {
        return (s.status & kStatusReady) != 0 && (s.status & kStatusServo) == 0;
    });
}

}  // namespace qrl
