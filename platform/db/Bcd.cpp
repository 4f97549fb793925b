#include "db/Bcd.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>
#include <vector>

#include "rtl/SysUtilsNumbers.h"

namespace {

constexpr int CurrencyPlaces = 4;
constexpr int MaxDigits = 64;
constexpr int MaxPlaces = 63;

int DigitAt(const TBcd& bcd, int i) {
  uint8_t b = bcd.Fraction[i / 2];
  return i % 2 == 0 ? b >> 4 : b & 0x0F;
}

int PlacesOf(const TBcd& bcd) { return bcd.SignSpecialPlaces & 0x3F; }
bool IsNegative(const TBcd& bcd) { return (bcd.SignSpecialPlaces & 0x80) != 0; }

bool WellFormed(const TBcd& bcd) {
  if (bcd.Precision > MaxDigits || PlacesOf(bcd) > bcd.Precision) return false;
  for (int i = 0; i < bcd.Precision; ++i)
    if (DigitAt(bcd, i) > 9) return false;
  return true;
}

// Digits (values 0..9, most significant first) of which the last Places
// are decimals; a zero is never negative.
void Pack(const uint8_t* Digits, int Count, int Places, bool Negative, TBcd& bcd) {
  bcd = TBcd{};
  bool nonZero = false;
  for (int i = 0; i < Count; ++i) {
    bcd.Fraction[i / 2] |= static_cast<uint8_t>(i % 2 == 0 ? Digits[i] << 4 : Digits[i]);
    nonZero |= Digits[i] != 0;
  }
  bcd.Precision = static_cast<uint8_t>(Count);
  bcd.SignSpecialPlaces = static_cast<uint8_t>(Places | (Negative && nonZero ? 0x80 : 0));
}

// value = 0.digits * 10^exponent, with as many decimals as it has (as fit).
bool FromDecimal(ksnum::Decimal d, TBcd& bcd) {
  if (d.exponent > MaxDigits) return false;
  int places = std::min(std::max(0, static_cast<int>(d.digits.size()) - d.exponent),
                        MaxDigits - std::max(1, d.exponent));
  d.Round(d.exponent + places);
  // A carry into another integer digit leaves zeros behind it: one place
  // fewer loses nothing.
  const int whole = std::max(1, d.exponent);
  places = std::min(places, MaxDigits - whole);
  if (places < 0) return false;
  uint8_t digits[MaxDigits];
  for (int i = 0; i < whole + places; ++i)
    digits[i] = static_cast<uint8_t>(d.DigitAt(d.exponent - whole + i) - '0');
  Pack(digits, whole + places, places, d.negative, bcd);
  return true;
}

// The value times 10^Places; the dropped digits round half to even or half
// away from zero.
bool ToScaled(const TBcd& bcd, int Places, bool HalfEven, int64_t& Value) {
  if (!WellFormed(bcd)) return false;
  const int own = PlacesOf(bcd);
  const int kept = bcd.Precision - own + std::min(own, Places);
  constexpr uint64_t limit = uint64_t{std::numeric_limits<int64_t>::max()} + 1;
  uint64_t scaled = 0;
  for (int i = 0; i < kept; ++i) {
    const auto d = static_cast<uint64_t>(DigitAt(bcd, i));
    if (scaled > (limit - d) / 10) return false;
    scaled = scaled * 10 + d;
  }
  for (int i = own; i < Places; ++i) {
    if (scaled > limit / 10) return false;
    scaled *= 10;
  }
  const int first = kept < bcd.Precision ? DigitAt(bcd, kept) : 0;
  bool restNonZero = false;
  for (int i = kept + 1; i < bcd.Precision; ++i) restNonZero |= DigitAt(bcd, i) != 0;
  if (first > 5 || (first == 5 && (!HalfEven || restNonZero || scaled % 2 == 1))) ++scaled;
  const bool negative = IsNegative(bcd);
  if (scaled > limit || (scaled == limit && !negative)) return false;
  Value = negative ? static_cast<int64_t>(0 - scaled) : static_cast<int64_t>(scaled);
  return true;
}

// Index of the first significant integer digit (the integer digits' count
// when there is none).
int FirstSignificant(const TBcd& bcd) {
  const int whole = bcd.Precision - PlacesOf(bcd);
  int i = 0;
  while (i < whole && DigitAt(bcd, i) == 0) ++i;
  return i;
}

bool IsZero(const TBcd& bcd) {
  for (int i = 0; i < bcd.Precision; ++i)
    if (DigitAt(bcd, i) != 0) return false;
  return true;
}

int CompareMagnitude(const TBcd& a, const TBcd& b) {
  const int wholeA = a.Precision - PlacesOf(a), wholeB = b.Precision - PlacesOf(b);
  const int leadA = FirstSignificant(a), leadB = FirstSignificant(b);
  if (wholeA - leadA != wholeB - leadB) return wholeA - leadA < wholeB - leadB ? -1 : 1;
  for (int i = 0; i < wholeA - leadA; ++i)
    if (int d = DigitAt(a, leadA + i) - DigitAt(b, leadB + i); d != 0) return d < 0 ? -1 : 1;
  for (int j = 0; j < std::max(PlacesOf(a), PlacesOf(b)); ++j) {
    const int da = j < PlacesOf(a) ? DigitAt(a, wholeA + j) : 0;
    const int db = j < PlacesOf(b) ? DigitAt(b, wholeB + j) : 0;
    if (da != db) return da < db ? -1 : 1;
  }
  return 0;
}

// The value as the number formatting reads it.
ksnum::Decimal DecimalOf(const TBcd& bcd) {
  ksnum::Decimal d;
  d.negative = IsNegative(bcd);
  for (int i = 0; i < bcd.Precision; ++i) d.digits += static_cast<char>('0' + DigitAt(bcd, i));
  d.exponent = bcd.Precision - PlacesOf(bcd);
  d.Normalize();
  return d;
}

// A value as its digits (values 0..9, most significant first), the last
// Places of them decimals: what exact arithmetic works on.
struct TDigits {
  bool Negative = false;
  std::vector<uint8_t> Digits;
  int Places = 0;

