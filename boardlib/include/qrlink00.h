/**
 * @mainpage qrlink00.dll: the VX-7105 board access library
 *
 * `qrlink00.dll` drives the VX-7105 PCI motion-control board and the network
 * of axis and I/O stations behind it. Everything an application needs is in
 * the header qrlink00.h: the functions, grouped by task (see Modules), the
 * status codes (@ref qrl_status) and the response record ::QRL_RESPONSE.
 * The sample programs in `examples/` show the common tasks.
 *
 * @section qrl_network The board and its stations
 *
 * The board is the master of a network of up to 15 stations, numbered 1..15.
 * An *axis station* drives one servo axis (it homes, feeds, positions and
 * reports monitor values); an *I/O station* has 16 bytes of digital inputs and
 * 16 bytes of digital outputs. The board's own digital I/O is station 0. Which
 * station is which is decided by the application: it passes one *type code*
 * per station to BdOpen():
 *
 * | type code              | station                                   |
 * |------------------------|-------------------------------------------|
 * | 0                      | no station at this number                 |
 * | bits 0x20 and 0x40 set | I/O station (for example 0x61)            |
 * | any other value > 0    | axis station (for example 0x01 or 0x41)   |
 *
 * @section qrl_sequence Calling sequence
 *
 * @code
 * #include "qrlink00.h"
 *
 * int32_t types[15] = { 0x01, 0x61 };      // station 1: axis, station 2: I/O
 * int32_t pos;
 * InitDll(1);                              // board family 1 (vx710s10)
 * if (BdOpen(0, 10, 0, types) != QRL_OK)   // board 0, rate 10, cycle 0
 *     return;                              // no board (see QRLINK00_DEVICE)
 * if (types[0] < 0)                        // station 1 dropped at open
 *     printf("station 1: %s\n", QrlStatusText(types[0]));
 * SvOn(1);                                 // blocks until the servo is on
 * AxFeed(1, 1000);                         // returns once the move is accepted
 * RdyWait(1);                              // blocks until the move is done (max 2 s)
 * MonGet(1, 1, &pos);                      // monitor item 1 of station 1
 * AxFeed(1, 100000);                       // a long move: 5 s on the virtual board
 * if (QrlRdyWait(1, 10000) != QRL_OK) {    // up to 10 s, sleeping meanwhile
 *     char why[256];
 *     QrlGetLastFailureText(why, sizeof why);
 *     printf("%s\n", why);                 // which call, its status, the cause
 * }
 * SvOff(1);
 * BdClose(0);
 * @endcode
 *
 * @section qrl_device Which device BdOpen opens: QRLINK00_DEVICE
 *
 * Every BdOpen() reads the environment variable `QRLINK00_DEVICE`:
 *
 * | value                      | device                                                     |
 * |----------------------------|------------------------------------------------------------|
 * | unset or empty             | the board through its kernel driver (service `vx710s10`)  |
 * | `sim` (any letter case)    | the built-in virtual board, in this process                |
 * | a pipe path such as `\\.\pipe\vx710s10` | a board stand-in serving that named pipe      |
 *
 * **Without the board and its driver, set `QRLINK00_DEVICE=sim`**; otherwise
 * BdOpen() finds no device and returns ::QRL_E_NODEVICE (-4). The virtual board
 * answers like a real network of the stations named in `types`; it keeps its
 * state across BdClose() and BdOpen() within one process.
 *
 * @section qrl_results Results
 *
 * Every function returns a signed 32-bit value: ::QRL_OK (0) for success, a
 * negative ::QRL_E_ARG ... ::QRL_E_NOMONITOR code for the failures the library
 * detects, or a driver return code passed through (see @ref qrl_status).
 * VerGet() is the one exception: it returns a version number (and the text
 * functions QrlGetStatusText() and QrlGetLastFailureText() return a length).
 * QrlStatusText() (defined in this header) and QrlGetStatusText() (exported,
 * for languages that cannot use the header) turn any result into a short
 * English text. After a failure, QrlGetLastFailure() tells the calling thread
 * which call failed, with what status, and where the failure came from: an
 * argument check, the driver's answer, a Windows function (with its error
 * code) or a time limit (see @ref qrl_failure).
 *
 * Arguments are checked before anything is sent, in this order: the ranges of
 * the arguments in argument order (::QRL_E_ARG), then the board being open
 * (::QRL_E_NOTOPEN), then the kind of the station (::QRL_E_ARG). A NULL
 * pointer for an out-parameter or an array is refused with ::QRL_E_ARG.
 * Out-parameters are written only when the call succeeds unless a function
 * says otherwise.
 *
 * @section qrl_waits Blocking and time limits
 *
 * Every call runs on the caller's thread and returns only when it is done. A
 * call exchanges a fixed block with the driver one or more times; on top of
 * that:
 * - a *command* (all motion, servo, output and parameter functions) is repeated
 *   while the board answers busy, for up to 2 s (then ::QRL_E_TIMEOUT);
 * - a *confirmation* polls the station's response area until the station has
 *   answered, for up to 2 s per station (6 s for Config(); 0.6 s for the station
 *   set-up in BdOpen()).
 *
 * These waits poll with a processor yield per pass; they never sleep (BdClose()
 * is the exception: it sleeps 100 ms), so a core stays busy while they run.
 * Each function's documentation gives its longest wait.
 *
 * For moves longer than 2 s, and wherever a waiting thread should leave the
 * processor free, use QrlRdyWait() and QrlRspWait(): the caller chooses the
 * limit (or none, ::QRL_WAIT_FOREVER), and after polling with yields for the
 * first 2 ms they sleep between two reads of the station: 1 ms at first, longer
 * as the wait grows old (a sixteenth of the time waited, at most 4 ms).
 *
 * @section qrl_threads Threads
 *
 * InitDll(), BdOpen() and BdClose() must be called while no other thread uses
 * the library. Every other function may be called from several threads at
 * once: each call builds its request in storage of its own and the exchanges
 * of one board are serialised. Commands of two threads to the same station
 * still reach it in whatever order the threads make them.
 */
/**
 * @file qrlink00.h
 * @brief The one public header of `qrlink00.dll`: plain C (C89 and later) and
 *        C++, for 32-bit (i686) and 64-bit (x86_64) Windows.
 *
 * Link with `libqrlink00.a` (MinGW) or `qrlink00.lib` (Microsoft tools). See
 * the main page for the calling sequence, device selection, results, waits
 * and threads.
 */
#ifndef QRLINK00_H
#define QRLINK00_H

#include <stdint.h>

/**
 * @brief The calling convention of every export: `__stdcall` on Windows.
 *
 * On i686 the exports are `__stdcall` functions with undecorated names (as
 * `GetProcAddress` finds them); on x86_64 Windows has a single calling
 * convention and the keyword has no effect.
 */
#if defined(_WIN32)
#define QRL_CALL __stdcall
#else
#define QRL_CALL
#endif

/** @cond QRL_INTERNAL */
/* `inline` where the language has it: C++, C99 and later, or the compiler's
 * own spelling in C89 mode. */
#if defined(__cplusplus) || (defined(__STDC_VERSION__) && __STDC_VERSION__ >= 199901L)
#define QRL_INLINE inline
#elif defined(__GNUC__)
#define QRL_INLINE __inline__
#elif defined(_MSC_VER)
#define QRL_INLINE __inline
#else
#define QRL_INLINE
#endif
/** @endcond */

#ifdef __cplusplus
extern "C" {
#endif

/**
 * @defgroup qrl_status Status codes
 * @brief What the functions return, and QrlStatusText().
 *
 * 0 is success. The library's own failures are -1 to -13 and -15 (-14 is not
 * used). Everything else is a *driver return code*, passed through unchanged:
 *
 * - **Final driver codes** (at or below ::QRL_DRIVER_FINAL, -32770): the driver
 *   refused the request for good. A command that is retried while the board is
 *   busy returns such a code at once when it is below -32770; a confirmation
 *   wait (RdyWait(), SvOn(), ...) also when it is -32770 itself.
 * - **Other driver codes** (positive, or -32769 .. -1): the driver was busy, or
 *   gave an answer of its own. Only functions that make a single read or a
 *   single driver request return them: StdtStGet(), StdtGet(), MonGet(),
 *   IodtGet(), McRspGet(), MnRspGet(), PrmGet(), PprmGet() and the
 *   interpolation and axis data functions. Such a code can equal one of the named codes below (a busy
 *   driver answering -5, say); when that matters, repeat the call.
 *
 * QrlStatusText() gives each named code its own text and a text for each
 * class of driver code.
 * @{
 */

/** @brief Status codes of the library; see @ref qrl_status. */
enum {
    /** Success. */
    QRL_OK = 0,
    /** The exchange with the device failed (the driver refused the I/O
     *  control, a pipe broke, or the board is not open so there is no device). */
    QRL_E_IO = -1,
    /** Bad argument: a value out of its range, a NULL pointer, or a station
     *  that is absent, dropped at open, or of the wrong kind for the function. */
    QRL_E_ARG = -2,
    /** No board family selected: call InitDll() before BdOpen(). */
    QRL_E_NOFAMILY = -3,
    /** No board device found, or opening it failed (without hardware, set
     *  `QRLINK00_DEVICE=sim`). */
    QRL_E_NODEVICE = -4,
    /** The board is not open: BdOpen() has not succeeded, or BdClose() was called. */
    QRL_E_NOTOPEN = -5,
    /** Closing the device handle failed (BdClose()). */
    QRL_E_CLOSE = -6,
    /** The board kept answering busy for 2 s, so the command was not
     *  accepted; or a station did not become ready within 2 s before a read or
     *  a driver request. */
    QRL_E_TIMEOUT = -7,
    /** A station did not answer a command with the expected response code in
     *  time (2 s; 6 s for Config()). */
    QRL_E_RESPONSE = -8,
    /** A station did not echo the data of a command in time (2 s; 0.6 s for
     *  the station set-up in BdOpen()). */
    QRL_E_ECHO = -9,
    /** SvOn(): a station did not report ready with servo on within 2 s. */
    QRL_E_SERVOON = -10,
    /** SvOff(): a station did not report ready with servo off within 2 s. */
    QRL_E_SERVOOFF = -11,
    /** RdyWait(): the station did not report ready within 2 s; QrlRdyWait():
     *  not within the caller's limit. */
    QRL_E_RDYWAIT = -12,
    /** RspWait(): the station did not report the response code within 2 s;
     *  QrlRspWait(): not within the caller's limit. */
    QRL_E_RSPWAIT = -13,
    /** MnRspGet(): the station's last answer carries no monitor data. */
    QRL_E_NOMONITOR = -15
};

/**
 * @brief Driver return codes at or below this value (-32770) are final.
 *
 * A command returns a driver code below -32770 at once instead of retrying;
 * a confirmation wait returns a code at or below -32770. QrlStatusText() calls
 * every status at or below this value a final driver return code.
 */
#define QRL_DRIVER_FINAL (-32770)

/**
 * @brief A short English text for a status; never NULL, never empty.
 *
 * Defined in this header (no export of the library stands behind it), so it
 * can be used before the DLL is loaded.
 *
 * @param status any value a function of this library returned.
 * @return a static text: one for each named code, and one for each class of
 *         driver code (final at or below ::QRL_DRIVER_FINAL, positive, other).
 */
static QRL_INLINE const char *QrlStatusText(int32_t status)
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
        if (status <= QRL_DRIVER_FINAL) return "final driver return code";
        if (status > 0) return "driver return code (positive: busy, or the driver's own answer)";
        return "driver return code (busy, or the driver's own answer)";
    }
}

