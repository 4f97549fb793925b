#include "db/Bcd.h"

#include <cstdlib>
#include <limits>

namespace {

constexpr int CurrencyPlaces = 4;

int DigitAt(const TBcd& bcd, int i) {
  uint8_t b = bcd.Fraction[i / 2];
  return i % 2 == 0 ? b >> 4 : b & 0x0F;
}

}  // namespace

void CurrToBCD(Currency value, TBcd& bcd) {
  bcd = TBcd{};
  // The magnitude as unsigned, so that the most negative amount works too.
  uint64_t magnitude = value.Scaled < 0 ? 0 - static_cast<uint64_t>(value.Scaled)
                                        : static_cast<uint64_t>(value.Scaled);
  char digits[24];
  int count = 0;
  do {
    digits[count++] = static_cast<char>(magnitude % 10);
    magnitude /= 10;
  } while (magnitude != 0);
  // At least one integer digit before the four decimals.
  while (count < CurrencyPlaces + 1) digits[count++] = 0;
  bcd.Precision = static_cast<uint8_t>(count);
  bcd.SignSpecialPlaces = static_cast<uint8_t>(CurrencyPlaces | (value.Scaled < 0 ? 0x80 : 0));
  for (int i = 0; i < count; ++i) {
    int digit = digits[count - 1 - i];
    bcd.Fraction[i / 2] |= static_cast<uint8_t>(i % 2 == 0 ? digit << 4 : digit);
  }
}

bool BCDToCurr(const TBcd& bcd, Currency& value) {
  int precision = bcd.Precision;
  int places = bcd.SignSpecialPlaces & 0x3F;
  if (precision > 64 || places > precision) return false;
  int integerDigits = precision - places;
  // Accumulate the integer digits and the first four decimals as a scaled
  // magnitude; keep the rest for rounding.
  uint64_t scaled = 0;
  constexpr uint64_t limit = uint64_t{std::numeric_limits<int64_t>::max()} + 1;
  int kept = integerDigits + (places < CurrencyPlaces ? places : CurrencyPlaces);
  for (int i = 0; i < kept; ++i) {
    int d = DigitAt(bcd, i);
    if (d > 9) return false;
    if (scaled > (limit - static_cast<uint64_t>(d)) / 10) return false;
    scaled = scaled * 10 + static_cast<uint64_t>(d);
  }
  for (int i = places; i < CurrencyPlaces; ++i) {
    if (scaled > limit / 10) return false;
    scaled *= 10;
  }
  // Rounding on the dropped digits: above half, or exactly half with an odd last digit.
  int first = 0;
  bool restNonZero = false;
  for (int i = kept; i < precision; ++i) {
    int d = DigitAt(bcd, i);
    if (d > 9) return false;
    if (i == kept)
      first = d;
    else if (d != 0)
      restNonZero = true;
  }
  if (first > 5 || (first == 5 && (restNonZero || scaled % 2 == 1))) ++scaled;
  bool negative = (bcd.SignSpecialPlaces & 0x80) != 0;
  if (scaled == limit && !negative) return false;
  if (scaled > limit) return false;
  value.Scaled = negative ? static_cast<int64_t>(0 - scaled) : static_cast<int64_t>(scaled);
  return true;
}
