/*
 * vx_demo: a tour of the board access library on a mixed network.
 *
 * Station 1 and 3 are axis stations, station 2 an I/O station; station 0 is the
 * board's own I/O. The device comes from QRLINK00_DEVICE ("sim" for the built-in
 * virtual board, or a pipe such as \\.\pipe\vx710s10 for the driver stand-in).
 *
 *   vx_demo [all|open|motion|status|io|interp]
 */
#include <stdio.h>
#include <string.h>
#include <windows.h>

#include "qrlink00.h"

static int failures;

/* Prints one call's status in words; counts the failures. */
static int32_t show(const char *what, int32_t rc)
{
    printf("  %-34s -> %6ld  %s\n", what, (long)rc, QrlStatusText(rc));
    if (rc != QRL_OK) ++failures;
    return rc;
}

/* Polls the status word until the ready bit is back, as an application watching a move would. */
static void wait_move_done(int32_t station, const char *label)
{
    int i;
    /* McRspGet reads the response area as it is, so the positions advance while the
     * axis moves (MonGet first waits for the station to be ready). */
    for (i = 0; i < 200; ++i) {
        QRL_RESPONSE r;
        int ready;
        memset(&r, 0, sizeof r);
        r.station = station;
        if (McRspGet(&r) != QRL_OK) break;
        ready = (r.status & 0x0004) != 0;
        if (i % 3 == 0 || ready)
            printf("    %s: station %ld command %ld feedback %ld %s\n", label, (long)station, (long)r.monitor1,
                   (long)r.monitor2, ready ? "(ready)" : "(moving)");
        if (ready) {
            int32_t pos = 0;
            MonGet(station, 1, &pos);
            printf("    %s: MonGet reads the command position %ld\n", label, (long)pos);
            return;
        }
        Sleep(10);
    }
    printf("    %s: station %ld did not report ready\n", label, (long)station);
    ++failures;
}

static void part_open(void)
{
    char id[17];
    printf("Identification and configuration\n");
    if (show("IdGet(1, item 0)", IdGet(1, 0, id)) == QRL_OK) printf("    station 1 says \"%s\"\n", id);
    if (show("IdGet(3, item 1)", IdGet(3, 1, id)) == QRL_OK) printf("    station 3 says \"%s\"\n", id);
    show("Config(-1)", Config(-1));
    printf("  VerGet() = 0x%08lx (library 6.5.%ld.%ld)\n", (long)VerGet(), (long)(VerGet() >> 16),
           (long)(VerGet() & 0xFFFF));
}

static void part_motion(void)
{
    uint8_t alarm = 0;
    uint16_t status = 0;
    printf("Servo, motion and alarms\n");
    show("AxFeed(1, 500) without servo", AxFeed(1, 500));
    show("AlmGet(1)", AlmGet(1, &alarm));
    printf("    alarm code 0x%02x\n", alarm);
    show("AlmClr(1)", AlmClr(1));
    show("AlmGet(1)", AlmGet(1, &alarm));
    printf("    alarm code 0x%02x after clearing\n", alarm);
    show("SvOn(-1)", SvOn(-1));
    show("StdtStGet(1)", StdtStGet(1, &status));
    printf("    status word 0x%04x (servo %s)\n", status, (status & 8) ? "on" : "off");
    show("AxHome(1, 0, 0)", AxHome(1, 0, 0));
    wait_move_done(1, "home");
    show("AxFeed(1, 2000)", AxFeed(1, 2000));
    wait_move_done(1, "feed");
    show("AxNc(3, 1500, 800)", AxNc(3, 1500, 800));
    wait_move_done(3, "NC");
    show("AxNcEx(1, -1000, 600, 1)", AxNcEx(1, -1000, 600, 1));
    show("AxEmg(1)", AxEmg(1));
    show("AxEmgOff(1)", AxEmgOff(1));
    show("RdyWait(1)", RdyWait(1));
}

static void part_status(void)
{
    QRL_RESPONSE r;
    int32_t iodata = 0, d1 = 0, d2 = 0, i;
    printf("Monitor, responses and parameters\n");
    show("AxFeed(3, 3000)", AxFeed(3, 3000));
    for (i = 0; i < 5; ++i) {
        memset(&r, 0, sizeof r);
        r.station = 3;
        McRspGet(&r);
        printf("    while moving: station 3 command %ld feedback %ld status 0x%04x\n", (long)r.monitor1,
               (long)r.monitor2, r.status);
        Sleep(25);
    }
    show("RdyWait(3)", RdyWait(3));
    memset(&r, 0, sizeof r);
    r.station = 3;
    show("McRspGet(3)", McRspGet(&r));
    printf("    alarm %u status 0x%04x monitor1 %ld monitor2 %ld mcode 0x%02x iodata 0x%04x\n", r.alarm, r.status,
           (long)r.monitor1, (long)r.monitor2, r.mcode, r.iodata);
    show("IodtGet(3)", IodtGet(3, &iodata));
    printf("    I/O data word 0x%04lx\n", (long)iodata);
    show("PrmPut(1, 0x804, 123456, 7)", PrmPut(1, 0x804, 123456, 7));
    show("PrmGet(1, 0x804)", PrmGet(1, 0x804, &d1, &d2));
    printf("    parameter 0x804 = %ld, %ld\n", (long)d1, (long)d2);
    show("PprmPut(3, 0x100, -42, 0)", PprmPut(3, 0x100, -42, 0));
    show("PprmGet(3, 0x100)", PprmGet(3, 0x100, &d1, &d2));
    printf("    parameter 0x100 = %ld, %ld\n", (long)d1, (long)d2);
    show("PosiPut(1, 1, 0)", PosiPut(1, 1, 0));
}

