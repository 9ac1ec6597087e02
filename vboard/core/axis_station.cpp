#include "axis_station.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "cmdbuf.h"

namespace vboard {

namespace {

// Commands whose Data byte 13 chooses the monitor items from then on.
bool CarriesMcode(uint8_t code) {
    switch (code) {
    case 0x25: case 0x30: case 0x31: case 0x32: case 0x34: case 0x35: case 0x36:
    case 0x39: case 0x3A:
        return true;
    default:
        return false;
    }
}

int64_t Abs64(int64_t v) { return v < 0 ? -v : v; }

void IdText(int number, uint8_t type, int item, char out[17]) {
    char buf[64];
    switch (item) {
    case 0: std::snprintf(buf, sizeof buf, "VXA-200 SERVO"); break;
    case 1: std::snprintf(buf, sizeof buf, "FW 2.10 VBOARD"); break;
    case 2: std::snprintf(buf, sizeof buf, "SN 7105-0000-%02d", number); break;
    case 3: std::snprintf(buf, sizeof buf, "TYPE %02X ST %02d", type, number); break;
    default: std::snprintf(buf, sizeof buf, "ITEM %02d ST %02d", item, number); break;
    }
    size_t n = std::min<size_t>(std::strlen(buf), 16);
    std::memset(out, ' ', 16);
    std::memcpy(out, buf, n);
    out[16] = 0;
}

}  // namespace

uint64_t MulDivU64(uint64_t a, uint64_t b, uint64_t c) {
    // The 128-bit product as hi:lo from four 32-bit partial products.
    const uint64_t m = 0xFFFFFFFFu;
    const uint64_t p0 = (a & m) * (b & m), p1 = (a & m) * (b >> 32), p2 = (a >> 32) * (b & m),
                   p3 = (a >> 32) * (b >> 32);
    const uint64_t carry = ((p0 >> 32) + (p1 & m) + (p2 & m)) >> 32;
    const uint64_t lo = p0 + (p1 << 32) + (p2 << 32);
    const uint64_t hi = p3 + (p1 >> 32) + (p2 >> 32) + carry;
    if (hi == 0) return lo / c;
    // Long division, one bit at a time (128 steps; only long moves get here). The
    // remainder stays below c, so r << 1 loses nothing but the bit `top` keeps.
    uint64_t q = 0, r = 0;
    for (int i = 127; i >= 0; --i) {
        const bool top = (r >> 63) != 0;
        const uint64_t bit = i >= 64 ? (hi >> (i - 64)) & 1 : (lo >> i) & 1;
        r = (r << 1) | bit;
        q <<= 1;
        if (top || r >= c) {
            r -= c;
            q |= 1;
        }
    }
    return q;
}

int64_t MulDivS64(int64_t a, int64_t b, int64_t c) {
    const uint64_t mag = MulDivU64(a < 0 ? 0 - static_cast<uint64_t>(a) : static_cast<uint64_t>(a),
                                   static_cast<uint64_t>(b), static_cast<uint64_t>(c));
    return a < 0 ? -static_cast<int64_t>(mag) : static_cast<int64_t>(mag);
}

// Trapezoid: a = min(dur - ramp, ramp) ms of rising speed, then constant speed until
// b = max(dur - ramp, ramp), then a ms of falling speed; the distance D covered is
// D*tau^2/(2ab) after tau ms of the rise, D*(2tau - a)/(2b) during the constant part,
// and D minus the mirror image of the rise during the fall. The rise and the fall
// last at most `ramp` ms, so only the constant part multiplies large numbers.
int64_t Profile::At(int64_t t) const {
    const int64_t tau = t - t0, d = to - from;
    if (tau <= 0) return from;
    if (tau >= dur) return to;
    switch (shape) {
    case kLinear: return from + MulDivS64(d, tau, dur);
    case kStop: return from + d * (2 * tau * dur - tau * tau) / (dur * dur);
    case kTrapezoid: break;
    }
    const int64_t a = std::min(dur - ramp, ramp), b = std::max(dur - ramp, ramp);
    if (tau < a) return from + d * tau * tau / (2 * a * b);
    if (tau < b) return from + MulDivS64(d, 2 * tau - a, 2 * b);
    const int64_t rest = dur - tau;
    return to - d * rest * rest / (2 * a * b);
}

int64_t Profile::Speed(int64_t t) const {
    const int64_t tau = t - t0, d = to - from;
    if (dur <= 0 || tau < 0 || tau >= dur) return 0;
    switch (shape) {
    case kLinear: return d * 1000 / dur;
    case kStop: return 2 * d * 1000 * (dur - tau) / (dur * dur);
    case kTrapezoid: break;
    }
    const int64_t a = std::min(dur - ramp, ramp), b = std::max(dur - ramp, ramp);
    if (tau < a) return d * 1000 * tau / (a * b);
    if (tau < b) return d * 1000 / b;
    return d * 1000 * (dur - tau) / (a * b);
}

AxisStation::AxisStation(int number, uint8_t type_byte) : number_(number), type_(type_byte) {}

int64_t AxisStation::DurationFor(int64_t distance, int64_t speed) {
    speed = Abs64(speed);  // a negative speed word means the same speed
    if (speed == 0) speed = kDefaultSpeed;
    const uint64_t d = distance < 0 ? 0 - static_cast<uint64_t>(distance) : static_cast<uint64_t>(distance);
    // d x 1000 / speed fits in 63 bits unless the move is longer than anyone waits.
    if (d / static_cast<uint64_t>(speed) >= static_cast<uint64_t>(kLongestMoveMs / 1000)) return kLongestMoveMs;
    return kAccelMs + static_cast<int64_t>(MulDivU64(d, 1000, static_cast<uint64_t>(speed)));
}

int64_t AxisStation::CommandPos(int64_t t) const { return moving_ ? cur_.At(t) : cur_.to; }

int64_t AxisStation::Actual(int64_t t) const {
    if (mlock_) return lock_pos_;
    if (!moving_) return cur_.to;
    int64_t tl = t - kFollowLagMs;
    return tl >= cur_.t0 ? cur_.At(tl) : prev_.At(tl);
}

int64_t AxisStation::Feedback(int64_t t) const { return encoder_ ? Actual(t) : frozen_fb_; }

uint16_t AxisStation::Status(int64_t t) const {
    uint16_t s = 0;
    if (alarm_) s |= status::kAlarm;
    if (moving_) s |= status::kMoving;
    if (!moving_ && !settling_ && t >= busy_until_) s |= status::kReady;
    if (servo_) s |= status::kServoOn;
    if (emg_) s |= status::kEmergency;
    if (mlock_) s |= status::kMachineLock;
    if (encoder_) s |= status::kEncoderOn;
    if (homed_) s |= status::kHomed;
    if (!moving_ && Abs64(CommandPos(t) - Feedback(t)) <= kInPositionWindow) s |= status::kInPosition;
    if (ip_running) s |= status::kInterpolating;
    if (abs_done_) s |= status::kAbsInitialised;
    int64_t m = Actual(t) - origin_;
    if (m >= kTravelLimit || m <= -kTravelLimit) s |= status::kOvertravel;
    if (set_up_) s |= status::kSetUp;
    return s;
}

uint16_t AxisStation::IoData(int64_t t) const {
    uint16_t w = 0;
    int64_t m = Actual(t) - origin_;
    if (Abs64(m) <= kHomeWindow) w |= iodata::kHomeSensor;
    if (m >= kTravelLimit) w |= iodata::kLimitPlus;
    if (m <= -kTravelLimit) w |= iodata::kLimitMinus;
    if (!moving_ && Abs64(CommandPos(t) - Feedback(t)) <= kInPositionWindow) w |= iodata::kInPosition;
    if (moving_) w |= iodata::kMoving;
    if (servo_) w |= iodata::kServoOn;
    if (emg_) w |= iodata::kEmergency;
    if (alarm_) w |= iodata::kAlarm;
    return static_cast<uint16_t>((w & ~io_mask) | (io_value & io_mask));
}

int32_t AxisStation::Monitor(int it, int64_t t) const {
    int64_t v = 0;
    int64_t cmd = CommandPos(t);
    switch (it) {
    case item::kCommandPosition: v = cmd; break;
    case item::kTargetPosition: v = moving_ ? cur_.to : cmd; break;
    case item::kRemaining: v = (moving_ ? cur_.to : cmd) - cmd; break;
    case item::kCommandSpeed: v = moving_ ? cur_.Speed(t) : 0; break;
    case item::kFeedbackSpeed: {
        if (!moving_ || mlock_ || !encoder_) break;
        int64_t tl = t - kFollowLagMs;
        v = tl >= cur_.t0 ? cur_.Speed(tl) : prev_.Speed(tl);
        break;
    }
    case item::kFollowingError: v = cmd - Feedback(t); break;
    case item::kTorque:
        v = servo_ ? std::max<int64_t>(-300, std::min<int64_t>(300, (cmd - Actual(t)) / 4)) : 0;
        break;
    case item::kFeedbackPosition: v = Feedback(t); break;
    case item::kMachinePosition: v = Actual(t) - origin_; break;
    case item::kAlarmCode: v = alarm_; break;
    case item::kStatusWord: v = Status(t); break;
    case item::kIoData: v = IoData(t); break;
    case item::kIpQueued: v = IpQueued(); break;
    case item::kMoveCount: v = moves_done_; break;
    case item::kStationClock: v = set_up_ ? t - setup_time_ : 0; break;
    default: break;
    }
    return static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint64_t>(v)));
}

