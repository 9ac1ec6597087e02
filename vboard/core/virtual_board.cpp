#include "virtual_board.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <mutex>

#include "axis_station.h"
#include "cmdbuf.h"

namespace vboard {

namespace {

constexpr int kStations = 16;
constexpr int32_t kTypeBlockA = 1024, kTypeBlockB = 1056;

int64_t SteadyMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

bool Overlaps(int32_t off, int32_t size, int32_t lo, int32_t len) {
    return off < lo + len && lo < off + size;
}

// Station whose command or response area holds `offset`; -1 for the settings.
int StationOfOffset(int32_t offset) {
    using qrl::kResponseBase, qrl::kStationStride;
    if (offset >= 0 && offset < kResponseBase) return offset / kStationStride;
    if (offset >= kResponseBase && offset < 2 * kResponseBase) return (offset - kResponseBase) / kStationStride;
    return -1;
}

// Station n when `offset` is exactly n * 64, else -1.
int StationAt(int32_t offset) {
    if (offset < 0 || offset >= qrl::kResponseBase || offset % qrl::kStationStride != 0) return -1;
    return offset / qrl::kStationStride;
}

struct Injection {
    int station = -1;
    int32_t code = 0;
    int exchanges = 0;
};

}  // namespace

struct VirtualBoard::Impl {
    NowFn now;
    mutable std::mutex mu;
    mutable int64_t last_t = 0;
    std::vector<uint8_t> mem;
    Kind kinds[kStations]{};
    uint8_t types[kStations]{};
    std::unique_ptr<AxisStation> axes[kStations];
    bool silent[kStations]{};
    bool io_init[kStations]{};
    uint8_t ovr_mask[kStations][16]{};
    uint8_t ovr_value[kStations][16]{};
    bool loopback = true;
    int32_t ip_capacity = kIpDefaultCapacity;
    int fail_exchanges = 0;
    Injection inject;
    bool injected = false;

    explicit Impl(NowFn n) : now(std::move(n)), mem(kMemorySize, 0) {
        if (!now) now = SteadyMs;
        ResetLocked();
    }

    void ResetLocked() {
        std::fill(mem.begin(), mem.end(), 0);
        for (int n = 0; n < kStations; ++n) {
            kinds[n] = Kind::None, types[n] = 0, axes[n].reset();
            silent[n] = io_init[n] = false;
            std::memset(ovr_mask[n], 0, 16);
            std::memset(ovr_value[n], 0, 16);
        }
        kinds[0] = Kind::Io;  // the board's own I/O is always there
        loopback = true;
        ip_capacity = kIpDefaultCapacity;
        fail_exchanges = 0;
        inject = Injection{};
    }

    int64_t Now() const {
        int64_t t = now();
        if (t < last_t) t = last_t;  // a clock stepping back never rewinds a move
        last_t = t;
        return t;
    }

    AxisStation* AxisAt(int n) {
        return n >= 1 && n < kStations && kinds[n] == Kind::Axis ? axes[n].get() : nullptr;
    }

    // The station-type bytes decide which stations exist on the network.
    void UpdateTypes() {
        for (int n = 1; n < kStations; ++n) {
            uint8_t b = mem[kTypeBlockA + n];
            Kind k = b == 0 ? Kind::None : (b & 0x60) == 0x60 ? Kind::Io : Kind::Axis;
            if (k == kinds[n] && b == types[n]) continue;
            kinds[n] = k;
            types[n] = b;
            axes[n].reset();
            io_init[n] = false;
            if (k == Kind::Axis) axes[n] = std::make_unique<AxisStation>(n, b);
        }
    }

    void Render(int n, int64_t t) {
        if (n < 1 || n >= kStations || silent[n]) return;
        uint8_t* out = mem.data() + qrl::ResponseArea(n);
        if (kinds[n] == Kind::Axis) {
            axes[n]->Render(out, t);
        } else if (kinds[n] == Kind::Io) {
            std::memset(out, 0, qrl::kResponseSize);
            out[0] = 0x03;
            uint16_t s = status::kReady | (io_init[n] ? status::kSetUp : 0);
            qrl::PutU16(out + qrl::kRspStatus, s);
        }
    }