static void part_io(void)
{
    uint16_t w = 0;
    uint8_t b = 0, flags[16];
    uint32_t dw = 0;
    int i;
    printf("Digital I/O (outputs wired back to the inputs)\n");
    show("D16out(2, 1, 0x1234)", D16out(2, 1, 0x1234, 0, 0));
    show("D16in(2, 1)", D16in(2, 1, 0, 0, &w));
    printf("    station 2 port 1 reads 0x%04x\n", w);
    show("D32out(2, 2, 0xCAFEF00D)", D32out(2, 2, (int32_t)0xCAFEF00D, 0, 0));
    show("D32in(2, 2)", D32in(2, 2, 0, 0, &dw));
    printf("    station 2 port 2 reads 0x%08lx\n", (unsigned long)dw);
    show("D8out(0, 1, 0x5A)", D8out(0, 1, 0x5A, 0, 0));
    show("D8in(0, 1)", D8in(0, 1, 0, 0, &b));
    printf("    board port 1 reads 0x%02x\n", b);
    memset(flags, 0, sizeof flags);
    flags[0] = flags[15] = 1;
    show("Dout(2, 3, bits 15 and 0)", Dout(2, 3, flags));
    show("Din(2, 3)", Din(2, 3, flags));
    printf("    flags ");
    for (i = 0; i < 16; ++i) printf("%d", flags[i]);
    printf("\n");
}

static void part_interp(void)
{
    int32_t bits[15], values[15], count = 0, i, n;
    printf("Interpolation on stations 1 and 3\n");
    show("IpdtClr(0, mask 0x5)", IpdtClr(0, 0x5));
    show("IpNumMax(64)", IpNumMax(64));
    /* Monitor item 13 of the virtual board counts the points waiting on an axis; the
     * interpolation records carry the M-code, so station 1 reports it from now on. */
    show("McodePut(-1, 1, 13)", McodePut(-1, 1, 13));
    for (n = 1; n <= 8; ++n) {
        memset(bits, 0, sizeof bits);
        memset(values, 0, sizeof values);
        bits[0] = bits[2] = 1;
        values[0] = n * 100;
        values[2] = n * 50;
        if (IpdtSet(bits, values) != QRL_OK) {
            show("IpdtSet", IpdtSet(bits, values));
            break;
        }
    }
    show("IpNumGet", IpNumGet(&count));
    printf("    %ld points queued\n", (long)count);
    /* One point per axis every 20 ms: the count falls as the path runs. IpNumGet
     * waits for the axes to be ready, so the count is read from the response area. */
    show("IpStrt(20 ms, mask 0x5)", IpStrt(20, 0x5));
    {
        int32_t last = -1;
        for (i = 0; i < 400; ++i) {
            QRL_RESPONSE r;
            memset(&r, 0, sizeof r);
            r.station = 1;
            if (McRspGet(&r) != QRL_OK) break;
            if (r.monitor2 != last) printf("    station 1: %ld points left\n", (long)r.monitor2);
            last = r.monitor2;
            if (last == 0 && (r.status & 0x0004)) break;
            Sleep(5);
        }
    }
    show("RdyWait(1)", RdyWait(1));
    show("RdyWait(3)", RdyWait(3));
    /* A linked move back to 200 at 10 000 and 5 000 units/s: both axes take as long
     * as the longer move and arrive together. QrlRdyWait waits as long as the caller
     * allows (here 10 s), asleep between its reads; RdyWait would give up at 2 s. */
    show("AxdtSt(1, 10000, 200)", AxdtSt(1, 10000, 200));
    show("AxdtSt(3, 5000, 200)", AxdtSt(3, 5000, 200));
    show("LkStart(0, 0)", LkStart(0, 0));
    show("QrlRdyWait(1, 10 s)", QrlRdyWait(1, 10000));
    show("QrlRdyWait(3, 10 s)", QrlRdyWait(3, 10000));
    show("AxdtClr(0, 0)", AxdtClr(0, 0));
    show("IpNumGet", IpNumGet(&count));
    printf("    %ld points queued after the path\n", (long)count);
    show("McodePut(-1, 1, 8)", McodePut(-1, 1, 8));
}

int main(int argc, char **argv)
{
    const char *part = argc > 1 ? argv[1] : "all";
    int all = strcmp(part, "all") == 0;
    int32_t types[15] = {0x01, 0x61, 0x01};
    char dev[MAX_PATH] = "";
    int i;

    setvbuf(stdout, NULL, _IONBF, 0);
    GetEnvironmentVariableA("QRLINK00_DEVICE", dev, sizeof dev);
    printf("vx_demo: device %s\n", dev[0] ? dev : "(kernel driver)");
    printf("Bring-up\n");
    show("InitDll(1)", InitDll(1));
    if (show("BdOpen(0, rate 10, cycle 0, types)", BdOpen(0, 10, 0, types)) != QRL_OK) return 1;
    for (i = 0; i < 3; ++i) printf("    station %d type 0x%02lx\n", i + 1, (long)types[i]);

    if (all || !strcmp(part, "open")) part_open();
    if (all || !strcmp(part, "motion")) part_motion();
    if (all || !strcmp(part, "status")) part_status();
    if (all || !strcmp(part, "io")) part_io();
    if (all || !strcmp(part, "interp")) part_interp();

    printf("Shut-down\n");
    show("SvOff(-1)", SvOff(-1));
    show("BdClose(0)", BdClose(0));
    printf("vx_demo: done, %d call(s) reported a failure\n", failures);
    return 0;
}
