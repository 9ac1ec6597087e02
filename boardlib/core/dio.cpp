// Digital I/O of I/O stations and of the board itself (station 0).
//
// One implementation serves the 8-, 16- and 32-bit ports and the flag arrays; the
// plain and _0 forms differ only in the IoForm they pass. Inputs read the station's
// 16-byte input image once (no retry); outputs write one entry through
// SendCommand (2000 ms of retries). No output state is kept in the library.
#include "checks.h"
#include "export.h"

using namespace qrl;

namespace {

struct IoForm {
    bool big_endian_in;     // multi-byte inputs: lower-addressed byte is the high byte
    bool mirrored_offsets;  // outputs counted down from the end of the output bytes
    bool value_on_failure;  // a failed read still yields (and stores) a value
};
constexpr IoForm kPlain{false, false, false};
constexpr IoForm kZero{true, true, true};

constexpr int kIoBytes = 16;  // input and output bytes of one station
constexpr int kFlagCount = 16;

uint32_t WidthMask(int width) { return width == 4 ? 0xFFFFFFFFu : ((1u << (8 * width)) - 1u); }

// Bit i becomes bit (8 * width - 1 - i).
uint32_t ReverseBits(uint32_t v, int width) {
    uint32_t out = 0;
    for (int i = 0; i < 8 * width; ++i)
        if (v & (1u << i)) out |= 1u << (8 * width - 1 - i);
    return out;
}

// Invert first, then mirror (the two commute).
uint32_t Modify(uint32_t v, int width, int32_t mirror, int32_t invert) {
    v &= WidthMask(width);
    if (invert) v = ~v & WidthMask(width);
    if (mirror) v = ReverseBits(v, width);
    return v;
}

uint32_t Assemble(const uint8_t* p, int width, bool big_endian) {
    uint32_t v = 0;
    for (int i = 0; i < width; ++i) v |= static_cast<uint32_t>(p[big_endian ? width - 1 - i : i]) << (8 * i);
    return v;
}

bool StationOk(int32_t station) { return InRange(station, 0, 15); }
bool FlagOk(int32_t v) { return InRange(v, 0, 1); }
int PortCount(int width) { return kIoBytes / width; }

// Reads the input image (size 16 or 17) and assembles port `port` of `width`
// bytes into `word`. Returns the transfer result; `word` is valid when that is 0,
// or whatever Data then holds when the form carries on after a failure.
int32_t ReadPort(int32_t station, int32_t port, int width, int size, const IoForm& form, uint32_t& word,
                 bool& usable) {
    CommandBuffer b;
    SetTemplateEntry(b, 0, kSelInput, CommandArea(station), kTplZero, size);
    const int32_t r = TransferCommands(b);
    usable = r == QRL_OK || form.value_on_failure;
    word = Assemble(b.Data(0) + (port - 1) * width, width, form.big_endian_in);
    return r;
}

// D8in .. D32in_0. T is the port's width. Inputs never judge the ReturnCode.
template <typename T>
int32_t PortIn(const IoForm& form, int32_t station, int32_t port, int32_t mirror, int32_t invert, T* data) {
    constexpr int width = sizeof(T);
    if (!StationOk(station) || !InRange(port, 1, PortCount(width)) || !FlagOk(mirror) || !FlagOk(invert) ||
        data == nullptr)
        return QRL_E_ARG;
    if (int32_t r = CheckOpenAndKind(station, kIoStation)) return r;
    uint32_t word;
    bool usable;
    const int32_t r = ReadPort(station, port, width, kIoBytes, form, word, usable);
    if (!usable) return r;
    *data = static_cast<T>(Modify(word, width, mirror, invert));
    return r;
}

// D8out .. D32out_0: `width` bytes of `value`, little-endian, at the port's offset.
int32_t PortOut(const IoForm& form, int width, int32_t station, int32_t port, int32_t value, int32_t mirror,
                int32_t invert) {
    if (!StationOk(station) || !InRange(port, 1, PortCount(width)) || !FlagOk(mirror) || !FlagOk(invert))
        return QRL_E_ARG;
    if (int32_t r = CheckOpenAndKind(station, kIoStation)) return r;
    const int32_t at = form.mirrored_offsets ? 17 - port * width : (port - 1) * width + 1;
    CommandBuffer b;
    SetTemplateEntry(b, 0, kSelWrite, CommandArea(station) + at, kTplZero, width);
    const uint32_t v = Modify(static_cast<uint32_t>(value), width, mirror, invert);
    for (int i = 0; i < width; ++i) b.Data(0)[i] = static_cast<uint8_t>(v >> (8 * i));
    return SendCommand(b);
}

// Din, Din_0: flags[0] is bit 15 of the port word, flags[15] bit 0.
int32_t FlagsIn(const IoForm& form, int32_t station, int32_t port, uint8_t* flags) {
    if (!StationOk(station) || !InRange(port, 1, PortCount(2)) || flags == nullptr) return QRL_E_ARG;
    if (int32_t r = CheckOpenAndKind(station, kIoStation)) return r;
    uint32_t word;
    bool usable;
    const int32_t r = ReadPort(station, port, 2, 17, form, word, usable);
    if (!usable) return r;
    for (int k = kFlagCount - 1; k >= 0; --k) {
        flags[k] = static_cast<uint8_t>(word & 1);
        word >>= 1;
    }
    return r;
}

// Dout, Dout_0: 17 bytes written, so the write also zeroes the station's other
// output bytes it covers.
int32_t FlagsOut(const IoForm& form, int32_t station, int32_t port, const uint8_t* flags) {
    if (!StationOk(station) || !InRange(port, 1, PortCount(2)) || flags == nullptr) return QRL_E_ARG;
    for (int k = 0; k < kFlagCount; ++k)
        if (!FlagOk(static_cast<int8_t>(flags[k]))) return QRL_E_ARG;
    if (int32_t r = CheckOpenAndKind(station, kIoStation)) return r;
    uint16_t word = 0;
    uint16_t mask = 1;
    for (int k = kFlagCount - 1; k >= 0; --k, mask = static_cast<uint16_t>(mask << 1))
        if (static_cast<int8_t>(flags[k]) > 0) word |= mask;
    CommandBuffer b;
    if (form.mirrored_offsets) {
        // From the station's byte 0 (kept 0x03) over all 16 output bytes.
        SetTemplateEntry(b, 0, kSelWrite, CommandArea(station), kTplArea, 17);
        PutU16(b.Data(0) + 17 - 2 * port, word);
    } else {
        // The port word, then 15 zero bytes.
        SetTemplateEntry(b, 0, kSelWrite, CommandArea(station) + 2 * port - 1, kTplArea, 17);
        PutU16(b.Data(0), word);
    }
    return SendCommand(b);
}

}  // namespace

