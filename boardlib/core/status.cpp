// Status, monitor and response reads of an axis station, and the exported polling
// waits: RdyWait and RspWait (2000 ms, yielding) and QrlRdyWait and QrlRspWait (the
// caller's limit, sleeping).
//
// Every read is one TransferCommands of the station's 17-byte response area, a
// snapshot of that moment. Out-parameters are written only on success, except
// where a function says otherwise.
#include <cstring>

#include "axisdata.h"
#include "checks.h"
#include "export.h"

using namespace qrl;

namespace {

constexpr int32_t kMonitorCode = kCmdMonitor;

// Response codes after which the response area carries no monitor values: the
// parameter, configuration, alarm-clear, preset and encoder commands, and 0x00
// before any command.
bool CarriesNoMonitor(uint8_t code) {
    switch (code) {
    case kCmdNone: case kCmdPrmGet: case kCmdPrmPut: case kCmdConfig: case kCmdAlarmClear:
    case kCmdPprmGet: case kCmdPprmPut: case kCmdPosiPut: case kCmdEncdrOn: case kCmdEncdrOff:
        return true;
    default:
        return false;
    }
}

// Response codes after which the monitor fields are current.
bool CarriesMonitor(uint8_t code) {
    switch (code) {
    case kCmdDown: case kCmdMonitor: case kCmdSvOn: case kCmdSvOff: case kCmdIpData: case kCmdNc:
    case kCmdFeed: case kCmdMotion38: case kCmdNcEx: case kCmdHome: case kCmdMotion3F:
        return true;
    default:
        return false;
    }
}

// Open flag, then the station must be an axis station.
int32_t CheckAxis(int32_t station) { return CheckOpenAndKind(station, kAxisStation); }

// A read whose transfer succeeded but whose entry reports a non-zero code.
int32_t ReadOrCode(CommandBuffer& b, int station) {
    if (int32_t r = ReadResponse(b, station)) return r;
    return b.ReturnCode(0);
}

// The monitor request: asks the station to put fresh monitor values in its
// response area.
void BuildMonitorRequest(CommandBuffer& b, int station) {
    SetTemplateEntry(b, 0, kSelWrite, CommandArea(station), kTplMonitor, 16);
    b.Data(0)[13] = McodeByte(station);
}

void CopyAlarmStatus(const uint8_t* d, QRL_RESPONSE& rec) {
    rec.alarm = d[kRspAlarm];
    rec.status = GetU16(d + kRspStatus);
}

void CopyAll(const uint8_t* d, QRL_RESPONSE& rec) {
    CopyAlarmStatus(d, rec);
    rec.monitor1 = GetI32(d + kRspMonitor1);
    rec.monitor2 = GetI32(d + kRspMonitor2);
    rec.mcode = d[kRspMcode];
    rec.iodata = GetU16(d + kRspIoData);
}

// RdyWait, RspWait and their Qrl forms: the clock starts before the argument
// check; then the common polling loop with template 4 (03 00). The board must be
// open: a closed board's handle is gone.
int32_t ExportedWait(int32_t station, int32_t limit_ms, Pace pace, int32_t timeout_code,
                     const std::function<bool(const uint8_t*)>& done) {
    Deadline deadline(limit_ms);
    if (!StationArgOk(station, false) || limit_ms < kNoLimit) return QRL_E_ARG;
    if (!Board().open) return QRL_E_NOTOPEN;
    return PollResponse(station, deadline, timeout_code, pace, kTplArea, done);
}

bool IsReady(const uint8_t* d) { return (GetU16(d + kRspStatus) & kStatusReady) != 0; }

}  // namespace

// Status word of an axis station into *status, stored whatever the ReturnCode.
// Returns the entry's ReturnCode (0 normally), -1, -2, -5.
QRL_API(StdtStGet, (int32_t station, uint16_t* status), (station, status)) {
    if (!StationArgOk(station, false) || status == nullptr) return QRL_E_ARG;
    if (int32_t r = CheckAxis(station)) return r;
    CommandBuffer b;
    if (int32_t r = ReadResponse(b, station)) return r;
    *status = GetU16(b.Data(0) + kRspStatus);
    return b.ReturnCode(0);
}

// Bit `bit` (0..15) of the status word into *state as 0 or 1. After a failed read
// *state is 0. Returns StdtStGet's result, or -2, -5.
QRL_API(StdtGet, (int32_t station, int32_t bit, int32_t* state), (station, bit, state)) {
    if (!StationArgOk(station, false) || !InRange(bit, 0, 15) || state == nullptr) return QRL_E_ARG;
    if (int32_t r = CheckAxis(station)) return r;
    uint16_t word = 0;
    const int32_t r = StdtStGet(station, &word);
    *state = (word >> bit) & 1;
    return r;
}