  int Whole() const { return static_cast<int>(Digits.size()) - Places; }
};

TDigits Unpack(const TBcd& bcd) {
  TDigits d{IsNegative(bcd), {}, PlacesOf(bcd)};
  for (int i = 0; i < bcd.Precision; ++i) d.Digits.push_back(static_cast<uint8_t>(DigitAt(bcd, i)));
  return d;
}

// At least Count integer digits, zeros in front.
void PadWhole(TDigits& d, int Count) {
  if (d.Whole() < Count) d.Digits.insert(d.Digits.begin(), Count - d.Whole(), 0);
}

// Exactly Places decimals; the dropped digits round half away from zero.
void RoundTo(TDigits& d, int Places) {
  if (d.Places <= Places) {
    d.Digits.insert(d.Digits.end(), Places - d.Places, 0);
    d.Places = Places;
    return;
  }
  PadWhole(d, 1);
  const size_t keep = d.Digits.size() - (d.Places - Places);
  const bool up = d.Digits[keep] >= 5;
  d.Digits.resize(keep);
  d.Places = Places;
  for (size_t i = keep; up && i-- > 0;) {
    if (d.Digits[i] < 9) {
      ++d.Digits[i];
      return;
    }
    d.Digits[i] = 0;
  }
  if (up) d.Digits.insert(d.Digits.begin(), 1);
}

// Leading zeros go; false when the digits do not fit.
bool PackDigits(TDigits d, TBcd& bcd) {
  PadWhole(d, 1);
  const size_t lead =
      std::min<size_t>(d.Whole() - 1, std::find_if(d.Digits.begin(), d.Digits.end(), [](uint8_t x) {
                                        return x != 0;
                                      }) - d.Digits.begin());
  d.Digits.erase(d.Digits.begin(), d.Digits.begin() + static_cast<std::ptrdiff_t>(lead));
  if (d.Digits.size() > MaxDigits) return false;
  Pack(d.Digits.data(), static_cast<int>(d.Digits.size()), d.Places, d.Negative, bcd);
  return true;
}

// a - b for magnitudes of equal length, a not below b.
void SubtractMagnitude(std::vector<uint8_t>& a, const std::vector<uint8_t>& b) {
  int borrow = 0;
  for (size_t i = a.size(); i-- > 0;) {
    int x = a[i] - b[i] - borrow;
    borrow = x < 0;
    a[i] = static_cast<uint8_t>(x + (borrow ? 10 : 0));
  }
}

void AddMagnitude(std::vector<uint8_t>& a, const std::vector<uint8_t>& b) {
  int carry = 0;
  for (size_t i = a.size(); i-- > 0;) {
    int x = a[i] + b[i] + carry;
    carry = x >= 10;
    a[i] = static_cast<uint8_t>(x % 10);
  }
  if (carry) a.insert(a.begin(), 1);
}

}  // namespace

