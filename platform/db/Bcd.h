// The packed decimal in which a BCD field keeps its value in a record
// buffer (34 bytes), and its conversion to and from Currency.
#pragma once

#include <cstdint>

#include "rtl/Types.h"

struct TBcd {
  uint8_t Precision = 0;          // number of digits, 0..64
  uint8_t SignSpecialPlaces = 0;  // bit 7 negative, bits 0-5 decimal places
  uint8_t Fraction[32] = {};      // digits, two per byte, high nibble first
};
static_assert(sizeof(TBcd) == 34);

// Writes the value with its four decimal places.
void CurrToBCD(Currency value, TBcd& bcd);
// False for a malformed value or one outside Currency's range; digits beyond
// the fourth decimal round half to even.
bool BCDToCurr(const TBcd& bcd, Currency& value);