/**
 * @brief QrlStatusText() as an exported function, copying the text into the
 *        caller's buffer: for programs that cannot use this header (Visual
 *        Basic, C#, Python, LabVIEW).
 *
 * The text is exactly the one QrlStatusText() gives for the same status.
 * @param status any value a function of this library returned.
 * @param text   out: the text, cut to size - 1 characters and always
 *               terminated by a zero when size > 0. May be NULL when size is 0
 *               (to ask for the length only).
 * @param size   bytes at text, 0 or more.
 * @return the length of the whole text in characters, without its zero (the
 *         texts are shorter than 80 characters; a buffer of result + 1 bytes
 *         holds the whole text), or ::QRL_E_ARG when size is negative, or text
 *         is NULL while size is not 0 (nothing written).
 *
 * Blocks: no. Threads: any. Never changes the calling thread's last failure
 * (QrlGetLastFailure()).
 */
int32_t QRL_CALL QrlGetStatusText(int32_t status, char *text, int32_t size);

/** @} */

/**
 * @defgroup qrl_failure Failure detail
 * @brief What made the calling thread's last call fail: QrlGetLastFailure(),
 *        QrlGetLastFailureText() and ::QRL_FAILURE.
 *
 * Every export that returns a status (all but VerGet() and the functions of
 * this group and QrlGetStatusText()) records, when it returns anything but
 * ::QRL_OK, the detail of that failure for the calling thread: which function,
 * its status, where the failure came from (::QRL_ORIGIN_ARGUMENT,
 * ::QRL_ORIGIN_DRIVER, ::QRL_ORIGIN_WINDOWS, ::QRL_ORIGIN_TIMEOUT,
 * ::QRL_ORIGIN_STATION), the Windows error where a Windows function failed,
 * and the station and command concerned. Successful calls leave it alone; the
 * next failure of the same thread replaces it. Each thread has its own: two
 * threads that fail differently each read their own detail.
 *
 * So a field engineer can tell, after BdOpen() returned ::QRL_E_NODEVICE, a
 * missing driver (Windows error 259, no more items, in
 * `SetupDiEnumDeviceInterfaces`) from a device that is there but refused
 * (error 5, access denied, or 32, in use, in `CreateFile`) or from a stopped
 * stand-in (error 2 in `CreateFile` of the pipe); and after ::QRL_E_IO, a
 * broken pipe (error 109) from a driver that failed the I/O control (the
 * error `DeviceIoControl` returned).
 *
 * @code
 * QRL_FAILURE f;
 * if (BdOpen(0, 10, 0, types) != QRL_OK && QrlGetLastFailure(&f) == QRL_OK &&
 *     f.origin == QRL_ORIGIN_WINDOWS)
 *     printf("%s: Windows error %lu in %s\n", f.function, (unsigned long)f.windows_error, f.where);
 * @endcode
 * @{
 */

/** @brief Where a failure came from: QRL_FAILURE::origin. */
enum {
    /** No failure recorded on this thread yet. */
    QRL_ORIGIN_NONE = 0,
    /** The library's checks refused the call before anything was sent: an
     *  argument out of range, a NULL pointer, a station of the wrong kind, no
     *  board family selected, the board not open (::QRL_E_ARG,
     *  ::QRL_E_NOFAMILY, ::QRL_E_NOTOPEN; ::QRL_E_IO for an exchange without
     *  an open device). */
    QRL_ORIGIN_ARGUMENT = 1,
    /** The driver's answer: a ReturnCode it wrote for the request
     *  (QRL_FAILURE::driver_code), or an exchange or open it refused without a
     *  Windows error (a stand-in's reply that says "not processed" or is too
     *  short; QRL_FAILURE::where says which). */
    QRL_ORIGIN_DRIVER = 2,
    /** A Windows function failed: QRL_FAILURE::windows_error holds its error
     *  code (GetLastError) and QRL_FAILURE::where its name (`CreateFile`,
     *  `SetupDiEnumDeviceInterfaces`, `DeviceIoControl`,
     *  `TransactNamedPipe`, `CloseHandle` ...). */
    QRL_ORIGIN_WINDOWS = 3,
    /** A time limit of the library ran out: the board stayed busy, or a station
     *  did not answer, echo, or become ready in time (::QRL_E_TIMEOUT ...
     *  ::QRL_E_RSPWAIT). */
    QRL_ORIGIN_TIMEOUT = 4,
    /** The station's answer itself: its last response carries no monitor data
     *  (::QRL_E_NOMONITOR). */
    QRL_ORIGIN_STATION = 5
};

/** @} */

/*
 * Records are laid out with the compiler's natural alignment whatever packing
 * the including file has chosen: QRL_RESPONSE is 20 bytes and QRL_FAILURE 128
 * bytes on every compiler and architecture.
 */
#pragma pack(push, 8)

/**
 * @brief One station's last answer, as McRspGet() and MnRspGet() deliver it.
 * @ingroup qrl_read
 *
 * The application sets @ref station and calls McRspGet() or MnRspGet(); the
 * other fields are filled from the station's response area. Layout (20 bytes
 * on i686 and x86_64, independent of the including file's packing): station at
 * 0, alarm at 4, status at 6, monitor1 at 8, monitor2 at 12, mcode at 16,
 * iodata at 18.
 */
typedef struct QRL_RESPONSE {
    /** In: the axis station to read, 1..15. */
    int32_t station;
    /** Out: the station's alarm code, 0 when there is no alarm. */
    uint8_t alarm;
    /** Out: the station's status word. Bit 2 (0x0004) is set when the station
     *  is ready (no move and no command in progress), bit 3 (0x0008) while the
     *  servo is on; the other bits are defined by the station. */
    uint16_t status;
    /** Out: monitor value 1, the item chosen by the station's M-code low (see
     *  McodePut()). */
    int32_t monitor1;
    /** Out: monitor value 2, the item chosen by the station's M-code high. */
    int32_t monitor2;
    /** Out: the M-code byte the station reports: high item << 4 | low item. */
    uint8_t mcode;
    /** Out: the station's I/O data word (its sensor and state signals). */
    uint16_t iodata;
} QRL_RESPONSE;

/**
 * @brief The detail of the calling thread's last failed call, as
 *        QrlGetLastFailure() delivers it.
 * @ingroup qrl_failure
 *
 * 128 bytes on i686 and x86_64 whatever the including file's packing, every
 * number a 4-byte integer: status at 0, origin at 4, windows_error at 8,
 * driver_code at 12, station at 16, select_code at 20, command at 24, ordinal
 * at 28, sequence at 32, function at 36 (28 characters), where at 64 (32
 * characters), reserved at 96 (32 bytes). The texts are ASCII and always
 * zero-terminated. A program in another language declares the same fields in
 * this order (or reads a 128-byte block at these offsets).
 */
typedef struct QRL_FAILURE {
    /** The status the failed function returned (never ::QRL_OK, except when no
     *  failure is recorded: then every field is 0 or empty). */
    int32_t status;
    /** Where the failure came from: ::QRL_ORIGIN_ARGUMENT, ::QRL_ORIGIN_DRIVER,
     *  ::QRL_ORIGIN_WINDOWS, ::QRL_ORIGIN_TIMEOUT, ::QRL_ORIGIN_STATION, or
     *  ::QRL_ORIGIN_NONE when this thread has had no failure. */
    int32_t origin;
    /** With ::QRL_ORIGIN_WINDOWS: the error code of the Windows function named
     *  by @ref where (as GetLastError() returned it); otherwise 0. */
    uint32_t windows_error;
    /** With ::QRL_ORIGIN_DRIVER: the ReturnCode the driver wrote (0 when it
     *  refused the exchange as a whole); otherwise 0. */
    int32_t driver_code;
    /** The station concerned: 1..15, 0 for the board itself (its settings, a
     *  driver request), -1 when none is (an argument check, opening the
     *  device). */
    int32_t station;
    /** The SelectCode of the request concerned (1 a read of a station's
     *  response area, 2 a write or a station command, 3..18 a driver request),
     *  0 when none is. */
    int32_t select_code;
    /** The command code sent to the station (for example 0x36 for AxFeed()),
     *  0 when the request concerned was no station command (a read, a driver
     *  request, a wait for the station). */
    int32_t command;
    /** The export ordinal of the function that failed (AxFeed() is 8, see
     *  @ref function). */
    int32_t ordinal;
    /** How many failures this thread has recorded so far (wrapping at 2^32);
     *  0 with ::QRL_ORIGIN_NONE. A larger value than at the last look means a
     *  newer failure. */
    uint32_t sequence;
    /** The name of the function that failed, for example "BdOpen". */
    char function[28];
    /** With ::QRL_ORIGIN_WINDOWS the Windows function that failed, for example
     *  "CreateFile"; with ::QRL_ORIGIN_DRIVER and driver_code 0 what the
     *  device answered wrongly; with ::QRL_ORIGIN_ARGUMENT "no open device"
     *  for an exchange without one; otherwise empty. */
    char where[32];
    /** Zero; room for later fields without changing the size. */
    uint8_t reserved[32];
} QRL_FAILURE;

