/*
 * open_identify: opens a network of stations and reads each station's identity.
 *
 * Station 1 and 3 are axis stations, station 2 an I/O station. Without the board
 * and its driver, run it with QRLINK00_DEVICE=sim (the built-in virtual board):
 *
 *   set QRLINK00_DEVICE=sim
 *   open_identify
 */
#include <stdio.h>

#include "qrlink00.h"

int main(void)
{
    /* One type code per station 1..15: 0x01 axis, 0x61 I/O (bits 0x20 and 0x40), 0 none. */
    int32_t types[15] = {0x01, 0x61, 0x01};
    int32_t rc, station, item;
    char text[17];

    rc = InitDll(1); /* board family 1: the vx710s10 board */
    if (rc == QRL_OK) rc = BdOpen(0, 10, 0, types);
    if (rc != QRL_OK) {
        /* -4 without a board: set QRLINK00_DEVICE=sim to use the virtual board. */
        printf("BdOpen failed: %ld (%s)\n", (long)rc, QrlStatusText(rc));
        return 1;
    }
    printf("board open, library version 6.5.%ld.%ld\n", (long)(VerGet() >> 16), (long)(VerGet() & 0xFFFF));

    for (station = 1; station <= 15; ++station) {
        int32_t type = types[station - 1];
        if (type == 0) continue; /* no station at this number */
        if (type < 0) {
            /* BdOpen returns 0 even when a station fails to come up: it drops the
             * station and leaves the failure's status in its element of types. */
            printf("station %ld: dropped at open: %s\n", (long)station, QrlStatusText(type));
            continue;
        }
        if ((type & 0x60) == 0x60) {
            printf("station %ld: I/O station (type 0x%02lx)\n", (long)station, (long)type);
            continue;
        }
        printf("station %ld: axis station (type 0x%02lx)\n", (long)station, (long)type);
        for (item = 0; item < 4; ++item) {
            rc = IdGet(station, item, text); /* 16 characters and a terminating zero */
            if (rc != QRL_OK) {
                printf("  IdGet item %ld failed: %s\n", (long)item, QrlStatusText(rc));
                break;
            }
            printf("  item %ld: \"%s\"\n", (long)item, text);
        }
    }

    rc = BdClose(0);
    printf("BdClose: %s\n", QrlStatusText(rc));
    return rc == QRL_OK ? 0 : 1;
}
