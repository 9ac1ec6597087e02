// Command buffer: the fixed 1264-byte block exchanged whole with the driver.
//
// Layout (little-endian): int32 CommandCount at 0, then 21 entries of 60 bytes:
//   +0 DeviceNumber, +4 SelectCode, +8 Size, +12 Data[36], +48 Offset,
//   +52 AxisBitNumber, +56 ReturnCode.
// All access goes through the put/get helpers below: the layout never depends on
// the compiler's struct packing, and the same bytes cross a pipe or a driver.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace qrl {

constexpr size_t kBufferSize = 1264;
constexpr int kEntryCount = 21;
constexpr size_t kEntrySize = 60;
constexpr size_t kDataSize = 36;
constexpr size_t kTemplateSize = 17;
constexpr int kTemplateCount = 31;
static_assert(4 + kEntryCount * kEntrySize == kBufferSize, "21 entries of 60 bytes after the count");

// Entry field offsets, relative to the entry's first byte.
enum EntryField : size_t {
    kDeviceNumber = 0,
    kSelectCode = 4,
    kSize = 8,
    kData = 12,
    kOffset = 48,
    kAxisBitNumber = 52,
    kReturnCode = 56,
};
static_assert(kData + kDataSize == kOffset, "Data is 36 bytes");
static_assert(kReturnCode + 4 == kEntrySize, "ReturnCode closes the entry");

// I/O-control codes of the driver.
constexpr uint32_t kIoctlCommand = 0x222004;  // every command exchange (logged)
constexpr uint32_t kIoctlDirect = 0x222000;   // bring-up and shutdown writes (never logged)

// SelectCode values.
enum SelectCode : int32_t {
    kSelRead = 1,
    kSelWrite = 2,
    kSelAxisData = 3,
    kSelLkStart = 4,
    kSelAxdtClr = 5,
    kSelIpData = 6,
    kSelIpStrt = 7,
    kSelIpStrtRp = 8,
    kSelIpdtClr = 9,
    kSelIpStop = 10,
    kSelIpNumGet = 11,
    kSelIpNumMax = 12,
    kSelInput = 15,
    kSelIoInit = 18,
};

// Board memory geometry.
constexpr int32_t kStationStride = 64;
constexpr int32_t kResponseBase = 1024;
constexpr int32_t CommandArea(int32_t station) { return station * kStationStride; }
constexpr int32_t ResponseArea(int32_t station) { return station * kStationStride + kResponseBase; }

// Response area bytes (17 returned by a SelectCode 1 read).
constexpr size_t kRspCode = 1;
constexpr size_t kRspAlarm = 2;
constexpr size_t kRspStatus = 3;
constexpr size_t kRspMonitor1 = 5;
constexpr size_t kRspMonitor2 = 9;
constexpr size_t kRspMcode = 13;
constexpr size_t kRspIoData = 14;
constexpr size_t kResponseSize = 17;
constexpr uint16_t kStatusReady = 0x0004;
constexpr uint16_t kStatusServo = 0x0008;

inline void PutU16(uint8_t* p, uint16_t v) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
}
inline void PutU32(uint8_t* p, uint32_t v) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
    p[2] = static_cast<uint8_t>(v >> 16);
    p[3] = static_cast<uint8_t>(v >> 24);
}
inline void PutI32(uint8_t* p, int32_t v) { PutU32(p, static_cast<uint32_t>(v)); }
inline uint16_t GetU16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
inline uint32_t GetU32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
           (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}
inline int32_t GetI32(const uint8_t* p) { return static_cast<int32_t>(GetU32(p)); }

// The command template table: 31 constant rows of 17 bytes, indexed by template code.
extern const uint8_t kTemplates[kTemplateCount][kTemplateSize];

// Template codes by name, for readability at the call sites.
enum Template : int {
    kTplZero = 0, kTplAlarmClear = 1, kTplFinalSetup = 2, kTplMonitor = 3, kTplArea = 4,
    kTplDown = 5, kTplNc = 6, kTplEmg = 7, kTplEmgOff = 8, kTplFeed = 9, kTplHome = 10,
    kTplNcEx = 11, kTplSvOn = 12, kTplSvOff = 13, kTplStationSetup = 14, kTplClose = 15,
    kTplConfig = 16, kTplEncdrOn = 17, kTplEncdrOff = 18, kTplIpData = 19, kTplMlockOff = 20,
    kTplMlockOn = 21, kTplPosiPut = 22, kTplPprmGet = 23, kTplPprmPut = 24, kTplPrmGet = 25,
    kTplPrmPut = 26, kTplAbsIni1 = 27, kTplAbsIni2 = 28, kTplAbsIni3 = 29, kTplIdGet = 30,
};