#pragma pack(pop)

/**
 * @addtogroup qrl_failure
 * @{
 */

/**
 * @brief Copies the detail of the calling thread's last failed call.
 *
 * A failure of one thread is never seen by another. Calls that succeed leave
 * the detail alone, so after a failed call it describes that call until the
 * same thread fails again (QRL_FAILURE::sequence tells a newer failure from the
 * one seen before).
 * @param failure out: the detail (all 0 with ::QRL_ORIGIN_NONE when this
 *        thread has had no failure yet).
 * @return ::QRL_OK, or ::QRL_E_ARG when failure is NULL.
 * @retval QRL_OK    failure holds the detail.
 * @retval QRL_E_ARG failure NULL (nothing recorded for that either).
 *
 * Blocks: no. Threads: any; each reads its own. Never changes the detail.
 */
int32_t QRL_CALL QrlGetLastFailure(QRL_FAILURE *failure);

/**
 * @brief The detail of the calling thread's last failed call as one line of
 *        English, for a log or a message box.
 *
 * For example `BdOpen returned -4 (no board device found, or opening it
 * failed): Windows error 2 in CreateFile`, or `AxFeed returned -32801 (final
 * driver return code): the driver answered -32801 (station 1, SelectCode 2,
 * command 0x36)`; `no failed call on this thread` before any failure.
 * @param text out: the line, cut to size - 1 characters and always terminated
 *             by a zero when size > 0; may be NULL when size is 0.
 * @param size bytes at text, 0 or more; 256 always hold the whole line.
 * @return the length of the whole line in characters, without its zero, or
 *         ::QRL_E_ARG when size is negative or text is NULL while size is not 0.
 *
 * Blocks: no. Threads: any; each reads its own. Never changes the detail.
 */
int32_t QRL_CALL QrlGetLastFailureText(char *text, int32_t size);

/** @} */

/**
 * @defgroup qrl_lifecycle Board lifecycle and identity
 * @brief Selecting the board family, opening and closing the board, station
 *        identity and configuration, the library's version.
 * @{
 */

/**
 * @brief Selects the board family, and with it the registry keys the call log
 *        uses. Must precede BdOpen().
 *
 * May be called again at any time; it only changes the family used from then
 * on. Exchanges nothing with the board.
 *
 * @param family 1 for the vx710s10 family (this board), 2 for the vx880s10
 *        family. Any other value is refused and the family stays as it was.
 * @return ::QRL_OK, or ::QRL_E_ARG for a family other than 1 or 2.
 * @retval QRL_OK   the family is selected.
 * @retval QRL_E_ARG family is not 1 or 2.
 *
 * Blocks: no. Threads: call while no other thread uses the library.
 */
int32_t QRL_CALL InitDll(int32_t family);

/**
 * @brief Opens the board and brings its network of stations up.
 *
 * Finds and opens the device chosen by `QRLINK00_DEVICE` (see
 * @ref qrl_device), writes the board settings, then sets up each station that
 * `types` names: an I/O station is initialised, an axis station receives a
 * set-up command (which must be echoed within 0.6 s), an alarm clear and a
 * final set-up command (each answered within 2 s). It also starts the call log
 * when it is switched on, and resets the M-code and O-code tables of every
 * station to M-code low 1, high 8 and O-codes 0, 0 (see McodePut(), OcodePut()).
 *
 * **A station that fails its set-up is dropped, not reported in the result**:
 * BdOpen() still returns ::QRL_OK, writes the failure's status (a negative
 * value such as ::QRL_E_ECHO) into that station's element of `types`, and the
 * station answers ::QRL_E_ARG to every later call until the next BdOpen().
 * Check `types` after every open. Elements of stations that came up are left
 * unchanged.
 *
 * Calling BdOpen() on an open board runs the whole bring-up again.
 *
 * @param board board number, 0 or 1. Only checked: the first board present is
 *        the one opened.
 * @param rate  link rate of the station network: 5, 10 or 20 (written to the
 *        board as its rate code; every station must run at the same rate).
 * @param cycle communication cycle setting, 0..15, sent to every axis station
 *        in its set-up command (as 2 x cycle + 2); the station defines its
 *        timing.
 * @param types in and out: array of 15 type codes, element i for station
 *        i + 1 (see @ref qrl_network; each must be 0 or more). On return,
 *        the element of each dropped station holds the status of its failure.
 * @return ::QRL_OK when the board is open (check `types` for dropped
 *         stations), else a negative status; the board is then not open.
 * @retval QRL_OK        the board is open.
 * @retval QRL_E_ARG     board not 0..1, rate not 5, 10 or 20, cycle not
 *                       0..15, types NULL, or an element of types negative.
 *                       Nothing is changed.
 * @retval QRL_E_NOFAMILY InitDll() has not been called.
 * @retval QRL_E_NODEVICE no device: no board and driver, a pipe that cannot
 *                       be opened, or `QRLINK00_DEVICE` not set to `sim` on a
 *                       machine without the board. The station table and the
 *                       option tables have already been reset.
 * @retval QRL_E_IO      writing the board settings failed.
 *
 * Blocks: yes. With every station answering, a few milliseconds per station;
 * an axis station that does not answer costs up to 0.6 s; at worst about
 * 10.6 s per axis station (busy retries of 2 s and confirmations for each of
 * its three set-up commands). Threads: call while no other thread uses the
 * library.
 */
int32_t QRL_CALL BdOpen(int32_t board, int32_t rate, int32_t cycle, int32_t *types);

/**
 * @brief Shuts the stations down and closes the board.
 *
 * Sends one close command to every axis station (their answer is not judged),
 * waits 100 ms, writes the board's closing setting, ends the call log and
 * closes the device. The M-code and O-code tables are kept.
 *
 * @param board board number, 0 or 1 (only checked).
 * @return ::QRL_OK when the board is closed, else a negative status.
 * @retval QRL_OK     closed.
 * @retval QRL_E_ARG  board not 0..1.
 * @retval QRL_E_IO   the closing write failed, or the board was not open
 *                    (no device); the device, if any, stays open.
 * @retval QRL_E_CLOSE the system refused to close the device handle.
 *
 * Blocks: yes, 100 ms (a sleep) plus two exchanges. Threads: call while no
 * other thread uses the library.
 */
int32_t QRL_CALL BdClose(int32_t board);

/**
 * @brief Asks axis stations to report their configuration and waits until
 *        each has answered.
 *
 * One request goes to every addressed axis station; then each is awaited in
 * ascending order. The answer is left in the station's response area.
 *
 * @param station an axis station 1..15, or -1 for every axis station
 *        (with none, nothing is sent and the result is ::QRL_OK).
 * @return ::QRL_OK when every addressed station has answered, else the first
 *         failure.
 * @retval QRL_OK         every addressed station answered.
 * @retval QRL_E_ARG      station not 1..15 or -1, or not an axis station.
 * @retval QRL_E_NOTOPEN  the board is not open.
 * @retval QRL_E_TIMEOUT  the board stayed busy for 2 s; nothing was accepted.
 * @retval QRL_E_RESPONSE a station did not answer within 6 s; the stations
 *                        after it were not awaited.
 * @retval QRL_E_IO       an exchange failed.
 *
 * Also a final driver code. Blocks: up to 2 s for the request plus 6 s per
 * addressed station (up to 92 s with -1). Threads: any.
 */
int32_t QRL_CALL Config(int32_t station);

/**
 * @brief Reads one 16-character identification text of a station.
 *
 * The text is read in two halves of 8 characters, each a command that the
 * station answers. Which texts a station has is up to the station; the
 * virtual board answers item 0 with the product name, 1 with the firmware,
 * 2 with a serial number and 3 with the station's type.
 *
 * @param station station 1..15. The station kind is not checked; a station
 *        that does not answer gives ::QRL_E_RESPONSE after 2 s.
 * @param item    number of the text, 0..15 (only the low 4 bits are used).
 * @param text    out: at least 17 bytes; receives 16 characters and a
 *        terminating zero. After a failure it may be partly filled.
 * @return ::QRL_OK when both halves were read, else the first failure.
 * @retval QRL_OK         text holds the 16 characters.
 * @retval QRL_E_ARG      station not 1..15, or text NULL.
 * @retval QRL_E_IO       an exchange failed; also the result when the board is
 *                        not open (this function makes no open check).
 * @retval QRL_E_TIMEOUT  the board stayed busy for 2 s.
 * @retval QRL_E_RESPONSE the station did not answer within 2 s.
 *
 * Also a final driver code. Blocks: up to 8 s (2 s busy retry and 2 s answer
 * for each half). Threads: any.
 */
int32_t QRL_CALL IdGet(int32_t station, int32_t item, char *text);

/**
 * @brief The version of the loaded `qrlink00.dll`, from its version resource.
 *
 * Reads the `FileVersion` text ("6, 5, 1, 0" for release 6.5.1) of the module
 * `qrlink00.dll` and returns its third and fourth numbers.
 *
 * @return (third number << 16) | fourth number: 0x00010000 (65536) for
 *         release 6.5.1.0; 0 when the version resource cannot be read. This
 *         is a version, not a status.
 *
 * Blocks: no (reads the file's version resource). Threads: any.
 */
int32_t QRL_CALL VerGet(void);

/** @} */

