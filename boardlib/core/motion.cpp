// Axis motion commands and the option-table setters.
//
// A motion command returns as soon as the board has accepted it (SendCommand saw
// ReturnCode 0 for entry 0); completion shows later in the status word. The
// single-station commands go through the same batch road as AxDown with a
// one-station range, so both forms differ only in their data.
#include "axisdata.h"
#include "checks.h"
#include "export.h"

using namespace qrl;

namespace {

bool Ocode0Ok(int32_t v) { return InRange(v, 0, 2); }
bool Ocode1Ok(int32_t v) { return InRange(v, 0, 1); }
bool ModeOk(int32_t v) { return InRange(v, 0, 3); }

// Open and kind checks, then one motion entry per axis station of the range.
int32_t SendMotion(int32_t station, int tpl, const AxisData& data) {
    if (int32_t r = CheckOpenAndKind(station, kAxisStation)) return r;
    return RunAxisBatch(RangeOf(station), tpl, data, NoConfirm);
}

// Sets one option-table pair for one axis station or every axis station (-1).
// No open check: the tables are plain library state.
// `column` -1 sets both codes at once (value, second).
int32_t SetOption(int32_t station, OptionPair* table, int column, int32_t value, int32_t second = 0) {
    if (station != -1 && !IsAxis(station)) return QRL_E_ARG;
    const StationRange range = RangeOf(station);
    for (int n = range.first; n <= range.last; ++n) {
        if (!IsAxis(n)) continue;
        if (column < 0)
            table[n].SetBoth(value, second);
        else
            table[n].Set(column, value);
    }
    return QRL_OK;
}

}  // namespace

// Home search. value: command word 2 (station units), mode 0..3. Non-blocking.
// 0, -2, -5, SendCommand codes.
QRL_API(AxHome, (int32_t station, int32_t value, int32_t mode), (station, value, mode)) {
    if (!StationArgOk(station, false) || !ModeOk(mode)) return QRL_E_ARG;
    return SendMotion(station, kTplHome, AxisData::FromTables(mode, 0, value));
}

// AxHome with the O-codes given (ocode0 0..2, ocode1 0..1) instead of the table's.
QRL_API(AxHomeOp, (int32_t station, int32_t value, int32_t ocode0, int32_t ocode1, int32_t mode),
        (station, value, ocode0, ocode1, mode)) {
    if (!StationArgOk(station, false) || !Ocode0Ok(ocode0) || !Ocode1Ok(ocode1) || !ModeOk(mode))
        return QRL_E_ARG;
    return SendMotion(station, kTplHome, AxisData::WithOcodes(ocode0, ocode1, mode, 0, value));
}

// Feed by `value` (command word 2). Non-blocking. 0, -2, -5, SendCommand codes.
QRL_API(AxFeed, (int32_t station, int32_t value), (station, value)) {
    if (!StationArgOk(station, false)) return QRL_E_ARG;
    return SendMotion(station, kTplFeed, AxisData::FromTables(0, 0, value));
}

QRL_API(AxFeedOp, (int32_t station, int32_t value, int32_t ocode0, int32_t ocode1), (station, value, ocode0, ocode1)) {
    if (!StationArgOk(station, false) || !Ocode0Ok(ocode0) || !Ocode1Ok(ocode1)) return QRL_E_ARG;
    return SendMotion(station, kTplFeed, AxisData::WithOcodes(ocode0, ocode1, 0, 0, value));
}

// NC positioning: value1 and value2 are command words 1 and 2, passed unchanged.
QRL_API(AxNc, (int32_t station, int32_t value1, int32_t value2), (station, value1, value2)) {
    if (!StationArgOk(station, false)) return QRL_E_ARG;
    return SendMotion(station, kTplNc, AxisData::FromTables(0, value1, value2));
}

QRL_API(AxNcOp, (int32_t station, int32_t value1, int32_t value2, int32_t ocode0, int32_t ocode1),
        (station, value1, value2, ocode0, ocode1)) {
    if (!StationArgOk(station, false) || !Ocode0Ok(ocode0) || !Ocode1Ok(ocode1)) return QRL_E_ARG;
    return SendMotion(station, kTplNc, AxisData::WithOcodes(ocode0, ocode1, 0, value1, value2));
}

// Extended NC positioning with a mode 0..3.
QRL_API(AxNcEx, (int32_t station, int32_t value1, int32_t value2, int32_t mode), (station, value1, value2, mode)) {
    if (!StationArgOk(station, false) || !ModeOk(mode)) return QRL_E_ARG;
    return SendMotion(station, kTplNcEx, AxisData::FromTables(mode, value1, value2));
}

QRL_API(AxNcExOp, (int32_t station, int32_t value1, int32_t value2, int32_t ocode0, int32_t ocode1, int32_t mode),
        (station, value1, value2, ocode0, ocode1, mode)) {
    if (!StationArgOk(station, false) || !Ocode0Ok(ocode0) || !Ocode1Ok(ocode1) || !ModeOk(mode))
        return QRL_E_ARG;
    return SendMotion(station, kTplNcEx, AxisData::WithOcodes(ocode0, ocode1, mode, value1, value2));
}

// Deceleration stop of one axis station or all (-1), one exchange. Non-blocking.
QRL_API(AxDown, (int32_t station), (station)) {
    if (!StationArgOk(station, true)) return QRL_E_ARG;
    return SendMotion(station, kTplDown, AxisData::FromTables());
}

// AxDown with the same given O-codes for every station addressed.
QRL_API(AxDownOp, (int32_t station, int32_t ocode0, int32_t ocode1), (station, ocode0, ocode1)) {
    if (!StationArgOk(station, true) || !Ocode0Ok(ocode0) || !Ocode1Ok(ocode1)) return QRL_E_ARG;
    return SendMotion(station, kTplDown, AxisData::WithOcodes(ocode0, ocode1));
}

// Emergency stop (and its release) of one axis station or all (-1): template only.
QRL_API(AxEmg, (int32_t station), (station)) {
    if (!StationArgOk(station, true)) return QRL_E_ARG;
    return SendMotion(station, kTplEmg, AxisData());
}

QRL_API(AxEmgOff, (int32_t station), (station)) {
    if (!StationArgOk(station, true)) return QRL_E_ARG;
    return SendMotion(station, kTplEmgOff, AxisData());
}

// Chooses the two monitor items (low, high: 0..15) of one axis station or all (-1).
// Needs no open board. 0, -2.
QRL_API(McodePut, (int32_t station, int32_t low, int32_t high), (station, low, high)) {
    if (!StationArgOk(station, true) || !InRange(low, 0, 15) || !InRange(high, 0, 15)) return QRL_E_ARG;
    if (station != -1 && !IsAxis(station)) return QRL_E_ARG;
    // Both codes in one store: a concurrent command sends the old pair or the new.
    return SetOption(station, Board().mcode, -1, low, high);
}

// Sets O-code `index` (0..1) to `value` (0..2) for one axis station or all (-1).
// Needs no open board. 0, -2.
QRL_API(OcodePut, (int32_t station, int32_t index, int32_t value), (station, index, value)) {
    if (!StationArgOk(station, true) || !InRange(index, 0, 1) || !InRange(value, 0, 2)) return QRL_E_ARG;
    return SetOption(station, Board().ocode, index, value);
}
