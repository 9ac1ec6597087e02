// The argument checks every export makes, in the fixed order: argument ranges in
// argument order (-2), the board-open flag (-5), then the station kind (-2).
#pragma once

#include "board.h"

namespace qrl {

// A single station 1..15, or also -1 (every station of the needed kind) when allowed.
inline bool StationArgOk(int32_t station, bool allow_all) {
    return (station >= 1 && station <= 15) || (allow_all && station == -1);
}
inline bool InRange(int32_t v, int32_t lo, int32_t hi) { return v >= lo && v <= hi; }

// Open check, then (for a single station) the kind check.
inline int32_t CheckOpenAndKind(int32_t station, StationKind need) {
    if (!Board().open) return QRL_E_NOTOPEN;
    if (station != -1 && KindOf(station) != need) return QRL_E_ARG;
    return QRL_OK;
}

// The stations a -1-capable command addresses: [first, last] ascending.
struct StationRange {
    int first, last;
};
inline StationRange RangeOf(int32_t station) {
    return station == -1 ? StationRange{1, 15} : StationRange{station, station};
}

// Fills one entry per axis station of the range, ascending, from entry 0 on, each
// with SetTemplateEntry(SelectCode 2, station x 64, tpl, 16) followed by patch(data,
// station, k). Sets CommandCount to the number filled and returns it.
template <typename Patch>
int FillAxisBatch(CommandBuffer& b, StationRange range, int tpl, Patch patch) {
    int k = 0;
    for (int n = range.first; n <= range.last; ++n) {
        if (!IsAxis(n)) continue;
        SetTemplateEntry(b, k, kSelWrite, CommandArea(n), tpl, 16);
        patch(b.Data(k), n, k);
        ++k;
    }
    b.SetCount(k);
    return k;
}
inline void NoPatch(uint8_t*, int, int) {}

// The one road of every batch command: one entry per axis station of the range
// (ascending), one SendCommand for the whole buffer, then confirm(sent, station, k)
// for each of those stations in the same order, k being its entry index. The first
// non-zero result ends the call; later stations are not awaited. A range without
// any axis station (only possible with -1) sends nothing and succeeds: the driver
// would otherwise judge an entry 0 that nothing filled.
template <typename Patch, typename Confirm>
int32_t RunAxisBatch(StationRange range, int tpl, Patch patch, Confirm confirm) {
    CommandBuffer b;
    if (FillAxisBatch(b, range, tpl, patch) == 0) return QRL_OK;
    if (int32_t r = SendCommand(b)) return r;
    int k = 0;
    for (int n = range.first; n <= range.last; ++n) {
        if (!IsAxis(n)) continue;
        if (int32_t r = confirm(static_cast<const CommandBuffer&>(b), n, k)) return r;
        ++k;
    }
    return QRL_OK;
}
inline int32_t NoConfirm(const CommandBuffer&, int, int) { return QRL_OK; }

}  // namespace qrl
