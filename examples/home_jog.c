/*
 * home_jog: homes an axis, then jogs it in steps, waiting for each move to end
 * and reading the position.
 *
 * Station 1 is an axis station. Without the board, run it with
 * QRLINK00_DEVICE=sim (the built-in virtual board).
 */
#include <stdio.h>

#include "qrlink00.h"

#define AXIS 1

/* Waits for the end of a move. RdyWait gives up after 2 s (QRL_E_RDYWAIT);
 * a longer move just needs it called again. */
static int32_t wait_until_ready(int32_t station)
{
    int32_t rc = QRL_E_RDYWAIT;
    int tries;
    for (tries = 0; tries < 15 && rc == QRL_E_RDYWAIT; ++tries) rc = RdyWait(station);
    return rc;
}

/* Monitor items are chosen per station with McodePut; after BdOpen item 1 (the
 * command position) is monitor value 1 and item 8 (the feedback position) is
 * monitor value 2. */
static void show_position(const char *when)
{
    int32_t command = 0, feedback = 0;
    MonGet(AXIS, 1, &command);
    MonGet(AXIS, 8, &feedback);
    printf("%-16s command position %ld, feedback position %ld\n", when, (long)command, (long)feedback);
}

/* Prints a failed call and says whether it failed. */
static int failed(const char *what, int32_t rc)
{
    if (rc == QRL_OK) return 0;
    printf("%s failed: %ld (%s)\n", what, (long)rc, QrlStatusText(rc));
    return 1;
}

int main(void)
{
    int32_t types[15] = {0x01};
    int32_t steps[3] = {1000, 1000, -250};
    int32_t rc, homed = 0;
    int i;

    if (failed("InitDll", InitDll(1)) || failed("BdOpen", BdOpen(0, 10, 0, types))) return 1;
    if (types[0] < 0) return failed("station set-up", types[0]);

    /* The servo must be on before a move; SvOn returns when the station reports it. */
    if (failed("SvOn", SvOn(AXIS))) return 1;

    /* A motion command returns as soon as the board has accepted it. */
    if (failed("AxHome", AxHome(AXIS, 0, 0))) return 1; /* home position 0, mode 0 */
    if (failed("home", wait_until_ready(AXIS))) return 1;
    StdtGet(AXIS, 7, &homed); /* status bit 7: home completed (on the virtual board) */
    printf("homed: %s\n", homed ? "yes" : "no");
    show_position("after homing:");

    for (i = 0; i < 3; ++i) {
        printf("jog by %ld\n", (long)steps[i]);
        if (failed("AxFeed", AxFeed(AXIS, steps[i]))) break;
        rc = wait_until_ready(AXIS);
        if (failed("move", rc)) break;
        show_position("at rest:");
    }

    failed("SvOff", SvOff(AXIS));
    rc = BdClose(0);
    printf("BdClose: %s\n", QrlStatusText(rc));
    return rc == QRL_OK && i == 3 ? 0 : 1;
}