void AxisStation::Render(uint8_t* out, int64_t t) const {
    std::memset(out, 0, 17);
    out[0] = 0x03;
    out[qrl::kRspCode] = code_;
    out[qrl::kRspAlarm] = alarm_;
    qrl::PutU16(out + qrl::kRspStatus, Status(t));
    if (live_) {
        qrl::PutI32(out + qrl::kRspMonitor1, Monitor(mcode_ & 0x0F, t));
        qrl::PutI32(out + qrl::kRspMonitor2, Monitor(mcode_ >> 4, t));
        out[qrl::kRspMcode] = mcode_;
        qrl::PutU16(out + qrl::kRspIoData, IoData(t));
    } else {
        std::memcpy(out + 5, reply_.data() + 5, 11);
    }
    out[16] = counter_;
}

void AxisStation::Answer(uint8_t code, bool live) {
    code_ = code;
    live_ = live;
    counter_ = static_cast<uint8_t>(counter_ + 1);
}

bool AxisStation::CanMove(uint8_t* why) const {
    uint8_t a = 0;
    if (alarm_) a = alarm_;
    else if (emg_) a = alarm::kEmergency;
    else if (!servo_ && !mlock_) a = alarm::kServoOff;
    else if (moving_) a = alarm::kBusy;
    if (why) *why = a;
    return a == 0;
}

