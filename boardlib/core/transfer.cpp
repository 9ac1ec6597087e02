// Transfers and polling waits: the only road from the library to the driver.
#include <algorithm>
#include <cstring>
#include <functional>

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

int32_t PollResponse(int station, const Deadline& deadline, int32_t timeout_code, Pace pace, int tpl,
                     const std::function<bool(const uint8_t*)>& done) {
    Clock& clock = CurrentPlatform().Time();
    for (;;) {
        if (deadline.Expired()) {
            NoteTimeout(timeout_code, station, nullptr);
            return timeout_code;
        }
        if (pace == Pace::kYieldFirst) clock.YieldProcessorTime();
        CommandBuffer rb;
        if (int32_t r = ReadResponse(rb, station, tpl)) return r;
        const int32_t rc = rb.ReturnCode(0);
        if (rc < kWaitFinalBelow) return rc;
        if (pace == Pace::kYieldAfter) clock.YieldProcessorTime();
        if (rc == 0 && done(rb.Data(0))) return QRL_OK;
        if (deadline.limit() == 0) {  // exactly one read
            NoteTimeout(timeout_code, station, nullptr);
            return timeout_code;
        }
        if (pace == Pace::kSleep) PauseBetweenPolls(deadline, deadline.limit());
    }
}

namespace {

uint8_t CodeOf(const uint8_t* d) { return d[kRspCode]; }
uint16_t StatusOf(const uint8_t* d) { return GetU16(d + kRspStatus); }

// The internal waits: 2000 ms (or the caller's limit), ReadResponse's template.
int32_t Poll(int station, int32_t limit_ms, int32_t timeout_code, Pace pace,
             const std::function<bool(const uint8_t*)>& done) {
    return PollResponse(station, Deadline(limit_ms), timeout_code, pace, kTplZero, done);
}

}  // namespace

int32_t WaitReady(int station) {
    return Poll(station, kStandardLimitMs, QRL_E_TIMEOUT, Pace::kYieldFirst,
                [](const uint8_t* d) { return (StatusOf(d) & kStatusReady) != 0; });
}

int32_t WaitResponse(int station, int32_t expected, int32_t limit_ms) {
    // The expected code is taken as a signed byte, the response code as unsigned:
    // only 0..127 can ever match.
    const int expect = static_cast<int8_t>(static_cast<uint8_t>(expected));
    return Poll(station, limit_ms, QRL_E_RESPONSE, Pace::kYieldAfter, [expect](const uint8_t* d) {
        return static_cast<int>(CodeOf(d)) == expect && (StatusOf(d) & kStatusReady) != 0;
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
    return Poll(station, limit_ms, QRL_E_ECHO, Pace::kYieldAfter, [&](const uint8_t* d) {
        uint8_t got[kResponseSize + 1] = {};
        std::memcpy(got, d + first, n);
        return CodeOf(d) == code && (StatusOf(d) & kStatusReady) != 0 &&
               std::strcmp(reinterpret_cast<const char*>(want), reinterpret_cast<const char*>(got)) == 0;
    });
}

int32_t WaitServoOn(int station) {
    return Poll(station, kStandardLimitMs, QRL_E_SERVOON, Pace::kYieldAfter, [](const uint8_t* d) {
        return (StatusOf(d) & (kStatusReady | kStatusServo)) == (kStatusReady | kStatusServo);
    });
}

int32_t WaitServoOff(int station) {
    return Poll(station, kStandardLimitMs, QRL_E_SERVOOFF, Pace::kYieldAfter, [](const uint8_t* d) {
        return (StatusOf(d) & kStatusReady) != 0 && (StatusOf(d) & kStatusServo) == 0;
    });
}

}  // namespace qrl
