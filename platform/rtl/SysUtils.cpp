// Exceptions, number conversion and Format.
#include "rtl/SysUtils.h"

#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>

#include "rtl/SysUtilsNumbers.h"

// ---- Exceptions ------------------------------------------------------------

void Abort() { throw EAbort(); }

void RaiseLastOSError() { RaiseLastOSError(LastOSErrorCode()); }

void RaiseLastOSError(int errorCode) {
  if (errorCode == 0) throw EOSError("Неизвестная ошибка операционной системы", 0);
  throw EOSError(Format("Ошибка операционной системы. Код: %d.\r\n%s",
                        {errorCode, SysErrorMessage(errorCode)}),
                 errorCode);
}

EAssertionFailed::EAssertionFailed(const AnsiString& message, const AnsiString& unitName,
                                   int lineNumber)
    : Exception(Format("%s (%s, line %d)", {message, unitName, lineNumber})),
      unitName_(unitName),
      lineNumber_(lineNumber) {}

// ---- Decimal digits ----------------------------------------------------------

namespace ksnum {

void Decimal::Normalize() {
  size_t lead = digits.find_first_not_of('0');
  if (lead == AnsiString::npos) {
    digits.clear();
    exponent = 0;
    return;
  }
  digits.erase(0, lead);
  exponent -= static_cast<int>(lead);
  digits.erase(digits.find_last_not_of('0') + 1);
}

void Decimal::Round(int keep) {
  if (keep >= static_cast<int>(digits.size())) return;
  if (keep < 0) {
    digits.clear();
    exponent = 0;
    return;
  }
  bool up = digits[keep] >= '5';
  digits.resize(keep);
  if (up) {
    while (!digits.empty() && digits.back() == '9') digits.pop_back();
    if (digits.empty()) {
      digits = "1";
      ++exponent;
    } else {
      ++digits.back();
    }
  }
  Normalize();
}

char Decimal::DigitAt(int position) const {
  return position >= 0 && position < static_cast<int>(digits.size()) ? digits[position] : '0';
}

AnsiString Decimal::IntegerPart() const {
  AnsiString r;
  for (int i = 0; i < exponent; ++i) r += DigitAt(i);
  return r.empty() ? AnsiString("0") : r;
}

AnsiString Decimal::Fraction(int count) const {
  AnsiString r;
  for (int i = 0; i < count; ++i) r += DigitAt(exponent + i);
  return r;
}

// 18 significant digits of the exact binary value (a double converts to
// extended exactly), like the platform's extended-precision conversion;
// later rounding is half away from zero.
Decimal ToDecimal(long double value) {
  Decimal d;
  d.negative = std::signbit(value);
  char buf[64];
  auto res = std::to_chars(buf, buf + sizeof buf, std::fabs(value), std::chars_format::scientific, 17);
  ParseScientific(AnsiString(buf, res.ptr), d);
  return d;
}

void ParseScientific(const AnsiString& text, Decimal& d) {
  size_t e = text.find('e');
  d.digits.clear();
  for (size_t i = 0; i < e; ++i)
    if (text[i] != '.') d.digits += text[i];
  d.exponent = std::stoi(text.substr(e + 1)) + 1;
  d.Normalize();
}

bool ParseNumber(const AnsiString& text, char decimalSeparator, Decimal& d) {
  AnsiString s = Trim(text);
  size_t i = 0;
  d = Decimal();
  if (i < s.size() && (s[i] == '-' || s[i] == '+')) d.negative = s[i++] == '-';
  int intDigits = 0, fracDigits = 0;
  for (; i < s.size() && std::isdigit(static_cast<uint8_t>(s[i])); ++i, ++intDigits) d.digits += s[i];
  if (i < s.size() && s[i] == decimalSeparator) {
    for (++i; i < s.size() && std::isdigit(static_cast<uint8_t>(s[i])); ++i, ++fracDigits)
      d.digits += s[i];
  }
  if (intDigits + fracDigits == 0) return false;
  int exp = 0;
  if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
    ++i;
    bool neg = false;
    if (i < s.size() && (s[i] == '-' || s[i] == '+')) neg = s[i++] == '-';
    size_t start = i;
    for (; i < s.size() && std::isdigit(static_cast<uint8_t>(s[i])); ++i)
      if (exp < 100000) exp = exp * 10 + (s[i] - '0');
    if (i == start) return false;
    if (neg) exp = -exp;
  }
  if (i != s.size()) return false;
  d.exponent = intDigits + exp;
  d.Normalize();
  return true;
}

