/*
 * The public header as integrators compile it: this file must compile without a
 * warning as C89 (-std=c89 -pedantic-errors), as later C and as C++, with the
 * MinGW compilers of both architectures. It includes the header under a packing
 * of 1, as a program built with /Zp1 or -fpack-struct=1 would, and checks at
 * compile time that QRL_RESPONSE keeps its natural layout (20 bytes, the offsets
 * the library fills), that QRL_FAILURE has its documented one (128 bytes), and
 * that the includer's packing is back in force after it. A failed check is a
 * negative array size naming what differs.
 */
#pragma pack(1)
#include "qrlink00.h"

#include <stddef.h>

#define QRL_CHECK(name, cond) typedef char qrl_check_##name[(cond) ? 1 : -1]

QRL_CHECK(size, sizeof(QRL_RESPONSE) == 20);
QRL_CHECK(station, offsetof(QRL_RESPONSE, station) == 0);
QRL_CHECK(alarm, offsetof(QRL_RESPONSE, alarm) == 4);
QRL_CHECK(status, offsetof(QRL_RESPONSE, status) == 6);
QRL_CHECK(monitor1, offsetof(QRL_RESPONSE, monitor1) == 8);
QRL_CHECK(monitor2, offsetof(QRL_RESPONSE, monitor2) == 12);
QRL_CHECK(mcode, offsetof(QRL_RESPONSE, mcode) == 16);
QRL_CHECK(iodata, offsetof(QRL_RESPONSE, iodata) == 18);

/* QRL_FAILURE: 128 bytes at the offsets its documentation gives, for programs in
 * other languages that declare it field by field. */
QRL_CHECK(failure_size, sizeof(QRL_FAILURE) == 128);
QRL_CHECK(failure_status, offsetof(QRL_FAILURE, status) == 0);
QRL_CHECK(failure_origin, offsetof(QRL_FAILURE, origin) == 4);
QRL_CHECK(failure_windows_error, offsetof(QRL_FAILURE, windows_error) == 8);
QRL_CHECK(failure_driver_code, offsetof(QRL_FAILURE, driver_code) == 12);
QRL_CHECK(failure_station, offsetof(QRL_FAILURE, station) == 16);
QRL_CHECK(failure_select_code, offsetof(QRL_FAILURE, select_code) == 20);
QRL_CHECK(failure_command, offsetof(QRL_FAILURE, command) == 24);
QRL_CHECK(failure_ordinal, offsetof(QRL_FAILURE, ordinal) == 28);
QRL_CHECK(failure_sequence, offsetof(QRL_FAILURE, sequence) == 32);
QRL_CHECK(failure_function, offsetof(QRL_FAILURE, function) == 36 && sizeof(((QRL_FAILURE *)0)->function) == 28);
QRL_CHECK(failure_where, offsetof(QRL_FAILURE, where) == 64 && sizeof(((QRL_FAILURE *)0)->where) == 32);
QRL_CHECK(failure_reserved, offsetof(QRL_FAILURE, reserved) == 96);

/* The header restores the packing it found: this record is still packed to 1. */
struct qrl_after_header {
    char c;
    int32_t i;
};
QRL_CHECK(includer_packing_restored, sizeof(struct qrl_after_header) == 5);
#pragma pack()

/* The status codes and the driver threshold as documented. */
QRL_CHECK(codes, QRL_OK == 0 && QRL_E_IO == -1 && QRL_E_RSPWAIT == -13 && QRL_E_NOMONITOR == -15);
QRL_CHECK(driver_final, QRL_DRIVER_FINAL == -32770);
QRL_CHECK(wait_forever, QRL_WAIT_FOREVER == -1);
QRL_CHECK(origins, QRL_ORIGIN_NONE == 0 && QRL_ORIGIN_ARGUMENT == 1 && QRL_ORIGIN_DRIVER == 2 &&
                       QRL_ORIGIN_WINDOWS == 3 && QRL_ORIGIN_TIMEOUT == 4 && QRL_ORIGIN_STATION == 5);

/* A caller of QrlStatusText, so that the compilers see it used. */
const char *qrl_header_text(int32_t status);
const char *qrl_header_text(int32_t status) { return QrlStatusText(status); }