// Inputs: station 0..15 (an I/O station, or the board), port 1..16 / 1..8 / 1..4,
// mirror and invert 0..1; value into *data. Plain forms: 0, -1 (data untouched),
// -2, -5. _0 forms: big-endian ports, and a failed read still stores the value
// computed from the unfilled buffer and returns -1.
QRL_API(D8in, (int32_t station, int32_t port, int32_t mirror, int32_t invert, uint8_t* data),
        (station, port, mirror, invert, data)) {
    return PortIn(kPlain, station, port, mirror, invert, data);
}
QRL_API(D8in_0, (int32_t station, int32_t port, int32_t mirror, int32_t invert, uint8_t* data),
        (station, port, mirror, invert, data)) {
    return PortIn(kZero, station, port, mirror, invert, data);
}
QRL_API(D16in, (int32_t station, int32_t port, int32_t mirror, int32_t invert, uint16_t* data),
        (station, port, mirror, invert, data)) {
    return PortIn(kPlain, station, port, mirror, invert, data);
}
QRL_API(D16in_0, (int32_t station, int32_t port, int32_t mirror, int32_t invert, uint16_t* data),
        (station, port, mirror, invert, data)) {
    return PortIn(kZero, station, port, mirror, invert, data);
}
QRL_API(D32in, (int32_t station, int32_t port, int32_t mirror, int32_t invert, uint32_t* data),
        (station, port, mirror, invert, data)) {
    return PortIn(kPlain, station, port, mirror, invert, data);
}
QRL_API(D32in_0, (int32_t station, int32_t port, int32_t mirror, int32_t invert, uint32_t* data),
        (station, port, mirror, invert, data)) {
    return PortIn(kZero, station, port, mirror, invert, data);
}

// Port word as 16 flags (flags[0] = bit 15). Same results as the sized inputs.
QRL_API(Din, (int32_t station, int32_t port, uint8_t* flags), (station, port, flags)) {
    return FlagsIn(kPlain, station, port, flags);
}
QRL_API(Din_0, (int32_t station, int32_t port, uint8_t* flags), (station, port, flags)) {
    return FlagsIn(kZero, station, port, flags);
}

// Outputs: the low 8/16/32 bits of value (inverted, then mirrored, as asked),
// little-endian at the port's offset (counted from the end for the _0 forms).
// 0, -2, -5, SendCommand codes.
QRL_API(D8out, (int32_t station, int32_t port, int32_t value, int32_t mirror, int32_t invert),
        (station, port, value, mirror, invert)) {
    return PortOut(kPlain, 1, station, port, value, mirror, invert);
}
QRL_API(D8out_0, (int32_t station, int32_t port, int32_t value, int32_t mirror, int32_t invert),
        (station, port, value, mirror, invert)) {
    return PortOut(kZero, 1, station, port, value, mirror, invert);
}
QRL_API(D16out, (int32_t station, int32_t port, int32_t value, int32_t mirror, int32_t invert),
        (station, port, value, mirror, invert)) {
    return PortOut(kPlain, 2, station, port, value, mirror, invert);
}
QRL_API(D16out_0, (int32_t station, int32_t port, int32_t value, int32_t mirror, int32_t invert),
        (station, port, value, mirror, invert)) {
    return PortOut(kZero, 2, station, port, value, mirror, invert);
}
QRL_API(D32out, (int32_t station, int32_t port, int32_t value, int32_t mirror, int32_t invert),
        (station, port, value, mirror, invert)) {
    return PortOut(kPlain, 4, station, port, value, mirror, invert);
}
QRL_API(D32out_0, (int32_t station, int32_t port, int32_t value, int32_t mirror, int32_t invert),
        (station, port, value, mirror, invert)) {
    return PortOut(kZero, 4, station, port, value, mirror, invert);
}

// 16 flags (each 0 or 1, else -2 before the open check) as one port word.
QRL_API(Dout, (int32_t station, int32_t port, const uint8_t* flags), (station, port, flags)) {
    return FlagsOut(kPlain, station, port, flags);
}
QRL_API(Dout_0, (int32_t station, int32_t port, const uint8_t* flags), (station, port, flags)) {
    return FlagsOut(kZero, station, port, flags);
}