// Scales by 10^4 and rounds half to even; false when it does not fit.
bool ToScaled(const Decimal& d, int64_t& scaled) {
  const int intDigits = d.exponent + 4;
  if (intDigits > 19) return false;
  uint64_t v = 0;
  for (int i = 0; i < intDigits; ++i) v = v * 10 + (d.DigitAt(i) - '0');
  const int next = intDigits < 0 ? 0 : d.DigitAt(intDigits) - '0';
  const bool rest = intDigits >= 0 && static_cast<int>(d.digits.size()) > intDigits + 1;
  if (next > 5 || (next == 5 && (rest || (v & 1)))) ++v;
  const uint64_t limit = uint64_t{std::numeric_limits<int64_t>::max()} + (d.negative ? 1 : 0);
  if (v > limit) return false;
  scaled = d.negative ? static_cast<int64_t>(0 - v) : static_cast<int64_t>(v);
  return true;
}

namespace {

AnsiString Group(const AnsiString& intPart, char separator) {
  if (!separator) return intPart;
  AnsiString r;
  for (size_t i = 0; i < intPart.size(); ++i) {
    if (i && (intPart.size() - i) % 3 == 0) r += separator;
    r += intPart[i];
  }
  return r;
}

AnsiString ExponentText(int exponent, bool plusSign, int minDigits) {
  AnsiString digits = std::to_string(std::abs(exponent));
  if (static_cast<int>(digits.size()) < minDigits) digits.insert(0, minDigits - digits.size(), '0');
  return AnsiString("E") + (exponent < 0 ? "-" : plusSign ? "+" : "") + digits;
}

AnsiString FixedText(const Decimal& d, int decimals, char groupSep, char decSep) {
  AnsiString r = Group(d.IntegerPart(), groupSep);
  if (decimals > 0) r += decSep + d.Fraction(decimals);
  return r;
}

// Where the platform's currency formats put the sign, the amount (1) and
// the currency string ($).
const char* const kNegCurrFormats[16] = {
    "($1)", "-$1", "$-1", "$1-", "(1$)", "-1$",  "1-$",   "1$-",
    "-1 $", "-$ 1", "1 $-", "$ 1-", "$ -1", "1- $", "($ 1)", "(1 $)",
};
const char* const kCurrFormats[4] = {"$1", "1$", "$ 1", "1 $"};

AnsiString CurrencyText(const AnsiString& amount, bool negative, const TFormatSettings& fs) {
  const char* pattern =
      negative ? kNegCurrFormats[fs.NegCurrFormat % 16] : kCurrFormats[fs.CurrencyFormat % 4];
  AnsiString r;
  for (const char* p = pattern; *p; ++p) {
    if (*p == '$')
      r += fs.CurrencyString;
    else if (*p == '1')
      r += amount;
    else
      r += *p;
  }
  return r;
}

}  // namespace

AnsiString FormatDecimal(Decimal d, TFloatFormat format, int precision, int digits,
                         const TFormatSettings& fs) {
  precision = std::clamp(precision, 1, 18);
  digits = std::clamp(digits, 0, 18);
  if (format == ffFixed || format == ffNumber || format == ffCurrency) {
    d.Round(precision);
    if (d.exponent > precision) format = ffGeneral;
    else d.Round(d.exponent + digits);
  } else {
    d.Round(precision);
  }
  const bool negative = d.negative && !d.digits.empty();
  AnsiString body;
  switch (format) {
    case ffGeneral:
      if (d.digits.empty()) {
        body = "0";
      } else if (d.exponent > precision || d.exponent < -3) {
        body = d.digits.substr(0, 1);
        if (d.digits.size() > 1) body += fs.DecimalSeparator + d.digits.substr(1);
        body += ExponentText(d.exponent - 1, false, digits);
      } else {
        int decimals = std::max(0, static_cast<int>(d.digits.size()) - d.exponent);
        body = FixedText(d, decimals, 0, fs.DecimalSeparator);
      }
      break;
    case ffExponent:
      body = AnsiString(1, d.DigitAt(0));
      if (precision > 1) body += fs.DecimalSeparator + d.digits.substr(1).append(precision - 1, '0').substr(0, precision - 1);
      body += ExponentText(d.digits.empty() ? 0 : d.exponent - 1, true, digits);
      break;
    case ffFixed:
      body = FixedText(d, digits, 0, fs.DecimalSeparator);
      break;
    case ffNumber:
    case ffCurrency:
      body = FixedText(d, digits, fs.ThousandSeparator, fs.DecimalSeparator);
      break;
  }
  if (format == ffCurrency) return CurrencyText(body, negative, fs);
  return negative ? "-" + body : body;
}

}  // namespace ksnum

