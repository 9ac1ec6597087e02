#include "cmdbuf.h"

#include <algorithm>

namespace qrl {

const uint8_t kTemplates[kTemplateCount][kTemplateSize] = {
    /*  0 */ {},
    /*  1 */ {0x03, 0x06},
    /*  2 */ {0x03, 0x0d},
    /*  3 */ {0x03, 0x30},
    /*  4 */ {0x03, 0x00},
    /*  5 */ {0x03, 0x25},
    /*  6 */ {0x03, 0x35},
    /*  7 */ {0x03, 0x21},
    /*  8 */ {0x03, 0x22},
    /*  9 */ {0x03, 0x36},
    /* 10 */ {0x03, 0x3a},
    /* 11 */ {0x03, 0x39},
    /* 12 */ {0x03, 0x31},
    /* 13 */ {0x03, 0x32},
    /* 14 */ {0x03, 0x0e},
    /* 15 */ {0x03, 0x0f},
    /* 16 */ {0x03, 0x04},
    /* 17 */ {0x03, 0x23},
    /* 18 */ {0x03, 0x24},
    /* 19 */ {0x03, 0x34},
    /* 20 */ {0x03, 0x27},
    /* 21 */ {0x03, 0x26},
    /* 22 */ {0x03, 0x20},
    /* 23 */ {0x03, 0x1b},
    /* 24 */ {0x03, 0x1c},
    /* 25 */ {0x03, 0x01},
    /* 26 */ {0x03, 0x02},
    /* 27 */ {0x03, 0x3e, 0x00, 0x00, 0x00, 0x01, 0x00, 0x20, 0x08, 0x10},
    /* 28 */ {0x03, 0x3e, 0x00, 0x00, 0x00, 0x01, 0x01, 0x20, 0x02},
    /* 29 */ {0x03, 0x3e, 0x00, 0x00, 0x00, 0x01, 0x01, 0x20, 0x01},
    /* 30 */ {0x03, 0x03, 0x00, 0x00, 0x00, 0x00, 0x00, 0x08},
};

namespace {

// The bookkeeping every builder shares.
void Header(CommandBuffer& b, int k, int32_t select, int32_t offset, int32_t size, int32_t bits) {
    b.SetCount(1);
    b.SetField(k, kDeviceNumber, 1);
    b.SetField(k, kSelectCode, select);
    b.SetField(k, kOffset, offset);
    b.SetField(k, kSize, size);
    b.SetField(k, kAxisBitNumber, bits);
    b.SetField(k, kReturnCode, 0);
}

}  // namespace

void SetTemplateEntryBits(CommandBuffer& b, int k, int32_t select, int32_t offset, int tpl, int size,
                          int32_t bits) {
    if (k < 0 || k >= kEntryCount || tpl < 0 || tpl >= kTemplateCount) return;
    size = std::clamp(size, 0, static_cast<int>(kTemplateSize));
    Header(b, k, select, offset, size, bits);
    std::memcpy(b.Data(k), kTemplates[tpl], static_cast<size_t>(size));
}

void SetTemplateEntry(CommandBuffer& b, int k, int32_t select, int32_t offset, int tpl, int size) {
    SetTemplateEntryBits(b, k, select, offset, tpl, size, 0);
}

void SetDataEntry(CommandBuffer& b, int k, int32_t select, int32_t offset, const uint8_t* bytes, int len) {
    if (k < 0 || k >= kEntryCount) return;
    len = std::clamp(len, 0, static_cast<int>(kDataSize));
    Header(b, k, select, offset, len, 0);
    if (len > 0) std::memcpy(b.Data(k), bytes, static_cast<size_t>(len));
}

void SetByteEntry(CommandBuffer& b, int k, int32_t select, int32_t offset, uint8_t value) {
    if (k < 0 || k >= kEntryCount) return;
    Header(b, k, select, offset, 1, 0);
    b.Data(k)[0] = value;
}

int StationOfEntry(int32_t select, int32_t offset) {
    int32_t rel;
    switch (select) {
    case kSelRead: rel = offset - kResponseBase; break;
    case kSelWrite: case kSelAxisData: case kSelIpData: case kSelInput: case kSelIoInit: rel = offset; break;
    default: return -1;  // driver requests address no station
    }
    if (rel < 0) return -1;
    int32_t n = rel / kStationStride;
    return (n >= 1 && n <= 15) ? static_cast<int>(n) : -1;
}

}  // namespace qrl
