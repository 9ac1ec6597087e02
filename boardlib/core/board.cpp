#include "board.h"

namespace qrl {

namespace {

BoardState g_board;
Platform* g_platform_override = nullptr;

}  // namespace

BoardState& Board() { return g_board; }

void ResetBoardForTests() {
    g_board.device.reset();
    g_board.family = 0;
    g_board.open = 0;
    for (int n = 0; n < kStations; ++n) {
        g_board.stations[n] = 0;
        g_board.mcode[n].SetBoth(0, 0);
        g_board.ocode[n].SetBoth(0, 0);
    }
}

Platform& CurrentPlatform() { return g_platform_override ? *g_platform_override : HostPlatform(); }

void UsePlatform(Platform* platform) { g_platform_override = platform; }

StationKind KindOf(int station) {
    if (station < 0 || station >= kStations) return kNoStation;
    int32_t t = g_board.stations[station];
    if (t == 0) return kNoStation;
    return (t & 0x60) == 0x60 ? kIoStation : kAxisStation;
}

int StationOfEntry(int32_t select, int32_t offset) {
    int32_t rel;
    switch (select) {
    case kSelRead: rel = offset - kResponseBase; break;
    case kSelWrite: case kSelAxisData: case kSelIpData: case kSelInput: case kSelIoInit: rel = offset; break;
    default: return -1;  // driver requests address no station
    }
    if (rel < 0) return -1;
    int32_t n = rel / kStationStride;
    return (n >= 1 && n <= 15) ? static_cast<int>(n) : -1;
}

}  // namespace qrl