    void AdvanceAll(int64_t t) {
        for (int n = 1; n < kStations; ++n) {
            if (auto* a = AxisAt(n)) a->Advance(t);  // a silent station still moves
            Render(n, t);
        }
    }

    uint8_t Input(int n, int i) const {
        uint8_t out = loopback ? mem[qrl::CommandArea(n) + 1 + i] : 0;
        return static_cast<uint8_t>((out & ~ovr_mask[n][i]) | (ovr_value[n][i] & ovr_mask[n][i]));
    }

    void OnWrite(int32_t off, int32_t size, int64_t t) {
        if (Overlaps(off, size, kTypeBlockA, 16) || Overlaps(off, size, kTypeBlockB, 16)) UpdateTypes();
        int n = StationAt(off);
        AxisStation* a = AxisAt(n);
        if (!a || size < 2 || silent[n]) return;
        const uint8_t* cmd = mem.data() + off;
        if (cmd[0] != 0x03) return;
        a->Advance(t);
        a->Command(cmd, t);
        Render(n, t);
    }

    // ---- Driver requests (SelectCode 3..12) -------------------------------------
    int32_t AxisData(int32_t off, const uint8_t* data) {
        AxisStation* a = AxisAt(StationAt(off));
        if (!a) return rc::kBadStation;
        if (data[0] != 0x03 || data[1] != 0x35) return rc::kBadRecord;  // only NC records link
        if (static_cast<int32_t>(a->axis_data.size()) >= kAxisDataCapacity) return rc::kQueueFull;
        std::array<uint8_t, 16> rec;
        std::memcpy(rec.data(), data, 16);
        a->axis_data.push_back(rec);
        return rc::kOk;
    }

    uint32_t MaskOrAll(int32_t mask) const { return mask == 0 ? 0x7FFFu : static_cast<uint32_t>(mask); }

    // Starts the next axis data record of every selected station at one instant,
    // all taking as long as the longest, so that the axes arrive together.
    int32_t LinkedStart(const uint8_t* data, int64_t t) {
        uint32_t mask = MaskOrAll(qrl::GetI32(data + 12));
        std::vector<AxisStation*> go;
        for (int n = 1; n < kStations; ++n) {
            AxisStation* a = AxisAt(n);
            if (a && (mask >> (n - 1) & 1) && !a->axis_data.empty() && !silent[n]) go.push_back(a);
        }
        if (go.empty()) return rc::kNothingToStart;
        bool refused = false;
        for (AxisStation* a : go) {
            uint8_t why;
            if (!a->CanMove(&why)) a->SetAlarm(why), refused = true;
        }
        if (refused) return rc::kRefused;
        int64_t dur = 0;
        for (AxisStation* a : go) {
            const auto& r = a->axis_data.front();
            dur = std::max(dur, AxisStation::DurationFor(qrl::GetI32(r.data() + 9) - a->CommandPos(t),
                                                         qrl::GetI32(r.data() + 5)));
        }
        for (AxisStation* a : go) {
            auto r = a->axis_data.front();
            a->axis_data.pop_front();
            a->Command(r.data(), t);  // answers as the NC command it carries
            if (a->Moving()) a->StartMove(t, qrl::GetI32(r.data() + 9), 0, dur);
            Render(a->number(), t);
        }
        return rc::kOk;
    }

    int32_t ClearAxisData(const uint8_t* data) {
        uint32_t mask = MaskOrAll(qrl::GetI32(data + 12));
        for (int n = 1; n < kStations; ++n)
            if (AxisStation* a = AxisAt(n); a && (mask >> (n - 1) & 1)) a->axis_data.clear();
        return rc::kOk;
    }

