// Interpolation and axis data buffers. The driver itself holds, starts, counts
// and clears these buffers (SelectCode 3..12); the library only hands it one
// request per call, exchanged exactly once (no SendCommand retry, no echo), after
// waiting until every station concerned reports ready (2000 ms each, -7).
#include "axisdata.h"
#include "checks.h"
#include "export.h"

using namespace qrl;

namespace {

constexpr int32_t kControlOffset = 64;

// Transfer failure, else the ReturnCode the driver wrote into entry 0.
int32_t ExchangeOnce(CommandBuffer& b) {
    if (int32_t r = TransferCommands(b)) return r;
    return b.ReturnCode(0);
}

// WaitReady for each axis station whose bit is set in `mask`, ascending.
int32_t WaitAxesReady(uint32_t mask) {
    for (int n = 1; n <= 15; ++n) {
        if (!IsAxis(n) || !(mask & (1u << (n - 1)))) continue;
        if (int32_t r = WaitReady(n)) return r;
    }
    return QRL_OK;
}
constexpr uint32_t kEveryStation = 0x7FFF;

// A driver request without station data: zeros, optionally two values in bytes
// 8..11 and 12..15.
void BuildControl(CommandBuffer& b, int32_t select, int32_t offset) {
    SetTemplateEntry(b, 0, select, offset, kTplZero, 16);
}
void BuildControl(CommandBuffer& b, int32_t select, int32_t first, int32_t second) {
    BuildControl(b, select, kControlOffset);
    PutI32(b.Data(0) + 8, first);
    PutI32(b.Data(0) + 12, second);
}

// IpStrt, IpStrtRp, IpStop: ready waits for the masked axes, then one request
// carrying param1 and the mask.
int32_t MaskRequest(int32_t select, int32_t param1, int32_t mask) {
    if (!Board().open) return QRL_E_NOTOPEN;
    if (int32_t r = WaitAxesReady(static_cast<uint32_t>(mask))) return r;
    CommandBuffer b;
    BuildControl(b, select, param1, mask);
    return ExchangeOnce(b);
}

// AxdtSt, AxdtStOp: one axis data record for the driver's per-axis queue.
int32_t QueueAxisData(int32_t station, const AxisData& data) {
    if (int32_t r = CheckOpenAndKind(station, kAxisStation)) return r;
    if (int32_t r = WaitReady(station)) return r;
    CommandBuffer b;
    SetTemplateEntryBits(b, 0, kSelAxisData, CommandArea(station), kTplNc, 16, 1 << (station - 1));
    data.Put(b.Data(0), station);
    return ExchangeOnce(b);
}

// LkStart, AxdtClr: no ready wait at all.
int32_t PlainRequest(int32_t select, int32_t param1, int32_t param2) {
    if (!Board().open) return QRL_E_NOTOPEN;
    CommandBuffer b;
    BuildControl(b, select, param1, param2);
    return ExchangeOnce(b);
}

}  // namespace

// Queues one interpolation point per axis station whose bits[n-1] is non-zero:
// values[n-1] as command word 1, bits[n-1] as the driver's AxisBitNumber. Waits
// for every axis station first. -2 when no axis station is selected (nothing
// sent); else the transfer failure or entry 0's ReturnCode.
QRL_API(IpdtSet, (const int32_t* bits, const int32_t* values), (bits, values)) {
    if (bits == nullptr || values == nullptr) return QRL_E_ARG;
    if (!Board().open) return QRL_E_NOTOPEN;
    if (int32_t r = WaitAxesReady(kEveryStation)) return r;
    CommandBuffer b;
    int k = 0;
    for (int n = 1; n <= 15; ++n) {
        if (!IsAxis(n) || bits[n - 1] == 0) continue;
        SetTemplateEntryBits(b, k, kSelIpData, CommandArea(n), kTplIpData, 16, bits[n - 1]);
        AxisData::FromTables(0, values[n - 1], 0).Put(b.Data(k), n);
        ++k;
    }
    b.SetCount(k);
    if (k == 0) return QRL_E_ARG;
    return ExchangeOnce(b);
}

// Clears the interpolation data of the masked axes; param1 is not used.
QRL_API(IpdtClr, (int32_t param1, int32_t mask), (param1, mask)) {
    (void)param1;
    if (!Board().open) return QRL_E_NOTOPEN;
    if (int32_t r = WaitAxesReady(static_cast<uint32_t>(mask))) return r;
    CommandBuffer b;
    BuildControl(b, kSelIpdtClr, kControlOffset);
    return ExchangeOnce(b);
}

// Number of queued points, reported by the driver in entry 0's ReturnCode, stored
// through *count whatever the exchange's outcome. Returns the transfer result.
QRL_API(IpNumGet, (int32_t* count), (count)) {
    if (count == nullptr) return QRL_E_ARG;
    if (!Board().open) return QRL_E_NOTOPEN;
    if (int32_t r = WaitAxesReady(kEveryStation)) return r;
    CommandBuffer b;
    BuildControl(b, kSelIpNumGet, kControlOffset);
    const int32_t r = TransferCommands(b);
    *count = b.ReturnCode(0);
    return r;
}

// Sets the driver's queue capacity; `max` travels in the entry's Offset field.
QRL_API(IpNumMax, (int32_t max), (max)) {
    if (!Board().open) return QRL_E_NOTOPEN;
    if (int32_t r = WaitAxesReady(kEveryStation)) return r;
    CommandBuffer b;
    BuildControl(b, kSelIpNumMax, max);
    return ExchangeOnce(b);
}

// Start (once, or repeating) and stop the queued interpolation of the masked axes.
QRL_API(IpStrt, (int32_t param1, int32_t mask), (param1, mask)) { return MaskRequest(kSelIpStrt, param1, mask); }
QRL_API(IpStrtRp, (int32_t param1, int32_t mask), (param1, mask)) {
    return MaskRequest(kSelIpStrtRp, param1, mask);
}
QRL_API(IpStop, (int32_t param1, int32_t mask), (param1, mask)) { return MaskRequest(kSelIpStop, param1, mask); }

// Queues an NC-style axis data record (value1, value2) for one axis station, with
// the table's O-codes (AxdtSt) or the given ones (AxdtStOp: 0..2, 0..1, checked
// before the open check). -2, -5, -7, -1, or entry 0's ReturnCode.
QRL_API(AxdtSt, (int32_t station, int32_t value1, int32_t value2), (station, value1, value2)) {
    if (!StationArgOk(station, false)) return QRL_E_ARG;
    return QueueAxisData(station, AxisData::FromTables(0, value1, value2));
}
QRL_API(AxdtStOp, (int32_t station, int32_t value1, int32_t value2, int32_t ocode0, int32_t ocode1),
        (station, value1, value2, ocode0, ocode1)) {
    if (!StationArgOk(station, false) || !InRange(ocode0, 0, 2) || !InRange(ocode1, 0, 1)) return QRL_E_ARG;
    return QueueAxisData(station, AxisData::WithOcodes(ocode0, ocode1, 0, value1, value2));
}

// Starts the queued axis data together / clears it. Never waits for a station.
QRL_API(LkStart, (int32_t param1, int32_t param2), (param1, param2)) {
    return PlainRequest(kSelLkStart, param1, param2);
}
QRL_API(AxdtClr, (int32_t param1, int32_t param2), (param1, param2)) {
    return PlainRequest(kSelAxdtClr, param1, param2);
}
