// Number conversions of the log dialogs' edit fields. Neither checks ranges: what the
// user typed is stored as converted.
#pragma once

#include <cstdint>

// Signed decimal: leading blanks and one sign allowed, stops at the first non-digit,
// no digits gives 0, values beyond the signed 32-bit range give the nearest limit.
int32_t ParseSignedDecimal(const wchar_t* text);

// Unsigned in `base` (2..36): leading blanks and one sign allowed, a minus sign negates
// in 32 bits, stops at the first character that is not a digit of the base, no digits
// gives 0, values beyond 32 bits give 0xFFFFFFFF (whatever the sign).
uint32_t ParseUnsigned(const wchar_t* text, int base);