using ksnum::Decimal;

Currency::Currency(double value) {
  if (!std::isfinite(value)) throw EInvalidOp("Недопустимая операция с плавающей точкой");
  char buf[64];
  auto res = std::to_chars(buf, buf + sizeof buf, std::fabs(value), std::chars_format::scientific);
  Decimal d;
  ksnum::ParseScientific(AnsiString(buf, res.ptr), d);
  d.negative = value < 0;
  if (!ksnum::ToScaled(d, Scaled)) throw EOverflow("Переполнение при операции с плавающей точкой");
}

// ---- Integers ----------------------------------------------------------------

namespace {

AnsiString InvalidInteger(const AnsiString& s) {
  return Format("'%s' не является целым числом", {s});
}

// Decimal with a range check, or hex ('$', "0x") that wraps into the width
// like the platform's Val.
bool ParseInteger(const AnsiString& s, int bits, int64_t& value) {
  size_t i = 0;
  while (i < s.size() && (s[i] == ' ' || s[i] == '\t')) ++i;
  bool neg = false;
  if (i < s.size() && (s[i] == '-' || s[i] == '+')) neg = s[i++] == '-';
  bool hex = false;
  if (i < s.size() && s[i] == '$') {
    hex = true;
    ++i;
  } else if (i + 1 < s.size() && s[i] == '0' && (s[i + 1] == 'x' || s[i + 1] == 'X')) {
    hex = true;
    i += 2;
  }
  if (i == s.size()) return false;
  const uint64_t maxMagnitude = (bits == 64 ? uint64_t{1} << 63 : uint64_t{1} << 31) - (neg ? 0 : 1);
  const uint64_t hexLimit = bits == 64 ? ~uint64_t{0} : 0xFFFFFFFFu;
  uint64_t v = 0;
  for (; i < s.size(); ++i) {
    int digit;
    char c = s[i];
    if (c >= '0' && c <= '9') digit = c - '0';
    else if (hex && c >= 'a' && c <= 'f') digit = c - 'a' + 10;
    else if (hex && c >= 'A' && c <= 'F') digit = c - 'A' + 10;
    else return false;
    if (hex) {
      if (v > (hexLimit >> 4)) return false;
      v = v * 16 + digit;
    } else {
      if (v > (maxMagnitude - digit) / 10) return false;
      v = v * 10 + digit;
    }
  }
  if (hex && bits == 32) v = static_cast<uint64_t>(static_cast<int64_t>(static_cast<int32_t>(v)));
  value = neg ? static_cast<int64_t>(0 - v) : static_cast<int64_t>(v);
  return true;
}

}  // namespace

bool TryStrToInt(const AnsiString& s, int32_t& value) {
  int64_t v;
  if (!ParseInteger(s, 32, v)) return false;
  value = static_cast<int32_t>(v);
  return true;
}

int32_t StrToInt(const AnsiString& s) {
  int32_t v;
  if (!TryStrToInt(s, v)) throw EConvertError(InvalidInteger(s));
  return v;
}

int32_t StrToIntDef(const AnsiString& s, int32_t def) {
  int32_t v;
  return TryStrToInt(s, v) ? v : def;
}

bool TryStrToInt64(const AnsiString& s, int64_t& value) { return ParseInteger(s, 64, value); }

int64_t StrToInt64(const AnsiString& s) {
  int64_t v;
  if (!TryStrToInt64(s, v)) throw EConvertError(InvalidInteger(s));
  return v;
}

int64_t StrToInt64Def(const AnsiString& s, int64_t def) {
  int64_t v;
  return TryStrToInt64(s, v) ? v : def;
}

// ---- Floats ------------------------------------------------------------------

AnsiString FloatToStrF(long double value, TFloatFormat format, int precision, int digits,
                       const TFormatSettings& settings) {
  if (std::isnan(value)) return "NAN";
  if (std::isinf(value)) return value < 0 ? "-INF" : "INF";
  return ksnum::FormatDecimal(ksnum::ToDecimal(value), format, precision, digits, settings);
}

AnsiString FloatToStrF(long double value, TFloatFormat format, int precision, int digits) {
  return FloatToStrF(value, format, precision, digits, FormatSettings);
}

