#include "board.h"

namespace qrl {

namespace {

BoardState g_board;
#ifdef VX_TEST_HOOKS
Platform* g_platform_override = nullptr;
#endif

}  // namespace

BoardState& Board() { return g_board; }

#ifdef VX_TEST_HOOKS
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
#else
Platform& CurrentPlatform() { return HostPlatform(); }
#endif

StationKind KindOf(int station) {
    if (station < 0 || station >= kStations) return kNoStation;
    int32_t t = g_board.stations[station];
    if (t == 0) return kNoStation;
    return (t & 0x60) == 0x60 ? kIoStation : kAxisStation;
}


}  // namespace qrl
