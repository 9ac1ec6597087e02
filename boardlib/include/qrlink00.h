/*
 * qrlink00.h - board access library for the VX-7105 PCI motion-control board.
 *
 * The one public header of qrlink00.dll. Plain C, usable from C and C++.
 * Every function is __stdcall, takes 32-bit arguments and returns a signed
 * 32-bit status: 0 for success, a negative QRL_* code for failure.
 *
 * Typical use:
 *     InitDll(1);                          select the vx710s10 board family
 *     int32_t types[15] = { 0x01, 0x61 };   station 1 axis, station 2 I/O
 *     BdOpen(0, 10, 0, types);             bring the board and its stations up
 *     SvOn(1); AxFeed(1, 1000); ...
 *     BdClose(0);
 *
 * Thread model: InitDll, BdOpen and BdClose must be called while no other
 * thread uses the library. Every other function may be called from several
 * threads at once; each call uses a command buffer of its own.
 */
#ifndef QRLINK00_H
#define QRLINK00_H

#include <stdint.h>

#if defined(_WIN32)
#define QRL_CALL __stdcall
#else
#define QRL_CALL
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* Status codes returned by every function. Values below QRL_DRIVER_FINAL
 * (SendCommand) or below -32769 (polling reads) are the driver's own final
 * return codes, passed through unchanged. */
enum {
    QRL_OK = 0,
    QRL_E_IO = -1,            /* the device I/O-control exchange failed */
    QRL_E_ARG = -2,           /* bad argument, or station of the wrong kind */
    QRL_E_NOFAMILY = -3,      /* InitDll has not selected a board family */
    QRL_E_NODEVICE = -4,      /* no board device found, or opening it failed */
    QRL_E_NOTOPEN = -5,       /* board not open */
    QRL_E_CLOSE = -6,         /* closing the device handle failed */
    QRL_E_TIMEOUT = -7,       /* no success within 2000 ms */
    QRL_E_RESPONSE = -8,      /* expected response code not seen in time */
    QRL_E_ECHO = -9,          /* echo of the sent bytes not seen in time */
    QRL_E_SERVOON = -10,      /* servo-on state not reached within 2000 ms */
    QRL_E_SERVOOFF = -11,     /* servo-off state not reached within 2000 ms */
    QRL_E_RDYWAIT = -12,      /* RdyWait: not ready within 2000 ms */
    QRL_E_RSPWAIT = -13,      /* RspWait: response code not seen in 2000 ms */
    QRL_E_NOMONITOR = -15     /* MnRspGet: last response has no monitor data */
};
#define QRL_DRIVER_FINAL (-32770)

/* Response record of McRspGet and MnRspGet: natural alignment, 20 bytes. */
typedef struct QRL_RESPONSE {
    int32_t station;   /* in: station 1..15 */
    uint8_t alarm;     /* out: alarm code */
    uint16_t status;   /* out: status word (bit 2 ready, bit 3 servo on) */
    int32_t monitor1;  /* out: monitor item chosen by M-code low */
    int32_t monitor2;  /* out: monitor item chosen by M-code high */
    uint8_t mcode;     /* out: M-code byte as reported */
    uint16_t iodata;   /* out: I/O data word */
} QRL_RESPONSE;

/* Board lifecycle */
int32_t QRL_CALL InitDll(int32_t family);
int32_t QRL_CALL BdOpen(int32_t board, int32_t rate, int32_t cycle, int32_t *types);
int32_t QRL_CALL BdClose(int32_t board);
int32_t QRL_CALL Config(int32_t station);
int32_t QRL_CALL IdGet(int32_t station, int32_t item, char *text /* 17 bytes */);
int32_t QRL_CALL VerGet(void);