/**
 * @defgroup qrl_motion Axis motion and option tables
 * @brief Homing, feeding, positioning and stopping axis stations, and the
 *        M-code and O-code tables every motion command carries.
 *
 * A motion command returns as soon as the board has accepted it; it does not
 * wait for the move. Wait for its end with QrlRdyWait() (any length of move,
 * sleeping meanwhile) or RdyWait() (at most 2 s, spinning), or watch it with
 * StdtGet() (status bit 2, ready) or McRspGet(). The values of a move (`value`, `value1`, `value2`,
 * `mode`) are passed to the station unchanged, 32 bits each; their units and
 * meaning are those of the station (the virtual board uses position units and
 * units per second).
 *
 * Every motion command carries two option tables of its station:
 * - the *M-code* pair (set by McodePut(), 1 and 8 after BdOpen()) chooses the
 *   two monitor items the station then reports (see MonGet());
 * - the *O-codes* 0 and 1 (set by OcodePut(), 0 and 0 after BdOpen()) are
 *   option flags of the command. The `...Op` forms take the O-codes as
 *   arguments for that one command instead; O-code 0 is 0..2, O-code 1 is
 *   0..1.
 *
 * Common results: ::QRL_OK (accepted), ::QRL_E_ARG (an argument out of range,
 * or the station not an axis station: nothing sent), ::QRL_E_NOTOPEN,
 * ::QRL_E_TIMEOUT (the board stayed busy for 2 s), ::QRL_E_IO, or a final
 * driver code. They block for at most 2 s (busy retries) and may be called
 * from any thread.
 * @{
 */

/**
 * @brief Starts a home search of one axis station.
 *
 * O-codes from the station's table (see OcodePut()).
 * @param station axis station 1..15.
 * @param value   home position value (command word 2), passed to the station.
 * @param mode    home search mode, 0..3, defined by the station.
 * @return ::QRL_OK when the board accepted the command, else a failure.
 * @retval QRL_OK        accepted; the search runs on.
 * @retval QRL_E_ARG     station not 1..15 or not an axis station, or mode not 0..3.
 * @retval QRL_E_NOTOPEN the board is not open.
 * @retval QRL_E_TIMEOUT the board stayed busy for 2 s.
 * @retval QRL_E_IO      the exchange failed.
 *
 * Blocks: up to 2 s. Threads: any.
 */
int32_t QRL_CALL AxHome(int32_t station, int32_t value, int32_t mode);

/**
 * @brief AxHome() with the O-codes given for this command.
 * @param station axis station 1..15.
 * @param value   home position value, passed to the station.
 * @param ocode0  O-code 0 for this command, 0..2.
 * @param ocode1  O-code 1 for this command, 0..1.
 * @param mode    home search mode, 0..3.
 * @return as AxHome(); ::QRL_E_ARG also for ocode0 or ocode1 out of range
 *         (checked before the open check).
 *
 * Blocks: up to 2 s. Threads: any.
 */
int32_t QRL_CALL AxHomeOp(int32_t station, int32_t value, int32_t ocode0, int32_t ocode1, int32_t mode);

/**
 * @brief Starts a relative feed of one axis station.
 * @param station axis station 1..15 (not -1).
 * @param value   feed amount (command word 2), passed to the station; its
 *        sign gives the direction.
 * @return ::QRL_OK when accepted, ::QRL_E_ARG (station not an axis station
 *         1..15), ::QRL_E_NOTOPEN, ::QRL_E_TIMEOUT, ::QRL_E_IO or a final
 *         driver code.
 *
 * Blocks: up to 2 s. Threads: any.
 */
int32_t QRL_CALL AxFeed(int32_t station, int32_t value);

/**
 * @brief AxFeed() with the O-codes given for this command.
 * @param station axis station 1..15.
 * @param value   feed amount, passed to the station.
 * @param ocode0  O-code 0 for this command, 0..2.
 * @param ocode1  O-code 1 for this command, 0..1.
 * @return as AxFeed(); ::QRL_E_ARG also for an O-code out of range.
 *
 * Blocks: up to 2 s. Threads: any.
 */
int32_t QRL_CALL AxFeedOp(int32_t station, int32_t value, int32_t ocode0, int32_t ocode1);

/**
 * @brief Starts an NC positioning move of one axis station.
 *
 * On the virtual board: an absolute move to `value2` at the speed `value1`
 * (0 for the station's standard speed).
 * @param station axis station 1..15.
 * @param value1  command word 1, passed to the station.
 * @param value2  command word 2, passed to the station.
 * @return as AxFeed().
 *
 * Blocks: up to 2 s. Threads: any.
 */
int32_t QRL_CALL AxNc(int32_t station, int32_t value1, int32_t value2);

/**
 * @brief AxNc() with the O-codes given for this command.
 * @param station axis station 1..15.
 * @param value1  command word 1.
 * @param value2  command word 2.
 * @param ocode0  O-code 0 for this command, 0..2.
 * @param ocode1  O-code 1 for this command, 0..1.
 * @return as AxNc(); ::QRL_E_ARG also for an O-code out of range.
 *
 * Blocks: up to 2 s. Threads: any.
 */
int32_t QRL_CALL AxNcOp(int32_t station, int32_t value1, int32_t value2, int32_t ocode0, int32_t ocode1);

/**
 * @brief Starts an extended NC move of one axis station, with a mode.
 *
 * On the virtual board: a relative move by `value2` at the speed `value1`.
 * @param station axis station 1..15.
 * @param value1  command word 1.
 * @param value2  command word 2.
 * @param mode    move mode, 0..3, defined by the station.
 * @return as AxNc(); ::QRL_E_ARG also for mode out of range.
 *
 * Blocks: up to 2 s. Threads: any.
 */
int32_t QRL_CALL AxNcEx(int32_t station, int32_t value1, int32_t value2, int32_t mode);

/**
 * @brief AxNcEx() with the O-codes given for this command.
 * @param station axis station 1..15.
 * @param value1  command word 1.
 * @param value2  command word 2.
 * @param ocode0  O-code 0 for this command, 0..2.
 * @param ocode1  O-code 1 for this command, 0..1.
 * @param mode    move mode, 0..3.
 * @return as AxNcEx(); ::QRL_E_ARG also for an O-code out of range
 *         (arguments are checked in the order ocode0, ocode1, mode).
 *
 * Blocks: up to 2 s. Threads: any.
 */
int32_t QRL_CALL AxNcExOp(int32_t station, int32_t value1, int32_t value2, int32_t ocode0, int32_t ocode1,
                          int32_t mode);

/**
 * @brief Decelerates and stops the move of one axis station, or of all.
 *
 * With -1 one exchange carries the command to every axis station at once
 * (with none, nothing is sent and the result is ::QRL_OK). Returns when the
 * board has accepted it; the axes come to rest afterwards.
 * @param station axis station 1..15, or -1 for every axis station.
 * @return ::QRL_OK when accepted, ::QRL_E_ARG (station not 1..15 or -1, or
 *         not an axis station), ::QRL_E_NOTOPEN, ::QRL_E_TIMEOUT, ::QRL_E_IO
 *         or a final driver code.
 *
 * Blocks: up to 2 s. Threads: any.
 */
int32_t QRL_CALL AxDown(int32_t station);

/**
 * @brief AxDown() with the same given O-codes for every station addressed.
 * @param station axis station 1..15, or -1 for every axis station.
 * @param ocode0  O-code 0, 0..2.
 * @param ocode1  O-code 1, 0..1.
 * @return as AxDown(); ::QRL_E_ARG also for an O-code out of range.
 *
 * Blocks: up to 2 s. Threads: any.
 */
int32_t QRL_CALL AxDownOp(int32_t station, int32_t ocode0, int32_t ocode1);

/**
 * @brief Emergency stop of one axis station, or of all.
 *
 * The axes stop at once and refuse moves until AxEmgOff().
 * @param station axis station 1..15, or -1 for every axis station.
 * @return as AxDown().
 *
 * Blocks: up to 2 s. Threads: any.
 */
int32_t QRL_CALL AxEmg(int32_t station);

/**
 * @brief Releases the emergency stop of one axis station, or of all.
 * @param station axis station 1..15, or -1 for every axis station.
 * @return as AxDown().
 *
 * Blocks: up to 2 s. Threads: any.
 */
int32_t QRL_CALL AxEmgOff(int32_t station);

/**
 * @brief Chooses the two monitor items of one axis station, or of all.
 *
 * Sets the station's M-code pair in the library's table. Later motion,
 * servo and monitor commands carry it (as the byte high << 4 | low), and the
 * station then reports item `low` as monitor value 1 and item `high` as
 * monitor value 2 (see MonGet(), ::QRL_RESPONSE). Item numbers are defined by
 * the station; on the virtual board 1 is the command position and 8 the
 * feedback position. BdOpen() resets every pair to 1 and 8.
 *
 * Sends nothing and needs no open board.
 * @param station axis station 1..15, or -1 for every axis station
 *        (with none, nothing changes and the result is ::QRL_OK).
 * @param low     item for monitor value 1, 0..15.
 * @param high    item for monitor value 2, 0..15.
 * @return ::QRL_OK, or ::QRL_E_ARG (an argument out of range, or the station
 *         not an axis station).
 * @retval QRL_OK    the table is set.
 * @retval QRL_E_ARG an argument out of range, or not an axis station.
 *
 * Blocks: no. Threads: any.
 */
int32_t QRL_CALL McodePut(int32_t station, int32_t low, int32_t high);

/**
 * @brief Sets O-code 0 or 1 of one axis station, or of all.
 *
 * The plain motion commands and SvOn() carry the station's O-codes (the `Op`
 * forms take their own). Only the low bit of O-code 1 travels: a stored 2 is
 * sent as 0. BdOpen() resets both to 0. Sends nothing and needs no open board.
 * @param station axis station 1..15, or -1 for every axis station.
 * @param index   which O-code: 0 or 1.
 * @param value   its value, 0..2.
 * @return ::QRL_OK, or ::QRL_E_ARG (an argument out of range, or the station
 *         not an axis station).
 * @retval QRL_OK    the table is set.
 * @retval QRL_E_ARG an argument out of range, or not an axis station.
 *
 * Blocks: no. Threads: any.
 */
int32_t QRL_CALL OcodePut(int32_t station, int32_t index, int32_t value);

/** @} */