void CurrToBCD(Currency value, TBcd& bcd) { ScaledToBCD(value.Scaled, CurrencyPlaces, bcd); }

bool BCDToCurr(const TBcd& bcd, Currency& value) {
  return ToScaled(bcd, CurrencyPlaces, true, value.Scaled);
}

void ScaledToBCD(int64_t Value, int Places, TBcd& bcd) {
  Places = std::clamp(Places, 0, MaxPlaces);
  // The magnitude as unsigned, so that the most negative value works too.
  uint64_t magnitude = Value < 0 ? 0 - static_cast<uint64_t>(Value) : static_cast<uint64_t>(Value);
  uint8_t reversed[MaxDigits];
  int count = 0;
  do {
    reversed[count++] = static_cast<uint8_t>(magnitude % 10);
    magnitude /= 10;
  } while (magnitude != 0);
  // At least one integer digit before the decimals.
  while (count < Places + 1) reversed[count++] = 0;
  uint8_t digits[MaxDigits];
  std::reverse_copy(reversed, reversed + count, digits);
  Pack(digits, count, Places, Value < 0, bcd);
}

bool BCDToScaled(const TBcd& bcd, int Places, int64_t& Value) {
  return ToScaled(bcd, Places, false, Value);
}

bool TryStrToBCD(const AnsiString& Text, char DecimalSeparator, TBcd& bcd) {
  ksnum::Decimal d;
  return ksnum::ParseNumber(Text, DecimalSeparator, d) && FromDecimal(d, bcd);
}

bool DoubleToBCD(double Value, TBcd& bcd) {
  if (!std::isfinite(Value)) return false;
  char buf[64];
  auto res = std::to_chars(buf, buf + sizeof buf, std::fabs(Value), std::chars_format::scientific);
  ksnum::Decimal d;
  ksnum::ParseScientific(AnsiString(buf, res.ptr), d);
  d.negative = Value < 0;
  return FromDecimal(d, bcd);
}

bool VarToBCD(const Variant& Value, TBcd& bcd) {
  switch (VarType(Value) & varTypeMask) {
    case varString:
    case varOleStr:
      return TryStrToBCD(VarToStr(Value), FormatSettings.DecimalSeparator, bcd);
    case varSingle:
    case varDouble:
      return DoubleToBCD(Value.AsDouble(), bcd);
    default:
      CurrToBCD(Value.AsCurrency(), bcd);
      return true;
  }
}