    int32_t IpData(int32_t off, const uint8_t* data, bool reject_all) {
        AxisStation* a = AxisAt(StationAt(off));
        if (!a) return rc::kBadStation;
        if (reject_all) return rc::kQueueFull;
        a->ip.push_back(IpPoint{qrl::GetI32(data + 5), data[13]});
        return rc::kOk;
    }

    int32_t IpStart(const uint8_t* data, bool repeat, int64_t t) {
        int64_t period = qrl::GetI32(data + 8);
        if (period <= 0) period = kIpDefaultPeriodMs;
        period = std::max(kFollowLagMs, std::min(kIpMaxPeriodMs, period));
        uint32_t mask = static_cast<uint32_t>(qrl::GetI32(data + 12));
        std::vector<AxisStation*> go;
        bool selected = false;
        for (int n = 1; n < kStations; ++n) {
            AxisStation* a = AxisAt(n);
            if (!a || !(mask >> (n - 1) & 1)) continue;
            selected = true;
            if (!a->ip.empty() && !silent[n]) go.push_back(a);
        }
        if (!selected) return rc::kOk;
        if (go.empty()) return rc::kNothingToStart;
        bool refused = false;
        for (AxisStation* a : go) {
            uint8_t why;
            if (!a->CanMove(&why)) a->SetAlarm(why), refused = true;
        }
        if (refused) return rc::kRefused;
        for (AxisStation* a : go) {
            a->StartInterpolation(t, repeat, period);
            Render(a->number(), t);
        }
        return rc::kOk;
    }

    int32_t IpStop(const uint8_t* data, int64_t t) {
        uint32_t mask = static_cast<uint32_t>(qrl::GetI32(data + 12));
        for (int n = 1; n < kStations; ++n) {
            AxisStation* a = AxisAt(n);
            if (a && (mask >> (n - 1) & 1) && a->ip_running) a->StopMotion(t), Render(n, t);
        }
        return rc::kOk;
    }

    int32_t IpClear(int64_t t) {
        for (int n = 1; n < kStations; ++n) {
            if (AxisStation* a = AxisAt(n)) {
                if (a->ip_running) a->StopMotion(t);
                a->ip.clear();
                a->ip_index = 0;
                Render(n, t);
            }
        }
        return rc::kOk;
    }

    int32_t IpCount() const {
        int32_t total = 0;
        for (int n = 1; n < kStations; ++n)
            if (kinds[n] == Kind::Axis) total += axes[n]->IpQueued();
        return total;
    }

    // ---- Entries ------------------------------------------------------------------
    int EntryStation(int32_t select, int32_t off) const {
        if (select >= 3 && select <= 12 && select != 3 && select != 6) return 0;
        return StationOfOffset(off);
    }