/**
 * @defgroup qrl_servo Servo and axis state
 * @brief Servo, encoder and machine lock on and off, alarms, absolute
 *        initialisation and position preset.
 *
 * All but AlmGet() take one axis station or -1 for every axis station. With
 * -1, one exchange carries the command to every axis station; then the
 * function confirms each station in ascending order, each within its own 2 s,
 * and returns the first failure (the stations after it are not awaited, but
 * the command has reached them all). With -1 and no axis station, nothing is
 * sent and the result is ::QRL_OK.
 *
 * Common results: ::QRL_OK, ::QRL_E_ARG (station not 1..15 or -1, or not an
 * axis station), ::QRL_E_NOTOPEN, ::QRL_E_TIMEOUT (the board stayed busy for
 * 2 s), ::QRL_E_IO, or a final driver code. All may be called from any thread.
 * @{
 */

/**
 * @brief Switches the servo on and waits until each station reports it.
 *
 * Carries the station's O-codes and M-codes.
 * @param station axis station 1..15, or -1 for every axis station.
 * @return ::QRL_OK when every addressed station reports ready with the servo
 *         on (status bits 2 and 3), else the first failure.
 * @retval QRL_OK        servo on.
 * @retval QRL_E_SERVOON a station did not report it within 2 s (a station
 *                       with an alarm or an emergency stop refuses servo on).
 * @retval QRL_E_ARG     bad station.
 * @retval QRL_E_NOTOPEN the board is not open.
 * @retval QRL_E_TIMEOUT the board stayed busy for 2 s.
 * @retval QRL_E_IO      an exchange failed.
 *
 * Blocks: up to 2 s plus 2 s per addressed station. Threads: any.
 */
int32_t QRL_CALL SvOn(int32_t station);

/**
 * @brief Switches the servo off and waits until each station reports it.
 * @param station axis station 1..15, or -1 for every axis station.
 * @return ::QRL_OK when every addressed station reports ready with the servo
 *         off, ::QRL_E_SERVOOFF when one did not within 2 s, or a common
 *         result.
 * @retval QRL_OK         servo off.
 * @retval QRL_E_SERVOOFF a station did not report it within 2 s.
 *
 * Blocks: up to 2 s plus 2 s per addressed station. Threads: any.
 */
int32_t QRL_CALL SvOff(int32_t station);

/**
 * @brief Switches encoder counting on and waits for each station's answer.
 * @param station axis station 1..15, or -1 for every axis station.
 * @return ::QRL_OK, ::QRL_E_RESPONSE when a station did not answer within
 *         2 s, or a common result.
 * @retval QRL_OK         every addressed station answered.
 * @retval QRL_E_RESPONSE a station did not answer within 2 s.
 *
 * Blocks: up to 2 s plus 2 s per addressed station. Threads: any.
 */
int32_t QRL_CALL EncdrOn(int32_t station);

/**
 * @brief Switches encoder counting off and waits for each station's answer.
 * @param station axis station 1..15, or -1 for every axis station.
 * @return as EncdrOn().
 *
 * Blocks: up to 2 s plus 2 s per addressed station. Threads: any.
 */
int32_t QRL_CALL EncdrOff(int32_t station);

/**
 * @brief Switches the machine lock on: moves then run without moving the axis.
 *
 * Returns when the board has accepted the command; no confirmation.
 * @param station axis station 1..15, or -1 for every axis station.
 * @return ::QRL_OK when accepted, or a common result.
 *
 * Blocks: up to 2 s. Threads: any.
 */
int32_t QRL_CALL MlockOn(int32_t station);

/**
 * @brief Switches the machine lock off. No confirmation.
 * @param station axis station 1..15, or -1 for every axis station.
 * @return ::QRL_OK when accepted, or a common result.
 *
 * Blocks: up to 2 s. Threads: any.
 */
int32_t QRL_CALL MlockOff(int32_t station);

/**
 * @brief Clears the alarm of a station and waits for its answer.
 *
 * Read the alarm code first with AlmGet() when you want to know it.
 * @param station axis station 1..15, or -1 for every axis station.
 * @return ::QRL_OK, ::QRL_E_RESPONSE when a station did not answer within
 *         2 s, or a common result.
 * @retval QRL_OK         every addressed station answered.
 * @retval QRL_E_RESPONSE a station did not answer within 2 s.
 *
 * Blocks: up to 2 s plus 2 s per addressed station. Threads: any.
 */
int32_t QRL_CALL AlmClr(int32_t station);

/**
 * @brief Reads the alarm code of one axis station.
 *
 * One read of the station's response area, without retry; the driver's
 * return code of the read is not judged.
 * @param station axis station 1..15 (not -1).
 * @param alarm   out: the alarm code, 0 when there is none. Written only on
 *        success.
 * @return ::QRL_OK, or a failure.
 * @retval QRL_OK        alarm holds the code.
 * @retval QRL_E_ARG     station not 1..15 or not an axis station, or alarm NULL.
 * @retval QRL_E_NOTOPEN the board is not open.
 * @retval QRL_E_IO      the exchange failed.
 *
 * Blocks: one exchange. Threads: any.
 */
int32_t QRL_CALL AlmGet(int32_t station, uint8_t *alarm);

/**
 * @brief Absolute position initialisation: three fixed commands per station.
 *
 * Station by station in ascending order, three commands, each sent alone and
 * echoed by the station before the next. Stops at the first failure; the
 * steps and stations before it stay done.
 * @param station axis station 1..15, or -1 for every axis station.
 * @return ::QRL_OK, ::QRL_E_ECHO when a station did not echo a step within
 *         2 s, or a common result.
 * @retval QRL_OK     every step of every addressed station done.
 * @retval QRL_E_ECHO a step was not echoed within 2 s.
 *
 * Blocks: up to 12 s per addressed station (2 s busy retry and 2 s echo for
 * each of three steps). Threads: any.
 */
int32_t QRL_CALL AbsIni(int32_t station);

/**
 * @brief Presets a position item of a station to a value.
 *
 * The station confirms by echoing the item and value. On the virtual board
 * item 1 presets the command position, 8 the feedback position, 9 the machine
 * position.
 * @param station axis station 1..15, or -1 for every axis station.
 * @param item    position item, 0..15 (checked before the open check).
 * @param value   the value, passed to the station.
 * @return ::QRL_OK, ::QRL_E_ECHO when a station did not echo within 2 s,
 *         ::QRL_E_ARG also for item out of range, or a common result.
 * @retval QRL_OK     every addressed station took the value.
 * @retval QRL_E_ECHO a station did not echo within 2 s.
 *
 * Blocks: up to 2 s plus 2 s per addressed station. Threads: any.
 */
int32_t QRL_CALL PosiPut(int32_t station, int32_t item, int32_t value);

/** @} */

/**
 * @defgroup qrl_read Status, monitor, responses and waits
 * @brief Reading what an axis station reports, and waiting for it.
 *
 * Each read takes one snapshot of the station's response area: its last
 * response code, alarm code, status word, two monitor values, M-code byte and
 * I/O data word (see ::QRL_RESPONSE). Status word bit 2 (0x0004) means ready,
 * bit 3 (0x0008) servo on; the virtual board's other bits are listed in its
 * documentation.
 *
 * After a few commands (parameters, configuration, alarm clear, position
 * preset, encoder on/off) the response area carries that command's reply
 * instead of monitor data. MonGet() and IodtGet() then ask the station for
 * fresh monitor data first; McRspGet() delivers whatever is there; MnRspGet()
 * tells the two cases apart.
 * @{
 */

/**
 * @brief Reads the status word of one axis station.
 * @param station axis station 1..15.
 * @param status  out: the status word. Written whenever the exchange itself
 *        succeeded, whatever the driver answered.
 * @return the driver's return code of the read (::QRL_OK normally), or a
 *         failure.
 * @retval QRL_OK        status holds the status word.
 * @retval QRL_E_ARG     station not 1..15 or not an axis station, or status NULL.
 * @retval QRL_E_NOTOPEN the board is not open.
 * @retval QRL_E_IO      the exchange failed; status untouched.
 *
 * Any other value is the driver's code for the read (see @ref qrl_status).
 * Blocks: one exchange. Threads: any.
 */
int32_t QRL_CALL StdtStGet(int32_t station, uint16_t *status);

/**
 * @brief Reads one bit of the status word of one axis station.
 * @param station axis station 1..15.
 * @param bit     bit number 0..15 (2 ready, 3 servo on).
 * @param state   out: 1 when the bit is set, else 0. Also written (0) after
 *        a failed exchange.
 * @return the result of StdtStGet(), or ::QRL_E_ARG (bit not 0..15, state
 *         NULL, or a bad station) or ::QRL_E_NOTOPEN.
 * @retval QRL_OK state holds the bit.
 *
 * Blocks: one exchange. Threads: any.
 */
int32_t QRL_CALL StdtGet(int32_t station, int32_t bit, int32_t *state);

/**
 * @brief Reads one of the two monitor values of an axis station.
 *
 * First waits until the station is ready, then reads its response area. When
 * that carries no monitor data (after a parameter, configuration, alarm-clear,
 * preset or encoder command, or before any command), it waits for ready
 * again, asks the station for monitor data, waits for the answer and reads
 * again.
 *
 * To watch a value while the axis moves, use McRspGet(): MonGet() waits for
 * the station to be ready, that is for the move to end.
 *
 * @param station axis station 1..15.
 * @param code    which value: the station's M-code low (monitor value 1) or
 *        M-code high (monitor value 2), as set by McodePut() (1 and 8 after
 *        BdOpen()). Any other number is refused.
 * @param data    out: the monitor value.
 * @return ::QRL_OK, or a failure.
 * @retval QRL_OK         data holds the value.
 * @retval QRL_E_ARG      station not 1..15 or not an axis station, code not one
 *                        of the station's M-codes, or data NULL.
 * @retval QRL_E_NOTOPEN  the board is not open.
 * @retval QRL_E_TIMEOUT  the station did not become ready within 2 s (a move
 *                        still running, for example).
 * @retval QRL_E_RESPONSE the station did not answer the request within 2 s.
 * @retval QRL_E_IO       an exchange failed.
 *
 * Any other value is a driver code of a read or of the request. Blocks: up to
 * about 6 s (two ready waits and one answer, 2 s each). Threads: any.
 */