void AxisStation::StartMove(int64_t t, int64_t target, int64_t speed, int64_t forced_dur) {
    int64_t from = CommandPos(t);
    overtravel_ = 0;
    if (target - origin_ > kTravelLimit) target = origin_ + kTravelLimit, overtravel_ = 1;
    if (target - origin_ < -kTravelLimit) target = origin_ - kTravelLimit, overtravel_ = -1;
    prev_ = moving_ ? cur_ : Profile::Still(t, Actual(t));
    int64_t dur = forced_dur > 0 ? forced_dur : DurationFor(target - from, speed);
    cur_ = Profile::Trapezoid(t, dur, from, target, kAccelMs);
    moving_ = true;
}

void AxisStation::StartSegment(int64_t t, int64_t delta, int64_t dur) {
    int64_t from = CommandPos(t), target = from + delta;
    overtravel_ = 0;
    if (target - origin_ > kTravelLimit) target = origin_ + kTravelLimit, overtravel_ = 1;
    if (target - origin_ < -kTravelLimit) target = origin_ - kTravelLimit, overtravel_ = -1;
    prev_ = moving_ ? cur_ : Profile::Still(t, Actual(t));
    cur_ = Profile::Linear(t, dur, from, target);
    moving_ = true;
}

void AxisStation::StopMotion(int64_t t) {
    if (!moving_) {
        ip_running = false;
        return;
    }
    int64_t p = mlock_ ? CommandPos(t) : Actual(t);
    cur_ = prev_ = Profile::Still(t, p);
    moving_ = homing_ = false;
    ip_running = false;
    overtravel_ = 0;
}

void AxisStation::Finish() {
    int64_t end = cur_.to;
    cur_ = prev_ = Profile::Still(cur_.End(), end);
    moving_ = false;
    ip_running = false;
    ++moves_done_;
    if (overtravel_) alarm_ = overtravel_ > 0 ? alarm::kOverPlus : alarm::kOverMinus;
    overtravel_ = 0;
    if (homing_) {
        homing_ = false;
        homed_ = true;
        Shift(home_value_ - origin_);
    }
}

