/*
 * interpolation: moves two axes together along a path of queued points, then
 * makes a linked move of both with axis data records.
 *
 * Stations 1 and 3 are axis stations. Without the board, run it with
 * QRLINK00_DEVICE=sim (the built-in virtual board). On the virtual board a point
 * is the travel of one axis during one period, and IpStrt's first value is the
 * period in milliseconds.
 */
#include <stdio.h>
#include <string.h>

#include "qrlink00.h"

#define MASK_1_AND_3 0x5 /* bit n-1 for station n */

static int32_t wait_until_ready(int32_t station)
{
    int32_t rc = QRL_E_RDYWAIT;
    int tries;
    for (tries = 0; tries < 15 && rc == QRL_E_RDYWAIT; ++tries) rc = RdyWait(station); /* 2 s each */
    return rc;
}

static void show_positions(const char *when)
{
    int32_t p1 = 0, p3 = 0;
    MonGet(1, 1, &p1); /* monitor item 1: command position */
    MonGet(3, 1, &p3);
    printf("%s: station 1 at %ld, station 3 at %ld\n", when, (long)p1, (long)p3);
}

static int failed(const char *what, int32_t rc)
{
    if (rc == QRL_OK) return 0;
    printf("%s failed: %ld (%s)\n", what, (long)rc, QrlStatusText(rc));
    return 1;
}

int main(void)
{
    int32_t types[15] = {0x01, 0, 0x01};
    int32_t bits[15], values[15], count = 0;
    int point, polls;

    if (failed("InitDll", InitDll(1)) || failed("BdOpen", BdOpen(0, 10, 0, types))) return 1;
    if (failed("SvOn", SvOn(-1))) return 1; /* -1: every axis station */
    if (failed("PosiPut", PosiPut(-1, 1, 0))) return 1; /* both command positions := 0 */
    show_positions("start");

    /* The driver holds the points: clear what may be left, then queue ten points
     * per axis. bits selects the stations of a point, values their travel. */
    if (failed("IpdtClr", IpdtClr(0, MASK_1_AND_3))) return 1;
    memset(bits, 0, sizeof bits);
    memset(values, 0, sizeof values);
    bits[0] = bits[2] = 1;
    values[0] = 100; /* station 1: 100 per period */
    values[2] = 50;  /* station 3: 50 per period */
    for (point = 0; point < 10; ++point)
        if (failed("IpdtSet", IpdtSet(bits, values))) return 1;
    IpNumGet(&count);
    printf("points queued: %ld\n", (long)count);

    /* Run the path, one point every 10 ms, until the driver holds no more points. */
    if (failed("IpStrt", IpStrt(10, MASK_1_AND_3))) return 1;
    for (polls = 0; polls < 100; ++polls)
        if (IpNumGet(&count) != QRL_OK || count == 0) break;
    if (failed("path", wait_until_ready(1)) || failed("path", wait_until_ready(3))) return 1;
    show_positions("after the path");

    /* A linked move: one NC record per axis (absolute target, 0 = standard speed),
     * started together by LkStart so that both arrive at the same time. */
    if (failed("AxdtSt", AxdtSt(1, 0, 2000)) || failed("AxdtSt", AxdtSt(3, 0, -1000))) return 1;
    if (failed("LkStart", LkStart(0, MASK_1_AND_3))) return 1;
    if (failed("move", wait_until_ready(1)) || failed("move", wait_until_ready(3))) return 1;
    show_positions("after the linked move");

    failed("SvOff", SvOff(-1));
    return failed("BdClose", BdClose(0));
}