int32_t QRL_CALL MonGet(int32_t station, int32_t code, int32_t *data);

/**
 * @brief Reads the I/O data word of an axis station.
 *
 * Asks the station for fresh data first when its response area carries none
 * (as MonGet() does, but without waiting for ready).
 * @param station axis station 1..15.
 * @param data    out: the 16-bit I/O data word, zero-extended.
 * @return ::QRL_OK, or a failure.
 * @retval QRL_OK         data holds the word.
 * @retval QRL_E_ARG      station not 1..15 or not an axis station, or data NULL.
 * @retval QRL_E_NOTOPEN  the board is not open.
 * @retval QRL_E_TIMEOUT  the board stayed busy for 2 s with the request.
 * @retval QRL_E_RESPONSE the station did not answer the request within 2 s.
 * @retval QRL_E_IO       an exchange failed.
 *
 * Any other value is a driver code. Blocks: up to about 4 s. Threads: any.
 */
int32_t QRL_CALL IodtGet(int32_t station, int32_t *data);

/**
 * @brief Copies a station's whole last answer into a record, as it is.
 * @param record in: `station` set to an axis station 1..15; out: every other
 *        field, written only on success.
 * @return ::QRL_OK, or a failure.
 * @retval QRL_OK        record filled.
 * @retval QRL_E_ARG     record NULL, or its station not 1..15 or not an axis station.
 * @retval QRL_E_NOTOPEN the board is not open.
 * @retval QRL_E_IO      the exchange failed.
 *
 * Any other value is the driver's code for the read; the record is then left
 * untouched. Blocks: one exchange. Threads: any.
 */
int32_t QRL_CALL McRspGet(QRL_RESPONSE *record);

/**
 * @brief As McRspGet(), but tells whether the answer carries monitor data.
 *
 * After a motion, servo, interpolation or monitor command the record is filled
 * completely; after any other command only `alarm` and `status` are, and the
 * result is ::QRL_E_NOMONITOR.
 * @param record in: `station` set to an axis station 1..15; out: the fields
 *        described above.
 * @return ::QRL_OK, ::QRL_E_NOMONITOR, a driver code, or a failure.
 * @retval QRL_OK          every field filled.
 * @retval QRL_E_NOMONITOR only alarm and status filled.
 * @retval QRL_E_ARG       record NULL, or its station not 1..15 or not an axis station.
 * @retval QRL_E_NOTOPEN   the board is not open.
 * @retval QRL_E_IO        the exchange failed.
 *
 * A positive driver code comes with every field filled; a negative one with
 * the record untouched. Blocks: one exchange. Threads: any.
 */
int32_t QRL_CALL MnRspGet(QRL_RESPONSE *record);

/**
 * @brief Waits until a station reports ready (status bit 2), at most 2 s.
 *
 * Use it after a motion command to wait for the end of the move. A move that
 * lasts longer than 2 s makes it return ::QRL_E_RDYWAIT; use QrlRdyWait() with
 * a limit of your choice instead (RdyWait() yields the processor between its
 * reads but never sleeps, so a core stays busy while it waits). Reads at
 * least once.
 * @param station station 1..15 (its kind is not checked).
 * @return ::QRL_OK when the station is ready, else a failure.
 * @retval QRL_OK        the station is ready.
 * @retval QRL_E_RDYWAIT not ready within 2 s: **it gives up after 2 s**.
 * @retval QRL_E_ARG     station not 1..15.
 * @retval QRL_E_NOTOPEN the board is not open.
 * @retval QRL_E_IO      an exchange failed.
 *
 * Also a final driver code (at or below ::QRL_DRIVER_FINAL). Blocks: up to
 * 2 s. Threads: any.
 */
int32_t QRL_CALL RdyWait(int32_t station);

/**
 * @brief Waits until a station reports a given response code, at most 2 s.
 *
 * The response code is the command code of the last command the station has
 * answered; the status word is not looked at.
 * @param station station 1..15 (its kind is not checked).
 * @param code    the response code; only its low 8 bits are used.
 * @return ::QRL_OK when the code is seen, else a failure.
 * @retval QRL_OK        the station reports the code.
 * @retval QRL_E_RSPWAIT not seen within 2 s.
 * @retval QRL_E_ARG     station not 1..15.
 * @retval QRL_E_NOTOPEN the board is not open.
 * @retval QRL_E_IO      an exchange failed.
 *
 * Also a final driver code. Blocks: up to 2 s. Threads: any.
 */
int32_t QRL_CALL RspWait(int32_t station, int32_t code);

/**
 * @brief No time limit: the timeout_ms of QrlRdyWait() and QrlRspWait() that
 *        makes them wait until the station answers (or an exchange fails).
 *
 * The same bits as Windows' `INFINITE` (0xFFFFFFFF) read as a signed 32-bit value.
 */
#define QRL_WAIT_FOREVER (-1)

/**
 * @brief Waits until a station reports ready (status bit 2), for as long as
 *        the caller chooses, leaving the processor free meanwhile.
 *
 * RdyWait() with a time limit of the caller's: use it to wait for the end of a
 * move of any length. It reads the station's response area as RdyWait() does;
 * for the first 2 ms it reads again after a processor yield (an answer that is
 * there at once costs no sleep), from then on it sleeps between two reads:
 * 1 ms at first, then a sixteenth of the time waited so far, at most 4 ms. So
 * a wait of seconds costs a few per cent of one processor, and the end of the
 * move is seen less than 4 ms (and less than a sixteenth of the wait) after it
 * came; on Windows a sleep lasts at least one timer tick, often 15.6 ms, which
 * then bounds the delay instead. A sleep never passes the limit.
 * @param station    station 1..15 (its kind is not checked).
 * @param timeout_ms the limit in milliseconds: 0 reads once and returns at once;
 *                   1 .. 2147483647 gives ::QRL_E_RDYWAIT when the station was
 *                   not ready within that time (when more than timeout_ms ms
 *                   have passed since the call began); ::QRL_WAIT_FOREVER (-1)
 *                   waits without limit. Other negative values are refused.
 * @return ::QRL_OK when the station is ready, else a failure.
 * @retval QRL_OK        the station is ready.
 * @retval QRL_E_RDYWAIT not ready within timeout_ms.
 * @retval QRL_E_ARG     station not 1..15, or timeout_ms below -1.
 * @retval QRL_E_NOTOPEN the board is not open.
 * @retval QRL_E_IO      an exchange failed.
 *
 * Also a final driver code (at or below ::QRL_DRIVER_FINAL), as RdyWait().
 * Blocks: up to timeout_ms (plus at most one read and one sleep). Threads: any.
 */
int32_t QRL_CALL QrlRdyWait(int32_t station, int32_t timeout_ms);

/**
 * @brief Waits until a station reports a given response code, for as long as
 *        the caller chooses, leaving the processor free meanwhile.
 *
 * RspWait() with a time limit of the caller's, polling as QrlRdyWait() does;
 * the status word is not looked at.
 * @param station    station 1..15 (its kind is not checked).
 * @param code       the response code; only its low 8 bits are used.
 * @param timeout_ms the limit in milliseconds, as for QrlRdyWait(): 0 one read,
 *                   1 .. 2147483647 ms, or ::QRL_WAIT_FOREVER.
 * @return ::QRL_OK when the code is seen, else a failure.
 * @retval QRL_OK        the station reports the code.
 * @retval QRL_E_RSPWAIT not seen within timeout_ms.
 * @retval QRL_E_ARG     station not 1..15, or timeout_ms below -1.
 * @retval QRL_E_NOTOPEN the board is not open.
 * @retval QRL_E_IO      an exchange failed.
 *
 * Also a final driver code. Blocks: up to timeout_ms (plus at most one read and
 * one sleep). Threads: any.
 */
int32_t QRL_CALL QrlRspWait(int32_t station, int32_t code, int32_t timeout_ms);

/** @} */

/**
 * @defgroup qrl_dio Digital I/O
 * @brief Inputs and outputs of I/O stations and of the board itself
 *        (station 0).
 *
 * An I/O station has 16 input bytes and 16 output bytes, addressed as ports
 * numbered from 1: sixteen 8-bit ports, eight 16-bit ports or four 32-bit
 * ports. `station` is 0 (the board's own I/O, always present once the board is
 * open) or an I/O station 1..15.
 *
 * Inputs are read once, without retry; the driver's return code of the read
 * is not judged. Outputs are commands, retried while the board is busy for up
 * to 2 s. The library keeps no copy of the outputs: each call sends exactly
 * the value given, so keep your own image of the outputs and write whole ports.
 *
 * **`invert` and `mirror`** (each 0 or 1) modify the value of a sized port:
 * `invert` = 1 complements every bit; `mirror` = 1 reverses the bit order (bit
 * 0 swaps with the top bit of the port, bit 1 with the next, ...). Both may be
 * given; the result is the same in either order.
 *
 * **The `_0` forms** address the same ports with the byte order and placement
 * reversed:
 * - inputs of 16 and 32 bits are assembled big-endian (the lower-addressed
 *   byte is the high byte) instead of little-endian;
 * - outputs go to the mirrored place: port p of width w bytes is written at
 *   output byte 17 - p * w counted from 1, that is the ports are counted from
 *   the far end (the value itself is still written little-endian);
 * - after a failed read an input function still computes and stores a value
 *   from the unfilled buffer (for example 0xFFFF from D16in_0() with invert 1)
 *   and returns ::QRL_E_IO; the plain forms leave the out-parameter untouched.
 *
 * Common results: ::QRL_OK; ::QRL_E_ARG (station not 0..15 or not an I/O
 * station, port, mirror or invert out of range, or a NULL pointer; nothing
 * sent); ::QRL_E_NOTOPEN; ::QRL_E_IO; outputs also ::QRL_E_TIMEOUT (the board
 * stayed busy for 2 s) or a final driver code. All may be called from any
 * thread.
 * @{
 */