    int32_t Perform(uint8_t* e, int64_t t, bool ip_reject) {
        int32_t select = qrl::GetI32(e + qrl::kSelectCode);
        int32_t size = qrl::GetI32(e + qrl::kSize);
        int32_t off = qrl::GetI32(e + qrl::kOffset);
        uint8_t* data = e + qrl::kData;
        if (inject.exchanges > 0 && (inject.station == -1 || inject.station == EntryStation(select, off))) {
            injected = true;
            return inject.code;
        }
        if (size < 0 || size > static_cast<int32_t>(qrl::kDataSize)) return rc::kBadSize;
        auto in_memory = [&] { return off >= 0 && off <= kMemorySize - size; };
        switch (select) {
        case qrl::kSelRead:
            if (!in_memory()) return rc::kBadOffset;
            std::memcpy(data, mem.data() + off, size);
            return rc::kOk;
        case qrl::kSelWrite:
            if (!in_memory()) return rc::kBadOffset;
            std::memcpy(mem.data() + off, data, size);
            OnWrite(off, size, t);
            return rc::kOk;
        case qrl::kSelAxisData:
            if (size < 16) return rc::kBadSize;
            return AxisData(off, data);
        case qrl::kSelLkStart: return LinkedStart(data, t);
        case qrl::kSelAxdtClr: return ClearAxisData(data);
        case qrl::kSelIpData:
            if (size < 16) return rc::kBadSize;
            return IpData(off, data, ip_reject);
        case qrl::kSelIpStrt: return IpStart(data, false, t);
        case qrl::kSelIpStrtRp: return IpStart(data, true, t);
        case qrl::kSelIpdtClr: return IpClear(t);
        case qrl::kSelIpStop: return IpStop(data, t);
        case qrl::kSelIpNumGet: return IpCount();
        case qrl::kSelIpNumMax:
            if (off < 1 || off > kMaxIpCapacity) return rc::kBadCapacity;
            ip_capacity = off;
            return rc::kOk;
        case qrl::kSelInput: {
            int n = StationAt(off);
            std::memset(data, 0, size);  // a refused read never hands back the request bytes
            if (n < 0 || kinds[n] != Kind::Io) return rc::kBadStation;
            if (silent[n]) return rc::kNoAnswer;
            for (int i = 0; i < std::min(size, 16); ++i) data[i] = Input(n, i);
            return rc::kOk;
        }
        case qrl::kSelIoInit: {
            int n = StationAt(off);
            if (n < 1 || kinds[n] != Kind::Io) return rc::kBadStation;
            if (silent[n]) return rc::kNoAnswer;
            std::memset(mem.data() + qrl::CommandArea(n) + 1, 0, 16);
            io_init[n] = true;
            Render(n, t);
            return rc::kOk;
        }
        default:
            return rc::kUnknownSelect;
        }
    }

    // A buffer of interpolation points is taken whole or not at all, so that the
    // axes of one path never get out of step when a queue fills up.
    bool IpWouldOverflow(const uint8_t* buf, int count) const {
        int32_t add[kStations]{};
        for (int k = 0; k < count; ++k) {
            const uint8_t* e = buf + 4 + k * qrl::kEntrySize;
            if (qrl::GetI32(e + qrl::kSelectCode) != qrl::kSelIpData) continue;
            int n = StationAt(qrl::GetI32(e + qrl::kOffset));
            if (n >= 1 && kinds[n] == Kind::Axis) ++add[n];
        }
        for (int n = 1; n < kStations; ++n)
            if (add[n] && static_cast<int64_t>(axes[n]->ip.size()) + add[n] > ip_capacity) return true;
        return false;
    }

    bool Exchange(uint32_t ioctl, uint8_t* buf) {
        if (!buf || (ioctl != qrl::kIoctlCommand && ioctl != qrl::kIoctlDirect)) return false;
        if (fail_exchanges > 0) {
            --fail_exchanges;
            return false;
        }
        int64_t t = Now();
        AdvanceAll(t);
        int count = std::max(0, std::min<int32_t>(qrl::GetI32(buf), qrl::kEntryCount));
        bool ip_reject = IpWouldOverflow(buf, count);
        injected = false;
        for (int k = 0; k < count; ++k) {
            uint8_t* e = buf + 4 + k * qrl::kEntrySize;
            qrl::PutI32(e + qrl::kReturnCode, Perform(e, t, ip_reject));
        }
        if (injected) --inject.exchanges;  // counts only exchanges it answered
        return true;
    }