AnsiString BCDToStr(const TBcd& bcd, char DecimalSeparator) {
  if (!WellFormed(bcd)) return {};
  const int whole = bcd.Precision - PlacesOf(bcd);
  AnsiString text = IsNegative(bcd) && !IsZero(bcd) ? "-" : "";
  const int lead = std::min(FirstSignificant(bcd), whole - 1);
  for (int i = std::max(lead, 0); i < whole; ++i) text += static_cast<char>('0' + DigitAt(bcd, i));
  if (whole <= 0) text += '0';
  int last = bcd.Precision;
  while (last > whole && DigitAt(bcd, last - 1) == 0) --last;
  if (last > whole) {
    text += DecimalSeparator;
    for (int i = whole; i < last; ++i) text += static_cast<char>('0' + DigitAt(bcd, i));
  }
  return text;
}

double BCDToDouble(const TBcd& bcd) {
  static const TFormatSettings point = [] {
    TFormatSettings s;
    s.DecimalSeparator = '.';
    return s;
  }();
  double value = 0;
  return TryStrToFloat(BCDToStr(bcd, '.'), value, point) ? value : 0;
}

int BCDCompare(const TBcd& a, const TBcd& b) {
  const auto sign = [](const TBcd& x) {
    return !WellFormed(x) || IsZero(x) ? 0 : IsNegative(x) ? -1 : 1;
  };
  const int signA = sign(a), signB = sign(b);
  if (signA != signB) return signA < signB ? -1 : 1;
  if (signA == 0) return 0;
  const int magnitude = CompareMagnitude(a, b);
  return signA < 0 ? -magnitude : magnitude;
}

bool BCDAdd(const TBcd& a, const TBcd& b, int Places, TBcd& Result) {
  if (!WellFormed(a) || !WellFormed(b) || Places < 0 || Places > MaxPlaces) return false;
  TDigits x = Unpack(a), y = Unpack(b);
  const int places = std::max(x.Places, y.Places), whole = std::max({x.Whole(), y.Whole(), 1});
  for (TDigits* d : {&x, &y}) {
    RoundTo(*d, places);
    PadWhole(*d, whole);
  }
  if (x.Negative == y.Negative) {
    AddMagnitude(x.Digits, y.Digits);
  } else {
    if (x.Digits < y.Digits) std::swap(x, y);
    SubtractMagnitude(x.Digits, y.Digits);
  }
  RoundTo(x, Places);
  return PackDigits(std::move(x), Result);
}

bool BCDMultiply(const TBcd& a, const TBcd& b, int Places, TBcd& Result) {
  if (!WellFormed(a) || !WellFormed(b) || Places < 0 || Places > MaxPlaces) return false;
  const TDigits x = Unpack(a), y = Unpack(b);
  // Column sums, least significant first.
  std::vector<int> columns(x.Digits.size() + y.Digits.size() + 1, 0);
  for (size_t i = 0; i < x.Digits.size(); ++i)
    for (size_t j = 0; j < y.Digits.size(); ++j)
      columns[i + j] += x.Digits[x.Digits.size() - 1 - i] * y.Digits[y.Digits.size() - 1 - j];
  TDigits product{x.Negative != y.Negative, {}, x.Places + y.Places};
  int carry = 0;
  for (int& column : columns) {
    column += carry;
    carry = column / 10;
    column %= 10;
  }
  for (size_t i = columns.size(); i-- > 0;)
    product.Digits.push_back(static_cast<uint8_t>(columns[i]));
  RoundTo(product, Places);
  return PackDigits(std::move(product), Result);
}

AnsiString FormatBCD(const AnsiString& Format, const TBcd& bcd) {
  return WellFormed(bcd) ? ksnum::FormatPicture(Format, DecimalOf(bcd), FormatSettings)
                         : AnsiString();
}

AnsiString BCDToStrF(const TBcd& bcd, TFloatFormat Format, int Precision, int Digits) {
  return WellFormed(bcd)
             ? ksnum::FormatDecimal(DecimalOf(bcd), Format, Precision, Digits, FormatSettings)
             : AnsiString();
}
