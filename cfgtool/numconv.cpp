#include "numconv.h"

namespace {

bool IsBlank(wchar_t c) { return c == L' ' || (c >= L'\t' && c <= L'\r'); }

int DigitValue(wchar_t c) {
    if (c >= L'0' && c <= L'9') return c - L'0';
    if (c >= L'a' && c <= L'z') return c - L'a' + 10;
    if (c >= L'A' && c <= L'Z') return c - L'A' + 10;
    return 99;
}

// Skips blanks and a sign; returns the magnitude accumulated in 64 bits, saturated just
// above `limit` so that overflow stays visible without wrapping.
uint64_t Scan(const wchar_t* p, int base, uint64_t limit, bool& negative) {
    negative = false;
    if (!p) return 0;
    while (IsBlank(*p)) ++p;
    if (*p == L'+' || *p == L'-') negative = (*p++ == L'-');
    uint64_t v = 0;
    for (int d; (d = DigitValue(*p)) < base; ++p) {
        v = v * base + d;
        if (v > limit) v = limit + 1;
    }
    return v;
}

}  // namespace

int32_t ParseSignedDecimal(const wchar_t* text) {
    bool negative = false;
    const uint64_t maxMagnitude = 0x80000000ull;  // |INT32_MIN|
    uint64_t v = Scan(text, 10, maxMagnitude, negative);
    if (negative) return v >= maxMagnitude ? INT32_MIN : -static_cast<int32_t>(v);
    return v > 0x7FFFFFFFull ? INT32_MAX : static_cast<int32_t>(v);
}

uint32_t ParseUnsigned(const wchar_t* text, int base) {
    if (base < 2 || base > 36) return 0;
    bool negative = false;
    uint64_t v = Scan(text, base, 0xFFFFFFFFull, negative);
    if (v > 0xFFFFFFFFull) return 0xFFFFFFFFu;
    uint32_t u = static_cast<uint32_t>(v);
    return negative ? 0u - u : u;
}