    AxisReport Report(int n) const {
        AxisReport r;
        if (n < 0 || n >= kStations) return r;
        r.kind = kinds[n];
        if (kinds[n] != Kind::Axis || n == 0) return r;
        int64_t t = Now();
        AxisStation* a = axes[n].get();
        a->Advance(t);
        r.command = a->CommandPos(t);
        r.feedback = a->Feedback(t);
        r.status = a->Status(t);
        r.alarm = a->alarm();
        r.code = a->code();
        r.iodata = a->IoData(t);
        r.moving = a->Moving();
        r.ip_queued = a->IpQueued();
        r.axis_data = static_cast<int32_t>(a->axis_data.size());
        return r;
    }
};

VirtualBoard::VirtualBoard(NowFn now) : impl_(std::make_unique<Impl>(std::move(now))) {}
VirtualBoard::~VirtualBoard() = default;

bool VirtualBoard::Exchange(uint32_t ioctl, uint8_t* buffer) {
    std::lock_guard<std::mutex> lock(impl_->mu);
    return impl_->Exchange(ioctl, buffer);
}

Kind VirtualBoard::KindOf(int station) const {
    std::lock_guard<std::mutex> lock(impl_->mu);
    return station >= 0 && station < kStations ? impl_->kinds[station] : Kind::None;
}

AxisReport VirtualBoard::Axis(int station) const {
    std::lock_guard<std::mutex> lock(impl_->mu);
    return impl_->Report(station);
}

std::array<uint8_t, 16> VirtualBoard::Outputs(int station) const {
    std::lock_guard<std::mutex> lock(impl_->mu);
    std::array<uint8_t, 16> out{};
    if (station >= 0 && station < kStations)
        std::memcpy(out.data(), impl_->mem.data() + qrl::CommandArea(station) + 1, 16);
    return out;
}

std::array<uint8_t, 16> VirtualBoard::Inputs(int station) const {
    std::lock_guard<std::mutex> lock(impl_->mu);
    std::array<uint8_t, 16> in{};
    if (station >= 0 && station < kStations)
        for (int i = 0; i < 16; ++i) in[i] = impl_->Input(station, i);
    return in;
}

std::vector<uint8_t> VirtualBoard::Memory(int32_t offset, int32_t length) const {
    std::lock_guard<std::mutex> lock(impl_->mu);
    int64_t lo = std::max<int64_t>(0, offset);
    int64_t hi = std::min<int64_t>(kMemorySize, int64_t{offset} + std::max<int32_t>(0, length));
    if (hi <= lo) return {};
    return std::vector<uint8_t>(impl_->mem.begin() + lo, impl_->mem.begin() + hi);
}

int32_t VirtualBoard::IpCapacity() const {
    std::lock_guard<std::mutex> lock(impl_->mu);
    return impl_->ip_capacity;
}

void VirtualBoard::SetInputOverride(int station, int index, uint8_t mask, uint8_t value) {
    std::lock_guard<std::mutex> lock(impl_->mu);
    if (station < 0 || station >= kStations || index < 0 || index >= 16) return;
    impl_->ovr_mask[station][index] = mask;
    impl_->ovr_value[station][index] = value;
}

void VirtualBoard::ClearInputOverrides(int station) {
    std::lock_guard<std::mutex> lock(impl_->mu);
    for (int n = 0; n < kStations; ++n) {
        if (station != -1 && station != n) continue;
        std::memset(impl_->ovr_mask[n], 0, 16);
        std::memset(impl_->ovr_value[n], 0, 16);
    }
}

void VirtualBoard::SetLoopback(bool on) {
    std::lock_guard<std::mutex> lock(impl_->mu);
    impl_->loopback = on;
}

void VirtualBoard::SetIoDataOverride(int station, uint16_t mask, uint16_t value) {
    std::lock_guard<std::mutex> lock(impl_->mu);
    if (AxisStation* a = impl_->AxisAt(station)) {
        a->io_mask = mask;
        a->io_value = value;
        impl_->Render(station, impl_->Now());
    }
}

void VirtualBoard::SetSilent(int station, bool silent) {
    std::lock_guard<std::mutex> lock(impl_->mu);
    if (station < 1 || station >= kStations) return;
    Impl& m = *impl_;
    int64_t t = m.Now();
    if (silent && !m.silent[station]) {
        m.AdvanceAll(t);
        // The last answer stays in the response area, but never as "ready".
        uint8_t* st = m.mem.data() + qrl::ResponseArea(station) + qrl::kRspStatus;
        qrl::PutU16(st, static_cast<uint16_t>(qrl::GetU16(st) & ~status::kReady));
    }
    m.silent[station] = silent;
    if (!silent) m.AdvanceAll(t);
}

void VirtualBoard::FailExchanges(int count) {
    std::lock_guard<std::mutex> lock(impl_->mu);
    impl_->fail_exchanges = std::max(0, count);
}

void VirtualBoard::InjectReturnCode(int station, int32_t code, int exchanges) {
    std::lock_guard<std::mutex> lock(impl_->mu);
    impl_->inject = Injection{station, code, std::max(0, exchanges)};
}

void VirtualBoard::RaiseAlarm(int station, uint8_t code) {
    std::lock_guard<std::mutex> lock(impl_->mu);
    if (AxisStation* a = impl_->AxisAt(station)) {
        a->SetAlarm(code);
        impl_->Render(station, impl_->Now());
    }
}

void VirtualBoard::Reset() {
    std::lock_guard<std::mutex> lock(impl_->mu);
    impl_->ResetLocked();
}

bool VirtualBoard::Control(uint8_t* b) {
    if (!b) return false;
    uint32_t op = qrl::GetU32(b);
    int32_t station = qrl::GetI32(b + 4), a1 = qrl::GetI32(b + 8), a2 = qrl::GetI32(b + 12);
    bool station_ok = station >= 0 && station < kStations;
    switch (op) {
    case ctl::kSetInputs:
        // Both come from outside (the pipe): compared so that no sum can overflow.
        if (!station_ok || a1 < 0 || a2 < 0 || a1 > 16 || a2 > 16 - a1) return false;
        for (int i = 0; i < a2; ++i) SetInputOverride(station, a1 + i, 0xFF, b[16 + i]);
        return true;
    case ctl::kReleaseInputs:
        if (!station_ok && station != -1) return false;
        ClearInputOverrides(station);
        return true;
    case ctl::kSilence:
        if (station < 1 || station >= kStations) return false;
        SetSilent(station, a1 != 0);
        return true;
    case ctl::kReset:
        Reset();
        return true;
    case ctl::kIoData:
        if (KindOf(station) != Kind::Axis) return false;
        SetIoDataOverride(station, static_cast<uint16_t>(a1), static_cast<uint16_t>(a2));
        return true;
    case ctl::kRaiseAlarm:
        if (KindOf(station) != Kind::Axis) return false;
        RaiseAlarm(station, static_cast<uint8_t>(a1));
        return true;
    case ctl::kFailExchanges:
        FailExchanges(a1);
        return true;
    case ctl::kInjectCode:
        if (!station_ok && station != -1) return false;
        InjectReturnCode(station, a1, a2);
        return true;
    case ctl::kQuery: {
        if (!station_ok) return false;
        auto out = Outputs(station);
        auto in = Inputs(station);
        AxisReport r = Axis(station);
        std::memset(b + 16, 0, qrl::kBufferSize - 16);
        std::memcpy(b + ctl::kQueryOutputs, out.data(), 16);
        std::memcpy(b + ctl::kQueryInputs, in.data(), 16);
        qrl::PutI32(b + ctl::kQueryKind, static_cast<int32_t>(KindOf(station)));
        qrl::PutI32(b + ctl::kQueryCommand, static_cast<int32_t>(r.command));
        qrl::PutI32(b + ctl::kQueryFeedback, static_cast<int32_t>(r.feedback));
        qrl::PutI32(b + ctl::kQueryStatus, r.status);
        qrl::PutI32(b + ctl::kQueryAlarm, r.alarm);
        qrl::PutI32(b + ctl::kQueryIoData, r.iodata);
        qrl::PutI32(b + ctl::kQueryIpCount, r.ip_queued);
        return true;
    }
    case ctl::kLoopback:
        SetLoopback(a1 != 0);
        return true;
    default:
        return false;
    }
}

}  // namespace vboard