// Moves the whole coordinate system, as a position preset does.
void AxisStation::Shift(int64_t delta) {
    cur_.from += delta, cur_.to += delta;
    prev_.from += delta, prev_.to += delta;
    lock_pos_ += delta;
    frozen_fb_ += delta;
    origin_ += delta;
}

bool AxisStation::NextIpPoint(int64_t t) {
    IpPoint p;
    if (ip_repeat) {
        if (ip.empty()) return false;
        if (ip_index >= ip.size()) ip_index = 0;
        p = ip[ip_index++];
    } else {
        if (ip.empty()) return false;
        p = ip.front();
        ip.pop_front();
    }
    if (p.mcode) mcode_ = p.mcode;
    // Chained exactly at the end of the previous point: no drift over long paths.
    StartSegment(t, p.delta, ip_period);
    if (overtravel_) ip_repeat = false, ip.clear(), ip_index = 0;
    return true;
}

bool AxisStation::StartInterpolation(int64_t t, bool repeat, int64_t period) {
    ip_repeat = repeat;
    ip_index = 0;
    ip_period = period;
    ip_running = true;
    code_ = 0x34;
    live_ = true;
    if (!NextIpPoint(t)) {
        ip_running = false;
        return false;
    }
    ip_running = true;
    return true;
}

void AxisStation::Advance(int64_t t) {
    if (settling_ && t >= settle_until_) {
        servo_ = servo_target_;
        settling_ = false;
    }
    while (moving_) {
        int64_t end = cur_.End();
        if (t < end) break;
        if (ip_running && !overtravel_) {
            // The next point starts exactly where the last one ended; the old
            // profile stays as prev_ for the trailing feedback.
            if (NextIpPoint(end)) continue;
        }
        if (t < end + kFollowLagMs) break;
        Finish();
    }
}