/* Axis motion and option tables */
int32_t QRL_CALL AxHome(int32_t station, int32_t value, int32_t mode);
int32_t QRL_CALL AxHomeOp(int32_t station, int32_t value, int32_t ocode0, int32_t ocode1, int32_t mode);
int32_t QRL_CALL AxFeed(int32_t station, int32_t value);
int32_t QRL_CALL AxFeedOp(int32_t station, int32_t value, int32_t ocode0, int32_t ocode1);
int32_t QRL_CALL AxNc(int32_t station, int32_t value1, int32_t value2);
int32_t QRL_CALL AxNcOp(int32_t station, int32_t value1, int32_t value2, int32_t ocode0, int32_t ocode1);
int32_t QRL_CALL AxNcEx(int32_t station, int32_t value1, int32_t value2, int32_t mode);
int32_t QRL_CALL AxNcExOp(int32_t station, int32_t value1, int32_t value2, int32_t ocode0, int32_t ocode1,
                          int32_t mode);
int32_t QRL_CALL AxDown(int32_t station);
int32_t QRL_CALL AxDownOp(int32_t station, int32_t ocode0, int32_t ocode1);
int32_t QRL_CALL AxEmg(int32_t station);
int32_t QRL_CALL AxEmgOff(int32_t station);
int32_t QRL_CALL McodePut(int32_t station, int32_t low, int32_t high);
int32_t QRL_CALL OcodePut(int32_t station, int32_t index, int32_t value);

/* Servo and axis state */
int32_t QRL_CALL SvOn(int32_t station);
int32_t QRL_CALL SvOff(int32_t station);
int32_t QRL_CALL EncdrOn(int32_t station);
int32_t QRL_CALL EncdrOff(int32_t station);
int32_t QRL_CALL MlockOn(int32_t station);
int32_t QRL_CALL MlockOff(int32_t station);
int32_t QRL_CALL AlmClr(int32_t station);
int32_t QRL_CALL AlmGet(int32_t station, uint8_t *alarm);
int32_t QRL_CALL AbsIni(int32_t station);
int32_t QRL_CALL PosiPut(int32_t station, int32_t item, int32_t value);

/* Status, monitor, responses and waits */
int32_t QRL_CALL StdtStGet(int32_t station, uint16_t *status);
int32_t QRL_CALL StdtGet(int32_t station, int32_t bit, int32_t *state);
int32_t QRL_CALL MonGet(int32_t station, int32_t code, int32_t *data);
int32_t QRL_CALL IodtGet(int32_t station, int32_t *data);
int32_t QRL_CALL McRspGet(QRL_RESPONSE *record);
int32_t QRL_CALL MnRspGet(QRL_RESPONSE *record);
int32_t QRL_CALL RdyWait(int32_t station);
int32_t QRL_CALL RspWait(int32_t station, int32_t code);

/* Digital I/O (station 0 is the board's own I/O) */
int32_t QRL_CALL D8in(int32_t station, int32_t port, int32_t mirror, int32_t invert, uint8_t *data);
int32_t QRL_CALL D8in_0(int32_t station, int32_t port, int32_t mirror, int32_t invert, uint8_t *data);
int32_t QRL_CALL D16in(int32_t station, int32_t port, int32_t mirror, int32_t invert, uint16_t *data);
int32_t QRL_CALL D16in_0(int32_t station, int32_t port, int32_t mirror, int32_t invert, uint16_t *data);
int32_t QRL_CALL D32in(int32_t station, int32_t port, int32_t mirror, int32_t invert, uint32_t *data);
int32_t QRL_CALL D32in_0(int32_t station, int32_t port, int32_t mirror, int32_t invert, uint32_t *data);
int32_t QRL_CALL Din(int32_t station, int32_t port, uint8_t *flags /* 16 */);
int32_t QRL_CALL Din_0(int32_t station, int32_t port, uint8_t *flags /* 16 */);
int32_t QRL_CALL D8out(int32_t station, int32_t port, int32_t value, int32_t mirror, int32_t invert);
int32_t QRL_CALL D8out_0(int32_t station, int32_t port, int32_t value, int32_t mirror, int32_t invert);
int32_t QRL_CALL D16out(int32_t station, int32_t port, int32_t value, int32_t mirror, int32_t invert);
int32_t QRL_CALL D16out_0(int32_t station, int32_t port, int32_t value, int32_t mirror, int32_t invert);
int32_t QRL_CALL D32out(int32_t station, int32_t port, int32_t value, int32_t mirror, int32_t invert);
int32_t QRL_CALL D32out_0(int32_t station, int32_t port, int32_t value, int32_t mirror, int32_t invert);
int32_t QRL_CALL Dout(int32_t station, int32_t port, const uint8_t *flags /* 16 */);
int32_t QRL_CALL Dout_0(int32_t station, int32_t port, const uint8_t *flags /* 16 */);

