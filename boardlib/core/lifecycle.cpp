// Board lifecycle: InitDll, BdOpen, BdClose, and the small exports Config, IdGet, VerGet.
#include <cstdlib>
#include <cstring>
#include <string>

#include "board.h"
#include "calllog.h"
#include "checks.h"
#include "export.h"

using namespace qrl;

namespace {

// Board settings cleared first at open, in this order.
constexpr int32_t kClearOffsets[16] = {2048, 2304, 2560, 2816, 3072, 3200, 3328, 3584,
                                       3648, 3712, 3776, 3840, 3904, 3968, 4032, 4096};
constexpr int32_t kStationTypeOffsets[2] = {1024, 1056};
constexpr int32_t kRateOffset = 3072;
constexpr int32_t kLinkOffset = 4096;
constexpr int32_t kModeOffset = 2816;  // 9 at open and at close

// The single-byte writes after the rate code, in order (SetByteEntry each).
struct ByteWrite {
    int32_t offset;
    uint8_t value;
};
constexpr ByteWrite kFinalSettings[4] = {{3328, 0}, {3584, 0}, {3840, 0x5B}, {kModeOffset, 9}};

uint8_t RateCode(int32_t rate) { return rate == 5 ? 0x0C : rate == 10 ? 0x04 : 0x00; }

int32_t DirectByte(int32_t offset, uint8_t value) {
    CommandBuffer b;
    SetByteEntry(b, 0, kSelWrite, offset, value);
    return TransferDirect(b);
}

int32_t DirectData(int32_t offset, const uint8_t* bytes, int len) {
    CommandBuffer b;
    SetDataEntry(b, 0, kSelWrite, offset, bytes, len);
    return TransferDirect(b);
}

// Steps 7 to 10 of the bring-up: the board-memory writes through TransferDirect.
int32_t WriteBoardSettings(int32_t rate) {
    for (int32_t off : kClearOffsets)
        if (DirectByte(off, 0) != QRL_OK) return QRL_E_IO;

    for (int n = 0; n < kStations; ++n) {
        const int tpl = KindOf(n) != kNoStation ? kTplArea : kTplZero;
        for (int32_t off : {CommandArea(n), CommandArea(n) + 32}) {
            CommandBuffer b;
            SetTemplateEntry(b, 0, kSelWrite, off, tpl, 17);
            if (TransferDirect(b) != QRL_OK) return QRL_E_IO;
        }
    }

    uint8_t types[kStations];
    for (int n = 0; n < kStations; ++n)
        types[n] = KindOf(n) != kNoStation ? static_cast<uint8_t>(Board().stations[n]) : 0;
    for (int32_t off : kStationTypeOffsets)
        if (DirectData(off, types, kStations) != QRL_OK) return QRL_E_IO;

    const uint8_t rate_code = RateCode(rate), link = 0x80;
    if (DirectData(kRateOffset, &rate_code, 1) != QRL_OK) return QRL_E_IO;
    if (DirectData(kLinkOffset, &link, 1) != QRL_OK) return QRL_E_IO;
    for (const ByteWrite& w : kFinalSettings)
        if (DirectByte(w.offset, w.value) != QRL_OK) return QRL_E_IO;
    return QRL_OK;
}

int32_t SetupAxisStation(int n, int32_t cycle) {
    CommandBuffer b;
    SetTemplateEntry(b, 0, kSelWrite, CommandArea(n), kTplStationSetup, 16);
    uint8_t* d = b.Data(0);
    d[5] = 0x10;
    d[6] = 0x02;
    d[7] = static_cast<uint8_t>(2 * cycle + 2);
    int32_t r = SendCommand(b);
    if (r == QRL_OK) r = WaitEcho(0, n, b, 5, 9, kSetupEchoLimitMs);
    return r;
}

int32_t SetupIoStation(int n) {
    CommandBuffer b;
    SetTemplateEntry(b, 0, kSelIoInit, CommandArea(n), kTplZero, 16);
    return TransferCommands(b);
}

// Template `tpl` to station n, then its own command code as the response.
int32_t CommandAndResponse(int n, int tpl) {
    CommandBuffer b;
    SetTemplateEntry(b, 0, kSelWrite, CommandArea(n), tpl, 16);
    int32_t r = SendCommand(b);
    if (r == QRL_OK) r = WaitResponse(n, CommandOf(tpl), kStandardLimitMs);
    return r;
}

void Drop(int n, int32_t result, int32_t* types) {
    Board().stations[n] = 0;
    types[n - 1] = result;
}

}  // namespace

QRL_API(InitDll, (int32_t family), (family)) {
    if (family != 1 && family != 2) return QRL_E_ARG;
    Board().family = family;
    LogFamilyChanged();
    return QRL_OK;
}