void AxisStation::Command(const uint8_t* d, int64_t t) {
    uint8_t code = d[1];
    if (code == 0) return;  // area cleared: nothing to answer
    if (CarriesMcode(code)) mcode_ = d[13];
    reply_.fill(0);
    int32_t w1 = qrl::GetI32(d + 5);
    int32_t w2 = qrl::GetI32(d + 9);
    uint8_t why = 0;
    switch (code) {
    case 0x0E:  // set-up: the station starts afresh on the network
        StopMotion(t);
        servo_ = servo_target_ = settling_ = false;
        emg_ = mlock_ = false;
        encoder_ = true;
        alarm_ = 0;
        abs_step_ = 0;
        ip.clear(), ip_index = 0, axis_data.clear();
        cycle_ = d[7];
        set_up_ = true;
        setup_time_ = t;
        std::memcpy(reply_.data() + 5, d + 5, 5);
        Answer(code, false);
        return;
    case 0x06:  // alarm clear
        alarm_ = 0;
        Answer(code, false);
        return;
    case 0x0D:  // final set-up
        Answer(code, true);
        return;
    case 0x0F:  // close: the link goes down, the servo drops at once
        StopMotion(t);
        servo_ = servo_target_ = settling_ = false;
        Answer(code, true);
        return;
    case 0x04:  // Config: the station reports what it is after a short scan
        busy_until_ = t + kConfigMs;
        reply_[5] = type_;
        reply_[6] = 1;  // kind: axis
        reply_[7] = cycle_;
        reply_[8] = 0x10, reply_[9] = 0x02;  // firmware 2.10
        Answer(code, false);
        return;
    case 0x03: {  // IdGet: 8 characters of a 16-character text per request
        char text[17];
        IdText(number_, type_, d[5] & 0x0F, text);
        size_t half = std::min<size_t>(d[6], 8);
        std::memcpy(reply_.data() + 5, d + 5, 3);
        std::memcpy(reply_.data() + 8, text + half, 8);
        Answer(code, false);
        return;
    }
    case 0x01: case 0x1B: {  // parameter read
        auto& store = code == 0x01 ? prm_ : pprm_;
        uint32_t key = (static_cast<uint32_t>(qrl::GetU16(d + 5)) << 8) | d[7];
        auto it = store.find(key);
        std::memcpy(reply_.data() + 5, d + 5, 3);
        if (it != store.end()) {
            qrl::PutI32(reply_.data() + 8, it->second[0]);
            qrl::PutI32(reply_.data() + 12, it->second[1]);
        }
        Answer(code, false);
        return;
    }
    case 0x02: case 0x1C: {  // parameter write
        auto& store = code == 0x02 ? prm_ : pprm_;
        uint32_t key = (static_cast<uint32_t>(qrl::GetU16(d + 5)) << 8) | d[7];
        store[key] = {qrl::GetI32(d + 8), qrl::GetI32(d + 12)};
        std::memcpy(reply_.data() + 5, d + 5, 11);
        Answer(code, false);
        return;
    }
    case 0x20: {  // position preset
        int32_t value = qrl::GetI32(d + 6);
        switch (d[5]) {
        case item::kCommandPosition: Shift(value - CommandPos(t)); break;
        case item::kFeedbackPosition: Shift(value - Feedback(t)); break;
        case item::kMachinePosition: origin_ = Actual(t) - value; break;
        case item::kMoveCount: moves_done_ = value; break;
        default: break;  // not a presettable item: echoed, nothing changes
        }
        std::memcpy(reply_.data() + 5, d + 5, 5);
        Answer(code, false);
        return;
    }
    case 0x3E:  // absolute initialisation, three steps told apart by bytes 6 and 8
        if (d[6] == 0) abs_step_ = 1;
        else if (d[8] == 0x02 && abs_step_ == 1) abs_step_ = 2;
        else if (d[8] == 0x01 && abs_step_ == 2) abs_step_ = 0, abs_done_ = true;
        std::memcpy(reply_.data() + 5, d + 5, 5);
        Answer(code, false);
        return;
    case 0x23:
        encoder_ = true;
        Answer(code, false);
        return;
    case 0x24:
        frozen_fb_ = Actual(t);
        encoder_ = false;
        Answer(code, false);
        return;
    case 0x26:  // machine lock: the command runs, the axis stays put
        if (!mlock_) lock_pos_ = Actual(t);
        mlock_ = true;
        Answer(code, true);
        return;
    case 0x27:  // lock released: the command position comes back to the axis
        if (mlock_) {
            StopMotion(t);
            mlock_ = false;
            cur_ = prev_ = Profile::Still(t, lock_pos_);
        }
        Answer(code, true);
        return;
    case 0x21:
        StopMotion(t);
        emg_ = true;
        Answer(code, true);
        return;
    case 0x22:
        emg_ = false;
        Answer(code, true);
        return;
    case 0x25:  // deceleration stop: the speed ramps down to 0 in kDecelMs
        if (moving_) {
            int64_t v = cur_.Speed(t);
            int64_t p = CommandPos(t);
            ip_running = false;
            homing_ = false;
            prev_ = cur_;
            cur_ = Profile::Stop(t, kDecelMs, p, v);
            overtravel_ = 0;
        }
        Answer(code, true);
        return;
    case 0x30:  // monitor request: fresh values come with every read anyway
        Answer(code, true);
        return;
    case 0x31:
    case 0x32: {
        bool on = code == 0x31;
        if (on && (alarm_ || emg_)) {  // refused: the servo stays off
            Answer(code, true);
            return;
        }
        if (!on) StopMotion(t);
        servo_target_ = on;
        settling_ = true;
        settle_until_ = t + kServoSettleMs;
        Answer(code, true);
        return;
    }
    case 0x36:  // feed: relative by word 2
    case 0x35:  // NC: absolute target word 2 at speed word 1
    case 0x39:  // NC-ex: relative by word 2 at speed word 1
    case 0x3A:  // home: to the home sensor, then the position becomes word 2
    case 0x34:  // one interpolation point written directly
        if (!CanMove(&why)) {
            alarm_ = why;
            Answer(code, true);
            return;
        }
        if (code == 0x36) StartMove(t, CommandPos(t) + w2, 0);
        else if (code == 0x35) StartMove(t, w2, w1);
        else if (code == 0x39) StartMove(t, CommandPos(t) + w2, w1);
        else if (code == 0x34) StartSegment(t, w1, ip_period);
        else {
            StartMove(t, origin_, 0);
            homing_ = true;
            home_value_ = w2;
        }
        Answer(code, true);
        return;
    default:
        alarm_ = alarm::kUnknownCommand;
        Answer(code, true);
        return;
    }
}

}  // namespace vboard