// Monitor value chosen by `code` (the station's M-code low or high) into *data.
// When the last response carries no monitor data the station is asked for it
// first. Up to three 2000 ms waits. 0, -1, -2, -5, -7, -8, or a non-zero ReturnCode.
QRL_API(MonGet, (int32_t station, int32_t code, int32_t* data), (station, code, data)) {
    if (!StationArgOk(station, false)) return QRL_E_ARG;
    int32_t low, high;
    Board().mcode[station].Load(low, high);
    if (code != low && code != high) return QRL_E_ARG;
    if (data == nullptr) return QRL_E_ARG;
    if (int32_t r = CheckAxis(station)) return r;

    if (int32_t r = WaitReady(station)) return r;
    CommandBuffer b;
    if (int32_t r = ReadOrCode(b, station)) return r;
    if (CarriesNoMonitor(b.Data(0)[kRspCode])) {
        if (int32_t r = WaitReady(station)) return r;
        CommandBuffer req;
        BuildMonitorRequest(req, station);
        if (int32_t r = TransferCommands(req)) return r;
        if (int32_t rc = req.ReturnCode(0)) return rc;
        if (int32_t r = WaitResponse(station, kMonitorCode, kStandardLimitMs)) return r;
        if (int32_t r = ReadResponse(b, station)) return r;  // ReturnCode not judged here
    }
    // With equal M-codes, monitor value 1 wins.
    *data = GetI32(b.Data(0) + (code == low ? kRspMonitor1 : kRspMonitor2));
    return QRL_OK;
}

// I/O data word (response bytes 14..15), zero-extended into *data; asks for fresh
// data like MonGet, but through SendCommand and without ready waits.
// 0, -1, -2, -5, -8, SendCommand codes, or a non-zero ReturnCode.
QRL_API(IodtGet, (int32_t station, int32_t* data), (station, data)) {
    if (!StationArgOk(station, false) || data == nullptr) return QRL_E_ARG;
    if (int32_t r = CheckAxis(station)) return r;
    CommandBuffer b;
    if (int32_t r = ReadOrCode(b, station)) return r;
    if (CarriesNoMonitor(b.Data(0)[kRspCode])) {
        CommandBuffer req;
        BuildMonitorRequest(req, station);
        if (int32_t r = SendCommand(req)) return r;
        if (int32_t r = WaitResponse(station, kMonitorCode, kStandardLimitMs)) return r;
        if (int32_t r = ReadResponse(b, station)) return r;
    }
    *data = static_cast<int32_t>(GetU16(b.Data(0) + kRspIoData));
    return QRL_OK;
}

// Whole response of record->station into the record. A non-zero ReturnCode is
// returned with the record untouched. 0, -1, -2, -5, or the ReturnCode.
QRL_API(McRspGet, (QRL_RESPONSE* record), (record)) {
    if (record == nullptr) return QRL_E_ARG;
    const int32_t station = record->station;
    if (!StationArgOk(station, false)) return QRL_E_ARG;
    if (int32_t r = CheckAxis(station)) return r;
    CommandBuffer b;
    if (int32_t r = ReadOrCode(b, station)) return r;
    CopyAll(b.Data(0), *record);
    return QRL_OK;
}

// As McRspGet, but judges the response: a negative ReturnCode leaves the record
// untouched; a positive one fills it and is returned; with 0, a response without
// monitor data fills only alarm and status and returns -15.
QRL_API(MnRspGet, (QRL_RESPONSE* record), (record)) {
    if (record == nullptr) return QRL_E_ARG;
    const int32_t station = record->station;
    if (!StationArgOk(station, false)) return QRL_E_ARG;
    if (int32_t r = CheckAxis(station)) return r;
    CommandBuffer b;
    if (int32_t r = ReadResponse(b, station)) return r;
    const int32_t rc = b.ReturnCode(0);
    const uint8_t* d = b.Data(0);
    if (rc < 0) return rc;
    if (rc > 0 || CarriesMonitor(d[kRspCode])) {
        CopyAll(d, *record);
        return rc;
    }
    CopyAlarmStatus(d, *record);
    NoteStationAnswer(QRL_E_NOMONITOR, station);
    return QRL_E_NOMONITOR;
}

// Blocks until the station reports ready (status bit 2), at most 2000 ms.
// 0, -1, -2, -5, -12, or a ReturnCode below -32769.
QRL_API(RdyWait, (int32_t station), (station)) {
    return ExportedWait(station, kStandardLimitMs, Pace::kYieldAfter, QRL_E_RDYWAIT, IsReady);
}

// Blocks until the station's response code equals the low byte of `code`, at most
// 2000 ms; the status word is not looked at. 0, -1, -2, -5, -13, or a final code.
QRL_API(RspWait, (int32_t station, int32_t code), (station, code)) {
    const uint8_t want = static_cast<uint8_t>(code);
    return ExportedWait(station, kStandardLimitMs, Pace::kYieldAfter, QRL_E_RSPWAIT,
                        [want](const uint8_t* d) { return d[kRspCode] == want; });
}

// RdyWait with the caller's limit: timeout_ms 0 (one read), 1..INT32_MAX, or -1 for
// none; below -1 is -2. Sleeps between reads (PauseBetweenPolls), so a long move
// costs little processor time. 0, -1, -2, -5, -12, or a ReturnCode below -32769.
QRL_API(QrlRdyWait, (int32_t station, int32_t timeout_ms), (station, timeout_ms)) {
    return ExportedWait(station, timeout_ms, Pace::kSleep, QRL_E_RDYWAIT, IsReady);
}

// RspWait with the caller's limit, as QrlRdyWait. 0, -1, -2, -5, -13, or a final code.
QRL_API(QrlRspWait, (int32_t station, int32_t code, int32_t timeout_ms), (station, code, timeout_ms)) {
    const uint8_t want = static_cast<uint8_t>(code);
    return ExportedWait(station, timeout_ms, Pace::kSleep, QRL_E_RSPWAIT,
                        [want](const uint8_t* d) { return d[kRspCode] == want; });
}