/* Station parameters */
int32_t QRL_CALL PrmGet(int32_t station, int32_t prmNo, int32_t *data1, int32_t *data2);
int32_t QRL_CALL PrmPut(int32_t station, int32_t prmNo, int32_t data1, int32_t data2);
int32_t QRL_CALL PprmGet(int32_t station, int32_t prmNo, int32_t *data1, int32_t *data2);
int32_t QRL_CALL PprmPut(int32_t station, int32_t prmNo, int32_t data1, int32_t data2);

/* Interpolation and axis data buffers (held by the driver) */
int32_t QRL_CALL IpdtSet(const int32_t *bits /* 15 */, const int32_t *values /* 15 */);
int32_t QRL_CALL IpdtClr(int32_t param1, int32_t mask);
int32_t QRL_CALL IpNumGet(int32_t *count);
int32_t QRL_CALL IpNumMax(int32_t max);
int32_t QRL_CALL IpStrt(int32_t param1, int32_t mask);
int32_t QRL_CALL IpStrtRp(int32_t param1, int32_t mask);
int32_t QRL_CALL IpStop(int32_t param1, int32_t mask);
int32_t QRL_CALL AxdtSt(int32_t station, int32_t value1, int32_t value2);
int32_t QRL_CALL AxdtStOp(int32_t station, int32_t value1, int32_t value2, int32_t ocode0, int32_t ocode1);
int32_t QRL_CALL LkStart(int32_t param1, int32_t param2);
int32_t QRL_CALL AxdtClr(int32_t param1, int32_t param2);

/* A short English text for a status code; never empty, never NULL.
 * Header-only: no export of the library stands behind it. */
static inline const char *QrlStatusText(int32_t status)
{
    switch (status) {
    case QRL_OK: return "success";
    case QRL_E_IO: return "device I/O-control exchange failed";
    case QRL_E_ARG: return "bad argument (range or null pointer) or station of the wrong kind";
    case QRL_E_NOFAMILY: return "no board family selected (call InitDll first)";
    case QRL_E_NODEVICE: return "no board device found, or opening it failed";
    case QRL_E_NOTOPEN: return "board not open";
    case QRL_E_CLOSE: return "closing the device handle failed";
    case QRL_E_TIMEOUT: return "no success within 2000 ms";
    case QRL_E_RESPONSE: return "expected response code not seen in time";
    case QRL_E_ECHO: return "echo of the sent bytes not seen in time";
    case QRL_E_SERVOON: return "servo-on state not reached within 2000 ms";
    case QRL_E_SERVOOFF: return "servo-off state not reached within 2000 ms";
    case QRL_E_RDYWAIT: return "station not ready within 2000 ms (RdyWait)";
    case QRL_E_RSPWAIT: return "response code not seen within 2000 ms (RspWait)";
    case QRL_E_NOMONITOR: return "last response carries no monitor data";
    default:
        if (status <= -32769) return "final driver return code";
        if (status > 0) return "driver return code (busy or count)";
        return "driver return code";
    }
}

#ifdef __cplusplus
}
#endif

#endif /* QRLINK00_H */