/**
 * @brief Reads an 8-bit input port.
 * @param station 0 (the board) or an I/O station 1..15.
 * @param port    port 1..16 (input byte port - 1).
 * @param mirror  1 to reverse the bit order, else 0.
 * @param invert  1 to complement the bits, else 0.
 * @param data    out: the port's value; untouched on failure.
 * @return ::QRL_OK, ::QRL_E_ARG, ::QRL_E_NOTOPEN or ::QRL_E_IO.
 * @retval QRL_OK data holds the value.
 *
 * Blocks: one exchange. Threads: any.
 */
int32_t QRL_CALL D8in(int32_t station, int32_t port, int32_t mirror, int32_t invert, uint8_t *data);

/**
 * @brief D8in(), `_0` form: the same byte, but a failed read still stores a value.
 * @param station 0 or an I/O station 1..15.
 * @param port    port 1..16.
 * @param mirror  0 or 1.
 * @param invert  0 or 1.
 * @param data    out: the value; also written after a failed read.
 * @return as D8in().
 *
 * Blocks: one exchange. Threads: any.
 */
int32_t QRL_CALL D8in_0(int32_t station, int32_t port, int32_t mirror, int32_t invert, uint8_t *data);

/**
 * @brief Reads a 16-bit input port, little-endian.
 * @param station 0 or an I/O station 1..15.
 * @param port    port 1..8 (input bytes 2p - 2, low, and 2p - 1, high).
 * @param mirror  1 to reverse the 16 bits, else 0.
 * @param invert  1 to complement the bits, else 0.
 * @param data    out: the port's value; untouched on failure.
 * @return as D8in().
 *
 * Blocks: one exchange. Threads: any.
 */
int32_t QRL_CALL D16in(int32_t station, int32_t port, int32_t mirror, int32_t invert, uint16_t *data);

/**
 * @brief D16in(), `_0` form: big-endian (input byte 2p - 2 is the high byte).
 * @param station 0 or an I/O station 1..15.
 * @param port    port 1..8.
 * @param mirror  0 or 1.
 * @param invert  0 or 1.
 * @param data    out: the value; also written after a failed read.
 * @return as D8in().
 *
 * Blocks: one exchange. Threads: any.
 */
int32_t QRL_CALL D16in_0(int32_t station, int32_t port, int32_t mirror, int32_t invert, uint16_t *data);

/**
 * @brief Reads a 32-bit input port, little-endian.
 * @param station 0 or an I/O station 1..15.
 * @param port    port 1..4 (input bytes 4p - 4, lowest, to 4p - 1, highest).
 * @param mirror  1 to reverse the 32 bits, else 0.
 * @param invert  1 to complement the bits, else 0.
 * @param data    out: the port's value; untouched on failure.
 * @return as D8in().
 *
 * Blocks: one exchange. Threads: any.
 */
int32_t QRL_CALL D32in(int32_t station, int32_t port, int32_t mirror, int32_t invert, uint32_t *data);

/**
 * @brief D32in(), `_0` form: big-endian (input byte 4p - 4 is the highest).
 * @param station 0 or an I/O station 1..15.
 * @param port    port 1..4.
 * @param mirror  0 or 1.
 * @param invert  0 or 1.
 * @param data    out: the value; also written after a failed read.
 * @return as D8in().
 *
 * Blocks: one exchange. Threads: any.
 */
int32_t QRL_CALL D32in_0(int32_t station, int32_t port, int32_t mirror, int32_t invert, uint32_t *data);

/**
 * @brief Reads a 16-bit input port as 16 flags.
 *
 * flags[0] is bit 15 of the port word (little-endian, as D16in()), flags[15]
 * is bit 0; each flag is 0 or 1.
 * @param station 0 or an I/O station 1..15.
 * @param port    port 1..8.
 * @param flags   out: array of 16 bytes; untouched on failure.
 * @return as D8in().
 *
 * Blocks: one exchange. Threads: any.
 */
int32_t QRL_CALL Din(int32_t station, int32_t port, uint8_t *flags);

/**
 * @brief Din(), `_0` form: the port word is big-endian; flags are also
 *        written after a failed read.
 * @param station 0 or an I/O station 1..15.
 * @param port    port 1..8.
 * @param flags   out: array of 16 bytes.
 * @return as D8in().
 *
 * Blocks: one exchange. Threads: any.
 */
int32_t QRL_CALL Din_0(int32_t station, int32_t port, uint8_t *flags);

/**
 * @brief Writes an 8-bit output port.
 * @param station 0 or an I/O station 1..15.
 * @param port    port 1..16 (output byte `port`).
 * @param value   the value; its low 8 bits are used.
 * @param mirror  1 to reverse the bit order, else 0.
 * @param invert  1 to complement the bits, else 0.
 * @return ::QRL_OK when the board accepted the write, ::QRL_E_ARG,
 *         ::QRL_E_NOTOPEN, ::QRL_E_TIMEOUT, ::QRL_E_IO or a final driver code.
 * @retval QRL_OK written.
 *
 * Blocks: up to 2 s. Threads: any.
 */
int32_t QRL_CALL D8out(int32_t station, int32_t port, int32_t value, int32_t mirror, int32_t invert);

/**
 * @brief D8out(), `_0` form: port 1 is output byte 16, port 16 output byte 1.
 * @param station 0 or an I/O station 1..15.
 * @param port    port 1..16 (output byte 17 - port).
 * @param value   low 8 bits used.
 * @param mirror  0 or 1.
 * @param invert  0 or 1.
 * @return as D8out().
 *
 * Blocks: up to 2 s. Threads: any.
 */
int32_t QRL_CALL D8out_0(int32_t station, int32_t port, int32_t value, int32_t mirror, int32_t invert);

/**
 * @brief Writes a 16-bit output port, little-endian.
 * @param station 0 or an I/O station 1..15.
 * @param port    port 1..8 (output bytes 2p - 1 and 2p).
 * @param value   the value; its low 16 bits are used.
 * @param mirror  1 to reverse the 16 bits, else 0.
 * @param invert  1 to complement the bits, else 0.
 * @return as D8out().
 *
 * Blocks: up to 2 s. Threads: any.
 */
int32_t QRL_CALL D16out(int32_t station, int32_t port, int32_t value, int32_t mirror, int32_t invert);

/**
 * @brief D16out(), `_0` form: port p at output bytes 17 - 2p and 18 - 2p.
 * @param station 0 or an I/O station 1..15.
 * @param port    port 1..8.
 * @param value   low 16 bits used, written little-endian.
 * @param mirror  0 or 1.
 * @param invert  0 or 1.
 * @return as D8out().
 *
 * Blocks: up to 2 s. Threads: any.
 */
int32_t QRL_CALL D16out_0(int32_t station, int32_t port, int32_t value, int32_t mirror, int32_t invert);

/**
 * @brief Writes a 32-bit output port, little-endian.
 * @param station 0 or an I/O station 1..15.
 * @param port    port 1..4 (output bytes 4p - 3 to 4p).
 * @param value   the 32-bit value.
 * @param mirror  1 to reverse the 32 bits, else 0.
 * @param invert  1 to complement the bits, else 0.
 * @return as D8out().
 *
 * Blocks: up to 2 s. Threads: any.
 */
int32_t QRL_CALL D32out(int32_t station, int32_t port, int32_t value, int32_t mirror, int32_t invert);

/**
 * @brief D32out(), `_0` form: port p at output bytes 17 - 4p to 20 - 4p.
 * @param station 0 or an I/O station 1..15.
 * @param port    port 1..4.
 * @param value   the 32-bit value, written little-endian.
 * @param mirror  0 or 1.
 * @param invert  0 or 1.
 * @return as D8out().
 *
 * Blocks: up to 2 s. Threads: any.
 */
int32_t QRL_CALL D32out_0(int32_t station, int32_t port, int32_t value, int32_t mirror, int32_t invert);

/**
 * @brief Writes a 16-bit output port from 16 flags.
 *
 * flags[0] sets bit 15 of the port word, flags[15] bit 0; the word is written
 * little-endian. **The write covers 17 bytes from the port on: every output
 * byte after the port is set to 0.**
 * @param station 0 or an I/O station 1..15.
 * @param port    port 1..8.
 * @param flags   array of 16 bytes, each 0 or 1 (anything else is refused
 *        with ::QRL_E_ARG before the open check).
 * @return as D8out().
 *
 * Blocks: up to 2 s. Threads: any.
 */
int32_t QRL_CALL Dout(int32_t station, int32_t port, const uint8_t *flags);

/**
 * @brief Dout(), `_0` form: port p at output bytes 17 - 2p and 18 - 2p.
 *
 * **The write covers all 16 output bytes: every other port is set to 0.**
 * @param station 0 or an I/O station 1..15.
 * @param port    port 1..8.
 * @param flags   array of 16 bytes, each 0 or 1.
 * @return as D8out().
 *
 * Blocks: up to 2 s. Threads: any.
 */
int32_t QRL_CALL Dout_0(int32_t station, int32_t port, const uint8_t *flags);

/** @} */

/**
 * @defgroup qrl_params Station parameters
 * @brief Reading and writing the numbered parameters of an axis station.
 *
 * Each parameter has a number 0..2073 (0x819) and holds two 32-bit values,
 * `data1` and `data2`, whose meaning is the station's. PrmGet()/PrmPut() and
 * PprmGet()/PprmPut() reach two separate sets of parameters; the station tells
 * them apart. The library sends each parameter with its width (4 bytes for
 * 0x804, 0x806, 0x808, 0x814 and 0x819, else 2), and both values whole.
 *
 * Each call returns when the station has echoed the request: at most 2 s of
 * busy retries plus 2 s for the echo. All may be called from any thread.
 * @{
 */

