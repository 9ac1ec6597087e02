// Servo and axis state commands: servo, encoder, machine lock, alarms, absolute
// initialisation and position preset.
//
// All but AlmGet are batch commands (one axis station, or -1 for all of them):
// one exchange delivers the command to every station, then each station is
// awaited in ascending order with its own 2000 ms, so a call may block for up to
// 15 x 2000 ms (AbsIni: 3 x 2000 ms per station).
#include "axisdata.h"
#include "checks.h"
#include "export.h"

using namespace qrl;

namespace {

// Station argument (1..15 or -1), open flag, kind: the common prelude.
int32_t CheckBatch(int32_t station) {
    if (!StationArgOk(station, true)) return QRL_E_ARG;
    return CheckOpenAndKind(station, kAxisStation);
}

// A batch whose stations confirm by answering with the command's own code.
int32_t BatchWithResponse(int32_t station, int tpl) {
    if (int32_t r = CheckBatch(station)) return r;
    const int32_t code = CommandOf(tpl);
    return RunAxisBatch(RangeOf(station), tpl, NoPatch, [code](const CommandBuffer&, int n, int) {
        return WaitResponse(n, code, kStandardLimitMs);
    });
}

int32_t BatchWithoutConfirmation(int32_t station, int tpl) {
    if (int32_t r = CheckBatch(station)) return r;
    return RunAxisBatch(RangeOf(station), tpl, NoPatch, NoConfirm);
}

// The station has taken a command when it echoes Data bytes 5..9 of entry k.
int32_t EchoOf5To9(const CommandBuffer& sent, int n, int k) {
    return WaitEcho(k, n, sent, 5, 9, kStandardLimitMs);
}

}  // namespace

// Servo on; returns when every addressed station reports ready and servo on.
// 0, -2, -5, SendCommand codes, -10 (or a wait's -1 / final driver code).
QRL_API(SvOn, (int32_t station), (station)) {
    if (int32_t r = CheckBatch(station)) return r;
    return RunAxisBatch(RangeOf(station), kTplSvOn, AxisData::FromTables(),
                        [](const CommandBuffer&, int n, int) { return WaitServoOn(n); });
}

// Servo off; returns when every addressed station reports ready with servo off. -11.
QRL_API(SvOff, (int32_t station), (station)) {
    if (int32_t r = CheckBatch(station)) return r;
    return RunAxisBatch(RangeOf(station), kTplSvOff, AxisData::McodeOnly(),
                        [](const CommandBuffer&, int n, int) { return WaitServoOff(n); });
}

// Encoder on/off and alarm clear: confirmed by the response code, -8 after 2000 ms.
QRL_API(EncdrOn, (int32_t station), (station)) { return BatchWithResponse(station, kTplEncdrOn); }
QRL_API(EncdrOff, (int32_t station), (station)) { return BatchWithResponse(station, kTplEncdrOff); }
QRL_API(AlmClr, (int32_t station), (station)) { return BatchWithResponse(station, kTplAlarmClear); }

// Machine lock on/off: returns once the board accepted the command, no wait.
QRL_API(MlockOn, (int32_t station), (station)) { return BatchWithoutConfirmation(station, kTplMlockOn); }
QRL_API(MlockOff, (int32_t station), (station)) { return BatchWithoutConfirmation(station, kTplMlockOff); }

// Presets position item `item` (0..15) to `value`; confirmed by the echo of the
// item and value bytes. 0, -2, -5, SendCommand codes, -9.
QRL_API(PosiPut, (int32_t station, int32_t item, int32_t value), (station, item, value)) {
    if (!StationArgOk(station, true) || !InRange(item, 0, 15)) return QRL_E_ARG;
    if (int32_t r = CheckOpenAndKind(station, kAxisStation)) return r;
    auto patch = [item, value](uint8_t* d, int, int) {
        d[5] = static_cast<uint8_t>(item);
        PutI32(d + 6, value);
    };
    return RunAxisBatch(RangeOf(station), kTplPosiPut, patch, EchoOf5To9);
}

// Absolute initialisation: per station, in ascending order, three fixed commands,
// each sent alone and echoed before the next. Stops at the first failing step;
// steps and stations before it stay done. 0, -2, -5, SendCommand codes, -9.
QRL_API(AbsIni, (int32_t station), (station)) {
    if (int32_t r = CheckBatch(station)) return r;
    const StationRange range = RangeOf(station);
    for (int n = range.first; n <= range.last; ++n) {
        if (!IsAxis(n)) continue;
        for (int tpl : {kTplAbsIni1, kTplAbsIni2, kTplAbsIni3})
            if (int32_t r = RunAxisBatch(StationRange{n, n}, tpl, NoPatch, EchoOf5To9)) return r;
    }
    return QRL_OK;
}

// Reads the station's alarm code (response byte 2) into *alarm with one read, no
// retry; the entry's ReturnCode is not judged. 0, -1, -2, -5; *alarm written on 0 only.
QRL_API(AlmGet, (int32_t station, uint8_t* alarm), (station, alarm)) {
    if (!StationArgOk(station, false) || alarm == nullptr) return QRL_E_ARG;
    if (int32_t r = CheckOpenAndKind(station, kAxisStation)) return r;
    CommandBuffer b;
    if (int32_t r = ReadResponse(b, station)) return r;
    *alarm = b.Data(0)[kRspAlarm];
    return QRL_OK;
}
