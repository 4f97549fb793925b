// Internal to the platform layer: decimal digits of numbers, shared by the
// number conversions, Format, FormatFloat and the BCD values of db.
#pragma once

#include "rtl/SysUtils.h"

namespace ksnum {

// value = 0.d1d2d3... * 10^exponent; no leading or trailing zero digits,
// zero has no digits.
struct Decimal {
  bool negative = false;
  AnsiString digits;
  int exponent = 0;

  void Normalize();
  // Keeps `keep` significant digits, rounding half away from zero.
  void Round(int keep);
  char DigitAt(int position) const;  // '0' outside the digits
  AnsiString IntegerPart() const;    // "0" when below one
  AnsiString Fraction(int count) const;
};

Decimal ToDecimal(long double value);
// Reads "d.ddde[+-]x" as written by std::to_chars.
void ParseScientific(const AnsiString& text, Decimal& d);
// [blanks][sign]digits[sep digits][e[sign]digits][blanks]
bool ParseNumber(const AnsiString& text, char decimalSeparator, Decimal& d);
bool ToScaled(const Decimal& d, int64_t& scaled);
AnsiString FormatDecimal(Decimal d, TFloatFormat format, int precision, int digits,
                         const TFormatSettings& settings);
// FormatFloat's picture of an exact value.
AnsiString FormatPicture(const AnsiString& format, const Decimal& d,
                         const TFormatSettings& settings);

}  // namespace ksnum
