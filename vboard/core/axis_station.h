// Firmware of one simulated axis station: the commands it answers, its motion,
// and the 17-byte response area it keeps up to date.
//
// Positions are kept in 64 bits and reported in 32 (wrapping as a 32-bit counter
// would). Time is the board's millisecond clock; the station never reads a clock
// itself, so a test's fake clock decides everything.
#pragma once

#include <array>
#include <cstdint>
#include <cstddef>
#include <deque>
#include <map>

#include "vboard_codes.h"

namespace vboard {

// Exact a * b / c for a, b >= 0 and c > 0 when the quotient fits in 63 bits,
// rounded toward zero: the 128-bit product of a long move's distance and time does
// not fit in 64 bits, and i686 compilers have no 128-bit integer.
uint64_t MulDivU64(uint64_t a, uint64_t b, uint64_t c);
// The same for a signed a (the result has a's sign, rounded toward zero).
int64_t MulDivS64(int64_t a, int64_t b, int64_t c);

// The path of the command position from `from` (at t0) to `to` (at t0 + dur), in
// board milliseconds. Three shapes:
//  - Trapezoid, a positioning move: the speed rises linearly for `ramp` ms, holds,
//    and falls linearly for `ramp` ms to rest at `to`. It is the constant-speed
//    path of dur - ramp ms smoothed by a moving average over `ramp` ms, the way a
//    pulse-train controller applies an acceleration time constant: a move of
//    distance d at speed v takes d/v + ramp, and one shorter than v x ramp never
//    reaches v (its top speed is d/ramp).
//  - Linear: constant speed all the way (interpolation segments, which chain).
//  - Stop: the speed falls linearly from its present value to 0 (a deceleration
//    stop); `to` is where it comes to rest.
// Positions are exact integers rounded toward zero; speeds are units per second.
struct Profile {
    enum Shape : uint8_t { kTrapezoid, kLinear, kStop };
    int64_t t0 = 0, dur = 0, from = 0, to = 0, ramp = 0;
    Shape shape = kLinear;

    static Profile Still(int64_t t, int64_t p) { return Profile{t, 0, p, p, 0, kLinear}; }
    static Profile Linear(int64_t t, int64_t dur, int64_t from, int64_t to) {
        return Profile{t, dur, from, to, 0, kLinear};
    }
    // ramp is clipped to dur: a forced duration shorter than the ramp makes a triangle.
    static Profile Trapezoid(int64_t t, int64_t dur, int64_t from, int64_t to, int64_t ramp) {
        return Profile{t, dur, from, to, ramp < dur ? ramp : dur, kTrapezoid};
    }
    // From `from` at `speed` units/s to rest in dur ms: travels speed x dur / 2000.
    static Profile Stop(int64_t t, int64_t dur, int64_t from, int64_t speed) {
        return Profile{t, dur, from, from + speed * dur / 2000, 0, kStop};
    }
    int64_t End() const { return t0 + dur; }
    int64_t At(int64_t t) const;
    int64_t Speed(int64_t t) const;
};

struct IpPoint {
    int32_t delta;   // travel during one interpolation period
    uint8_t mcode;
};

class AxisStation {
public:
    AxisStation(int number, uint8_t type_byte);

    int number() const { return number_; }

    // Brings the motion up to time t (moves ending, servo settling, the next
    // interpolation point starting).
    void Advance(int64_t t);
    // A command written to the station's command area (16 bytes from byte 0).
    void Command(const uint8_t* d, int64_t t);
    // The response area as the station shows it at time t (17 bytes).
    void Render(uint8_t* out, int64_t t) const;

    bool CanMove(uint8_t* why) const;
    // Starts a positioning move to `target` (clamped to the travel limits) with the
    // trapezoidal profile: at `speed` units/s (0: kDefaultSpeed), or taking exactly
    // forced_dur ms when that is > 0 (a linked start, whose axes arrive together).
    void StartMove(int64_t t, int64_t target, int64_t speed, int64_t forced_dur = 0);
    // Starts one interpolation segment: by `delta` at constant speed in dur ms.
    void StartSegment(int64_t t, int64_t delta, int64_t dur);
    // ms a positioning move of `distance` takes at `speed` (sign ignored, 0: the
    // default): distance/speed + kAccelMs, no upper bound (saturating at
    // kLongestMoveMs, millions of years, so that time stamps cannot overflow).
    static int64_t DurationFor(int64_t distance, int64_t speed);
    int64_t CommandPos(int64_t t) const;
    int64_t Feedback(int64_t t) const;
    uint16_t Status(int64_t t) const;
    uint16_t IoData(int64_t t) const;
    int32_t Monitor(int item, int64_t t) const;
    bool Moving() const { return moving_; }

    // Driver-side queues of this station.
    std::deque<IpPoint> ip;
    size_t ip_index = 0;  // next point in repeat mode
    bool ip_running = false, ip_repeat = false;
    int64_t ip_period = kIpDefaultPeriodMs;
    int32_t IpQueued() const {
        return static_cast<int32_t>(ip_repeat && ip_running ? ip.size() - ip_index : ip.size());
    }
    bool StartInterpolation(int64_t t, bool repeat, int64_t period);
    void StopMotion(int64_t t);  // abrupt stop where the axis is
    std::deque<std::array<uint8_t, 16>> axis_data;

    void SetAlarm(uint8_t code) { alarm_ = code; }
    uint8_t alarm() const { return alarm_; }
    uint8_t code() const { return code_; }
    uint16_t io_mask = 0, io_value = 0;  // forced I/O data word bits

private:
    bool NextIpPoint(int64_t t);
    void Finish();
    void Shift(int64_t delta);
    int64_t Actual(int64_t t) const;  // where the axis physically is
    void Answer(uint8_t code, bool live);

    int number_;
    uint8_t type_;
    // Response.
    uint8_t code_ = 0, alarm_ = 0, mcode_ = 0x81, counter_ = 0;
    bool live_ = true;               // bytes 5..15 carry monitor values, else reply_
    std::array<uint8_t, 17> reply_{};
    // Servo, modes.
    bool servo_ = false, servo_target_ = false, settling_ = false;
    int64_t settle_until_ = 0, busy_until_ = 0;
    bool emg_ = false, mlock_ = false, encoder_ = true, homed_ = false;
    bool set_up_ = false, abs_done_ = false;
    int abs_step_ = 0;
    int64_t setup_time_ = 0;
    uint8_t cycle_ = 0;
    // Motion.
    bool moving_ = false, homing_ = false;
    int overtravel_ = 0;  // +1/-1: the running move was clamped at a limit
    int64_t home_value_ = 0;
    Profile cur_, prev_;
    int64_t origin_ = 0;     // coordinate of the home sensor
    int64_t lock_pos_ = 0;   // physical position held by the machine lock
    int64_t frozen_fb_ = 0;  // feedback held while the encoder is off
    int64_t moves_done_ = 0;
    // Parameters by (number << 8 | width): data2, data1.
    std::map<uint32_t, std::array<int32_t, 2>> prm_, pprm_;
};

}  // namespace vboard