// Station command codes (byte 1 of a command's data, and the response code a station
// answers with once it has taken the command). Each template row carries its
// command's code; the tests hold the two together.
enum CommandCode : uint8_t {
    kCmdNone = 0x00,          // the area set-up's clearing write; a response area before any command
    kCmdPrmGet = 0x01,
    kCmdPrmPut = 0x02,
    kCmdIdGet = 0x03,
    kCmdConfig = 0x04,
    kCmdAlarmClear = 0x06,
    kCmdFinalSetup = 0x0D,
    kCmdStationSetup = 0x0E,
    kCmdClose = 0x0F,
    kCmdPprmGet = 0x1B,
    kCmdPprmPut = 0x1C,
    kCmdPosiPut = 0x20,
    kCmdEmg = 0x21,
    kCmdEmgOff = 0x22,
    kCmdEncdrOn = 0x23,
    kCmdEncdrOff = 0x24,
    kCmdDown = 0x25,
    kCmdMlockOn = 0x26,
    kCmdMlockOff = 0x27,
    kCmdMonitor = 0x30,
    kCmdSvOn = 0x31,
    kCmdSvOff = 0x32,
    kCmdIpData = 0x34,
    kCmdNc = 0x35,            // AxNc and AxdtSt
    kCmdFeed = 0x36,
    kCmdMotion38 = 0x38,      // a motion code no command of the library sends
    kCmdNcEx = 0x39,
    kCmdHome = 0x3A,
    kCmdAbsIni = 0x3E,
    kCmdMotion3F = 0x3F,      // a motion code no command of the library sends
};
// The command code template row `tpl` sends.
inline uint8_t CommandOf(int tpl) { return kTemplates[tpl][1]; }

// One 1264-byte exchange block. Zero-filled on construction.
struct CommandBuffer {
    uint8_t raw[kBufferSize];

    CommandBuffer() { std::memset(raw, 0, sizeof raw); }

    int32_t Count() const { return GetI32(raw); }
    void SetCount(int32_t n) { PutI32(raw, n); }

    uint8_t* Entry(int k) { return raw + 4 + static_cast<size_t>(k) * kEntrySize; }
    const uint8_t* Entry(int k) const { return raw + 4 + static_cast<size_t>(k) * kEntrySize; }
    int32_t Field(int k, EntryField f) const { return GetI32(Entry(k) + f); }
    void SetField(int k, EntryField f, int32_t v) { PutI32(Entry(k) + f, v); }
    uint8_t* Data(int k) { return Entry(k) + kData; }
    const uint8_t* Data(int k) const { return Entry(k) + kData; }
    int32_t ReturnCode(int k = 0) const { return Field(k, kReturnCode); }
};
static_assert(sizeof(CommandBuffer) == kBufferSize, "the exchange block is exactly 1264 bytes");

// The station (1..15) an entry addresses: through its command area (Offset / 64)
// for SelectCode 2, 3, 6, 15 and 18, through its response area
// ((Offset - 1024) / 64) for SelectCode 1; -1 for driver requests (SelectCode 4, 5,
// 7 to 12), the board itself and anything outside the stations' areas.
int StationOfEntry(int32_t select, int32_t offset);

// Entry builders. Each writes entry k (0..20) of the caller's buffer and sets
// CommandCount to 1 (a caller filling several entries sets the count itself),
// DeviceNumber 1, SelectCode, Offset, Size, AxisBitNumber 0 and ReturnCode 0.
// Data bytes beyond Size are left untouched.

// Data := the first `size` (0..17) bytes of template row `tpl` (0..30).
void SetTemplateEntry(CommandBuffer& b, int k, int32_t select, int32_t offset, int tpl, int size);
// As SetTemplateEntry, with AxisBitNumber := bits.
void SetTemplateEntryBits(CommandBuffer& b, int k, int32_t select, int32_t offset, int tpl, int size,
                          int32_t bits);
// Data := the caller's `len` (0..36) bytes.
void SetDataEntry(CommandBuffer& b, int k, int32_t select, int32_t offset, const uint8_t* bytes, int len);
// Data[0] := value, Size := 1.
void SetByteEntry(CommandBuffer& b, int k, int32_t select, int32_t offset, uint8_t value);

}  // namespace qrl