AnsiString FloatToStr(double value, const TFormatSettings& settings) {
  return FloatToStrF(value, ffGeneral, 15, 0, settings);
}

AnsiString FloatToStr(double value) { return FloatToStr(value, FormatSettings); }

namespace {

// "[-]0.<digits>e<exponent>" of a parsed number that has digits.
AnsiString ScientificText(const Decimal& d) {
  return (d.negative ? "-0." : "0.") + d.digits + "e" + std::to_string(d.exponent);
}

}  // namespace

bool TryStrToFloat(const AnsiString& s, double& value, const TFormatSettings& settings) {
  Decimal d;
  if (!ksnum::ParseNumber(s, settings.DecimalSeparator, d)) return false;
  if (d.digits.empty()) {
    value = d.negative ? -0.0 : 0.0;
    return true;
  }
  AnsiString text = ScientificText(d);
  double v;
  auto res = std::from_chars(text.data(), text.data() + text.size(), v);
  if (res.ec == std::errc::result_out_of_range) {
    if (d.exponent > 0) return false;
    v = d.negative ? -0.0 : 0.0;  // too small: the platform gives zero
  }
  value = v;
  return true;
}

bool TryStrToFloat(const AnsiString& s, double& value) {
  return TryStrToFloat(s, value, FormatSettings);
}

double StrToFloat(const AnsiString& s, const TFormatSettings& settings) {
  double v;
  if (!TryStrToFloat(s, v, settings))
    throw EConvertError(Format("'%s' не является числом с плавающей точкой", {s}));
  return v;
}

double StrToFloat(const AnsiString& s) { return StrToFloat(s, FormatSettings); }

// The C library's conversion rounds to extended correctly in both builds
// (the MinGW runtime's own); the text carries '.', as the "C" locale reads.
bool TryStrToFloat(const AnsiString& s, long double& value, const TFormatSettings& settings) {
  Decimal d;
  if (!ksnum::ParseNumber(s, settings.DecimalSeparator, d)) return false;
  if (d.digits.empty()) {
    value = d.negative ? -0.0L : 0.0L;
    return true;
  }
  const AnsiString text = ScientificText(d);
  const long double v = std::strtold(text.c_str(), nullptr);
  if (std::isinf(v)) return false;
  value = v;  // too small is zero, as the platform gives
  return true;
}

bool TryStrToFloat(const AnsiString& s, long double& value) {
  return TryStrToFloat(s, value, FormatSettings);
}

long double StrToFloatL(const AnsiString& s, const TFormatSettings& settings) {
  long double v;
  if (!TryStrToFloat(s, v, settings))
    throw EConvertError(Format("'%s' не является числом с плавающей точкой", {s}));
  return v;
}

long double StrToFloatL(const AnsiString& s) { return StrToFloatL(s, FormatSettings); }

double StrToFloatDef(const AnsiString& s, double def, const TFormatSettings& settings) {
  double v;
  return TryStrToFloat(s, v, settings) ? v : def;
}

double StrToFloatDef(const AnsiString& s, double def) {
  return StrToFloatDef(s, def, FormatSettings);
}

// ---- Currency ----------------------------------------------------------------

AnsiString CurrToStr(Currency value, const TFormatSettings& settings) {
  uint64_t magnitude = value.Scaled < 0 ? 0 - static_cast<uint64_t>(value.Scaled)
                                        : static_cast<uint64_t>(value.Scaled);
  AnsiString r = std::to_string(magnitude / 10000);
  AnsiString frac = std::to_string(magnitude % 10000 + 10000).substr(1);
  frac.erase(frac.find_last_not_of('0') + 1);
  if (!frac.empty()) r += settings.DecimalSeparator + frac;
  return value.Scaled < 0 ? "-" + r : r;
}

AnsiString CurrToStr(Currency value) { return CurrToStr(value, FormatSettings); }

bool TryStrToCurr(const AnsiString& s, Currency& value, const TFormatSettings& settings) {
  Decimal d;
  int64_t scaled;
  if (!ksnum::ParseNumber(s, settings.DecimalSeparator, d) || !ksnum::ToScaled(d, scaled))
    return false;
  value = Currency::FromScaled(scaled);
  return true;
}

Currency StrToCurr(const AnsiString& s, const TFormatSettings& settings) {
  Currency c;
  if (!TryStrToCurr(s, c, settings))
    throw EConvertError(Format("'%s' не является числом с плавающей точкой", {s}));
  return c;
}

Currency StrToCurr(const AnsiString& s) { return StrToCurr(s, FormatSettings); }
