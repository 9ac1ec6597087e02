// Numbered station parameters of axis stations: PrmGet/PrmPut and PprmGet/PprmPut.
// The two pairs differ only in their template (command code); one procedure
// serves both reads and one both writes. Every call blocks until the station has
// echoed the request (at most 2000 ms for the send plus 2000 ms for the echo).
#include "params.h"

#include "checks.h"
#include "export.h"

using namespace qrl;

namespace {

constexpr int32_t kLastParam = 2073;  // 0x819
constexpr int kWidthRows = 9, kWidthColumns = 36;

// Width in bytes of each parameter: row = bits 8..11 of the number, column = its
// low byte. Only the low byte of an entry is used.
constexpr int32_t kParamWidth[kWidthRows][kWidthColumns] = {
    /* 0x0__ */ {2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2},
    /* 0x1__ */ {2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2},
    /* 0x2__ */ {2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2},
    /* 0x3__ */ {2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2},
    /* 0x4__ */ {2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2},
    /* 0x5__ */ {2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2},
    /* 0x6__ */ {2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2},
    /* 0x7__ */ {2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2},
    /* 0x8__ */ {2, 2, 2, 2, 4, 2, 4, 2, 4, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 4, 2, 2, 2, 2, 4, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2},
};

// Numbers whose low byte lies beyond the table's columns (0x024..0x0FF of each
// row) have no entry; they travel as 2-byte parameters like their neighbours.
constexpr uint8_t kWidthWithoutEntry = 2;

bool ParamOk(int32_t prm) { return InRange(prm, 0, kLastParam); }

// Checks shared by all four: station, number, (pointers), open, kind.
int32_t CheckParam(int32_t station, int32_t prm, bool pointers_ok) {
    if (!StationArgOk(station, false) || !ParamOk(prm) || !pointers_ok) return QRL_E_ARG;
    return CheckOpenAndKind(station, kAxisStation);
}

// Entry 0: template, number in bytes 5..6, width in byte 7.
void BuildRequest(CommandBuffer& b, int station, int tpl, int32_t prm) {
    SetTemplateEntry(b, 0, kSelWrite, CommandArea(station), tpl, 16);
    uint8_t* d = b.Data(0);
    PutU16(d + 5, static_cast<uint16_t>(prm));
    d[7] = ParamWidth(prm);
}

int32_t Send(CommandBuffer& b) {
    if (int32_t r = SendCommand(b)) return r;
    return b.ReturnCode(0);
}

// Number and width echoed, then the response area read back: data2 from bytes
// 8..11, data1 from 12..15. The pointers are written only on success.
int32_t ReadParam(int tpl, int32_t station, int32_t prm, int32_t* data1, int32_t* data2) {
    if (int32_t r = CheckParam(station, prm, data1 != nullptr && data2 != nullptr)) return r;
    CommandBuffer b;
    BuildRequest(b, station, tpl, prm);
    if (int32_t r = Send(b)) return r;
    if (int32_t r = WaitEcho(0, station, b, 5, 7, kStandardLimitMs)) return r;
    if (int32_t r = ReadResponse(b, station)) return r;
    if (int32_t rc = b.ReturnCode(0)) return rc;
    *data2 = GetI32(b.Data(0) + 8);
    *data1 = GetI32(b.Data(0) + 12);
    return QRL_OK;
}

// Both values sent whole whatever the width; done when bytes 5..15 are echoed.
int32_t WriteParam(int tpl, int32_t station, int32_t prm, int32_t data1, int32_t data2) {
    if (int32_t r = CheckParam(station, prm, true)) return r;
    CommandBuffer b;
    BuildRequest(b, station, tpl, prm);
    PutI32(b.Data(0) + 8, data2);
    PutI32(b.Data(0) + 12, data1);
    if (int32_t r = Send(b)) return r;
    return WaitEcho(0, station, b, 5, 15, kStandardLimitMs);
}

}  // namespace

namespace qrl {

uint8_t ParamWidth(int32_t prm) {
    const int row = (prm >> 8) & 0x0F, column = prm & 0xFF;
    if (row >= kWidthRows || column >= kWidthColumns) return kWidthWithoutEntry;
    return static_cast<uint8_t>(kParamWidth[row][column]);
}

}  // namespace qrl

// Reads parameter prmNo (0..2073) of an axis station into *data1 and *data2.
// 0, -1, -2, -5, -7, -9, or a driver code; nothing stored on failure.
QRL_API(PrmGet, (int32_t station, int32_t prmNo, int32_t* data1, int32_t* data2), (station, prmNo, data1, data2)) {
    return ReadParam(kTplPrmGet, station, prmNo, data1, data2);
}
QRL_API(PprmGet, (int32_t station, int32_t prmNo, int32_t* data1, int32_t* data2), (station, prmNo, data1, data2)) {
    return ReadParam(kTplPprmGet, station, prmNo, data1, data2);
}

// Writes parameter prmNo (0..2073); returns when the station echoed it.
// 0, -1, -2, -5, -7, -9, or a driver code.
QRL_API(PrmPut, (int32_t station, int32_t prmNo, int32_t data1, int32_t data2), (station, prmNo, data1, data2)) {
    return WriteParam(kTplPrmPut, station, prmNo, data1, data2);
}
QRL_API(PprmPut, (int32_t station, int32_t prmNo, int32_t data1, int32_t data2), (station, prmNo, data1, data2)) {
    return WriteParam(kTplPprmPut, station, prmNo, data1, data2);
}