QRL_API(BdOpen, (int32_t board, int32_t rate, int32_t cycle, int32_t* types), (board, rate, cycle, types)) {
    if (!InRange(board, 0, 1)) return QRL_E_ARG;
    if (rate != 20 && rate != 10 && rate != 5) return QRL_E_ARG;
    if (!InRange(cycle, 0, 15)) return QRL_E_ARG;
    if (types == nullptr) return QRL_E_ARG;
    for (int i = 0; i < 15; ++i)
        if (types[i] < 0) return QRL_E_ARG;
    BoardState& s = Board();
    if (s.family != 1 && s.family != 2) return QRL_E_NOFAMILY;

    LogStart();
    s.open = 0;
    for (int n = 0; n < kStations; ++n) {
        s.mcode[n].SetBoth(1, 8);
        s.ocode[n].SetBoth(0, 0);
    }
    s.stations[0] = kBoardStationType;
    for (int n = 1; n < kStations; ++n) s.stations[n] = types[n - 1];

    // A device still open from an earlier open (or a failed bring-up) is released
    // first rather than leaked.
    if (s.device) {
        s.device->Close();
        s.device.reset();
    }
    BeginDeviceCall();
    s.device = CurrentPlatform().OpenDevice();
    // A bring-up that fails ends the log it started: its file and the watch on the
    // switch are not held until some later BdOpen.
    if (!s.device) {
        NoteDeviceFailure(QRL_E_NODEVICE, nullptr);  // the Windows error of the open
        LogClose();
        return QRL_E_NODEVICE;
    }
    if (WriteBoardSettings(rate) != QRL_OK) {
        LogClose();
        return QRL_E_IO;
    }

    for (int n = 1; n < kStations; ++n) {
        int32_t r = QRL_OK;
        switch (KindOf(n)) {
        case kAxisStation: r = SetupAxisStation(n, cycle); break;
        case kIoStation: r = SetupIoStation(n); break;
        case kNoStation: continue;
        }
        if (r != QRL_OK) Drop(n, r, types);
    }
    for (int n = 1; n < kStations; ++n) {
        if (!IsAxis(n)) continue;
        int32_t r = CommandAndResponse(n, kTplAlarmClear);
        if (r != QRL_OK) Drop(n, r, types);
    }
    for (int n = 1; n < kStations; ++n) {
        if (!IsAxis(n)) continue;
        int32_t r = CommandAndResponse(n, kTplFinalSetup);
        if (r != QRL_OK) Drop(n, r, types);
    }
    s.open = 1;
    return QRL_OK;
}

QRL_API(BdClose, (int32_t board), (board)) {
    if (!InRange(board, 0, 1)) return QRL_E_ARG;
    BoardState& s = Board();
    {
        CommandBuffer b;
        FillAxisBatch(b, StationRange{1, 15}, kTplClose, NoPatch);
        TransferCommands(b);  // the close goes on whatever the stations answer
    }
    CurrentPlatform().Time().SleepMs(kCloseSettleMs);
    s.open = 0;
    // The final write failing (a dead pipe, a removed board) still ends the log and
    // releases the device: the board is closed either way, and -1 says the board
    // did not hear it.
    const bool heard = DirectByte(kModeOffset, 9) == QRL_OK;
    LogClose();
    bool closed = true;
    if (s.device) {
        BeginDeviceCall();
        closed = s.device->Close();
        if (!closed) NoteDeviceFailure(QRL_E_CLOSE, nullptr);
        s.device.reset();
    }
    if (!heard) return QRL_E_IO;
    return closed ? QRL_OK : QRL_E_CLOSE;
}

QRL_API(Config, (int32_t station), (station)) {
    if (!StationArgOk(station, true)) return QRL_E_ARG;
    if (int32_t r = CheckOpenAndKind(station, kAxisStation)) return r;
    const StationRange range = RangeOf(station);
    CommandBuffer b;
    if (FillAxisBatch(b, range, kTplConfig, NoPatch) == 0) return QRL_OK;  // nothing to configure
    if (int32_t r = SendCommand(b)) return r;
    for (int n = range.first; n <= range.last; ++n) {
        if (!IsAxis(n)) continue;
        if (int32_t r = WaitResponse(n, kCmdConfig, kConfigLimitMs)) return r;
    }
    return QRL_OK;
}

QRL_API(IdGet, (int32_t station, int32_t item, char* text), (station, item, text)) {
    if (!InRange(station, 1, 15)) return QRL_E_ARG;
    if (text == nullptr) return QRL_E_ARG;
    for (int k = 0; k <= 8; k += 8) {
        CommandBuffer b;
        SetTemplateEntry(b, 0, kSelWrite, CommandArea(station), kTplIdGet, 16);
        b.Data(0)[5] = static_cast<uint8_t>((item & 0x0F) * 0x11);
        b.Data(0)[6] = static_cast<uint8_t>(k);
        if (int32_t r = SendCommand(b)) return r;
        if (int32_t r = WaitResponse(station, kCmdIdGet, kStandardLimitMs)) return r;
        if (int32_t r = ReadResponse(b, station)) return r;
        std::memcpy(text + k, b.Data(0) + 8, 8);
    }
    text[16] = 0;
    return QRL_OK;
}

// Not a status (the version), so not an export frame: it never fails.
extern "C" int32_t QRL_CALL VerGet(void) {
    std::string text;
    if (!CurrentPlatform().LibraryFileVersion(text)) return 0;
    uint16_t num[4] = {};
    size_t pos = 0;
    for (int i = 0; i < 4 && pos <= text.size(); ++i) {
        size_t comma = text.find(',', pos);
        std::string piece = text.substr(pos, comma == std::string::npos ? std::string::npos : comma - pos);
        num[i] = static_cast<uint16_t>(std::strtol(piece.c_str(), nullptr, 10));
        if (comma == std::string::npos) break;
        pos = comma + 1;
    }
    return static_cast<int32_t>((static_cast<uint32_t>(num[2]) << 16) | num[3]);
}
