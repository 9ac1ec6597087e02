// The 16-byte axis command data shared by the motion, servo, monitor and
// axis-data/interpolation commands, and the per-station option tables it reads.
//
//   byte 0     0x03 (template)        byte 1    command code (template)
//   byte 2     mode                   byte 3    O-code 0 field, bits 3-4
//   byte 4     O-code 1 field, bit 4  bytes 5..8  command word 1 (LE)
//   bytes 9..12 command word 2 (LE)   byte 13   M-code byte (high << 4 | low)
//   bytes 14..15 0 (template)
#pragma once

#include "board.h"

namespace qrl {

// (high << 4) | low, each nibble masked: the monitor items the station reports.
// McodePut keeps both in 0..15, so the masked and unmasked forms agree.
inline uint8_t McodeByte(int station) {
    int32_t low, high;
    Board().mcode[station].Load(low, high);
    return static_cast<uint8_t>(((high << 4) & 0xF0) | (low & 0x0F));
}
// Only the low bits of an O-code travel: a stored O-code 1 of 2 sends 0.
inline uint8_t Ocode0Field(int32_t v) { return static_cast<uint8_t>((v & 3) << 3); }
inline uint8_t Ocode1Field(int32_t v) { return static_cast<uint8_t>((v & 1) << 4); }

// What one command puts into the axis command data besides its template.
// Fields a command does not use stay 0, exactly as the template has them.
struct AxisData {
    enum OcodeSource { kNoOcodes, kTableOcodes, kGivenOcodes };
    OcodeSource ocodes = kNoOcodes;
    bool mcode = false;
    int32_t mode = 0;
    int32_t ocode0 = 0, ocode1 = 0;  // used with kGivenOcodes
    int32_t word1 = 0, word2 = 0;

    // Plain motion form: O-codes and M-code from the station's table rows.
    static AxisData FromTables(int32_t mode = 0, int32_t word1 = 0, int32_t word2 = 0) {
        AxisData a;
        a.ocodes = kTableOcodes;
        a.mcode = true;
        a.mode = mode;
        a.word1 = word1;
        a.word2 = word2;
        return a;
    }
    // Op form: the caller's O-codes, M-code still from the table.
    static AxisData WithOcodes(int32_t ocode0, int32_t ocode1, int32_t mode = 0, int32_t word1 = 0,
                               int32_t word2 = 0) {
        AxisData a = FromTables(mode, word1, word2);
        a.ocodes = kGivenOcodes;
        a.ocode0 = ocode0;
        a.ocode1 = ocode1;
        return a;
    }
    static AxisData McodeOnly() {
        AxisData a;
        a.mcode = true;
        return a;
    }

    // Writes bytes 2..13 of entry data `d` for `station`.
    void Put(uint8_t* d, int station) const {
        const BoardState& s = Board();
        d[2] = static_cast<uint8_t>(mode);
        switch (ocodes) {
        case kNoOcodes: d[3] = d[4] = 0; break;
        case kTableOcodes: {
            int32_t o0, o1;
            s.ocode[station].Load(o0, o1);
            d[3] = Ocode0Field(o0);
            d[4] = Ocode1Field(o1);
            break;
        }
        case kGivenOcodes:
            d[3] = Ocode0Field(ocode0);
            d[4] = Ocode1Field(ocode1);
            break;
        }
        PutI32(d + 5, word1);
        PutI32(d + 9, word2);
        d[13] = mcode ? McodeByte(station) : 0;
    }
    // As a FillAxisBatch patch.
    void operator()(uint8_t* d, int station, int) const { Put(d, station); }
};

}  // namespace qrl