/**
 * @brief Reads a parameter of an axis station.
 * @param station axis station 1..15.
 * @param prmNo   parameter number 0..2073.
 * @param data1   out: first value. Written only on success.
 * @param data2   out: second value. Written only on success.
 * @return ::QRL_OK, or a failure.
 * @retval QRL_OK        data1 and data2 hold the values.
 * @retval QRL_E_ARG     station not 1..15 or not an axis station, prmNo out of
 *                       range (checked before the open check), or a NULL pointer.
 * @retval QRL_E_NOTOPEN the board is not open.
 * @retval QRL_E_TIMEOUT the board stayed busy for 2 s.
 * @retval QRL_E_ECHO    the station did not echo the request within 2 s.
 * @retval QRL_E_IO      an exchange failed.
 *
 * Also a driver code. Blocks: up to 4 s. Threads: any.
 */
int32_t QRL_CALL PrmGet(int32_t station, int32_t prmNo, int32_t *data1, int32_t *data2);

/**
 * @brief Writes a parameter of an axis station.
 * @param station axis station 1..15.
 * @param prmNo   parameter number 0..2073.
 * @param data1   first value.
 * @param data2   second value.
 * @return ::QRL_OK when the station echoed the values, or a failure as for
 *         PrmGet().
 * @retval QRL_OK     written.
 * @retval QRL_E_ECHO the station did not echo the values within 2 s.
 *
 * Blocks: up to 4 s. Threads: any.
 */
int32_t QRL_CALL PrmPut(int32_t station, int32_t prmNo, int32_t data1, int32_t data2);

/**
 * @brief Reads a parameter of the second set (see @ref qrl_params).
 * @param station axis station 1..15.
 * @param prmNo   parameter number 0..2073.
 * @param data1   out: first value, written only on success.
 * @param data2   out: second value, written only on success.
 * @return as PrmGet().
 *
 * Blocks: up to 4 s. Threads: any.
 */
int32_t QRL_CALL PprmGet(int32_t station, int32_t prmNo, int32_t *data1, int32_t *data2);

/**
 * @brief Writes a parameter of the second set (see @ref qrl_params).
 * @param station axis station 1..15.
 * @param prmNo   parameter number 0..2073.
 * @param data1   first value.
 * @param data2   second value.
 * @return as PrmPut().
 *
 * Blocks: up to 4 s. Threads: any.
 */
int32_t QRL_CALL PprmPut(int32_t station, int32_t prmNo, int32_t data1, int32_t data2);

/** @} */

/**
 * @defgroup qrl_interp Interpolation and axis data
 * @brief Queues of points and moves held by the driver, and their start and
 *        stop.
 *
 * The driver keeps, per axis station, a queue of interpolation points
 * (IpdtSet()) and a queue of axis data records (AxdtSt()). IpStrt() runs the
 * points of the chosen axes together, one per period; LkStart() starts the
 * next record of the chosen axes at one instant. What the values mean (the
 * period, the masks of the start requests, the point values) is the driver's
 * and the stations' business; the descriptions below give the virtual
 * board's.
 *
 * A *station mask* has bit n - 1 set for station n (0x5 = stations 1 and 3).
 * Most functions first wait until each axis station concerned reports ready
 * (2 s each, ::QRL_E_TIMEOUT), then exchange one request with the driver,
 * without retry, and return the driver's answer: ::QRL_OK, or its return code
 * passed through unchanged (see @ref qrl_status). ::QRL_E_NOTOPEN is checked
 * first (AxdtSt() and AxdtStOp() check their arguments first). All may be
 * called from any thread.
 * @{
 */

/**
 * @brief Appends one interpolation point for each selected axis station.
 *
 * For each axis station n with bits[n - 1] not 0, a point with the value
 * values[n - 1] (on the virtual board: the travel during one period) is queued
 * by one request. Stations that are not axis stations are skipped whatever
 * their bits.
 * @param bits   array of 15 values, element n - 1 for station n: 0 = no point
 *        for this station; any other value selects it and is passed to the
 *        driver with the point.
 * @param values array of 15 point values, element n - 1 for station n.
 * @return ::QRL_OK, or a failure.
 * @retval QRL_OK        the points are queued.
 * @retval QRL_E_ARG     bits or values NULL, or no axis station selected
 *                       (nothing sent).
 * @retval QRL_E_NOTOPEN the board is not open.
 * @retval QRL_E_TIMEOUT an axis station was not ready within 2 s.
 * @retval QRL_E_IO      an exchange failed.
 *
 * Any other value is the driver's answer (the virtual board refuses a full
 * queue with -32805). Blocks: up to 2 s per axis station (every axis station
 * is awaited, selected or not). Threads: any.
 */
int32_t QRL_CALL IpdtSet(const int32_t *bits, const int32_t *values);

/**
 * @brief Clears the interpolation points held by the driver.
 * @param param1 not used.
 * @param mask   station mask of the axes to wait for before the request.
 * @return ::QRL_OK, ::QRL_E_NOTOPEN, ::QRL_E_TIMEOUT, ::QRL_E_IO or the
 *         driver's answer.
 * @retval QRL_OK cleared.
 *
 * Blocks: up to 2 s per axis station in mask. Threads: any.
 */
int32_t QRL_CALL IpdtClr(int32_t param1, int32_t mask);

/**
 * @brief Reads the number of interpolation points the driver holds.
 * @param count out: the number the driver reports; written whenever the
 *        request was made, also after a failed exchange.
 * @return ::QRL_OK, ::QRL_E_ARG (count NULL), ::QRL_E_NOTOPEN,
 *         ::QRL_E_TIMEOUT or ::QRL_E_IO. The count is never the result.
 * @retval QRL_OK count holds the number.
 *
 * Blocks: up to 2 s per axis station (all are awaited). Threads: any.
 */
int32_t QRL_CALL IpNumGet(int32_t *count);

/**
 * @brief Sets the capacity of the driver's interpolation queue of each axis.
 * @param max the capacity (the virtual board accepts 1..65536, default 1024).
 * @return ::QRL_OK, ::QRL_E_NOTOPEN, ::QRL_E_TIMEOUT, ::QRL_E_IO or the
 *         driver's answer.
 * @retval QRL_OK set.
 *
 * Blocks: up to 2 s per axis station (all are awaited). Threads: any.
 */
int32_t QRL_CALL IpNumMax(int32_t max);

/**
 * @brief Starts running the queued interpolation points of the masked axes.
 * @param param1 passed to the driver: the period (on the virtual board in ms,
 *        8..1000, 0 for 10).
 * @param mask   station mask of the axes to run; they are awaited first.
 * @return ::QRL_OK when started, ::QRL_E_NOTOPEN, ::QRL_E_TIMEOUT,
 *         ::QRL_E_IO or the driver's answer.
 * @retval QRL_OK started; the path runs on.
 *
 * Blocks: up to 2 s per axis station in mask. Threads: any.
 */
int32_t QRL_CALL IpStrt(int32_t param1, int32_t mask);

/**
 * @brief As IpStrt(), but the path repeats until IpStop().
 * @param param1 passed to the driver (the period).
 * @param mask   station mask of the axes to run.
 * @return as IpStrt().
 *
 * Blocks: up to 2 s per axis station in mask. Threads: any.
 */
int32_t QRL_CALL IpStrtRp(int32_t param1, int32_t mask);

/**
 * @brief Stops the interpolation of the masked axes.
 * @param param1 passed to the driver.
 * @param mask   station mask of the axes to stop. Like the other requests it
 *        first waits (up to 2 s per axis) until these axes report ready, so
 *        while the path moves them it waits for them.
 * @return as IpStrt().
 *
 * Blocks: up to 2 s per axis station in mask. Threads: any.
 */
int32_t QRL_CALL IpStop(int32_t param1, int32_t mask);

/**
 * @brief Queues an axis data record (an NC move, as AxNc()) for one station.
 *
 * The record waits in the driver until LkStart(). O-codes and M-codes from
 * the station's tables.
 * @param station axis station 1..15.
 * @param value1  command word 1 (as AxNc()).
 * @param value2  command word 2 (as AxNc()).
 * @return ::QRL_OK, or a failure.
 * @retval QRL_OK        queued.
 * @retval QRL_E_ARG     station not 1..15 (checked before the open check) or
 *                       not an axis station.
 * @retval QRL_E_NOTOPEN the board is not open.
 * @retval QRL_E_TIMEOUT the station was not ready within 2 s.
 * @retval QRL_E_IO      an exchange failed.
 *
 * Any other value is the driver's answer. Blocks: up to 2 s. Threads: any.
 */
int32_t QRL_CALL AxdtSt(int32_t station, int32_t value1, int32_t value2);

/**
 * @brief AxdtSt() with the O-codes given for this record.
 * @param station axis station 1..15.
 * @param value1  command word 1.
 * @param value2  command word 2.
 * @param ocode0  O-code 0, 0..2.
 * @param ocode1  O-code 1, 0..1.
 * @return as AxdtSt(); ::QRL_E_ARG also for an O-code out of range.
 *
 * Blocks: up to 2 s. Threads: any.
 */
int32_t QRL_CALL AxdtStOp(int32_t station, int32_t value1, int32_t value2, int32_t ocode0, int32_t ocode1);

/**
 * @brief Starts the next queued axis data record of several axes at once.
 *
 * No ready wait.
 * @param param1 passed to the driver.
 * @param param2 passed to the driver: the station mask (on the virtual board,
 *        0 for every axis with a record queued).
 * @return ::QRL_OK when started, ::QRL_E_NOTOPEN, ::QRL_E_IO or the driver's
 *         answer.
 * @retval QRL_OK started.
 *
 * Blocks: one exchange. Threads: any.
 */
int32_t QRL_CALL LkStart(int32_t param1, int32_t param2);

/**
 * @brief Clears queued axis data records.
 *
 * No ready wait.
 * @param param1 passed to the driver.
 * @param param2 passed to the driver: the station mask (on the virtual board,
 *        0 for all).
 * @return ::QRL_OK, ::QRL_E_NOTOPEN, ::QRL_E_IO or the driver's answer.
 * @retval QRL_OK cleared.
 *
 * Blocks: one exchange. Threads: any.
 */
int32_t QRL_CALL AxdtClr(int32_t param1, int32_t param2);

/** @} */

#ifdef __cplusplus
}
#endif

#endif /* QRLINK00_H */
