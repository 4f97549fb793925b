// The packed decimal in which a BCD field keeps its value in a record
// buffer (34 bytes), and its conversions. A value holds as many digits as
// it needs, so amounts beyond Currency's range (a NUMERIC(18,2) column's)
// stay exact.
#pragma once

#include <cstdint>

#include "rtl/Types.h"
#include "rtl/Variants.h"

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

// Value * 10^-Places, written with exactly Places decimal places (0..63).
void ScaledToBCD(int64_t Value, int Places, TBcd& bcd);
// The value times 10^Places as an integer, digits beyond rounding half away
// from zero as the server rounds; false for a malformed value or one that
// does not fit.
bool BCDToScaled(const TBcd& bcd, int Places, int64_t& Value);
// [blanks][sign]digits[separator digits][e[sign]digits][blanks], every digit
// kept (decimals beyond 64 digits in all round half away from zero); false
// when malformed or too big.
bool TryStrToBCD(const AnsiString& Text, char DecimalSeparator, TBcd& bcd);
// The double's shortest decimal form (1.005 for 1.005, whose binary value is
// a little below); false when not finite or too big.
bool DoubleToBCD(double Value, TBcd& bcd);
// A number, or its text with the format's decimal separator; false when the
// value is neither.
bool VarToBCD(const Variant& Value, TBcd& bcd);
// The exact text, trailing decimal zeros dropped, as CurrToStr writes;
// a malformed value gives "".
AnsiString BCDToStr(const TBcd& bcd, char DecimalSeparator);
// The nearest double (0 for a malformed value).
double BCDToDouble(const TBcd& bcd);
// -1, 0 or 1 by value, whatever the places of either; a malformed value
// counts as zero.
int BCDCompare(const TBcd& a, const TBcd& b);
// The exact sum or product, rounded once to Places decimals (0..63) half
// away from zero, as the server's cast rounds it; false for a malformed
// operand or a result of more than 64 digits.
bool BCDAdd(const TBcd& a, const TBcd& b, int Places, TBcd& Result);
bool BCDMultiply(const TBcd& a, const TBcd& b, int Places, TBcd& Result);
// The exact value through a FormatFloat picture ("" for a malformed value).
AnsiString FormatBCD(const AnsiString& Format, const TBcd& bcd);
// The exact value as FloatToStrF writes a number.
AnsiString BCDToStrF(const TBcd& bcd, TFloatFormat Format, int Precision, int Digits);
