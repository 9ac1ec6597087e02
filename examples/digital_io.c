/*
 * digital_io: drives outputs and polls inputs of an I/O station and of the
 * board itself (station 0).
 *
 * Station 2 is an I/O station. Without the board, run it with
 * QRLINK00_DEVICE=sim: the virtual board wires every output byte back to the
 * input byte of the same number, so what is written can be read back.
 */
#include <stdio.h>

#include "qrlink00.h"

#define IO_STATION 2
#define BOARD 0

int main(void)
{
    int32_t types[15] = {0, 0x61};
    uint8_t b = 0, flags[16];
    uint16_t w = 0;
    int32_t rc;
    int i, k;

    InitDll(1);
    rc = BdOpen(0, 10, 0, types);
    if (rc != QRL_OK || types[IO_STATION - 1] < 0) {
        printf("BdOpen failed: %s\n", QrlStatusText(rc != QRL_OK ? rc : types[IO_STATION - 1]));
        return 1;
    }

    /* A 16-bit port: write it, read it back plain, byte-swapped (_0) and inverted. */
    D16out(IO_STATION, 1, 0x1234, 0, 0); /* port 1, no mirror, no invert */
    D16in(IO_STATION, 1, 0, 0, &w);
    printf("D16in   port 1: 0x%04x\n", w);
    D16in_0(IO_STATION, 1, 0, 0, &w); /* the _0 form reads the port big-endian */
    printf("D16in_0 port 1: 0x%04x\n", w);
    D16in(IO_STATION, 1, 0, 1, &w); /* invert = 1 */
    printf("D16in   port 1 inverted: 0x%04x\n", w);

    /* The same port as 16 flags: flags[0] is bit 15, flags[15] bit 0. */
    Din(IO_STATION, 1, flags);
    printf("Din     port 1 flags: ");
    for (k = 0; k < 16; ++k) printf("%d", flags[k]);
    printf("\n");

    /* An 8-bit port with mirror: bit 0 becomes bit 7. */
    D8out(IO_STATION, 5, 0x01, 1, 0);
    D8in(IO_STATION, 5, 0, 0, &b);
    printf("D8out   port 5 mirrored 0x01, reads 0x%02x\n", b);

    /* _0 outputs count the ports from the far end: port 1 is output byte 16. */
    D8out_0(IO_STATION, 1, 0x5A, 0, 0);
    D8in(IO_STATION, 16, 0, 0, &b);
    printf("D8out_0 port 1 = 0x5A, D8in port 16 reads 0x%02x\n", b);

    /* Polling: drive the board's own output port 1 through a pattern and wait
     * for each value to show on its input port 1. The library keeps no copy of
     * the outputs: the program keeps its own value and writes whole ports. */
    for (i = 0; i < 4; ++i) {
        uint8_t want = (uint8_t)(1u << i), seen = 0;
        int polls;
        rc = D8out(BOARD, 1, want, 0, 0);
        if (rc != QRL_OK) {
            printf("D8out failed: %s\n", QrlStatusText(rc));
            break;
        }
        for (polls = 1; polls <= 100; ++polls) {
            rc = D8in(BOARD, 1, 0, 0, &seen);
            if (rc != QRL_OK || seen == want) break;
        }
        printf("board output 0x%02x -> input 0x%02x (%s)\n", want, seen, seen == want ? "seen" : "not seen");
        if (seen != want) break;
    }

    rc = BdClose(0);
    printf("BdClose: %s\n", QrlStatusText(rc));
    return rc == QRL_OK && i == 4 ? 0 : 1;
}
